#include "desk/registry_export.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "desk/text.h"

namespace ost::desk {

namespace {

// The keys whose values the facts come from, in whichever control set the export puts them;
// the current control set is the one in use, and another one counts only when it is missing.
const std::string kSystemPrefix = "HKEY_LOCAL_MACHINE\\SYSTEM\\";
const std::string kCurrentControlSet = "HKEY_LOCAL_MACHINE\\SYSTEM\\CURRENTCONTROLSET";
const std::string kCodePageTail = "\\CONTROL\\NLS\\CODEPAGE";
const std::string kEnvironmentTail = "\\CONTROL\\SESSION MANAGER\\ENVIRONMENT";
const std::string kWow6432Node = "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432NODE";

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

std::string_view TrimEnd(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::string Latin1(std::string_view bytes) {
    std::string out;
    for (const char c : bytes)
        AppendUtf8(out, static_cast<unsigned char>(c));
    return out;
}

}  // namespace

std::string FoldName(std::string_view s) {
    // ASCII, the most of every export, a byte at a time into a string of the right size.
    std::string out(s);
    size_t i = 0;
    for (; i < out.size(); ++i) {
        const auto b = static_cast<unsigned char>(out[i]);
        if (b >= 0x80)
            break;
        if (b >= 'a' && b <= 'z')
            out[i] = static_cast<char>(b - 0x20);
    }
    if (i == out.size())
        return out;
    out.resize(i);
    while (i < s.size()) {
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

std::vector<std::string> ExportFacts::Problems() const {
    std::vector<std::string> out;
    if (longLines > 0)
        out.push_back("line " + std::to_string(firstLongLine) + " is longer than " +
                      std::to_string(kMaxLineBytes >> 20) + " MB and was not read" +
                      (longLines > 1 ? " (nor " + std::to_string(longLines - 1) + " more such lines)" : ""));
    if (badValues > 0)
        out.push_back(std::to_string(badValues) + (badValues == 1 ? " value" : " values") +
                      " could not be read, the first in [" + firstBadValueKey + "]");
    return out;
}

ExportReader::ExportReader(ExportHandler handler, AnsiDecoder ansi)
    : handler_(std::move(handler)), ansi_(std::move(ansi)) {
    if (!ansi_)
        ansi_ = Latin1;
}

void ExportReader::Feed(const uint8_t* data, size_t size) {
    if (size == 0)
        return;
    facts_.bytes += size;
    if (detected_ && facts_.form == ExportFacts::Form::kUnreadable)
        return;
    pending_.insert(pending_.end(), data, data + size);
    if (!detected_)
        Detect(false);
    if (detected_ && facts_.form != ExportFacts::Form::kUnreadable)
        Drain(false);
}

const ExportFacts& ExportReader::Finish() {
    if (!detected_)
        Detect(true);
    if (facts_.form != ExportFacts::Form::kUnreadable) {
        // Whole lines: nothing is left over after the last line break.
        facts_.wholeLines = pending_.empty() && !skippingLine_;
        Drain(true);
        if (!value_.empty())
            BadValue();  // cut off by the end of the export
        if (facts_.form != ExportFacts::Form::kUnreadable && !headerRead_) {
            facts_.form = ExportFacts::Form::kUnreadable;
            facts_.problem = "holds no header line";
        }
    }
    pending_.clear();
    return facts_;
}

void ExportReader::Detect(bool atEnd) {
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

void ExportReader::Drain(bool atEnd) {
    const bool unicode = facts_.form == ExportFacts::Form::kUnicode;
    const size_t unit = unicode ? 2 : 1;
    const uint8_t* data = pending_.data();
    const size_t size = pending_.size();
    size_t start = 0;
    size_t from = std::min(scan_, size);
    while (facts_.form != ExportFacts::Form::kUnreadable) {
        const auto* hit = static_cast<const uint8_t*>(std::memchr(data + from, '\n', size - from));
        if (hit == nullptr) {
            from = size;
            break;
        }
        const auto at = static_cast<size_t>(hit - data);
        // In UTF-16 a line ends at an LF unit: an 0x0A byte at an even distance, followed by 0x00.
        if (unicode && (at - start) % 2 != 0) {
            from = at + 1;
            continue;
        }
        if (unicode && at + 1 == size) {
            from = at;  // the unit's second byte has not come yet
            break;
        }
        if (unicode && data[at + 1] != 0) {
            from = at + 1;
            continue;
        }
        if (!skippingLine_ && at - start > kMaxLineBytes && facts_.longLines++ == 0)
            facts_.firstLongLine = facts_.lines + 1;
        if (skippingLine_ || at - start > kMaxLineBytes) {
            skippingLine_ = false;
            ++facts_.lines;
            lastLineEmpty_ = false;
        } else {
            Line(std::string_view(reinterpret_cast<const char*>(data + start), at - start));
        }
        start = from = at + unit;
    }
    if (atEnd && start < size && !skippingLine_ && facts_.form != ExportFacts::Form::kUnreadable) {
        Line(std::string_view(reinterpret_cast<const char*>(data + start), (size - start) / unit * unit));
        start = from = size;
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<ptrdiff_t>(start));
    scan_ = from - start;
    if (pending_.size() > kMaxLineBytes || (skippingLine_ && !pending_.empty())) {
        // A line too long to hold: counted once, then passed over up to its end. An even number
        // of bytes is dropped, so UTF-16 units stay where they were.
        if (!skippingLine_) {
            skippingLine_ = true;
            if (facts_.longLines++ == 0)
                facts_.firstLongLine = facts_.lines + 1;
        }
        const size_t keep = unicode ? pending_.size() % 2 : 0;
        pending_.erase(pending_.begin(), pending_.end() - static_cast<ptrdiff_t>(keep));
        scan_ = 0;
    }
}

void ExportReader::Line(std::string_view raw) {
    ++facts_.lines;
    const bool unicode = facts_.form == ExportFacts::Form::kUnicode;
    bool crLf = false;
    if (unicode && raw.size() >= 2 && raw[raw.size() - 2] == '\r' && raw.back() == 0) {
        raw.remove_suffix(2);
        crLf = true;
    } else if (!unicode && !raw.empty() && raw.back() == '\r') {
        raw.remove_suffix(1);
        crLf = true;
    }
    if (!headerRead_) {
        headerRead_ = true;
        if (unicode && Text(raw) != kUnicodeHeader) {
            facts_.form = ExportFacts::Form::kUnreadable;
            facts_.problem = "does not begin with a registry export's header";
        }
        return;
    }
    const bool afterEmpty = lastLineEmpty_;
    lastLineEmpty_ = raw.empty();
    // A key's line; inside a value that goes on over line breaks, only after an empty line.
    if (!raw.empty() && raw[0] == '[' && (!unicode || raw[1] == 0) && (value_.empty() || afterEmpty)) {
        std::string text = Text(raw);
        if (!value_.empty())
            BadValue();
        if (text.back() == ']')
            return KeyLine(text);
        // A key line cut off: whatever follows belongs to no key that can be named.
        wanted_ = false;
        special_ = Special::kNone;
        return;
    }
    if (wanted_ || special_ != Special::kNone)
        ValueLine(Text(raw), crLf);
}

void ExportReader::KeyLine(const std::string& text) {
    ++facts_.keys;
    key_ = text.substr(1, text.size() - 2);
    const std::string folded = FoldName(key_);
    special_ = Special::kNone;
    if (folded.starts_with(kSystemPrefix)) {
        const bool current = folded.starts_with(kCurrentControlSet + "\\");
        if (folded.ends_with(kCodePageTail) && (current || !facts_.ansiCodePage))
            special_ = Special::kCodePage;
        else if (folded.ends_with(kEnvironmentTail) && (current || facts_.processorArchitecture.empty()))
            special_ = Special::kEnvironment;
    }
    if (folded == kWow6432Node)
        facts_.wow6432Node = true;
    wanted_ = handler_.key && handler_.key(key_);
    value_.clear();
    skippingValue_ = false;
}

void ExportReader::ValueLine(const std::string& text, bool crLf) {
    if (skippingValue_) {
        // The rest of a value too long to hold: hex lines that go on, or the lines of a string
        // up to the next value's.
        const bool more = valueState_ == ValueParse::kMoreHex ? TrimEnd(text).ends_with('\\')
                                                               : !text.starts_with('"') && !text.starts_with('@');
        if (more)
            return;
        skippingValue_ = false;
        if (valueState_ == ValueParse::kMoreHex)
            return;
    }
    if (value_.empty()) {
        if (text.empty())
            return;
        value_ = text;
    } else {
        value_ += valueCrLf_ ? "\r\n" : "\n";
        value_ += text;
    }
    valueCrLf_ = crLf;
    if (value_.size() > kMaxValueText) {
        BadValue();
        skippingValue_ = true;
        return;
    }
    // Wrapped hex data is read once, when its last line has come.
    if (valueState_ == ValueParse::kMoreHex && value_.size() > text.size() && TrimEnd(text).ends_with('\\'))
        return;
    RegValue v;
    const bool ansi = facts_.form == ExportFacts::Form::kAnsi;
    valueState_ = ParseValue(value_, ansi ? ansi_ : AnsiDecoder(), v);
    if (valueState_ == ValueParse::kValue) {
        value_.clear();
        Value(v);
    } else if (valueState_ == ValueParse::kNotAValue) {
        const bool continued = value_.size() > text.size();
        BadValue();
        valueState_ = ValueParse::kValue;
        if (continued)  // the lines before were no value; this one may begin one
            ValueLine(text, crLf);
    }
}

void ExportReader::Value(const RegValue& v) {
    if (special_ == Special::kCodePage && FoldName(v.name) == "ACP" && v.type == kRegSz) {
        // "ACP"="1252": one to five digits.
        const std::string digits = ValueText(v);
        if (!digits.empty() && digits.size() <= 5 && digits.find_first_not_of("0123456789") == std::string::npos &&
            std::stoul(digits) > 0)
            facts_.ansiCodePage = static_cast<uint32_t>(std::stoul(digits));
    }
    if (special_ == Special::kEnvironment && FoldName(v.name) == "PROCESSOR_ARCHITECTURE" && v.type == kRegSz)
        facts_.processorArchitecture = ValueText(v);
    if (wanted_ && handler_.value)
        handler_.value(v);
}

void ExportReader::BadValue() {
    if (facts_.badValues++ == 0)
        facts_.firstBadValueKey = key_;
    value_.clear();
}

std::string ExportReader::Text(std::string_view raw) const {
    if (facts_.form == ExportFacts::Form::kUnicode)
        return Utf16LeToUtf8(reinterpret_cast<const uint8_t*>(raw.data()), raw.size() / 2);
    return ansi_(raw);
}

}  // namespace ost::desk
