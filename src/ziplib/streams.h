// Byte streams the zip engine reads from and writes to. Files, memory and filters all take these
// shapes, so the whole engine runs over memory in tests.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ost::zip {

// A readable byte stream that can be repositioned. Failures raise ZipError(kReadFailed) with a
// message that names the stream.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Reads up to `size` bytes; returns fewer only at the end of the stream, 0 at its end.
    virtual size_t Read(uint8_t* data, size_t size) = 0;
    // Moves the read position to `offset` from the start.
    virtual void Seek(uint64_t offset) = 0;
    // The stream's length in bytes, as far as it is known before reading.
    virtual uint64_t Size() = 0;
};

// A writable, seekable byte stream. Writing past the end extends it; writing before the end
// overwrites. Failures raise ZipError(kWriteFailed) with a message that names the stream and the
// system's reason (for example "Disk full").
class ByteSink {
  public:
    virtual ~ByteSink() = default;
    virtual void Write(const uint8_t* data, size_t size) = 0;
    virtual uint64_t Position() const = 0;
    virtual void Seek(uint64_t offset) = 0;
    // Cuts the stream off at the current position.
    virtual void Truncate() = 0;
};

// Reads `size` bytes exactly; raises ZipError(kReadFailed) naming `what` when the stream ends first.
void ReadExactly(ByteSource& source, uint8_t* data, size_t size, const std::string& what);

// A source over bytes that the caller keeps alive.
class MemorySource : public ByteSource {
  public:
    MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    explicit MemorySource(const std::vector<uint8_t>& bytes) : MemorySource(bytes.data(), bytes.size()) {}
    size_t Read(uint8_t* data, size_t size) override;
    void Seek(uint64_t offset) override;
    uint64_t Size() override { return size_; }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

// A sink that keeps what is written in memory. It can be told to fail like a full disk: once the
// stream would grow past `capacity` bytes (never more than one block of memory holds), Write raises
// ZipError(kWriteFailed) "Disk full" and keeps only what fitted.
class MemorySink : public ByteSink {
  public:
    explicit MemorySink(uint64_t capacity = UINT64_MAX) : capacity_(std::min<uint64_t>(capacity, PTRDIFF_MAX)) {}
    void Write(const uint8_t* data, size_t size) override;
    uint64_t Position() const override { return position_; }
    void Seek(uint64_t offset) override;
    void Truncate() override { bytes_.resize(static_cast<size_t>(std::min(position_, capacity_))); }

    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    std::vector<uint8_t>& Bytes() { return bytes_; }

  private:
    std::vector<uint8_t> bytes_;
    uint64_t position_ = 0;
    uint64_t capacity_;
};

// Line-end translation of a text stream: CR LF to LF, or a lone LF to CR LF. Seek supports only
// a return to the start.
class LineEndSource : public ByteSource {
  public:
    enum class Mode { kCrLfToLf, kLfToCrLf };
    LineEndSource(ByteSource& inner, Mode mode) : inner_(inner), mode_(mode) {}
    size_t Read(uint8_t* data, size_t size) override;
    void Seek(uint64_t offset) override;
    // The translated length is not known before reading; this is the largest it can be.
    uint64_t Size() override;

  private:
    ByteSource& inner_;
    Mode mode_;
    std::vector<uint8_t> in_;  // bytes read from the inner stream and not yet translated
    size_t inPos_ = 0;
    bool innerDone_ = false;
    bool lastWasCr_ = false;  // the last byte read from the inner stream was CR
    bool pendingLf_ = false;  // a translated CR LF whose LF did not fit the caller's buffer
};

}  // namespace ost::zip
