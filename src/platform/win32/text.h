// Text conversion at the Win32 edge: UTF-8 inside the program, UTF-16 for the ...W calls and the
// ANSI code page for the ...A calls, the report file and the zip libraries' buffers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ost::win {

// UTF-8 to UTF-16 and back. Invalid UTF-8 bytes and unpaired surrogates become U+FFFD.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// UTF-8 to the bytes of `codePage`, which may be any code page the system can be set to: the
// single-byte ones, the double-byte ones (932, 936, 949, 950) and UTF-8 itself (65001, Windows'
// "Unicode UTF-8 for worldwide language support"). A character the code page cannot hold becomes
// '?' (never a look-alike that could change a file name's meaning). Raises AppError when the
// system cannot convert at all (an unknown code page, a text of 2 GB or more); it never gives an
// empty text for a non-empty one.
std::string ToCodePage(uint32_t codePage, std::string_view utf8);
// Bytes in `codePage` to UTF-8; bytes the code page does not define become U+FFFD. Raises as
// ToCodePage does.
std::string FromCodePage(uint32_t codePage, std::string_view bytes);

// Every letter in upper case by the file system's own mapping, the same in every locale: "é"
// becomes "É", "ß" stays, no Turkish dotted capital I. Two names that Windows treats as one name
// come out equal.
std::string UpperCase(std::string_view utf8);

// The same for the system's ANSI code page (GetACP).
std::string ToAnsi(std::string_view utf8);
std::string FromAnsi(std::string_view ansi);

}  // namespace ost::win
