// The registry editor's export as it arrives in a support file: read as a stream, a piece at a
// time, so memory does not grow with the export or with any one line of it. The registry editor
// of Windows 2000 and later writes UTF-16LE with a byte-order mark under the header "Windows
// Registry Editor Version 5.00"; that of Windows 98 and ME writes the ANSI code page under
// "REGEDIT4". Lines end in CR LF; a key's line is its full path in brackets, followed by its
// values (reg_value.h), and an empty line.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "desk/reg_value.h"

namespace ost::desk {

inline const std::string kUnicodeHeader = "Windows Registry Editor Version 5.00";
inline const std::string kAnsiHeader = "REGEDIT4";

// A line longer than this is passed over: no export has one, and holding it would let one damaged
// line take the desk's memory. A value longer than kMaxValueText, over all its lines, likewise.
inline constexpr size_t kMaxLineBytes = size_t{4} << 20;
inline constexpr size_t kMaxValueText = size_t{8} << 20;

// A key path as a user types it, in the export's form: a short root (HKLM, HKCU, HKCR, HKU, HKCC)
// spelled out, no brackets and no '\' at the end. A '/' is part of a key's name, as in Windows.
std::string ExpandKeyPath(std::string_view path);

// A key or value name in the form the registry compares names in: upper case (ASCII, Latin-1,
// Latin Extended-A, Greek and Cyrillic letters), everything else as it is.
std::string FoldName(std::string_view utf8);

// How deep `key` lies under `top` (both folded): 0 for `top` itself, 1 for a subkey, ...;
// nothing when `key` is not in `top`'s tree.
std::optional<size_t> DepthBelow(std::string_view key, std::string_view top);

struct ExportFacts {
    enum class Form { kUnicode, kAnsi, kUnreadable };
    Form form = Form::kUnreadable;
    std::string problem;  // why the export is unreadable ("is empty", "is in UTF-8, ..."); else empty
    uint64_t bytes = 0;
    uint64_t lines = 0;
    uint64_t keys = 0;
    bool wholeLines = false;  // it ends with a line break, and in UTF-16 with whole characters
    // Lines longer than kMaxLineBytes, which were passed over, and the number of the first.
    uint64_t longLines = 0, firstLongLine = 0;
    // Values of the keys that were read whose lines are not in the export's syntax, are cut off
    // by the end of the export or run past kMaxValueText; and the key of the first.
    uint64_t badValues = 0;
    std::string firstBadValueKey;
    std::optional<uint32_t> ansiCodePage;  // the ACP value of the code page key, where it is
    bool wow6432Node = false;              // it has HKLM\SOFTWARE\Wow6432Node: 64-bit Windows
    std::string processorArchitecture;     // PROCESSOR_ARCHITECTURE of the system's environment

    // What in the export could not be read, as phrases; empty when all could.
    std::vector<std::string> Problems() const;
    // Read whole: in a readable form, with keys, ending with a whole line, and nothing passed over.
    bool Complete() const { return form != Form::kUnreadable && wholeLines && keys > 0 && Problems().empty(); }
};

// What a reader of the export wants of it.
struct ExportHandler {
    // Asked at each key line with the key's path (UTF-8, without brackets): whether that key's
    // values go to `value`.
    std::function<bool(const std::string& key)> key;
    std::function<void(const RegValue& value)> value;
};

// Reads an export from its pieces. The facts are gathered for every export; the values of the
// keys the handler asks for are handed to it as they are read.
class ExportReader {
  public:
    // The lines of a REGEDIT4 export are read with `ansi` (Latin-1 when it is empty).
    explicit ExportReader(ExportHandler handler = {}, AnsiDecoder ansi = {});

    void Feed(const uint8_t* data, size_t size);
    // The export has ended: reads its last line and returns what was found.
    const ExportFacts& Finish();

  private:
    void Detect(bool atEnd);
    void Drain(bool atEnd);
    void Line(std::string_view raw);
    void KeyLine(const std::string& text);
    void ValueLine(const std::string& text, bool crLf);
    void Value(const RegValue& value);
    void BadValue();
    std::string Text(std::string_view raw) const;

    ExportHandler handler_;
    AnsiDecoder ansi_;
    ExportFacts facts_;
    bool detected_ = false;
    bool headerRead_ = false;
    bool skippingLine_ = false;  // inside a line longer than kMaxLineBytes
    bool wanted_ = false;        // the values of the current key go to the handler
    enum class Special { kNone, kCodePage, kEnvironment } special_ = Special::kNone;
    bool lastLineEmpty_ = false;
    std::string key_;                                    // the current key's path
    std::string value_;                           // a value read so far, whose lines go on
    bool valueCrLf_ = false;                      // the last of its lines ended in CR LF
    ValueParse valueState_ = ValueParse::kValue;  // what `value_` waits for
    bool skippingValue_ = false;                  // inside a value longer than kMaxValueText
    std::vector<uint8_t> pending_;                // the start of a line whose end has not come yet
    size_t scan_ = 0;                             // how far `pending_` was searched for a line end
};

}  // namespace ost::desk
