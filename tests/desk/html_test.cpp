// ovdesk's page for a browser: what hostile text from a customer's machine can do to it, which
// links it makes, and where findings and sections stand.
#include <gtest/gtest.h>

#include <set>

#include "desk/html_page.h"

namespace ost::desk {
namespace {

const std::string kScript = "<script>alert(1)</script>";
const std::string kReplacement = "\xEF\xBF\xBD";

// The names of the elements the markup opens or closes, in lower case.
std::set<std::string> Tags(const std::string& html) {
    std::set<std::string> tags;
    for (size_t at = html.find('<'); at != std::string::npos; at = html.find('<', at + 1)) {
        std::string name = html.substr(at + 1, html.find_first_of(" >\n", at) - at - 1);
        for (char& c : name)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        tags.insert(name.starts_with('/') ? name.substr(1) : name);
    }
    return tags;
}

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

TEST(HtmlEscape, LeavesNoMarkupQuoteOrControlCharacterAndKeepsTheRest) {
    EXPECT_EQ(HtmlEscape(kScript), "&lt;script&gt;alert(1)&lt;/script&gt;");
    EXPECT_EQ(HtmlEscape("a\"b'c&amp;"), "a&quot;b&#39;c&amp;amp;");
    EXPECT_EQ(HtmlEscape("caf\xE9 \xE2\x82 \xC3<b>"),
              "caf" + kReplacement + " " + kReplacement + kReplacement + " " + kReplacement + "&lt;b&gt;");
    EXPECT_EQ(HtmlEscape(std::string{'a', '\0', 'b', '\x01', 'c', '\x7F', 'd', '\xC2', '\x85', 'e', '\x1B'} + "[31m"),
              "a\\x00b\\x01c\\x7fd\\u0085e\\x1b[31m");
    for (const std::string kept : {"line\tone\r\nline two\n", "Größe 日本 \xF0\x9F\x98\x80", ""})
        EXPECT_EQ(HtmlEscape(kept), kept);
}

TEST(HtmlPage, EscapesEveryTextItShowsFromAPageOfHostileNames) {
    HtmlPage page(kScript);
    page.Facts(kScript, {{kScript, kScript}});
    page.Table(kScript, {kScript}, {{kScript}});
    page.Text(kScript, kScript + "\n" + kScript);
    const std::vector<std::string> links = {kScript, "https://kb.example/a\"onmouseover=\"alert(1)",
                                            "https://kb.example/b'onfocus='alert(1)"};
    page.Findings({{kScript, kScript, kScript, kScript, links, {{kScript, kScript}}, kScript}}, {{kScript, kScript}});
    const std::string html = page.Document();
    const std::set<std::string> allowed = {
        "!doctype", "html",  "head",  "meta",  "title", "style", "body", "h1", "h2", "h3", "p",       "section", "span",
        "code",     "table", "thead", "tbody", "tr",    "th",    "td",   "ul", "li", "a",  "details", "summary", "pre"};
    for (const std::string& tag : Tags(html))
        EXPECT_TRUE(allowed.contains(tag)) << tag;
    // The title twice, three in each section, eight in the finding, two in its "not checked" row.
    EXPECT_EQ(Count(html, "&lt;script&gt;alert(1)&lt;/script&gt;"), 2u + 9u + 8u + 2u);
    EXPECT_NE(html.find("href=\"https://kb.example/a&quot;onmouseover=&quot;alert(1)\""), std::string::npos);
    EXPECT_NE(html.find("href=\"https://kb.example/b&#39;onfocus=&#39;alert(1)\""), std::string::npos);
    EXPECT_EQ(html.find("\"onmouseover"), std::string::npos);
    EXPECT_EQ(html.find("'onfocus"), std::string::npos);
}

TEST(HtmlPage, MakesLinksOfWebAddressesAloneAndShowsTheOthersAsText) {
    const std::vector<std::string> others = {"javascript:alert(2)",
                                             "JavaScript:https://x.example/",
                                             " https://x.example/",
                                             "data:text/html,<b>x</b>",
                                             "kb/PW-1",
                                             "https://",
                                             "ftp://x.example/"};
    std::vector<std::string> links = others;
    links.insert(links.begin() + 3, {"https://kb.orlavent.example/PW-1", "HTTP://KB.example/x"});
    HtmlPage page("links");
    page.Findings({{"info", "PW-1", "t", "m", links, {}, ""}}, {});
    const std::string html = page.Document();
    std::vector<std::string> hrefs;
    for (size_t at = html.find("href=\""); at != std::string::npos; at = html.find("href=\"", at + 1))
        hrefs.push_back(html.substr(at + 6, html.find('"', at + 6) - at - 6));
    EXPECT_EQ(hrefs, (std::vector<std::string>{"https://kb.orlavent.example/PW-1", "HTTP://KB.example/x"}));
    EXPECT_EQ(Count(html, "<a "), 2u);
    EXPECT_EQ(Count(html, "rel=\"noreferrer\""), 2u);
    for (const std::string& other : others)
        EXPECT_NE(html.find("<li>" + HtmlEscape(other) + "</li>"), std::string::npos) << other;
}

TEST(HtmlPage, PutsFindingsFirstMostSevereFirstThenSectionsInTheOrderAdded) {
    HtmlPage page("order");
    page.Facts("System", {{"Windows", "10"}}, true);
    page.Table("Programs", {"Name", "Version"}, {{"Acme", "2.1"}, {"Zeta", "1"}});
    page.Text("Changes", "\n- a\n+ b\n");
    page.Table("Files", {"Name"}, {});
    auto finding = [](const char* severity, const char* id) { return HtmlFinding{severity, id, "", "", {}, {}, ""}; };
    page.Findings({finding("info", "I-1"), finding("warning", "W-1"), finding("critical", "C-1"),
                   finding("unheard-of", "X-1"), finding("error", "E-1"), finding("warning", "W-2")},
                  {{"R-9", "the export is damaged"}});
    const std::string html = page.Document();
    const std::vector<std::string> order = {
        "<h2>Findings</h2>",
        "6 findings: 1 critical, 1 error, 2 warnings, 1 info, 1 other",
        "C-1",
        "E-1",
        "W-1",
        "W-2",
        "I-1",
        "X-1",
        "R-9",
        "the export is damaged",
        "<details open><summary>System",
        "<details><summary>Programs <span class=\"count\">(2)",
        "<pre>\n\n- a\n+ b\n</pre>",
        "<summary>Files <span class=\"count\">(0)</span></summary>\n<p class=\"none\">None"};
    for (size_t i = 1; i < order.size(); ++i)
        EXPECT_LT(html.find(order[i - 1]), html.find(order[i])) << order[i - 1] << " before " << order[i];
    EXPECT_NE(html.find(order.back()), std::string::npos);
    EXPECT_EQ(html.find("No findings"), std::string::npos);
}

TEST(HtmlPage, IsOneDocumentThatLoadsNothingAndSaysWhenNothingWasFound) {
    HtmlPage page("none");
    EXPECT_EQ(page.Document().find("Findings"), std::string::npos);  // a page of facts alone
    page.Findings({}, {});
    const std::string html = page.Document();
    EXPECT_TRUE(html.starts_with("<!DOCTYPE html>\n"));
    EXPECT_NE(html.find("<meta charset=\"utf-8\">"), std::string::npos);
    EXPECT_NE(html.find("content=\"default-src 'none'; style-src 'unsafe-inline'; img-src data:\""), std::string::npos);
    EXPECT_NE(html.find("<h2>Findings</h2>\n<p class=\"none\">No findings</p>"), std::string::npos);
    for (const char* loads : {"<script", "<link", "src=", "url(", "@import", "<img"})
        EXPECT_EQ(html.find(loads), std::string::npos) << loads;
}

}  // namespace
}  // namespace ost::desk
