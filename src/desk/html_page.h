// ovdesk's page for a browser: one self-contained HTML document with the findings first and the
// facts of the support files in sections the reader opens. Every text on it comes from a
// customer's machine or a rules file, so every text is escaped; the page has no script, and its
// Content-Security-Policy lets it load nothing, so opening it fetches nothing from anywhere.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ost::desk {

// One finding of a rule as the page shows it.
struct HtmlFinding {
    std::string severity;  // "critical", "error", "warning", "info"
    std::string id, title, message;
    std::vector<std::string> links;                           // knowledge-base URLs
    std::vector<std::pair<std::string, std::string>> values;  // the values found, name -> text
    std::string file;                                         // the support file it was found in
};

// One page, written whole at the end: findings first, then sections the reader opens.
class HtmlPage {
  public:
    explicit HtmlPage(std::string title);
    // The findings, most severe first (the page sorts them: critical, error, warning, info, then
    // any other severity; stable within a severity), and the rules that could not be checked, with
    // why (rule id -> reason). A page whose findings were never given has no findings part; one
    // given none says "No findings". Given again, they replace the earlier ones.
    void Findings(std::vector<HtmlFinding> findings,
                  const std::vector<std::pair<std::string, std::string>>& notChecked);
    // A collapsible section (<details>, open or closed) holding a two-column table of facts...
    void Facts(const std::string& heading,
               const std::vector<std::pair<std::string, std::string>>& rows,
               bool open = false);
    // ...a table with a header row (its heading tells how many rows it has)...
    void Table(const std::string& heading,
               const std::vector<std::string>& columns,
               const std::vector<std::vector<std::string>>& rows,
               bool open = false);
    // ...or preformatted text (diff's lines, for instance).
    void Text(const std::string& heading, const std::string& text, bool open = false);
    // The whole document, UTF-8. Sections stand in the order they were added.
    std::string Document() const;

  private:
    std::string title_;
    std::string findings_;  // the findings part, written; empty until Findings is called
    std::string sections_;  // the sections, written
};

// Text for HTML: & < > " ' as entities, bytes that are no UTF-8 as U+FFFD, control characters
// (C0 but tab/LF/CR, DEL, C1) as the visible escapes of the terminal output (\x01, \u0085).
std::string HtmlEscape(std::string_view utf8);

// Whether `link` is a web address the page may make a link of: http:// or https://, in any case.
bool IsWebLink(std::string_view link);

}  // namespace ost::desk
