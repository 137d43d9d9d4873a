// Code pages through the C library's iconv.
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <stdexcept>
#include <vector>

#include "desk/code_page.h"
#include "desk/text.h"

namespace ost::desk {

namespace {

// iconv's name for a Windows code page; the East Asian ones go by their character sets' names.
std::string IconvName(uint32_t codePage) {
    switch (codePage) {
        case 936:
            return "GBK";
        case 949:
            return "UHC";
        case 950:
            return "BIG5";
        default:
            return "CP" + std::to_string(codePage);
    }
}

const iconv_t kNone = reinterpret_cast<iconv_t>(-1);

// One converter per code page, opened on first use and kept until the program ends.
iconv_t Converter(uint32_t codePage) {
    static struct Converters : std::map<uint32_t, iconv_t> {
        ~Converters() {
            for (const auto& [number, cd] : *this)
                if (cd != kNone)
                    ::iconv_close(cd);
        }
    } converters;
    if (const auto found = converters.find(codePage); found != converters.end())
        return found->second;
    const iconv_t cd = ::iconv_open("UTF-8", IconvName(codePage).c_str());
    converters.emplace(codePage, cd);
    return cd;
}

bool IsAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

bool IsKnownCodePage(uint32_t codePage) {
    return codePage == 65001 || Converter(codePage) != kNone;
}

std::string CodePageToUtf8(uint32_t codePage, std::string_view bytes) {
    if (IsAscii(bytes))
        return std::string(bytes);
    if (codePage == 65001)
        return ValidUtf8(bytes);
    const iconv_t cd = Converter(codePage);
    if (cd == kNone)
        throw std::invalid_argument("code page " + std::to_string(codePage) + " is not known on this system");
    ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    std::vector<char> piece(4 * bytes.size() + 16);
    auto* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* next = piece.data();
        size_t outLeft = piece.size();
        const size_t rc = ::iconv(cd, &in, &inLeft, &next, &outLeft);
        out.append(piece.data(), next);
        if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
            // A byte that starts no character of the code page, or a character cut off at the end.
            out += '?';
            ++in;
            --inLeft;
            ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    return out;
}

}  // namespace ost::desk
