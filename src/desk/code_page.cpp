#include "desk/code_page.h"

namespace ost::desk {

std::string ValidUtf8(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        size_t n = c < 0x80                      ? 1
                   : (c >> 5) == 6 && c >= 0xC2  ? 2
                   : (c >> 4) == 14              ? 3
                   : (c >> 3) == 30 && c <= 0xF4 ? 4
                                                 : 0;
        if (n > s.size() - i)
            n = 0;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2)
                n = 0;
        if (n == 0) {
            out += '?';
            ++i;
            continue;
        }
        out.append(s.substr(i, n));
        i += n;
    }
    return out;
}

}  // namespace ost::desk
