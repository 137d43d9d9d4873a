#include "ziplib/deflate_pipeline.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "ziplib/zip_result.h"

namespace ost::zip {

uint32_t Crc32(uint32_t crc, const uint8_t* data, size_t size) {
    while (size > 0) {
        const uInt n = static_cast<uInt>(std::min<size_t>(size, 1u << 30));
        crc = static_cast<uint32_t>(crc32(crc, data, n));
        data += n;
        size -= n;
    }
    return crc;
}

struct ParallelDeflater::Job {
    std::vector<uint8_t> input;  // the dictionary, then the block's own bytes
    size_t dictionary = 0;
    bool last = false;
    std::vector<uint8_t> output;
    uint32_t crc = 0;
    bool done = false;
    Result error = kOk;
    std::string errorText;

    size_t DataSize() const { return input.size() - dictionary; }
};

// One raw deflate stream, reset for every block.
class ParallelDeflater::DeflateStream {
  public:
    explicit DeflateStream(int level) {
        if (deflateInit2(&z_, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            throw std::bad_alloc();
    }
    ~DeflateStream() { deflateEnd(&z_); }
    DeflateStream(const DeflateStream&) = delete;
    DeflateStream& operator=(const DeflateStream&) = delete;
    z_stream* get() { return &z_; }

  private:
    z_stream z_{};
};

namespace {

using DeflateStream = ParallelDeflater::DeflateStream;

// Deflates one block into job.output and computes its CRC. Throws std::bad_alloc or ZipError.
void CompressBlock(DeflateStream& stream,
                   std::vector<uint8_t>& input,
                   size_t dictionary,
                   bool last,
                   std::vector<uint8_t>& output,
                   uint32_t& crc) {
    z_stream* z = stream.get();
    deflateReset(z);
    if (dictionary > 0 && deflateSetDictionary(z, input.data(), static_cast<uInt>(dictionary)) != Z_OK)
        throw ZipError(kInternal, "deflate could not take its dictionary");
    const size_t size = input.size() - dictionary;
    output.resize(deflateBound(z, static_cast<uLong>(size)) + 16);
    z->next_in = input.data() + dictionary;
    z->avail_in = static_cast<uInt>(size);
    size_t produced = 0;
    for (;;) {
        z->next_out = output.data() + produced;
        z->avail_out = static_cast<uInt>(output.size() - produced);
        const int rc = deflate(z, last ? Z_FINISH : Z_SYNC_FLUSH);
        produced = output.size() - z->avail_out;
        if (rc == Z_STREAM_END || (!last && rc == Z_OK && z->avail_in == 0 && z->avail_out > 0))
            break;
        if (rc != Z_OK && rc != Z_BUF_ERROR)
            throw ZipError(kInternal, "deflate failed");
        output.resize(output.size() * 2);
    }
    output.resize(produced);
    crc = Crc32(0, input.data() + dictionary, size);
}

}  // namespace

ParallelDeflater::ParallelDeflater(const Settings& settings) : settings_(settings) {
    unsigned threads = settings_.threads;
    if (threads == 0)
        threads = std::clamp(std::thread::hardware_concurrency(), 1u, 16u);
    if (settings_.blocksInFlight == 0)
        settings_.blocksInFlight = 2 * threads + 1;
    settings_.blockSize = std::max<size_t>(settings_.blockSize, kDictionarySize);
    workers_.reserve(threads);
    try {
        for (unsigned i = 0; i < threads; ++i)
            workers_.emplace_back([this] { WorkerLoop(); });
    } catch (...) {
        Stop();
        throw;
    }
}

ParallelDeflater::~ParallelDeflater() {
    Stop();
}

void ParallelDeflater::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    work_.notify_all();
    for (auto& t : workers_)
        if (t.joinable())
            t.join();
    workers_.clear();
}

void ParallelDeflater::WorkerLoop() {
    std::unique_ptr<DeflateStream> stream;
    for (;;) {
        Job* job = nullptr;
        {
            std::unique_lock lock(mutex_);
            work_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty())
                return;
            job = queue_.front();
            queue_.pop_front();
        }
        try {
            if (!stream)
                stream = std::make_unique<DeflateStream>(settings_.level);
            CompressBlock(*stream, job->input, job->dictionary, job->last, job->output, job->crc);
        } catch (const ZipError& e) {
            job->error = e.Code();
            job->errorText = e.what();
        } catch (const std::bad_alloc&) {
            job->error = kOutOfMemory;
            job->errorText = "out of memory while compressing";
        }
        {
            std::lock_guard lock(mutex_);
            job->done = true;
        }
        done_.notify_all();
    }
}

std::unique_ptr<ParallelDeflater::Job> ParallelDeflater::ReadBlock(ByteSource& source,
                                                                   const std::vector<uint8_t>* previous) {
    std::unique_ptr<Job> job;
    if (spare_.empty()) {
        job = std::make_unique<Job>();
    } else {
        job = std::move(spare_.back());
        spare_.pop_back();
        job->input.clear();
        job->dictionary = 0;
        job->last = false;
        job->crc = 0;
        job->done = false;
        job->error = kOk;
        job->errorText.clear();
    }
    if (previous) {
        job->dictionary = std::min(previous->size(), kDictionarySize);
        job->input.assign(previous->end() - static_cast<ptrdiff_t>(job->dictionary), previous->end());
    }
    // The buffer grows with what arrives, so a small file does not cost a whole block.
    size_t want = static_cast<size_t>(std::min<uint64_t>(settings_.blockSize, source.Size() + 1));
    size_t got = 0;
    for (;;) {
        job->input.resize(job->dictionary + want);
        const size_t n = source.Read(job->input.data() + job->dictionary + got, want - got);
        got += n;
        if (n == 0 || got == settings_.blockSize)
            break;
        if (got == want)
            want = std::min(settings_.blockSize, want * 2);
    }
    job->input.resize(job->dictionary + got);
    return job;
}

DeflateResult ParallelDeflater::Deflate(ByteSource& source, const Output& output) {
    DeflateResult result;
    std::deque<std::unique_ptr<Job>> inflight;

    // Whatever ends this call, no worker may still hold one of the blocks when they are freed.
    struct Settle {
        ParallelDeflater& self;
        std::deque<std::unique_ptr<Job>>& jobs;
        ~Settle() {
            std::unique_lock lock(self.mutex_);
            for (auto& job : jobs) {
                auto queued = std::find(self.queue_.begin(), self.queue_.end(), job.get());
                if (queued != self.queue_.end())
                    self.queue_.erase(queued);
                else
                    self.done_.wait(lock, [&] { return job->done; });
            }
        }
    } settle{*this, inflight};

    auto take = [&](Job& job) {
        if (job.error != kOk)
            throw ZipError(job.error, job.errorText);
        output(job.output.data(), job.output.size());
        result.crc = static_cast<uint32_t>(crc32_combine(result.crc, job.crc, static_cast<z_off_t>(job.DataSize())));
        result.inputSize += job.DataSize();
        result.outputSize += job.output.size();
    };
    auto writeFront = [&](bool wait) {
        while (!inflight.empty()) {
            {
                std::unique_lock lock(mutex_);
                if (wait)
                    done_.wait(lock, [&] { return inflight.front()->done; });
                else if (!inflight.front()->done)
                    return;
            }
            take(*inflight.front());
            spare_.push_back(std::move(inflight.front()));
            inflight.pop_front();
            if (wait)
                return;
        }
    };

    std::unique_ptr<Job> current = ReadBlock(source, nullptr);
    bool first = true;
    for (;;) {
        // Read ahead one block: the current block is the last when nothing follows it.
        std::unique_ptr<Job> next;
        if (current->DataSize() == settings_.blockSize) {
            next = ReadBlock(source, &current->input);
            if (next->DataSize() == 0)
                next.reset();
        }
        current->last = !next;
        if (first && current->last) {
            // A small input: one block, deflated here without a hand-off.
            if (!inlineStream_)
                inlineStream_ = std::make_unique<DeflateStream>(settings_.level);
            CompressBlock(*inlineStream_, current->input, 0, true, current->output, current->crc);
            take(*current);
            return result;
        }
        first = false;
        while (inflight.size() >= settings_.blocksInFlight)
            writeFront(true);
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(current.get());
        }
        work_.notify_one();
        inflight.push_back(std::move(current));
        writeFront(false);
        if (!next)
            break;
        current = std::move(next);
    }
    while (!inflight.empty())
        writeFront(true);
    return result;
}

}  // namespace ost::zip
