#include "ziplib/streams.h"

#include <algorithm>
#include <cstring>

#include "ziplib/zip_result.h"

namespace ost::zip {

void ReadExactly(ByteSource& source, uint8_t* data, size_t size, const std::string& what) {
    size_t done = 0;
    while (done < size) {
        const size_t got = source.Read(data + done, size - done);
        if (got == 0)
            throw ZipError(kReadFailed, what + " ends early");
        done += got;
    }
}

size_t MemorySource::Read(uint8_t* data, size_t size) {
    const size_t n = std::min(size, size_ - position_);
    if (n > 0)
        std::memcpy(data, data_ + position_, n);
    position_ += n;
    return n;
}

void MemorySource::Seek(uint64_t offset) {
    position_ = static_cast<size_t>(std::min<uint64_t>(offset, size_));
}

void MemorySink::Write(const uint8_t* data, size_t size) {
    if (size == 0)
        return;
    const uint64_t end = position_ + size;
    if (end > capacity_) {
        const size_t fits = position_ < capacity_ ? static_cast<size_t>(capacity_ - position_) : 0;
        Write(data, fits);
        throw ZipError(kWriteFailed, "cannot write the archive: Disk full");
    }
    if (end > bytes_.size())
        bytes_.resize(static_cast<size_t>(end));
    std::memcpy(bytes_.data() + position_, data, size);
    position_ = end;
}

void MemorySink::Seek(uint64_t offset) {
    position_ = offset;
}

size_t LineEndSource::Read(uint8_t* data, size_t size) {
    size_t out = 0;
    while (out < size) {
        if (pendingLf_) {
            data[out++] = '\n';
            pendingLf_ = false;
            continue;
        }
        if (inPos_ == in_.size()) {
            if (innerDone_)
                break;
            in_.resize(64 * 1024);
            in_.resize(inner_.Read(in_.data(), in_.size()));
            inPos_ = 0;
            if (in_.empty()) {
                innerDone_ = true;
                continue;
            }
        }
        const uint8_t b = in_[inPos_];
        if (mode_ == Mode::kCrLfToLf) {
            // lastWasCr_ holds a CR that was read but not yet given out.
            if (lastWasCr_) {
                lastWasCr_ = false;
                if (b == '\n')
                    ++inPos_;
                data[out++] = b == '\n' ? '\n' : '\r';
            } else if (b == '\r') {
                lastWasCr_ = true;
                ++inPos_;
            } else {
                data[out++] = b;
                ++inPos_;
            }
        } else {
            ++inPos_;
            if (b == '\n' && !lastWasCr_) {
                data[out++] = '\r';
                pendingLf_ = true;
            } else {
                data[out++] = b;
            }
            lastWasCr_ = b == '\r';
        }
    }
    // A CR held back at the very end of the stream is given out as it was.
    if (out < size && innerDone_ && inPos_ == in_.size() && lastWasCr_ && mode_ == Mode::kCrLfToLf) {
        data[out++] = '\r';
        lastWasCr_ = false;
    }
    return out;
}

void LineEndSource::Seek(uint64_t offset) {
    if (offset != 0)
        throw ZipError(kInternal, "a translated stream can only be read again from its start");
    inner_.Seek(0);
    in_.clear();
    inPos_ = 0;
    innerDone_ = false;
    lastWasCr_ = false;
    pendingLf_ = false;
}

uint64_t LineEndSource::Size() {
    const uint64_t size = inner_.Size();
    return mode_ == Mode::kLfToCrLf ? size * 2 : size;
}

}  // namespace ost::zip
