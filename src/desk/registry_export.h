// The registry editor's export as it arrives in a support file: read as a stream, a piece at a
// time, so memory does not grow with the export. The registry editor of Windows 2000 and later
// writes UTF-16LE with a byte-order mark under the header "Windows Registry Editor Version 5.00";
// that of Windows 98 and ME writes the ANSI code page under "REGEDIT4". Lines end in CR LF; a
// key's line is its full path in brackets, followed by its values' lines ("name"=data, @=data for
// the default value, a long value continued on lines of its own).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ost::desk {

inline const std::string kUnicodeHeader = "Windows Registry Editor Version 5.00";
inline const std::string kAnsiHeader = "REGEDIT4";

// A key path as a user types it, in the export's form: a short root (HKLM, HKCU, HKCR, HKU, HKCC)
// spelled out, '/' read as '\', no brackets and no '\' at the end.
std::string ExpandKeyPath(std::string_view path);

// A key or value name in the form the registry compares names in: upper case (ASCII, Latin-1,
// Latin Extended-A, Greek and Cyrillic letters), everything else as it is.
std::string FoldName(std::string_view utf8);

// How deep `key` lies under `top` (both folded): 0 for `top` itself, 1 for a subkey, ...;
// nothing when `key` is not in `top`'s tree.
std::optional<size_t> DepthBelow(std::string_view key, std::string_view top);

// A value line's name: "@" for the default value, the unescaped name of a "name"= line; nothing
// for a line that begins no value (a continuation or anything else).
std::optional<std::string> ValueName(std::string_view line);

struct ExportFacts {
    enum class Form { kUnicode, kAnsi, kUnreadable };
    Form form = Form::kUnreadable;
    std::string problem;  // why the export is unreadable ("is empty", "is in UTF-8, ..."); else empty
    uint64_t bytes = 0;
    uint64_t keys = 0;
    bool wholeLines = false;               // it ends with a CR LF, and in UTF-16 with whole characters
    std::optional<uint32_t> ansiCodePage;  // the ACP value of the code page key, where it is
};

// Reads an export from its pieces. The facts are counted for every export; the lines of the keys
// a caller asks for are handed to it in UTF-8.
class ExportScanner {
  public:
    // `wantKey` is asked at each key line with the key's path (UTF-8, without brackets) and says
    // whether that key's value lines go to `line`. Lines of an ANSI export are decoded with
    // `decodeAnsi` (Latin-1 when it is empty).
    ExportScanner(std::function<bool(const std::string& key)> wantKey = {},
                  std::function<void(const std::string& line)> line = {},
                  std::function<std::string(std::string_view)> decodeAnsi = {});

    void Feed(const uint8_t* data, size_t size);
    // The export has ended: reads its last line and returns what was found.
    const ExportFacts& Finish();

  private:
    void Detect(bool atEnd);
    size_t Lines(const uint8_t* data, size_t size, bool atEnd);
    void Line(std::string_view raw);
    std::string Text(std::string_view raw) const;

    std::function<bool(const std::string&)> wantKey_;
    std::function<void(const std::string&)> line_;
    std::function<std::string(std::string_view)> decodeAnsi_;
    ExportFacts facts_;
    bool detected_ = false;
    bool headerRead_ = false;
    bool wanted_ = false;
    bool inCodePageKey_ = false;
    std::vector<uint8_t> pending_;  // the start of a line whose end has not come yet
};

}  // namespace ost::desk
