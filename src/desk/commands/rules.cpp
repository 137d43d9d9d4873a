// ovdesk rules lint and rules test: a rules file checked before the desk relies on it. Lint reads
// it as check would and names every problem with its place; test runs each rule on its fixtures,
// small support files written into the rules file or beside it.
#include <CLI/CLI.hpp>

#include "desk/commands/command.h"
#include "ziplib/zip_result.h"
#include "desk/output.h"
#include "desk/registry_export.h"
#include "desk/text.h"

namespace ost::desk {

namespace {

std::string Beside(const std::string& rulesPath, const std::string& name) {
    const bool absolute = name.starts_with('/') || name.starts_with('\\') || (name.size() > 1 && name[1] == ':');
    const size_t slash = rulesPath.find_last_of("/\\");
    return absolute || slash == std::string::npos ? name : rulesPath.substr(0, slash + 1) + name;
}

// Text as a support file's entries have it: lines ending in CR LF, the last one too.
std::string CrLf(std::string_view text) {
    std::string out;
    char previous = 0;
    for (const char c : text) {
        if (c == '\n' && previous != '\r')
            out += '\r';
        out += c;
        previous = c;
    }
    if (!out.empty() && !out.ends_with("\r\n"))
        out += "\r\n";
    return out;
}

// A fixture's export: an export file as it stands, or text (UTF-8) made into one: the version 5
// header added when it has none, in UTF-16LE.
std::vector<uint8_t> ExportBytes(const std::string& text) {
    if (text.starts_with("\xFF\xFE") || text.starts_with(kAnsiHeader))
        return {text.begin(), text.end()};
    std::string body = CrLf(text);
    if (!body.starts_with(kUnicodeHeader))
        body = kUnicodeHeader + "\r\n\r\n" + body;
    body += "\r\n";
    const std::string wide = "\xFF\xFE" + Utf8ToUtf16Le(body);
    return {wide.begin(), wide.end()};
}

// Reads the rules file at `path`; `text` gets a line for each of its problems.
std::vector<Diagnostic> Lint(const DeskIo& io, const std::string& path, RuleSet& rules, std::string& text) {
    std::vector<Diagnostic> problems;
    rules = ParseRules(ReadWholeFile(io, path), path, problems);
    for (const Diagnostic& d : problems)
        text += Printable(d.Text()) + "\n";
    return problems;
}

int RunLint(const std::string& path, const DeskIo& io) {
    RuleSet rules;
    std::string text;
    const std::vector<Diagnostic> problems = Lint(io, path, rules, text);
    text += Printable(path) + ": " + std::to_string(rules.rules.size()) + (rules.rules.size() == 1 ? " rule" : " rules") +
            " read, " + (problems.empty() ? "no problems" : std::to_string(problems.size()) + (problems.size() == 1 ? " problem" : " problems")) + "\n";
    io.out(text);
    return problems.empty() ? kClean : kFindings;
}

int RunTest(const std::string& path, const DeskIo& io) {
    RuleSet rules;
    std::string text;
    const std::vector<Diagnostic> problems = Lint(io, path, rules, text);
    size_t passed = 0, failed = 0;
    for (const Rule& rule : rules.rules) {
        if (rule.fixtures.empty()) {
            text += "FAIL " + Printable(rule.id) + " (" + Printable(rule.place.Text()) + "): the rule has no fixtures\n";
            ++failed;
            continue;
        }
        for (const Fixture& fixture : rule.fixtures) {
            std::optional<std::string> report;
            std::optional<std::vector<uint8_t>> exported;
            std::string fail;
            try {
                if (fixture.report)
                    report = CrLf(*fixture.report);
                else if (fixture.reportFile)
                    report = ReadWholeFile(io, Beside(path, *fixture.reportFile));
                if (fixture.exportText)
                    exported = ExportBytes(*fixture.exportText);
                else if (fixture.exportFile)
                    exported = ExportBytes(ReadWholeFile(io, Beside(path, *fixture.exportFile)));
            } catch (const std::exception& e) {
                fail = std::string("its files cannot be read: ") + e.what();
            }
            if (fail.empty() && !report && !exported)
                fail = "it gives neither a report nor an export";
            if (fail.empty()) {
                const std::string name = "fixture at " + fixture.place.Text();
                const Checked checked = CheckSupportFile(rules, {}, [&](const ReadOptions& options) {
                    return ReadSupportParts(name, report, exported, options);
                });
                const RuleResult& r = *std::find_if(checked.results.begin(), checked.results.end(),
                                                    [&](const RuleResult& x) { return x.rule == &rule; });
                const bool fired = r.outcome == Outcome::kFired;
                if (r.outcome == Outcome::kError)
                    fail = "the rule gave an error: " + r.why;
                else if (fixture.fires && !fired)
                    fail = "it must fire, and it did not: " + OutcomeName(r.outcome) + ": " + r.why;
                else if (!fixture.fires && fired)
                    fail = "it must not fire, and it fired: " + r.findings[0].message;
                else if (fired && fixture.message &&
                         std::none_of(r.findings.begin(), r.findings.end(), [&](const Finding& f) { return f.message == *fixture.message; })) {
                    fail = "it fired with \"" + r.findings[0].message + "\", not with \"" + *fixture.message + "\"";
                }
            }
            if (fail.empty()) {
                ++passed;
            } else {
                ++failed;
                text += "FAIL " + Printable(rule.id) + ", fixture at " + Printable(fixture.place.Text()) + ": " + Printable(fail) + "\n";
            }
        }
    }
    text += Printable(path) + ": " + std::to_string(rules.rules.size()) + (rules.rules.size() == 1 ? " rule, " : " rules, ") +
            std::to_string(passed) + " passed, " + std::to_string(failed) + " failed" +
            (problems.empty() ? "" : ", " + std::to_string(problems.size()) + " problems") + "\n";
    io.out(text);
    return failed == 0 && problems.empty() ? kClean : kFindings;
}

int Run(const Options& o, const DeskIo& io) {
    try {
        return o.rulesAction == "lint" ? RunLint(o.file, io) : RunTest(o.file, io);
    } catch (const zip::ZipError& e) {
        throw DeskError(e.what());
    }
}

void Define(CLI::App& command, Options& o) {
    command.require_subcommand(1);
    CLI::App* lint = command.add_subcommand("lint", "read a rules file and name each problem, with its line and column");
    CLI::App* test = command.add_subcommand("test", "run each rule on its fixtures; a rule without fixtures fails");
    for (CLI::App* sub : {lint, test}) {
        sub->add_option("PATH", o.file, "the rules file (TOML)")->required();
        sub->callback([&o, sub] { o.rulesAction = sub->get_name(); });
    }
}

}  // namespace

const Command kRulesCommand = {
    "rules",
    "lint a rules file, or test its rules on their fixtures",
    "ovdesk rules lint PATH: reads the rules file as check would, and names every problem with its\n"
    "file, line and column: unknown fields, malformed key paths, bad patterns, tests that cannot\n"
    "compare.\n"
    "ovdesk rules test PATH: runs each rule on each of its fixtures ([[rule.fixture]]: a small report\n"
    "and export, inline or in files beside the rules file) and says which did not do what the\n"
    "fixture says. A rule without fixtures fails. The format: README, \"Writing rules\".\n"
    "exit status: 0 no problem and every fixture passed, 1 otherwise, 2 the file cannot be read",
    Define,
    Run,
};

}  // namespace ost::desk
