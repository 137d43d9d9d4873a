// Text as ovdesk handles it: UTF-8 inside, UTF-16LE in the registry editor's exports, and output
// that no byte of a customer's file can turn into a terminal's control sequence.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ost::desk {

void AppendUtf8(std::string& out, uint32_t codePoint);

// `units` UTF-16LE code units at `data` in UTF-8; a surrogate without its pair becomes U+FFFD.
std::string Utf16LeToUtf8(const uint8_t* data, size_t units);

// UTF-8 in UTF-16LE bytes; a byte that is no part of a UTF-8 character becomes U+FFFD.
std::string Utf8ToUtf16Le(std::string_view utf8);

// UTF-8 as it stands, with every byte sequence that is not UTF-8 replaced by "?".
std::string ValidUtf8(std::string_view bytes);

// A text for a terminal: valid UTF-8, with every control character (C0, DEL and C1) written as an
// escape: \t, \n and \r, and \xNN or \u00NN for the others. Nothing else changes.
std::string Printable(std::string_view utf8);

// Text of several lines (LF or CR LF) for a terminal: each line Printable, each ending in "\n".
std::string PrintableLines(std::string_view text);

// The columns a text takes on a terminal: one per character, two for the wide East Asian ones.
size_t DisplayWidth(std::string_view utf8);

}  // namespace ost::desk
