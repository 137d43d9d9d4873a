#include "archive/library_text.h"

#include <algorithm>
#include <cstring>

namespace ost {

std::string CallbackText(const char* buffer, size_t lastIndex) {
    if (buffer == nullptr)
        return {};
    const void* zero = std::memchr(buffer, 0, lastIndex + 1);
    const size_t length =
        zero != nullptr ? static_cast<size_t>(static_cast<const char*>(zero) - buffer) : lastIndex + 1;
    return std::string(buffer, length);
}

AnsiCopy::AnsiCopy(ILocale& locale, const std::string& text) {
    const std::string ansi = locale.ToAnsi(text);
    bytes_.assign(ansi.begin(), ansi.end());
    bytes_.push_back('\0');
    made_ = ansi;
}

void AnsiCopy::CopyBackInto(ILocale& locale, std::string& text) const {
    if (bytes_.empty())
        return;
    // Not a comparison with a fresh conversion of `text`: for a text the code page cannot hold, that
    // would differ from `text` itself.
    if (std::equal(made_.begin(), made_.end(), bytes_.begin(), bytes_.end() - 1))
        return;
    const auto end = std::find(bytes_.begin(), bytes_.end(), '\0');
    text = locale.FromAnsi(std::string(bytes_.begin(), end));
}

}  // namespace ost
