// Case-insensitive glob patterns, as the desk types them to find a key, a value or a file: '*'
// stands for any text, '?' for one character, [abc], [a-z] and [!abc] for one character of a set
// or not of it. Letter case is compared as the registry compares names (FoldName). A match takes
// at most the text's length times the pattern's in steps, never more: no pattern can make a search
// slow.
#pragma once

#include <string>
#include <string_view>

namespace ost::desk {

class Glob {
  public:
    explicit Glob(std::string_view pattern);
    // Whether the whole of `text` (UTF-8) matches.
    bool Matches(std::string_view text) const;
    // Whether the pattern holds no '*', '?' or '[': it then matches its own text alone.
    bool Literal() const { return literal_; }
    const std::string& Pattern() const { return pattern_; }

  private:
    std::string pattern_;  // folded
    bool literal_ = true;
};

}  // namespace ost::desk
