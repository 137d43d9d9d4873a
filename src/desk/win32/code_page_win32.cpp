// Code pages through Windows' own tables.
#include <windows.h>

#include <algorithm>
#include <stdexcept>

#include "desk/code_page.h"
#include "desk/text.h"
#include "platform/win32/text.h"

namespace ost::desk {

bool IsKnownCodePage(uint32_t codePage) {
    return codePage == CP_UTF8 || ::IsValidCodePage(codePage) != 0;
}

std::string CodePageToUtf8(uint32_t codePage, std::string_view bytes) {
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::string(bytes);
    if (codePage == CP_UTF8)
        return ValidUtf8(bytes);
    if (!IsKnownCodePage(codePage))
        throw std::invalid_argument("code page " + std::to_string(codePage) + " is not installed on this system");
    // Without MB_ERR_INVALID_CHARS a byte that is no character becomes the code page's default.
    const int size = static_cast<int>(std::min<size_t>(bytes.size(), INT_MAX));
    std::wstring wide(static_cast<size_t>(::MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0)), L'\0');
    ::MultiByteToWideChar(codePage, 0, bytes.data(), size, wide.data(), static_cast<int>(wide.size()));
    return win::Narrow(wide);
}

}  // namespace ost::desk
