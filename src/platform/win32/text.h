// Text conversion at the Win32 edge: UTF-8 inside the program, UTF-16 for the ...W calls and the
// ANSI code page for the ...A calls, the report file and the zip libraries' buffers.
#pragma once

#include <string>
#include <string_view>

namespace ost::win {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// UTF-8 to the ANSI code page; a character the code page cannot hold becomes '?'.
std::string ToAnsi(std::string_view utf8);
// ANSI code page bytes to UTF-8.
std::string FromAnsi(std::string_view ansi);

}  // namespace ost::win
