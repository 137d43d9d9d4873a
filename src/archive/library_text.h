// Texts on their way to and from the zip libraries, which take and give 8-bit text in the ANSI
// code page.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/locale.h"

namespace ost {

// The bytes of a library's callback buffer from index 0 up to and including `lastIndex`, ending
// before the first zero byte; empty for a null buffer. The bytes stay in the ANSI code page.
std::string CallbackText(const char* buffer, size_t lastIndex);

// The 8-bit copy of one text for one library call: a zero-terminated buffer in the ANSI code page
// that the library may write into, released with the object.
class AnsiCopy {
  public:
    // A null pointer for the library, standing for a text that is not there.
    AnsiCopy() = default;
    // The copy of `text`; raises what ILocale::ToAnsi raises.
    AnsiCopy(ILocale& locale, const std::string& text);

    // The pointer the library receives: null for a default-constructed copy.
    char* data() { return bytes_.empty() ? nullptr : bytes_.data(); }

    // Carries what the library wrote into the copy back into `text`, which must be the text the
    // copy was made from: the bytes up to the first zero, read in the ANSI code page. A copy the
    // library left as it was leaves `text` as it was.
    void CopyBackInto(ILocale& locale, std::string& text) const;

  private:
    std::vector<char> bytes_;  // the text and its terminating zero; the library may write into it
    std::string made_;         // the text as the copy was made
};

}  // namespace ost
