#include "desk/reg_value.h"

#include <charconv>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "desk/text.h"

namespace ost::desk {

namespace {

constexpr size_t kNone = std::string_view::npos;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool AllBlank(std::string_view s) {
    return std::all_of(s.begin(), s.end(), IsBlank);
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Hex digits as a number; nothing for an empty text, another character, or more than `most` digits.
std::optional<uint32_t> HexNumber(std::string_view digits, size_t most) {
    uint32_t value = 0;
    if (digits.empty() || digits.size() > most || !std::all_of(digits.begin(), digits.end(), IsHexDigit))
        return std::nullopt;
    std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    return value;
}

// Reads the quoted text whose opening quote is just before `i`, unescaping \\ and \" (and \n, \r
// and \0, which Wine's registry editor writes). Returns where the text goes on after its closing
// quote, or kNone when `text` ends first.
size_t Quoted(std::string_view text, size_t i, std::string& out) {
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"')
            return i + 1;
        if (c == '\\') {
            if (++i == text.size())
                return kNone;
            const char e = text[i];
            out += e == 'n' ? '\n' : e == 'r' ? '\r' : e == '0' ? '\0' : e;
        } else {
            out += c;
        }
    }
    return kNone;
}

std::string Escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out;
}

// The value of a hex digit, or -1.
int Nibble(char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// Comma-separated hex bytes of one or two digits, where a '\' at a line's end and the blanks that
// begin the next line are a line wrap. Returns false at anything else.
bool HexBytes(std::string_view s, std::vector<uint8_t>& out) {
    out.reserve(s.size() / 3 + 1);
    size_t i = 0;
    auto skip = [&] {
        for (;;) {
            while (i < s.size() && (IsBlank(s[i]) || s[i] == '\r' || s[i] == '\n'))
                ++i;
            if (i >= s.size() || s[i] != '\\')
                return;
            size_t k = i + 1;
            while (k < s.size() && IsBlank(s[k]))
                ++k;
            if (k == s.size() || (s[k] != '\r' && s[k] != '\n'))
                return;
            i = k;
        }
    };
    skip();
    while (i < s.size()) {
        const int high = Nibble(s[i]);
        if (high < 0)
            return false;
        const int low = i + 1 < s.size() ? Nibble(s[i + 1]) : -1;
        out.push_back(static_cast<uint8_t>(low < 0 ? high : high << 4 | low));
        i += low < 0 ? 1 : 2;
        skip();
        if (i == s.size())
            break;
        if (s[i] != ',')
            return false;
        ++i;
        skip();
    }
    return true;
}

bool IsTextType(uint32_t type) {
    return type == kRegSz || type == kRegExpandSz || type == kRegLink || type == kRegMultiSz;
}

// A value's data as a program sees it.
struct Meaning {
    enum class Kind { kText, kList, kNumber, kBytes } kind = Kind::kBytes;
    std::string text;
    std::vector<std::string> items;
    uint64_t number = 0;
    int digits = 8;       // of the number in hex
    std::string problem;  // why the data does not fit its type
};

// UTF-16LE text with its terminating zeros taken off. An odd last byte that is not zero cannot be
// part of a character: that is a problem, not a character to guess.
std::optional<std::string> Utf16Text(const std::vector<uint8_t>& data) {
    size_t size = data.size();
    if (size % 2 != 0) {
        if (data.back() != 0)
            return std::nullopt;
        --size;
    }
    while (size >= 2 && data[size - 1] == 0 && data[size - 2] == 0)
        size -= 2;
    return Utf16LeToUtf8(data.data(), size / 2);
}

Meaning Decode(const RegValue& v) {
    Meaning m;
    const std::vector<uint8_t>& d = v.data;
    auto little = [&](size_t n) {
        uint64_t x = 0;
        for (size_t i = n; i-- > 0;)
            x = (x << 8) | d[i];
        return x;
    };
    auto sized = [&](size_t n) {
        if (d.size() == n)
            return true;
        m.problem = "it holds " + std::to_string(d.size()) + " bytes, not " + std::to_string(n);
        return false;
    };
    if (IsTextType(v.type)) {
        const auto text = Utf16Text(d);
        if (!text) {
            m.problem = "its text ends in half a character";
        } else if (v.type != kRegMultiSz) {
            m.kind = Meaning::Kind::kText;
            m.text = *text;
        } else {
            m.kind = Meaning::Kind::kList;
            for (size_t start = 0; !text->empty();) {
                const size_t end = text->find('\0', start);
                m.items.push_back(text->substr(start, end - start));
                if (end == std::string::npos)
                    break;
                start = end + 1;
            }
        }
    } else if ((v.type == kRegDword || v.type == kRegDwordBigEndian) && sized(4)) {
        m.kind = Meaning::Kind::kNumber;
        m.number = v.type == kRegDword ? little(4) : (uint64_t{d[0]} << 24 | d[1] << 16 | d[2] << 8 | d[3]);
    } else if (v.type == kRegQword && sized(8)) {
        m.kind = Meaning::Kind::kNumber;
        m.number = little(8);
        m.digits = 16;
    }
    return m;
}

std::string Hex(const std::vector<uint8_t>& data, const char* separator) {
    std::string out;
    char byte[4];
    for (size_t i = 0; i < data.size(); ++i) {
        std::snprintf(byte, sizeof(byte), "%02x", data[i]);
        out += (i == 0 ? "" : separator);
        out += byte;
    }
    return out;
}

std::string HexNumberText(uint64_t n, int digits) {
    char text[24];
    std::snprintf(text, sizeof(text), "0x%0*llx", digits, static_cast<unsigned long long>(n));
    return text;
}

}  // namespace

std::string TypeName(uint32_t type) {
    static const char* const kNames[] = {"REG_NONE",
                                         "REG_SZ",
                                         "REG_EXPAND_SZ",
                                         "REG_BINARY",
                                         "REG_DWORD",
                                         "REG_DWORD_BIG_ENDIAN",
                                         "REG_LINK",
                                         "REG_MULTI_SZ",
                                         "REG_RESOURCE_LIST",
                                         "REG_FULL_RESOURCE_DESCRIPTOR",
                                         "REG_RESOURCE_REQUIREMENTS_LIST",
                                         "REG_QWORD"};
    if (type < std::size(kNames))
        return kNames[type];
    return HexNumberText(type, 0);
}

ValueParse ParseValue(std::string_view text, const AnsiDecoder& ansi, RegValue& v) {
    v = RegValue{};
    size_t i = 1;
    if (text.starts_with('"')) {
        i = Quoted(text, 1, v.name);
        if (i == kNone)
            return ValueParse::kMoreString;
    } else if (!text.starts_with('@')) {
        return ValueParse::kNotAValue;
    }
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    if (i == text.size() || text[i] != '=')
        return ValueParse::kNotAValue;
    ++i;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    const std::string_view data = text.substr(i);
    v.raw = text;
    if (data.starts_with('"')) {
        std::string s;
        const size_t end = Quoted(data, 1, s);
        if (end == kNone)
            return ValueParse::kMoreString;
        if (!AllBlank(data.substr(end)))
            return ValueParse::kNotAValue;
        v.type = kRegSz;
        v.quoted = true;
        const std::string wide = Utf8ToUtf16Le(s);
        v.data.assign(wide.begin(), wide.end());
        v.data.insert(v.data.end(), {0, 0});
        return ValueParse::kValue;
    }
    if (data.starts_with("dword:")) {
        std::string_view digits = data.substr(6);
        while (!digits.empty() && IsBlank(digits.back()))
            digits.remove_suffix(1);
        v.type = kRegDword;
        if (const auto n = HexNumber(digits, 8))
            v.data = {static_cast<uint8_t>(*n), static_cast<uint8_t>(*n >> 8), static_cast<uint8_t>(*n >> 16),
                      static_cast<uint8_t>(*n >> 24)};
        else
            v.problem = "its dword data is not 1 to 8 hex digits";
        return ValueParse::kValue;
    }
    std::string_view bytes;
    if (data.starts_with("hex:")) {
        v.type = kRegBinary;
        bytes = data.substr(4);
    } else if (data.starts_with("hex(")) {
        const size_t close = data.find("):");
        const auto type = close == kNone ? std::nullopt : HexNumber(data.substr(4, close - 4), 8);
        if (!type)
            return ValueParse::kNotAValue;
        v.type = *type;
        bytes = data.substr(close + 2);
    } else {
        return ValueParse::kNotAValue;
    }
    std::string_view end = bytes;
    while (!end.empty() && IsBlank(end.back()))
        end.remove_suffix(1);
    if (end.ends_with('\\'))
        return ValueParse::kMoreHex;
    if (!HexBytes(bytes, v.data)) {
        v.data.clear();
        v.problem = "its hex data is not bytes of two hex digits between commas";
    } else if (ansi && IsTextType(v.type)) {
        // A REGEDIT4 export holds text types in its code page: the registry holds them in UTF-16.
        const std::string wide = Utf8ToUtf16Le(ansi(std::string_view(reinterpret_cast<const char*>(v.data.data()), v.data.size())));
        v.data.assign(wide.begin(), wide.end());
    }
    return ValueParse::kValue;
}

std::string ValueText(const RegValue& v) {
    if (!v.problem.empty())
        return "(unreadable: " + v.problem + ") " + v.raw.substr(v.raw.find('=') + 1);
    const Meaning m = Decode(v);
    if (!m.problem.empty())
        return "(" + m.problem + ") " + Hex(v.data, " ");
    switch (m.kind) {
        case Meaning::Kind::kText:
            return m.text;
        case Meaning::Kind::kList: {
            // Paths read as they are: only a quote inside an item is escaped. JSON has them exact.
            std::string out = "[";
            for (size_t i = 0; i < m.items.size(); ++i) {
                out += i == 0 ? "\"" : ", \"";
                for (const char c : m.items[i])
                    out += c == '"' ? std::string("\\\"") : std::string(1, c);
                out += "\"";
            }
            return out + "]";
        }
        case Meaning::Kind::kNumber:
            return std::to_string(m.number) + " (" + HexNumberText(m.number, m.digits) + ")";
        case Meaning::Kind::kBytes:
            break;
    }
    return Hex(v.data, " ");
}

nlohmann::json ValueJson(const RegValue& v) {
    nlohmann::json j = {{"name", v.name}, {"type", TypeName(v.type)}};
    const Meaning m = Decode(v);
    const std::string& problem = v.problem.empty() ? m.problem : v.problem;
    if (!problem.empty()) {
        j["value"] = nullptr;
        j["problem"] = problem;
        return j;
    }
    switch (m.kind) {
        case Meaning::Kind::kText:
            j["value"] = m.text;
            break;
        case Meaning::Kind::kList:
            j["value"] = m.items;
            break;
        case Meaning::Kind::kNumber:
            j["value"] = m.number;
            break;
        case Meaning::Kind::kBytes:
            j["value"] = Hex(v.data, "");
            break;
    }
    return j;
}

std::vector<std::string> ValueSearchTexts(const RegValue& v) {
    if (!v.problem.empty())
        return {};
    const Meaning m = Decode(v);
    if (!m.problem.empty())
        return {};
    switch (m.kind) {
        case Meaning::Kind::kText:
            return {m.text};
        case Meaning::Kind::kList:
            return m.items;
        case Meaning::Kind::kNumber:
            return {std::to_string(m.number), HexNumberText(m.number, 0)};
        case Meaning::Kind::kBytes:
            break;
    }
    return {};
}

std::string RegFileLines(const RegValue& v) {
    if (!v.problem.empty())
        return "";
    std::string out = v.name.empty() ? "@=" : "\"" + Escaped(v.name) + "\"=";
    if (v.type == kRegSz) {
        // As a "string" only when that gives the same bytes back: one terminator, no other zero,
        // no line break or other control character (importers differ on those), whole characters.
        const auto text = v.data.size() % 2 == 0 ? Utf16Text(v.data) : std::nullopt;
        if (text && std::none_of(text->begin(), text->end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; })) {
            const std::string again = Utf8ToUtf16Le(*text) + std::string(2, '\0');
            if (again.size() == v.data.size() && std::equal(again.begin(), again.end(), v.data.begin()))
                return out + "\"" + Escaped(*text) + "\"";
        }
    }
    if (v.type == kRegDword && v.data.size() == 4) {
        char digits[16];
        std::snprintf(digits, sizeof(digits), "dword:%08x",
                      static_cast<unsigned>(v.data[0] | v.data[1] << 8 | v.data[2] << 16 | v.data[3] << 24));
        return out + digits;
    }
    out += v.type == kRegBinary ? "hex:" : "hex(" + HexNumberText(v.type, 0).substr(2) + "):";
    // Wrapped as the registry editor wraps: no line longer than 80 columns, its '\' included.
    size_t column = out.size();
    char byte[4];
    for (size_t i = 0; i < v.data.size(); ++i) {
        const size_t width = i + 1 < v.data.size() ? 3 : 2;
        if (column + width > 79 && column > 2) {
            out += "\\\r\n  ";
            column = 2;
        }
        std::snprintf(byte, sizeof(byte), "%02x", v.data[i]);
        out += byte;
        if (i + 1 < v.data.size())
            out += ',';
        column += width;
    }
    return out;
}

}  // namespace ost::desk
