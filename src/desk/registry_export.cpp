#include "desk/registry_export.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

namespace ost::desk {

namespace {

// The key that names the machine's code pages, wherever the export puts its control set.
const std::string kSystemPrefix = "HKEY_LOCAL_MACHINE\\SYSTEM\\";
const std::string kCodePageTail = "\\CONTROL\\NLS\\CODEPAGE";
const std::string kCurrentControlSet = "HKEY_LOCAL_MACHINE\\SYSTEM\\CURRENTCONTROLSET\\CONTROL\\NLS\\CODEPAGE";

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

// UTF-16LE in UTF-8; a lone surrogate becomes "?".
std::string Utf16ToUtf8(const uint8_t* data, size_t units) {
    std::string out;
    out.reserve(units);
    for (size_t i = 0; i < units; ++i) {
        uint32_t c = data[2 * i] | (data[2 * i + 1] << 8);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units) {
            const uint32_t low = data[2 * i + 2] | (data[2 * i + 3] << 8);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (c >= 0xD800 && c < 0xE000)
            c = '?';
        AppendUtf8(out, c);
    }
    return out;
}

uint32_t Upper(uint32_t c) {
    if (c >= 'a' && c <= 'z')
        return c - 0x20;
    if (c < 0xE0)
        return c;
    if (c <= 0xFE)
        return c == 0xF7 ? c : c - 0x20;
    if (c == 0xFF)
        return 0x178;
    if (c >= 0x100 && c <= 0x17F) {
        // Latin Extended-A pairs its letters upper then lower, but for two runs that start odd.
        const bool oddFirst = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        return (c % 2 == (oddFirst ? 0u : 1u)) && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F ? c - 1 : c;
    }
    if (c == 0x3C2)
        return 0x3A3;
    if (c == 0x3AC || c == 0x3CC)
        return c == 0x3AC ? 0x386 : 0x38C;
    if ((c >= 0x3AD && c <= 0x3AF) || c == 0x3CD || c == 0x3CE)
        return c - (c <= 0x3AF ? 0x25 : 0x3F);
    if ((c >= 0x3B1 && c <= 0x3C9) || (c >= 0x430 && c <= 0x44F))
        return c - 0x20;
    if (c >= 0x450 && c <= 0x45F)
        return c - 0x50;
    return c;
}

}  // namespace

std::string FoldName(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) {
            out += static_cast<char>(b >= 'a' && b <= 'z' ? b - 0x20 : b);
            ++i;
            continue;
        }
        const size_t n = (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 1;
        if (n == 1 || i + n > s.size()) {
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        uint32_t c = b & (0x7F >> n);
        for (size_t k = 1; k < n; ++k)
            c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        AppendUtf8(out, Upper(c));
        i += n;
    }
    return out;
}

std::string ExpandKeyPath(std::string_view path) {
    std::string key(path);
    std::replace(key.begin(), key.end(), '/', '\\');
    if (key.size() >= 2 && key.front() == '[' && key.back() == ']')
        key = key.substr(1, key.size() - 2);
    while (!key.empty() && key.back() == '\\')
        key.pop_back();
    const size_t end = std::min(key.find('\\'), key.size());
    const std::string root = FoldName(key.substr(0, end));
    static const std::array<std::pair<const char*, const char*>, 5> kRoots = {{
        {"HKLM", "HKEY_LOCAL_MACHINE"},
        {"HKCU", "HKEY_CURRENT_USER"},
        {"HKCR", "HKEY_CLASSES_ROOT"},
        {"HKU", "HKEY_USERS"},
        {"HKCC", "HKEY_CURRENT_CONFIG"},
    }};
    for (const auto& [brief, full] : kRoots)
        if (root == brief)
            return full + key.substr(end);
    return key;
}

std::optional<size_t> DepthBelow(std::string_view key, std::string_view top) {
    if (!key.starts_with(top))
        return std::nullopt;
    if (key.size() == top.size())
        return 0;
    if (key[top.size()] != '\\')
        return std::nullopt;
    return 1 + static_cast<size_t>(std::count(key.begin() + static_cast<ptrdiff_t>(top.size()) + 1, key.end(), '\\'));
}

std::optional<std::string> ValueName(std::string_view line) {
    if (line.starts_with("@="))
        return "@";
    if (!line.starts_with('"'))
        return std::nullopt;
    std::string name;
    for (size_t i = 1; i < line.size(); ++i) {
        if (line[i] == '"')
            return line.substr(i + 1).starts_with('=') ? std::optional(name) : std::nullopt;
        if (line[i] == '\\' && ++i == line.size())
            break;
        name += line[i];
    }
    return std::nullopt;
}

ExportScanner::ExportScanner(std::function<bool(const std::string& key)> wantKey,
                             std::function<void(const std::string& line)> line,
                             std::function<std::string(std::string_view)> decodeAnsi)
    : wantKey_(std::move(wantKey)), line_(std::move(line)), decodeAnsi_(std::move(decodeAnsi)) {}

void ExportScanner::Feed(const uint8_t* data, size_t size) {
    if (size == 0)
        return;
    facts_.bytes += size;
    if (detected_ && facts_.form == ExportFacts::Form::kUnreadable)
        return;
    pending_.insert(pending_.end(), data, data + size);
    if (!detected_)
        Detect(false);
    if (!detected_ || facts_.form == ExportFacts::Form::kUnreadable)
        return;
    const size_t used = Lines(pending_.data(), pending_.size(), false);
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<ptrdiff_t>(used));
}

