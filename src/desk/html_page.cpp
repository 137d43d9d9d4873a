#include "desk/html_page.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "desk/text.h"

namespace ost::desk {

namespace {

// The page's only rules of presentation. Each severity has a colour and its name in words, so
// that the page reads the same in black and white and to a screen reader.
constexpr std::string_view kStyle = R"(
body { font: 15px/1.45 system-ui, sans-serif; color: #1a1a1a; background: #fff; margin: 1.5em auto; max-width: 72em; padding: 0 1em; }
h1 { font-size: 1.5em; margin: 0 0 .6em; overflow-wrap: anywhere; }
h2 { font-size: 1.25em; border-bottom: 1px solid #bbb; margin: 1.4em 0 .5em; }
h3 { font-size: 1.05em; margin: 0 0 .3em; overflow-wrap: anywhere; }
table { border-collapse: collapse; margin: .3em 0; }
th, td { border: 1px solid #ccc; padding: .15em .5em; text-align: left; vertical-align: top; overflow-wrap: anywhere; }
th { background: #f2f2f2; font-weight: 600; }
code, pre { font-family: ui-monospace, monospace; }
pre { background: #f7f7f7; border: 1px solid #ddd; padding: .5em; white-space: pre-wrap; overflow-wrap: anywhere; }
.finding { border: 1px solid #ccc; border-left: .5em solid #777; padding: .5em .8em; margin: .6em 0; break-inside: avoid; }
.severity { display: inline-block; font-size: .8em; font-weight: 700; text-transform: uppercase; padding: 0 .4em; margin-right: .4em; border: 1px solid; border-radius: .2em; }
.critical { border-left-color: #7a0010; } .critical .severity { color: #fff; background: #7a0010; }
.error { border-left-color: #c00000; } .error .severity { color: #fff; background: #c00000; }
.warning { border-left-color: #b35900; } .warning .severity { color: #000; background: #ffc266; }
.info { border-left-color: #1f5fa8; } .info .severity { color: #1f5fa8; background: #fff; }
.other .severity { color: #000; background: #eee; }
.links { margin: .3em 0 0; padding-left: 1.2em; }
.file, .count, .none { color: #555; }
details { border: 1px solid #ccc; padding: .3em .8em; margin: .5em 0; }
summary { font-weight: 600; cursor: pointer; overflow-wrap: anywhere; }
@media print {
  body { margin: 0; max-width: none; font-size: 11pt; }
  details::details-content { content-visibility: visible; display: contents; }
  a { color: inherit; }
}
)";

constexpr std::array<std::string_view, 4> kSeverities = {"critical", "error", "warning", "info"};

// A severity's place in the order of the page; one the page does not know goes after them all.
size_t SeverityRank(const std::string& severity) {
    return static_cast<size_t>(std::find(kSeverities.begin(), kSeverities.end(), severity) - kSeverities.begin());
}

// The name of a rank as the page's classes and counts use it.
std::string SeverityName(size_t rank) {
    return std::string(rank < kSeverities.size() ? kSeverities[rank] : "other");
}

// Appends `text` escaped, with the characters of HTML's syntax as entities.
void AppendEntities(std::string& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
}

std::string Cell(const char* tag, const std::string& text) {
    return std::string("<") + tag + ">" + HtmlEscape(text) + "</" + tag + ">";
}

std::string FactRows(const std::vector<std::pair<std::string, std::string>>& rows) {
    std::string out;
    for (const auto& [name, value] : rows)
        out += "<tr>" + Cell("th", name) + Cell("td", value) + "</tr>\n";
    return out;
}

std::string Link(const std::string& link) {
    if (!IsWebLink(link))
        return "<li>" + HtmlEscape(link) + "</li>\n";
    const std::string escaped = HtmlEscape(link);
    return "<li><a href=\"" + escaped + "\" rel=\"noreferrer\">" + escaped + "</a></li>\n";
}

std::string Finding(const HtmlFinding& finding) {
    std::string out = "<section class=\"finding " + SeverityName(SeverityRank(finding.severity)) + "\">\n<h3>" +
                      "<span class=\"severity\">" + HtmlEscape(finding.severity) + "</span>" +
                      Cell("code", finding.id) + " " + HtmlEscape(finding.title) + "</h3>\n";
    out += "<p>" + HtmlEscape(finding.message) + "</p>\n";
    if (!finding.values.empty())
        out += "<table class=\"values\">\n" + FactRows(finding.values) + "</table>\n";
    if (!finding.links.empty()) {
        out += "<ul class=\"links\">\n";
        for (const std::string& link : finding.links)
            out += Link(link);
        out += "</ul>\n";
    }
    if (!finding.file.empty())
        out += "<p class=\"file\">In " + HtmlEscape(finding.file) + "</p>\n";
    return out + "</section>\n";
}

// How many findings of each severity there are, most severe first: "1 critical, 2 warnings".
// `findings` are in the page's order.
std::string Tally(const std::vector<HtmlFinding>& findings) {
    std::string out;
    for (size_t at = 0; at < findings.size();) {
        size_t end = at;
        while (end < findings.size() && SeverityRank(findings[end].severity) == SeverityRank(findings[at].severity))
            ++end;
        const std::string name = SeverityName(SeverityRank(findings[at].severity));
        out += (out.empty() ? "" : ", ") + std::to_string(end - at) + " " + name +
               (end - at > 1 && (name == "warning" || name == "error") ? "s" : "");
        at = end;
    }
    return out;
}

std::string Details(const std::string& summary, const std::string& body, bool open) {
    return std::string(open ? "<details open>" : "<details>") + "<summary>" + summary + "</summary>\n" + body +
           "</details>\n";
}

}  // namespace

std::string HtmlEscape(std::string_view utf8) {
    // Through UTF-16 and back: each byte that is no part of a UTF-8 character becomes U+FFFD.
    const std::string units = Utf8ToUtf16Le(utf8);
    const std::string valid = Utf16LeToUtf8(reinterpret_cast<const uint8_t*>(units.data()), units.size() / 2);
    // Tabs and line ends stay as they are (a <pre> shows them); what lies between them is made
    // printable as the terminal shows it.
    std::string out;
    size_t start = 0;
    while (start < valid.size()) {
        const size_t end = std::min(valid.find_first_of("\t\n\r", start), valid.size());
        AppendEntities(out, Printable(std::string_view(valid).substr(start, end - start)));
        if (end < valid.size())
            out += valid[end];
        start = end + 1;
    }
    return out;
}

bool IsWebLink(std::string_view link) {
    auto startsWith = [&](std::string_view scheme) {
        return link.size() > scheme.size() &&
               std::equal(scheme.begin(), scheme.end(), link.begin(),
                          [](char s, char l) { return s == (l >= 'A' && l <= 'Z' ? l - 'A' + 'a' : l); });
    };
    return startsWith("http://") || startsWith("https://");
}

HtmlPage::HtmlPage(std::string title) : title_(std::move(title)) {}

void HtmlPage::Findings(std::vector<HtmlFinding> findings,
                        const std::vector<std::pair<std::string, std::string>>& notChecked) {
    std::stable_sort(findings.begin(), findings.end(), [](const HtmlFinding& a, const HtmlFinding& b) {
        return SeverityRank(a.severity) < SeverityRank(b.severity);
    });
    std::string out = "<h2>Findings</h2>\n";
    if (findings.empty())
        out += "<p class=\"none\">No findings</p>\n";
    else
        out += "<p class=\"count\">" + std::to_string(findings.size()) +
               (findings.size() == 1 ? " finding: " : " findings: ") + Tally(findings) + "</p>\n";
    for (const HtmlFinding& finding : findings)
        out += Finding(finding);
    if (!notChecked.empty()) {
        out += "<h2>Not checked</h2>\n<table>\n<tr><th>Rule</th><th>Why</th></tr>\n";
        for (const auto& [id, reason] : notChecked)
            out += "<tr><td><code>" + HtmlEscape(id) + "</code></td>" + Cell("td", reason) + "</tr>\n";
        out += "</table>\n";
    }
    findings_ = std::move(out);
}

void HtmlPage::Facts(const std::string& heading,
                     const std::vector<std::pair<std::string, std::string>>& rows,
                     bool open) {
    sections_ += Details(HtmlEscape(heading), "<table class=\"facts\">\n" + FactRows(rows) + "</table>\n", open);
}

void HtmlPage::Table(const std::string& heading,
                     const std::vector<std::string>& columns,
                     const std::vector<std::vector<std::string>>& rows,
                     bool open) {
    std::string body;
    if (rows.empty()) {
        body = "<p class=\"none\">None</p>\n";
    } else {
        body = "<table>\n<thead><tr>";
        for (const std::string& column : columns)
            body += Cell("th", column);
        body += "</tr></thead>\n<tbody>\n";
        for (const auto& row : rows) {
            body += "<tr>";
            for (const std::string& cell : row)
                body += Cell("td", cell);
            body += "</tr>\n";
        }
        body += "</tbody>\n</table>\n";
    }
    const std::string count = " <span class=\"count\">(" + std::to_string(rows.size()) + ")</span>";
    sections_ += Details(HtmlEscape(heading) + count, body, open);
}

void HtmlPage::Text(const std::string& heading, const std::string& text, bool open) {
    sections_ += Details(HtmlEscape(heading), "<pre>\n" + HtmlEscape(text) + "</pre>\n", open);
}

std::string HtmlPage::Document() const {
    const std::string title = HtmlEscape(title_);
    std::string out =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline'; "
        "img-src data:\">\n"
        "<meta name=\"referrer\" content=\"no-referrer\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
        title + "</title>\n<style>" + std::string(kStyle) + "</style>\n</head>\n<body>\n<h1>" + title + "</h1>\n";
    return out + findings_ + sections_ + "</body>\n</html>\n";
}

}  // namespace ost::desk
