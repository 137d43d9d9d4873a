// The one place where a Win32 error code becomes the program's error type.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/error.h"

namespace ost::win {

// The system's own message for a Win32 error code, in the user's language, without its line end;
// empty when the system has none.
std::string SystemMessage(DWORD code);

// The classic run-time error number for a Win32 error code.
int32_t ClassicNumberFor(DWORD code);

// An AppError for a failed call: the classic number and description, and a context that names
// the call, the object and the system's own message ("DeleteFileW 'c:\x.txt': error 5: Access is denied.").
AppError Win32Error(DWORD code, std::string_view call, std::string_view object = {});

// The same for a call whose failure has one classic meaning whatever the system's reason (a
// library that cannot be loaded is "File not found"): `number` with its classic description, and
// the system's code and message in the context.
AppError Win32ErrorAs(int32_t number, DWORD code, std::string_view call, std::string_view object = {});

// Raises Win32Error for GetLastError(); call it on the line after the failing call.
[[noreturn]] void ThrowLastError(std::string_view call, std::string_view object = {});

}  // namespace ost::win