const ExportFacts& ExportScanner::Finish() {
    if (!detected_)
        Detect(true);
    if (facts_.form != ExportFacts::Form::kUnreadable) {
        // Whole lines: nothing is left over after the last line end.
        facts_.wholeLines = pending_.empty();
        if (!pending_.empty())
            Lines(pending_.data(), pending_.size(), true);
        if (facts_.form != ExportFacts::Form::kUnreadable && !headerRead_) {
            facts_.form = ExportFacts::Form::kUnreadable;
            facts_.problem = "holds no header line";
        }
    }
    pending_.clear();
    return facts_;
}

void ExportScanner::Detect(bool atEnd) {
    const std::vector<uint8_t>& p = pending_;
    auto unreadable = [&](const std::string& why) {
        facts_.form = ExportFacts::Form::kUnreadable;
        facts_.problem = why;
        detected_ = true;
        pending_.clear();
    };
    if (p.empty()) {
        if (atEnd)
            unreadable("is empty");
        return;
    }
    if (p.size() >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
        facts_.form = ExportFacts::Form::kUnicode;
        detected_ = true;
        pending_.erase(pending_.begin(), pending_.begin() + 2);
        return;
    }
    if (p.size() >= 2 && p[0] == 0xFE && p[1] == 0xFF)
        return unreadable("is in UTF-16 big-endian, not in the registry editor's UTF-16LE");
    if (p.size() >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF)
        return unreadable("is in UTF-8, not in the registry editor's UTF-16LE");
    const auto end = std::find(p.begin(), p.end(), '\n');
    if (end == p.end() && !atEnd && p.size() < 4096)
        return;
    std::string first(p.begin(), end);
    if (!first.empty() && first.back() == '\r')
        first.pop_back();
    if (first == kAnsiHeader) {
        facts_.form = ExportFacts::Form::kAnsi;
        detected_ = true;
    } else if (first == kUnicodeHeader) {
        unreadable("is in a single-byte code page, not in the registry editor's UTF-16LE");
    } else {
        unreadable("does not begin with a registry export's header");
    }
}

size_t ExportScanner::Lines(const uint8_t* data, size_t size, bool atEnd) {
    const bool unicode = facts_.form == ExportFacts::Form::kUnicode;
    const size_t unit = unicode ? 2 : 1;
    size_t start = 0;
    for (size_t from = 0; facts_.form != ExportFacts::Form::kUnreadable;) {
        const auto* hit = static_cast<const uint8_t*>(std::memchr(data + from, '\n', size - from));
        if (hit == nullptr) {
            if (atEnd && start < size)
                Line(std::string_view(reinterpret_cast<const char*>(data + start), (size - start) / unit * unit));
            return atEnd ? size : start;
        }
        const auto at = static_cast<size_t>(hit - data);
        from = at + 1;
        // In UTF-16 a line ends at an LF unit: an 0x0A byte at an even distance, followed by 0x00.
        if (unicode && ((at - start) % 2 != 0 || at + 1 >= size || data[at + 1] != 0))
            continue;
        Line(std::string_view(reinterpret_cast<const char*>(data + start), at - start));
        start = from = at + unit;
    }
    return size;
}

void ExportScanner::Line(std::string_view raw) {
    const bool unicode = facts_.form == ExportFacts::Form::kUnicode;
    if (unicode && raw.size() >= 2 && raw[raw.size() - 2] == '\r' && raw.back() == 0)
        raw.remove_suffix(2);
    else if (!unicode && !raw.empty() && raw.back() == '\r')
        raw.remove_suffix(1);
    if (!headerRead_) {
        headerRead_ = true;
        if (unicode && Text(raw) != kUnicodeHeader) {
            facts_.form = ExportFacts::Form::kUnreadable;
            facts_.problem = "does not begin with a registry export's header";
        }
        return;
    }
    if (!raw.empty() && raw[0] == '[' && (!unicode || raw[1] == 0)) {
        std::string key = Text(raw);
        if (key.back() != ']') {
            wanted_ = inCodePageKey_ = false;
            return;
        }
        ++facts_.keys;
        key = key.substr(1, key.size() - 2);
        const std::string folded = FoldName(key);
        const bool codePages = folded.starts_with(kSystemPrefix) && folded.ends_with(kCodePageTail);
        // The current control set is the one in use; another one counts only when it is missing.
        inCodePageKey_ = codePages && (!facts_.ansiCodePage || folded == kCurrentControlSet);
        wanted_ = wantKey_ && wantKey_(key);
        return;
    }
    if (!wanted_ && !inCodePageKey_)
        return;
    const std::string text = Text(raw);
    if (inCodePageKey_ && FoldName(ValueName(text).value_or("")) == "ACP") {
        // "ACP"="1252": one to five digits between the quotes.
        const size_t open = text.find("=\"");
        const size_t start = open == std::string::npos ? text.size() : open + 2;
        const size_t end = text.find_first_not_of("0123456789", start);
        if (end != std::string::npos && text[end] == '"' && end > start && end - start <= 5) {
            uint32_t number = 0;
            std::from_chars(text.data() + start, text.data() + end, number);
            if (number > 0)
                facts_.ansiCodePage = number;
        }
    }
    if (wanted_ && line_)
        line_(text);
}

std::string ExportScanner::Text(std::string_view raw) const {
    if (facts_.form == ExportFacts::Form::kUnicode)
        return Utf16ToUtf8(reinterpret_cast<const uint8_t*>(raw.data()), raw.size() / 2);
    if (decodeAnsi_)
        return decodeAnsi_(raw);
    std::string out;
    for (const char c : raw)
        AppendUtf8(out, static_cast<unsigned char>(c));
    return out;
}

}  // namespace ost::desk
