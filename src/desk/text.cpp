#include "desk/text.h"

#include <algorithm>
#include <cstdio>

namespace ost::desk {

namespace {

// The length of the UTF-8 character that starts at s[i] when it is a valid one, else 0.
size_t CharLength(std::string_view s, size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80                      ? 1
               : (c >> 5) == 6 && c >= 0xC2  ? 2
               : (c >> 4) == 14              ? 3
               : (c >> 3) == 30 && c <= 0xF4 ? 4
                                             : 0;
    if (n > s.size() - i)
        return 0;
    for (size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2)
            return 0;
    if (n == 3) {
        const auto d = static_cast<unsigned char>(s[i + 1]);
        if ((c == 0xE0 && d < 0xA0) || (c == 0xED && d >= 0xA0))  // overlong, or a surrogate
            return 0;
    }
    if (n == 4) {
        const auto d = static_cast<unsigned char>(s[i + 1]);
        if ((c == 0xF0 && d < 0x90) || (c == 0xF4 && d >= 0x90))  // overlong, or past U+10FFFF
            return 0;
    }
    return n;
}

uint32_t CodePoint(std::string_view s, size_t i, size_t n) {
    uint32_t c = static_cast<unsigned char>(s[i]) & (n == 1 ? 0x7F : 0x7F >> n);
    for (size_t k = 1; k < n; ++k)
        c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    return c;
}

}  // namespace

void AppendUtf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string Utf16LeToUtf8(const uint8_t* data, size_t units) {
    // At most three bytes a unit: written through a pointer, then cut to size.
    std::string out(3 * units, '\0');
    char* o = out.data();
    for (size_t i = 0; i < units; ++i) {
        uint32_t c = data[2 * i] | (data[2 * i + 1] << 8);
        if (c < 0x80) {
            *o++ = static_cast<char>(c);
            continue;
        }
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units) {
            const uint32_t low = data[2 * i + 2] | (data[2 * i + 3] << 8);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (c >= 0xD800 && c < 0xE000)
            c = 0xFFFD;
        if (c < 0x800) {
            *o++ = static_cast<char>(0xC0 | (c >> 6));
        } else {
            if (c < 0x10000) {
                *o++ = static_cast<char>(0xE0 | (c >> 12));
            } else {
                *o++ = static_cast<char>(0xF0 | (c >> 18));
                *o++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            }
            *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        }
        *o++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    out.resize(static_cast<size_t>(o - out.data()));
    return out;
}

std::string Utf8ToUtf16Le(std::string_view s) {
    std::string out;
    out.reserve(2 * s.size());
    auto unit = [&](uint32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    };
    for (size_t i = 0; i < s.size();) {
        const size_t n = CharLength(s, i);
        const uint32_t c = n == 0 ? 0xFFFD : CodePoint(s, i, n);
        i += n == 0 ? 1 : n;
        if (c < 0x10000) {
            unit(c);
        } else {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    return out;
}

// `s` with each valid character passed through `character` (its code point and its bytes), and
// each byte that starts none written as '?'.
template <typename Character>
std::string Rewrite(std::string_view s, Character character) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const size_t n = CharLength(s, i);
        if (n == 0) {
            out += '?';
            ++i;
            continue;
        }
        character(out, CodePoint(s, i, n), s.substr(i, n));
        i += n;
    }
    return out;
}

std::string ValidUtf8(std::string_view s) {
    return Rewrite(s, [](std::string& out, uint32_t, std::string_view bytes) { out.append(bytes); });
}

std::string PrintableLines(std::string_view raw) {
    std::string out;
    for (size_t start = 0; start <= raw.size();) {
        const size_t end = std::min(raw.find('\n', start), raw.size());
        std::string_view line = raw.substr(start, end - start);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        out += Printable(line) + "\n";
        start = end + 1;
    }
    return out;
}

std::string Printable(std::string_view s) {
    return Rewrite(s, [](std::string& out, uint32_t c, std::string_view bytes) {
        if (c >= 0x20 && (c < 0x7F || c >= 0xA0)) {
            out.append(bytes);
            return;
        }
        char escape[8];
        if (c == '\t' || c == '\n' || c == '\r')
            std::snprintf(escape, sizeof(escape), "\\%c", c == '\t' ? 't' : c == '\n' ? 'n' : 'r');
        else
            std::snprintf(escape, sizeof(escape), c < 0x80 ? "\\x%02x" : "\\u%04x", static_cast<unsigned>(c));
        out += escape;
    });
}

size_t DisplayWidth(std::string_view s) {
    size_t width = 0;
    for (size_t i = 0; i < s.size();) {
        const size_t n = std::max<size_t>(1, CharLength(s, i));
        const uint32_t c = n == 1 ? static_cast<unsigned char>(s[i]) : CodePoint(s, i, n);
        // Hangul Jamo, CJK and Hangul syllables, compatibility ideographs, full-width forms.
        const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
                          (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                          (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || c >= 0x20000;
        width += wide ? 2 : 1;
        i += n;
    }
    return width;
}

}  // namespace ost::desk
