// Deflate on every core: the input is cut into blocks, each block is deflated on a worker
// thread with the 32 KiB before it as its dictionary, and the pieces are joined in order into
// one raw deflate stream. Every block but the last ends with a sync flush (an empty stored
// block that ends on a byte boundary), the last with the final block, so the joined pieces are
// one valid stream. The block CRCs are joined with crc32_combine.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "ziplib/streams.h"

namespace ost::zip {

// CRC-32 of any length (zlib's crc32 takes at most 4 GiB a call).
uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size);

struct DeflateResult {
    uint32_t crc = 0;
    uint64_t inputSize = 0;
    uint64_t outputSize = 0;
};

class ParallelDeflater {
  public:
    static constexpr size_t kDictionarySize = 32 * 1024;

    struct Settings {
        int level = 6;               // zlib level 1-9
        unsigned threads = 0;        // worker threads; 0 = one per core
        size_t blockSize = 1 << 20;  // input bytes per block
        size_t blocksInFlight = 0;   // blocks read and not yet written; 0 = twice the threads, plus one
    };

    // Starts the worker threads; they live as long as the object.
    explicit ParallelDeflater(const Settings& settings);
    ~ParallelDeflater();
    ParallelDeflater(const ParallelDeflater&) = delete;
    ParallelDeflater& operator=(const ParallelDeflater&) = delete;

    using Output = std::function<void(const uint8_t* data, size_t size)>;

    // Deflates everything `source` gives, from its current position to its end, into `output`.
    // `source` and `output` are used only on the calling thread, `output` in stream order. Memory
    // stays bounded by the blocks in flight, whatever the input's size. Errors of the source or the
    // output pass through unchanged once the workers have let go of every block.
    DeflateResult Deflate(ByteSource& source, const Output& output);

    unsigned Threads() const { return static_cast<unsigned>(workers_.size()); }

    class DeflateStream;

  private:
    struct Job;
    void WorkerLoop();
    void Stop();
    std::unique_ptr<Job> ReadBlock(ByteSource& source, const std::vector<uint8_t>* previous);

    Settings settings_;
    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable done_;
    std::deque<Job*> queue_;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
    std::unique_ptr<DeflateStream> inlineStream_;  // small inputs are deflated on the calling thread
    // Blocks already written, kept with their buffers for the next ones: a fresh megabyte for every
    // block costs page faults and unmapping (under Wine on every block, as its heap maps each one).
    std::vector<std::unique_ptr<Job>> spare_;
};

}  // namespace ost::zip
