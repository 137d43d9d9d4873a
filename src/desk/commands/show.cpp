// ovdesk show: one screen of facts from a support file, with the warnings a desk looks at first.
#include <CLI/CLI.hpp>
#include <charconv>
#include <cstdio>

#include "app/report_layout.h"
#include "desk/commands/command.h"
#include "desk/html_page.h"
#include "desk/output.h"
#include "desk/programs.h"
#include "desk/text.h"

namespace ost::desk {

namespace {

using nlohmann::json;

std::string Decimal(double value, int places) {
    char text[64];
    std::snprintf(text, sizeof(text), "%.*f", places, value);
    return text;
}

// "5.1 (Build 2600)" as its version and build.
std::pair<std::string, std::string> VersionAndBuild(const std::string& line) {
    const size_t at = line.find(" (Build ");
    if (at == std::string::npos)
        return {line, ""};
    return {line.substr(0, at), line.substr(at + 8, line.size() - at - 9)};
}

std::string Percent(const DriveLine& d) {
    return Decimal(d.totalMegabytes > 0 ? 100 * d.freeMegabytes / d.totalMegabytes : 0, 1) + " %";
}

// Everything show says, gathered once for either output form: the findings of the rules as notes
// (info) and warnings (warning and above, "error:" and "critical:" lines saying which), and the
// rules of warning and above that could not be checked.
struct Shown {
    const Checked& checked;
    const SupportFile& file;
    const CodePage& cp;
    size_t onlyInExport = 0;
    bool windows64 = false;
    std::vector<std::string> notes, warnings, lines;  // lines: as the text output prints them
};

void Gather(Shown& s) {
    for (const auto& [r, f] : SortedFindings(s.checked.results)) {
        const Severity severity = r->rule->severity;
        (severity == Severity::kInfo ? s.notes : s.warnings).push_back(f->message);
        s.lines.push_back((severity == Severity::kInfo ? std::string("note") : SeverityName(severity)) + ": " + Printable(f->message));
        s.windows64 = s.windows64 || r->rule->id == "OV-WOW64";
    }
    for (const RuleResult& r : s.checked.results)
        if ((r.outcome == Outcome::kNotApplicable || r.outcome == Outcome::kError) && r.rule->severity >= Severity::kWarning)
            s.lines.push_back("not checked: " + Printable(r.rule->id) + ": " + OutcomeName(r.outcome) + ": " + Printable(r.why));
}

json Listing(const desk::Listing& l, const CodePage& cp) {
    if (!l.present)
        return nullptr;
    return {{"path", cp.Decode(l.path)},
            {"files", l.files},
            {"folders", l.folders},
            {"fileBytes", static_cast<uint64_t>(l.fileBytes + 0.5)},
            {"complete", l.closed}};
}

json Number(const std::optional<std::string>& text) {
    const auto n = text ? WholeNumber(*text) : std::nullopt;
    return n ? json(*n) : json(nullptr);
}

json ReportJson(const Report& r, const CodePage& cp) {
    const auto [version, build] = VersionAndBuild(r.winVersion.value_or(""));
    json drives = json::array();
    for (const DriveLine& d : r.drives) {
        int64_t serial = 0;
        const bool serialRead =
            std::from_chars(d.serial.data(), d.serial.data() + d.serial.size(), serial).ptr == d.serial.data() + d.serial.size() &&
            !d.serial.empty();
        auto when = [&](auto value) { return d.readable ? json(value) : json(nullptr); };
        drives.push_back({{"letter", cp.Decode(d.letter)},
                          {"readable", d.readable},
                          {"name", when(cp.Decode(d.name))},
                          {"type", when(d.type)},
                          {"fileSystem", when(cp.Decode(d.fileSystem))},
                          {"freeMB", when(d.freeMegabytes)},
                          {"totalMB", when(d.totalMegabytes)},
                          {"serial", d.readable && serialRead ? json(serial) : json(nullptr)}});
    }
    json screen = {{"width", nullptr}, {"height", nullptr}};
    if (r.resolution) {
        const size_t by = r.resolution->find(report::kResolutionBy);
        if (by != std::string::npos) {
            screen["width"] = Number(r.resolution->substr(0, by));
            screen["height"] = Number(r.resolution->substr(by + report::kResolutionBy.size()));
        }
    }
    auto text = [&](const std::optional<std::string>& s) { return s ? json(cp.Decode(*s)) : json(nullptr); };
    return {{"complete", r.complete},
            {"problems", r.problems},
            {"windows",
             {{"name", text(r.winName)},
              {"version", r.winVersion ? json(version) : json(nullptr)},
              {"build", r.winVersion ? Number(build) : json(nullptr)}}},
            {"browser", text(r.browser)},
            {"processor", text(r.processor)},
            {"memory", {{"freeKB", Number(r.freeMemory)}, {"totalKB", Number(r.totalMemory)}}},
            {"screen", screen},
            {"drives", drives},
            {"listings",
             {{"windows", Listing(r.windows, cp)},
              {"system", Listing(r.system, cp)},
              {"pebblework", Listing(r.pebblework, cp)}}}};
}

json ExportJson(const ExportFacts& e) {
    const bool readable = e.form != ExportFacts::Form::kUnreadable;
    return {{"readable", readable},
            {"problem", readable ? json(nullptr) : json(e.problem)},
            {"form", !readable                          ? json(nullptr)
                     : e.form == ExportFacts::Form::kAnsi ? json("REGEDIT4")
                                                          : json("Windows Registry Editor Version 5.00")},
            {"bytes", e.bytes},
            {"keys", e.keys},
            {"complete", e.Complete()},
            {"problems", e.Problems()},
            {"wow6432Node", e.wow6432Node},
            {"processorArchitecture", e.processorArchitecture.empty() ? json(nullptr) : json(e.processorArchitecture)}};
}

std::string EntryProblem(const EntryState& state) {
    return !state.present ? "missing" : "damaged: " + state.problem;
}

void ShowJson(const Shown& s, const DeskIo& io) {
    const SupportFile& file = s.file;
    json doc = JsonDocument("show");
    doc["file"] = file.name;
    doc["entries"] = file.entries;
    doc["report"] = file.report ? ReportJson(*file.report, s.cp) : json(nullptr);
    doc["reportProblem"] = file.report ? json(nullptr) : json(EntryProblem(file.reportEntry));
    const size_t inReport = file.report ? file.report->programs.size() : 0;
    doc["programs"] = {{"total", inReport + s.onlyInExport},
                       {"inReport", file.report ? json(inReport) : json(nullptr)},
                       {"onlyInExport", file.registry ? json(s.onlyInExport) : json(nullptr)}};
    doc["registryExport"] = file.registry ? ExportJson(*file.registry) : json(nullptr);
    doc["registryExportProblem"] = file.registry ? json(nullptr) : json(EntryProblem(file.exportEntry));
    doc["codePage"] = {{"number", s.cp.number}, {"source", s.cp.source}, {"assumed", s.cp.assumed}};
    doc["windows64"] = file.registry ? json(s.windows64) : json(nullptr);
    doc["notes"] = s.notes;
    doc["warnings"] = s.warnings;
    json findings = json::array();
    for (const auto& [r, f] : SortedFindings(s.checked.results))
        findings.push_back(FindingJson(*r, *f));
    doc["findings"] = findings;
    doc["notChecked"] = NotCheckedJson(s.checked.results);
    io.out(JsonText(doc) + "\n");
}

std::string ListingText(const desk::Listing& l, const CodePage& cp) {
    if (!l.present)
        return "not listed\n";
    auto count = [](uint64_t n, const char* noun) { return std::to_string(n) + " " + noun + (n == 1 ? "" : "s"); };
    return Printable(cp.Decode(l.path)) + ": " + count(l.files, "file") + " (" + Decimal(l.fileBytes / 1048576, 2) +
           " MB), " + count(l.folders, "folder") + (l.closed ? "" : " (listing cut short)") + "\n";
}

void ShowText(const Shown& s, const DeskIo& io) {
    const SupportFile& file = s.file;
    const CodePage& cp = s.cp;
    const size_t damaged = file.otherDamage.size() + (file.reportEntry.Usable() || !file.reportEntry.present ? 0 : 1) +
                           (file.exportEntry.Usable() || !file.exportEntry.present ? 0 : 1);
    std::string text = "Support file:     " + Printable(file.name) + " (" + std::to_string(file.entries) + " entries, " +
                       (damaged == 0 ? std::string("all intact") : std::to_string(damaged) + " damaged") + ")\n";
    auto field = [&](const std::optional<std::string>& s) { return s ? Printable(cp.Decode(*s)) : "(missing)"; };
    if (const Report* r = file.report ? &*file.report : nullptr) {
        const auto [version, build] = VersionAndBuild(r->winVersion.value_or(""));
        text += "Windows:          " + field(r->winName) +
                (r->winVersion ? ", version " + Printable(version) + ", build " + Printable(build) : "") + "\n";
        text += "Browser:          " + field(r->browser) + "\n";
        text += "Processor:        " + field(r->processor) + "\n";
        text += "Memory:           " + field(r->freeMemory) + " KB free of " + field(r->totalMemory) + " KB\n";
        text += "Screen:           " + field(r->resolution) + "\n";
        text += "Drives:           " + std::to_string(r->drives.size()) + "\n";
        for (const DriveLine& d : r->drives) {
            text += "  " + Printable(cp.Decode(d.letter)) + ":  ";
            text += d.readable ? "\"" + Printable(cp.Decode(d.name)) + "\", " + d.type + ", " +
                                     Printable(cp.Decode(d.fileSystem)) + ", " + Decimal(d.freeMegabytes, 2) +
                                     " MB free of " + Decimal(d.totalMegabytes, 2) + " MB (" + Percent(d) + ")\n"
                               : "not readable (no medium, or not reachable)\n";
        }
        text += "Programs:         " + std::to_string(r->programs.size() + s.onlyInExport) + " installed" +
                (s.onlyInExport > 0 ? " (" + std::to_string(r->programs.size()) + " in the report's list, " +
                                          std::to_string(s.onlyInExport) + " more in the registry export)"
                                    : "") +
                "\n";
        text += "Windows folder:   " + ListingText(r->windows, cp);
        text += "System folder:    " + ListingText(r->system, cp);
        text += "c:\\pwwin32:       " + ListingText(r->pebblework, cp);
    } else {
        text += "Report:           " + Printable(EntryProblem(file.reportEntry)) + "\n";
        if (s.onlyInExport > 0)
            text += "Programs:         " + std::to_string(s.onlyInExport) + " in the registry export\n";
    }
    text += "Registry export:  ";
    if (const ExportFacts* e = file.registry ? &*file.registry : nullptr) {
        if (e->form == ExportFacts::Form::kUnreadable)
            text += std::to_string(e->bytes) + " bytes, unreadable: it " + e->problem + "\n";
        else
            text += std::to_string(e->bytes) + " bytes, " + std::to_string(e->keys) + (e->keys == 1 ? " key, " : " keys, ") +
                    (e->Complete() ? "complete" : "incomplete") +
                    (e->form == ExportFacts::Form::kAnsi ? " (REGEDIT4)" : "") + "\n";
    } else {
        text += Printable(EntryProblem(file.exportEntry)) + "\n";
    }
    text += "Code page:        " + std::to_string(cp.number) + " (" + cp.source + ")\n";
    for (const std::string& line : s.lines)
        text += line + "\n";
    io.out(text);
}

int Run(const Options& o, const DeskIo& io) {
    CheckPageTarget(io, o);
    const RuleSet rules = LoadRules(io, o.rulesPaths);
    ReadOptions read;
    read.codePage = o.codePage;
    const Checked checked = CheckSupportFile(rules, read, [&](const ReadOptions& options) { return ReadFile(io, o.file, options); });
    Shown s{checked, checked.file, checked.file.codePage, checked.file.registry ? checked.onlyInExport : 0, false, {}, {}, {}};
    Gather(s);
    if (!o.htmlPath.empty()) {
        HtmlPage page("ovdesk show: " + o.file);
        AddFindings(page, {{o.file, &checked}});
        AddFileSections(page, checked, true);
        WritePage(io, o, page);
    }
    if (o.json)
        ShowJson(s, io);
    else
        ShowText(s, io);
    return s.warnings.empty() ? kClean : kFindings;
}

void Define(CLI::App& command, Options& o) {
    AddFileOperand(command, o);
    AddRulesOption(command, o);
    AddHtmlOption(command, o);
    AddJsonOption(command, o);
    AddCodePageOption(command, o);
}

}  // namespace

const Command kShowCommand = {
    "show",
    "test every entry and print the machine's facts, with warnings",
    "Tests every entry of the support file (CRC-32 and sizes), then prints one screen of facts from\n"
    "its report and registry export: Windows, browser, processor, memory, screen, drives, programs,\n"
    "the three folder listings and the export. The rules (the built-in ones and those of --rules)\n"
    "give the lines after it, most severe first: \"warning:\" (or \"error:\", \"critical:\") for what\n"
    "to look at first, such as a drive with less than 10 % free, no c:\\pwwin32, or a missing,\n"
    "damaged or cut report or export; \"note:\" for what a 32-bit program sees on 64-bit Windows;\n"
    "\"not checked:\" for a rule of warning or above that the file cannot decide. What a damaged\n"
    "entry held is not shown; what the others hold is.\n"
    "exit status: 0 no warning, 1 warnings, 2 the file cannot be read",
    Define,
    Run,
};

}  // namespace ost::desk
