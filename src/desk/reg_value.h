// One registry value as the registry editor's export writes it, and what it means. A value takes
// one line, "name"=data (@=data for the key's default value), or more: hex data that the editor
// wraps ends its lines in '\', and a string that holds a line break goes on over the break.
// This is the one place that reads that syntax, and the one place that writes it back.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace ost::desk {

// The registry's value types.
enum RegType : uint32_t {
    kRegNone = 0,
    kRegSz = 1,
    kRegExpandSz = 2,
    kRegBinary = 3,
    kRegDword = 4,
    kRegDwordBigEndian = 5,
    kRegLink = 6,
    kRegMultiSz = 7,
    kRegResourceList = 8,
    kRegFullResourceDescriptor = 9,
    kRegResourceRequirementsList = 10,
    kRegQword = 11,
};

// A type's name as Windows documents it ("REG_SZ"); a type Windows does not define by its number
// in hex ("0x20").
std::string TypeName(uint32_t type);

struct RegValue {
    std::string name;  // "" for the key's default value, which the export writes as @
    uint32_t type = kRegNone;
    bool quoted = false;  // the export wrote it as a "string", not as hex or dword data
    // The bytes the registry holds, as a program reading the value through the Unicode calls gets
    // them: text types in UTF-16LE with their terminating zero.
    std::vector<uint8_t> data;
    std::string problem;  // why the data cannot be read ("bad hex digits"); empty when it can
    std::string raw;      // the value's lines as the export has them (UTF-8), with the line breaks between them
};

// Turns bytes of a REGEDIT4 export's code page into UTF-8. Empty for an export in UTF-16.
using AnsiDecoder = std::function<std::string(std::string_view)>;

enum class ValueParse {
    kValue,       // `text` is one whole value
    kMoreHex,     // hex data that goes on in the next line
    kMoreString,  // a string (or a name) that goes on over a line break
    kNotAValue,   // not a value line of the export's syntax
};

// Reads the value in `text`: its first line and the lines that continue it, joined by the line
// breaks between them ("\n" or "\r\n"), in UTF-8. Fills `value` on kValue; the data of a value
// whose syntax is right but whose data is not (bad hex, a dword of nine digits) stays empty and
// `problem` says why.
ValueParse ParseValue(std::string_view text, const AnsiDecoder& ansi, RegValue& value);

// What the value means, for people: a string as it is, a list as ["a", "b"], a number in decimal
// and in hex, anything else as one line of hex bytes. Not yet escaped for a terminal.
std::string ValueText(const RegValue& value);

// The value in JSON: {"name", "type", "value"}, "value" being a string, an array of strings, a
// number or a string of hex digits, as its type says; null, with "problem", when its data does not
// fit its type.
nlohmann::json ValueJson(const RegValue& value);

// The texts a search of data looks at: a string, the items of a list, a number in decimal and in
// hex ("0x1f"); nothing for binary data.
std::vector<std::string> ValueSearchTexts(const RegValue& value);

// The value as the registry editor writes it into a version 5 export, which it imports again as
// the same type and bytes: "name"="text" for a plain string, dword:0000002a, or hex(N): data
// wrapped at 80 columns; lines joined by CR LF, in UTF-8. Nothing for a value whose data could
// not be read.
std::string RegFileLines(const RegValue& value);

}  // namespace ost::desk
