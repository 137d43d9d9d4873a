// The program's one error type and the classic run-time error numbers it carries.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace ost {

// The run-time error numbers users of such tools know, with the descriptions ClassicDescription gives.
namespace err {
inline constexpr int32_t kInvalidCall = 5;          // "Invalid procedure call or argument"
inline constexpr int32_t kOverflow = 6;             // "Overflow"
inline constexpr int32_t kOutOfMemory = 7;          // "Out of memory"
inline constexpr int32_t kSubscript = 9;            // "Subscript out of range"
inline constexpr int32_t kDivisionByZero = 11;      // "Division by zero"
inline constexpr int32_t kBadFileName = 52;         // "Bad file name or number"
inline constexpr int32_t kFileNotFound = 53;        // "File not found"
inline constexpr int32_t kBadFileMode = 54;         // "Bad file mode"
inline constexpr int32_t kFileAlreadyOpen = 55;     // "File already open"
inline constexpr int32_t kDeviceIo = 57;            // "Device I/O error"
inline constexpr int32_t kFileExists = 58;          // "File already exists"
inline constexpr int32_t kDiskFull = 61;            // "Disk full"
inline constexpr int32_t kInputPastEnd = 62;        // "Input past end of file"
inline constexpr int32_t kPermissionDenied = 70;    // "Permission denied"
inline constexpr int32_t kDiskNotReady = 71;        // "Disk not ready"
inline constexpr int32_t kPathFileAccess = 75;      // "Path/File access error"
inline constexpr int32_t kPathNotFound = 76;        // "Path not found"
inline constexpr int32_t kObjectNotSet = 91;        // "Object variable or With block variable not set"
inline constexpr int32_t kFileNotFoundDll = 48;     // "Error in loading DLL"
inline constexpr int32_t kEntryPointMissing = 453;  // "Specified DLL function not found"
inline constexpr int32_t kCantCreateObject = 429;   // "ActiveX component can't create object"

// The base of the numbers that objects raise for their own errors (0x80040000, as a signed value).
inline constexpr int32_t kObjectErrorBase = static_cast<int32_t>(0x80040000u);
}  // namespace err

// The description that goes with a classic run-time error number; "Application-defined or
// object-defined error" for numbers outside the table.
std::string_view ClassicDescription(int32_t number);

// A failure with a number, a description and a source (the operation that raised it, as
// "Class::Operation"). `context` says what was attempted on what and what the system answered
// ("DeleteFile 'c:\x.txt': Win32 error 5, Access is denied."); what() returns it when present.
class AppError : public std::runtime_error {
  public:
    AppError(int32_t number, std::string description, std::string source = {}, std::string context = {});

    int32_t Number() const noexcept { return number_; }
    const std::string& Description() const noexcept { return description_; }
    const std::string& Source() const noexcept { return source_; }
    const std::string& Context() const noexcept { return context_; }

    // The same error raised again from another place: number and description kept.
    AppError WithSource(std::string source) const;

  private:
    int32_t number_;
    std::string description_;
    std::string source_;
    std::string context_;
};

// An AppError with the classic description of `number`.
AppError MakeError(int32_t number, std::string source = {}, std::string context = {});

// The exception being handled, as an AppError: an AppError as it is, std::bad_alloc as 7 "Out of
// memory", any other exception as 5 "Invalid procedure call or argument" with what it says as the
// context. Only for use inside a catch block.
AppError CurrentError();

}  // namespace ost
