#include "desk/glob.h"

#include <cstdint>
#include <vector>

#include "desk/registry_export.h"

namespace ost::desk {

namespace {

// The code point at s[i] and its length in bytes; a byte that starts no UTF-8 character is one
// character of its own.
std::pair<uint32_t, size_t> Next(std::string_view s, size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    const size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 1;
    if (n == 1 || i + n > s.size())
        return {b, 1};
    uint32_t c = b & (0x7F >> n);
    for (size_t k = 1; k < n; ++k)
        c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    return {c, n};
}

// Whether the set at pattern[p] ('[' ... ']') holds `c`; `end` gets the position after it. A '['
// without its ']' is a character of its own.
bool InSet(std::string_view pattern, size_t p, uint32_t c, size_t& end) {
    size_t i = p + 1;
    const bool negated = i < pattern.size() && pattern[i] == '!';
    if (negated)
        ++i;
    bool found = false;
    for (bool first = true; i < pattern.size(); first = false) {
        if (pattern[i] == ']' && !first) {
            end = i + 1;
            return found != negated;
        }
        const auto [low, n] = Next(pattern, i);
        i += n;
        uint32_t high = low;
        if (i + 1 < pattern.size() && pattern[i] == '-' && pattern[i + 1] != ']') {
            const auto [to, m] = Next(pattern, i + 1);
            high = to;
            i += 1 + m;
        }
        if (c >= low && c <= high)
            found = true;
    }
    end = p + 1;
    return c == '[';
}

}  // namespace

Glob::Glob(std::string_view pattern) : pattern_(FoldName(pattern)) {
    literal_ = pattern_.find_first_of("*?[") == std::string::npos;
}

bool Glob::Matches(std::string_view raw) const {
    const std::string text = FoldName(raw);
    if (literal_)
        return text == pattern_;
    const std::string_view p = pattern_;
    // The classic walk: on a mismatch, go back to the last '*' and let it take one more character.
    size_t pi = 0, ti = 0;
    size_t starP = std::string::npos, starT = 0;
    while (ti < text.size()) {
        if (pi < p.size() && p[pi] == '*') {
            starP = ++pi;
            starT = ti;
            continue;
        }
        if (pi < p.size()) {
            const auto [c, n] = Next(text, ti);
            size_t next = pi + 1;
            bool ok = false;
            if (p[pi] == '?') {
                ok = true;
            } else if (p[pi] == '[') {
                ok = InSet(p, pi, c, next);
            } else {
                const auto [pc, m] = Next(p, pi);
                ok = pc == c;
                next = pi + m;
            }
            if (ok) {
                pi = next;
                ti += n;
                continue;
            }
        }
        if (starP == std::string::npos)
            return false;
        pi = starP;
        starT += Next(text, starT).second;
        ti = starT;
    }
    while (pi < p.size() && p[pi] == '*')
        ++pi;
    return pi == p.size();
}

}  // namespace ost::desk
