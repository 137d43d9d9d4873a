// ovdesk check: the rules checked against support files, with what each finding found, and for
// one rule why it fired or did not. Also what show shares with it: the rules read, and a support
// file read once for them.
#include <CLI/CLI.hpp>
#include <algorithm>

#include "desk/commands/command.h"
#include "desk/html_page.h"
#include "ziplib/zip_result.h"
#include "desk/output.h"
#include "desk/text.h"

namespace ost::desk {

std::string ReadWholeFile(const DeskIo& io, const std::string& path) {
    const auto source = io.files->OpenRead(path);
    std::string text;
    uint8_t buffer[65536];
    for (size_t n; (n = source->Read(buffer, sizeof(buffer))) > 0;) {
        text.append(reinterpret_cast<const char*>(buffer), n);
        if (text.size() > (size_t{64} << 20))
            throw DeskError(path + ": is larger than 64 MB, which no rules file or fixture is");
    }
    return text;
}

void WriteNewFile(const DeskIo& io, const std::string& path, std::string_view bytes, bool force) {
    if (!force && io.files->Stat(path))
        throw UsageError(path + " exists already; --force replaces it");
    auto file = io.files->CreateBeside(path);
    file->Write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    io.files->Replace(std::move(file), path);
}

RuleSet LoadRules(const DeskIo& io, const std::vector<std::string>& paths) {
    RuleSet rules = BuiltInRules();
    for (const std::string& path : paths) {
        std::vector<Diagnostic> problems;
        RuleSet more = ParseRules(ReadWholeFile(io, path), path, problems);
        if (!problems.empty()) {
            std::string text = path + " has " + std::to_string(problems.size()) +
                               (problems.size() == 1 ? " problem" : " problems") + " (ovdesk rules lint tells them all):";
            for (size_t i = 0; i < std::min<size_t>(problems.size(), 10); ++i)
                text += "\n  " + problems[i].Text();
            throw UsageError(text);
        }
        AddRules(rules, std::move(more));
    }
    return rules;
}

namespace {

bool NamesFiles(const Condition& c) {
    return c.kind == Condition::Kind::kFile ||
           std::any_of(c.children.begin(), c.children.end(), [](const Condition& child) { return NamesFiles(child); });
}

}  // namespace

Checked CheckSupportFile(const RuleSet& rules, ReadOptions options, const std::function<SupportFile(const ReadOptions&)>& read) {
    UninstallKeys uninstall;
    RegistryWants wants(rules);
    bool toUninstall = false, toWants = false;
    options.exportHandler.key = [&](const std::string& key) {
        toUninstall = uninstall.Key(key);
        toWants = wants.Key(key);
        return toUninstall || toWants;
    };
    options.exportHandler.value = [&](const RegValue& value) {
        if (toUninstall)
            uninstall.Value(value);
        if (toWants)
            wants.Value(value);
    };
    options.keepEntries = std::any_of(rules.rules.begin(), rules.rules.end(), [](const Rule& r) { return NamesFiles(r.when); });
    Checked checked{read(options), {}, 0, {}};
    const SupportFile& file = checked.file;
    std::vector<std::string> names;
    for (const std::string& name : file.report ? file.report->programs : std::vector<std::string>{})
        names.push_back(file.codePage.Decode(name));
    if (file.registry) {
        checked.programs = MergePrograms(names, uninstall.Keys());
        checked.onlyInExport = static_cast<size_t>(std::count_if(checked.programs.begin(), checked.programs.end(),
                                                                 [](const Program& p) { return !p.inReport; }));
    } else {
        checked.programs = MergePrograms(names, {});
    }
    Facts facts;
    facts.file = &file;
    facts.programs = checked.programs;
    facts.programsWhole = file.report && file.report->programsWhole && file.registry && file.registry->Complete();
    facts.problems = ReadingProblems(file);
    facts.registry = &wants;
    checked.results = CheckRules(rules, facts);
    return checked;
}

void AddRulesOption(CLI::App& command, Options& o) {
    command.add_option("--rules", o.rulesPaths, "also check the rules of this file (TOML; README: Writing rules); may be repeated")
        ->type_name("PATH")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

void AddHtmlOption(CLI::App& command, Options& o) {
    command.add_option("--html", o.htmlPath, "also write one self-contained page of it (no script, nothing fetched)")
        ->type_name("OUT.html");
    command.add_flag("--force", o.force, "let --html replace an existing file");
}

std::vector<std::pair<const RuleResult*, const Finding*>> SortedFindings(const std::vector<RuleResult>& results) {
    std::vector<std::pair<const RuleResult*, const Finding*>> out;
    for (const RuleResult& r : results)
        for (const Finding& f : r.findings)
            out.emplace_back(&r, &f);
    std::stable_sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.first->rule->severity > b.first->rule->severity; });
    return out;
}

