// Text in a Windows code page, turned into UTF-8. A support report is written in the ANSI code
// page of the machine it describes, which is seldom the code page of the desk's own machine.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ost::desk {

// `bytes` of code page `codePage` (1252, 932, 1251, ..., 65001 for UTF-8) in UTF-8. ASCII passes
// unchanged; a byte sequence that is no text of the code page becomes "?". Raises
// std::invalid_argument naming the code page when this system cannot convert from it.
std::string CodePageToUtf8(uint32_t codePage, std::string_view bytes);

// Whether CodePageToUtf8 can convert from `codePage` here.
bool IsKnownCodePage(uint32_t codePage);

}  // namespace ost::desk
