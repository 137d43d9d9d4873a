// What show, check and diff put on the page --html writes: the findings, and a support file's
// facts in sections the reader opens.
#include <cstdio>

#include "desk/commands/command.h"
#include "desk/html_page.h"

namespace ost::desk {

namespace {

std::string Fixed(double value, int places) {
    char text[64];
    std::snprintf(text, sizeof(text), "%.*f", places, value);
    return text;
}

std::string Joined(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items)
        out += (out.empty() ? "" : ", ") + item;
    return out;
}

}  // namespace

void CheckPageTarget(const DeskIo& io, const Options& o) {
    if (!o.htmlPath.empty() && !o.force && io.files->Stat(o.htmlPath))
        throw UsageError(o.htmlPath + " exists already; --force replaces it");
}

void AddFindings(HtmlPage& page, const std::vector<std::pair<std::string, const Checked*>>& files) {
    std::vector<HtmlFinding> findings;
    std::vector<std::pair<std::string, std::string>> notChecked;
    for (const auto& [name, checked] : files) {
        if (checked == nullptr)
            continue;
        for (const auto& [r, f] : SortedFindings(checked->results))
            findings.push_back({SeverityName(r->rule->severity), r->rule->id, r->rule->title, f->message, r->rule->links,
                                f->values, name});
        for (const RuleResult& r : checked->results)
            if (r.outcome == Outcome::kNotApplicable || r.outcome == Outcome::kError)
                notChecked.emplace_back(r.rule->id + (files.size() > 1 ? " (" + name + ")" : ""), OutcomeName(r.outcome) + ": " + r.why);
    }
    page.Findings(std::move(findings), notChecked);
}

void AddFileSections(HtmlPage& page, const Checked& checked, bool open) {
    const SupportFile& file = checked.file;
    const CodePage& cp = file.codePage;
    const std::string& name = file.name;
    std::vector<std::pair<std::string, std::string>> facts = {{"Support file", name + " (" + std::to_string(file.entries) + " entries)"}};
    auto text = [&](const std::optional<std::string>& s) { return s ? cp.Decode(*s) : std::string("(missing)"); };
    if (const Report* r = file.report ? &*file.report : nullptr) {
        facts.insert(facts.end(), {{"Windows", text(r->winName) + (r->winVersion ? ", " + cp.Decode(*r->winVersion) : "")},
                                   {"Browser", text(r->browser)},
                                   {"Processor", text(r->processor)},
                                   {"Memory", text(r->freeMemory) + " KB free of " + text(r->totalMemory) + " KB"},
                                   {"Screen", text(r->resolution)},
                                   {"Report", r->complete ? "complete" : "incomplete"}});
    } else {
        facts.emplace_back("Report", file.reportEntry.present ? "cannot be read: " + file.reportEntry.problem : "missing");
    }
    if (const ExportFacts* e = file.registry ? &*file.registry : nullptr)
        facts.emplace_back("Registry export", std::to_string(e->bytes) + " bytes, " + std::to_string(e->keys) + " keys, " +
                                                  (e->Complete() ? "complete" : "incomplete"));
    else
        facts.emplace_back("Registry export", file.exportEntry.present ? "damaged: " + file.exportEntry.problem : "missing");
    facts.emplace_back("Code page", std::to_string(cp.number) + " (" + cp.source + ")");
    page.Facts(name + ": the machine", facts, open);
    if (!file.report)
        return;
    const Report& r = *file.report;
    std::vector<std::vector<std::string>> drives;
    for (const DriveLine& d : r.drives)
        drives.push_back(d.readable ? std::vector<std::string>{cp.Decode(d.letter) + ":", cp.Decode(d.name), d.type,
                                                               cp.Decode(d.fileSystem), Fixed(d.freeMegabytes, 2), Fixed(d.totalMegabytes, 2)}
                                    : std::vector<std::string>{cp.Decode(d.letter) + ":", "(not readable)", "", "", "", ""});
    page.Table(name + ": drives", {"Drive", "Name", "Type", "File system", "Free MB", "Total MB"}, drives, open);
    std::vector<std::vector<std::string>> programs;
    for (const Program& p : checked.programs)
        programs.push_back({p.name, p.version, p.publisher, p.installDate, Joined(p.sources)});
    page.Table(name + ": programs", {"Name", "Version", "Publisher", "Installed", "Found in"}, programs);
    std::vector<std::vector<std::string>> listings;
    for (const auto& [label, l] : {std::pair<const char*, const Listing*>{"Windows folder", &r.windows},
                                   {"System folder", &r.system},
                                   {"c:\\pwwin32", &r.pebblework}})
        listings.push_back(l->present ? std::vector<std::string>{label, cp.Decode(l->path), std::to_string(l->files), std::to_string(l->folders),
                                                                 Fixed(l->fileBytes / 1048576, 2), l->closed ? "yes" : "cut short"}
                                      : std::vector<std::string>{label, "(not listed)", "", "", "", ""});
    page.Table(name + ": folder listings", {"Folder", "Path", "Files", "Folders", "MB in files", "Whole"}, listings);
}

void WritePage(const DeskIo& io, const Options& o, const HtmlPage& page) {
    WriteNewFile(io, o.htmlPath, page.Document(), o.force);
}

}  // namespace ost::desk