nlohmann::json FindingJson(const RuleResult& r, const Finding& f) {
    nlohmann::json values = nlohmann::json::object();
    for (const auto& [name, text] : f.values)
        values[name] = text;
    return {{"rule", r.rule->id},  {"severity", SeverityName(r.rule->severity)}, {"title", r.rule->title},
            {"message", f.message}, {"values", values}, {"links", r.rule->links}};
}

nlohmann::json NotCheckedJson(const std::vector<RuleResult>& results, bool all) {
    nlohmann::json out = nlohmann::json::array();
    for (const RuleResult& r : results)
        if (r.outcome != Outcome::kFired && (all || r.outcome != Outcome::kNotFired))
            out.push_back({{"rule", r.rule->id}, {"outcome", OutcomeName(r.outcome)}, {"why", r.why}});
    return out;
}

namespace {

using nlohmann::json;

std::string Joined(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& name : names)
        out += (out.empty() ? "" : ", ") + name;
    return out;
}

std::string Counted(size_t n, const char* noun) {
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

struct FileResult {
    std::string name;
    std::optional<Checked> checked;
    std::string error;  // why it could not be read
};

int ExitCode(const std::vector<FileResult>& files, const std::string& only) {
    int code = kClean;
    for (const FileResult& f : files) {
        if (!f.checked) {
            code = kUnreadable;
            continue;
        }
        for (const RuleResult& r : f.checked->results)
            if ((only.empty() || r.rule->id == only) && r.outcome == Outcome::kFired && r.rule->severity >= Severity::kWarning)
                code = std::max(code, kFindings);
    }
    return code;
}

std::string CheckText(const FileResult& f) {
    if (!f.checked)
        return Printable(f.name) + ": cannot be read: " + Printable(f.error) + "\n";
    const auto findings = SortedFindings(f.checked->results);
    std::map<Severity, size_t> bySeverity;
    for (const auto& [r, finding] : findings)
        ++bySeverity[r->rule->severity];
    std::string counts;
    for (auto it = bySeverity.rbegin(); it != bySeverity.rend(); ++it)
        counts += (counts.empty() ? "" : ", ") + std::to_string(it->second) + " " + SeverityName(it->first) +
                  (it->second > 1 && (it->first == Severity::kWarning || it->first == Severity::kError) ? "s" : "");
    size_t notChecked = 0;
    for (const RuleResult& r : f.checked->results)
        notChecked += r.outcome == Outcome::kNotApplicable || r.outcome == Outcome::kError ? 1 : 0;
    std::string text = Printable(f.name) + ": " + Counted(findings.size(), "finding") +
                       (counts.empty() ? "" : " (" + counts + ")") +
                       (notChecked ? ", " + Counted(notChecked, "rule") + " not checked" : "") + "\n";
    for (const auto& [r, finding] : findings) {
        text += SeverityName(r->rule->severity) + ": " + Printable(r->rule->id) + ": " + Printable(finding->message) + "\n";
        text += "    " + Printable(r->rule->title) + "\n";
        for (const std::string& link : r->rule->links)
            text += "    " + Printable(link) + "\n";
    }
    for (const RuleResult& r : f.checked->results)
        if (r.outcome == Outcome::kNotApplicable || r.outcome == Outcome::kError)
            text += "not checked: " + Printable(r.rule->id) + ": " + OutcomeName(r.outcome) + ": " + Printable(r.why) + "\n";
    return text;
}

std::string ExplainText(const Rule& rule, const std::vector<FileResult>& files) {
    std::string text = Printable(rule.id) + " (" + SeverityName(rule.severity) + "): " + Printable(rule.title) + "\n";
    text += "  defined at " + Printable(rule.place.Text()) + "\n";
    text += "  when " + Printable(rule.when.Text()) + "\n";
    for (const FileResult& f : files) {
        if (!f.checked) {
            text += Printable(f.name) + ": cannot be read: " + Printable(f.error) + "\n";
            continue;
        }
        const RuleResult& r = *std::find_if(f.checked->results.begin(), f.checked->results.end(),
                                            [&](const RuleResult& x) { return x.rule == &rule; });
        text += Printable(f.name) + ": " + OutcomeName(r.outcome);
        if (r.outcome != Outcome::kFired) {
            text += ": " + Printable(r.why) + "\n";
            continue;
        }
        text += "\n";
        for (const Finding& finding : r.findings) {
            text += "  " + Printable(finding.message) + "\n";
            for (const auto& [name, value] : finding.values)
                text += "    " + Printable(name) + " = " + Printable(value) + "\n";
        }
    }
    return text;
}

json FileJson(const FileResult& f, const std::string& only) {
    json out = {{"file", f.name}};
    if (!f.checked) {
        out["error"] = f.error;
        return out;
    }
    json findings = json::array();
    for (const auto& [r, finding] : SortedFindings(f.checked->results))
        if (only.empty() || r->rule->id == only)
            findings.push_back(FindingJson(*r, *finding));
    out["findings"] = findings;
    if (only.empty()) {
        out["notChecked"] = NotCheckedJson(f.checked->results);
    } else {
        const RuleResult& r = *std::find_if(f.checked->results.begin(), f.checked->results.end(),
                                            [&](const RuleResult& x) { return x.rule->id == only; });
        out["outcome"] = OutcomeName(r.outcome);
        out["why"] = r.outcome == Outcome::kFired ? json(nullptr) : json(r.why);
    }
    return out;
}

int Run(const Options& o, const DeskIo& io) {
    CheckPageTarget(io, o);
    const RuleSet rules = LoadRules(io, o.rulesPaths);
    const Rule* explained = nullptr;
    if (!o.explain.empty()) {
        const auto it = std::find_if(rules.rules.begin(), rules.rules.end(), [&](const Rule& r) { return r.id == o.explain; });
        if (it == rules.rules.end())
            throw UsageError("no rule has the id " + o.explain);
        explained = &*it;
    }
    std::vector<FileResult> files;
    for (const std::string& name : o.files) {
        FileResult f{name, std::nullopt, ""};
        try {
            ReadOptions read;
            read.codePage = o.codePage;
            f.checked = CheckSupportFile(rules, read, [&](const ReadOptions& options) { return ReadFile(io, name, options); });
        } catch (const DeskError& e) {
            f.error = e.what();
        } catch (const zip::ZipError& e) {
            f.error = e.what();
        }
        files.push_back(std::move(f));
    }
    if (!o.htmlPath.empty()) {
        HtmlPage page("ovdesk check: " + Joined(o.files));
        std::vector<std::pair<std::string, const Checked*>> checked;
        std::string unreadable;
        for (const FileResult& f : files) {
            checked.emplace_back(f.name, f.checked ? &*f.checked : nullptr);
            if (!f.checked)
                unreadable += f.error + "\n";
        }
        AddFindings(page, checked);
        if (!unreadable.empty())
            page.Text("Support files that cannot be read", unreadable, true);
        for (const FileResult& f : files)
            if (f.checked)
                AddFileSections(page, *f.checked, false);
        WritePage(io, o, page);
    }
    if (o.json) {
        json doc = JsonDocument("check");
        doc["rules"] = rules.rules.size();
        if (explained)
            doc["explain"] = {{"rule", explained->id}, {"title", explained->title}, {"severity", SeverityName(explained->severity)},
                              {"when", explained->when.Text()}, {"definedAt", explained->place.Text()}};
        doc["files"] = json::array();
        for (const FileResult& f : files)
            doc["files"].push_back(FileJson(f, o.explain));
        io.out(JsonText(doc) + "\n");
    } else if (explained) {
        io.out(ExplainText(*explained, files));
    } else {
        std::string text;
        for (const FileResult& f : files)
            text += (text.empty() ? "" : "\n") + CheckText(f);
        io.out(text);
    }
    for (const FileResult& f : files)
        if (!f.checked)
            io.err("ovdesk: " + Printable(f.error) + "\n");
    return ExitCode(files, o.explain);
}

void Define(CLI::App& command, Options& o) {
    command.add_option("FILE", o.files, "the support files (.OVSupport)")->required();
    AddRulesOption(command, o);
    AddHtmlOption(command, o);
    command.add_option("--explain", o.explain, "tell for one rule whether it fired, with the values, or why not")
        ->type_name("ID");
    AddJsonOption(command, o);
    AddCodePageOption(command, o);
}

}  // namespace

const Command kCheckCommand = {
    "check",
    "check support files against the desk's rules and the built-in ones",
    "Checks each support file against the built-in rules and those of --rules, reading it once, and\n"
    "prints the findings, most severe first, each as \"severity: ID: message\" with the rule's title\n"
    "and links. A rule that could not be decided on a file (its report cut short, its export\n"
    "damaged, a date that reads two ways) is listed as \"not checked\", with why: it is never taken\n"
    "for a rule that did not fire. --explain ID tells, for that rule alone: fired (with the values\n"
    "found), not fired (the condition that failed), not applicable, or error.\n"
    "exit status: 0 nothing of warning or above fired, 1 something did, 2 a file cannot be read",
    Define,
    Run,
};

}  // namespace ost::desk
