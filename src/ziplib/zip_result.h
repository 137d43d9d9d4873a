// The zip library's result codes and the one error type its engine raises.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace ost::zip {

// ZpArchive's result: 0 exactly when the archive was written; otherwise one code per kind of
// failure. The printed messages say which file or switch was at fault.
enum Result : int32_t {
    kOk = 0,
    kBadArchive = 3,      // the existing archive is damaged, or of a form that cannot be carried over
    kOutOfMemory = 4,     // memory ran out
    kInternal = 5,        // an unexpected failure inside the library
    kCancelled = 9,       // the caller's service callback stopped the run, or no password was given
    kTempFile = 10,       // the temporary file beside the archive could not be created
    kReadFailed = 11,     // an input file could not be opened or read (locked, unreadable, changed)
    kNothingToDo = 12,    // no file to add or entry to delete, or every entry is already current
    kNameConflict = 13,   // two different files would be stored under the same name
    kWriteFailed = 14,    // writing the archive failed (a full disk, a device error)
    kReplaceFailed = 15,  // the finished archive could not be put in place of the target
    kBadOptions = 16,     // a switch the library refuses, or a bad argument (count, archive name)
};

// A failure that ends a run: the result code and the message printed for it.
class ZipError : public std::runtime_error {
  public:
    ZipError(Result code, const std::string& message) : std::runtime_error(message), code_(code) {}
    Result Code() const noexcept { return code_; }

  private:
    Result code_;
};

}  // namespace ost::zip
