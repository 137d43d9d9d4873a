// ovdesk diff: what changed between two support files of one machine. Only what both files hold is
// compared: what one of them could not hold (a report cut short, a damaged entry) is named as not
// compared, never counted as removed or added.
#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdio>
#include <map>

#include "app/report_layout.h"
#include "desk/commands/command.h"
#include "desk/html_page.h"
#include "desk/output.h"
#include "desk/text.h"

namespace ost::desk {

namespace {

using nlohmann::json;

// The values of the keys under --reg KEY that one side may hold in memory.
constexpr size_t kMaxRegistryBytes = size_t{48} << 20;

struct Change {
    std::string section;  // "Windows", "drive", "program", "Windows folder", "registry", ...
    std::string change;   // "added", "removed", "changed"
    std::string name;
    std::optional<std::string> before, after;
};

// A part that was not compared, on which side, and why.
struct Gap {
    std::string section, side, reason;
};

struct RegKey {
    std::string path;
    std::map<std::string, RegValue> values;  // by folded name; "" is the default value
};

struct Side {
    const char* label;  // "old", "new"
    SupportFile file;
    std::map<std::string, RegKey> keys;  // by folded path, with --reg
    size_t keyBytes = 0;
};

std::string Decimal(double value) {
    char text[64];
    std::snprintf(text, sizeof(text), "%.2f", value);
    return text;
}

void ReadSide(Side& side, const Options& o, const DeskIo& io, const std::string& name) {
    const std::string top = o.regKey.empty() ? "" : FoldName(ExpandKeyPath(o.regKey));
    RegKey* current = nullptr;
    ReadOptions read;
    read.keepEntries = true;
    read.codePage = o.codePage;
    if (!o.regKey.empty()) {
        read.exportHandler.key = [&](const std::string& key) {
            std::string folded = FoldName(key);
            current = nullptr;
            if (!DepthBelow(folded, top))
                return false;
            current = &side.keys.try_emplace(std::move(folded), RegKey{key, {}}).first->second;
            return true;
        };
        read.exportHandler.value = [&](const RegValue& value) {
            side.keyBytes += value.raw.size() + value.data.size() + 2 * value.name.size() + 64;
            if (side.keyBytes > kMaxRegistryBytes)
                throw DeskError(name + ": the keys under " + o.regKey + " hold more than " +
                                std::to_string(kMaxRegistryBytes >> 20) + " MB of values: name a narrower key");
            current->values.insert_or_assign(FoldName(value.name), value);
        };
    }
    side.file = ReadFile(io, name, read);
}

class Differ {
  public:
    Differ(const Side& a, const Side& b) : a_(a), b_(b) {}

    // Compares two keyed collections: what only the old one has is removed, what only the new one
    // has is added, and what both have with other details is changed. A side that is not whole
    // may lack anything: what it lacks is not counted.
    template <typename Item>
    void Compare(const std::string& section,
                 const std::vector<std::pair<std::string, Item>>& before,
                 const std::vector<std::pair<std::string, Item>>& after,
                 bool oldWhole,
                 bool newWhole,
                 const std::function<std::string(const Item&)>& name,
                 const std::function<std::string(const Item&)>& details) {
        std::map<std::string, const Item*> old, now;
        for (const auto& [key, item] : before)
            old.try_emplace(key, &item);
        for (const auto& [key, item] : after)
            now.try_emplace(key, &item);
        for (const auto& [key, item] : before) {
            const auto there = now.find(key);
            if (old.at(key) != &item)
                continue;
            if (there == now.end()) {
                if (newWhole)
                    changes.push_back({section, "removed", name(item), details(item), std::nullopt});
            } else if (details(item) != details(*there->second)) {
                changes.push_back({section, "changed", name(item), details(item), details(*there->second)});
            }
        }
        for (const auto& [key, item] : after)
            if (!old.count(key) && now.at(key) == &item && oldWhole)
                changes.push_back({section, "added", name(item), std::nullopt, details(item)});
    }

    // Notes each side that is not whole in `section`.
    bool Whole(const std::string& section, bool oldWhole, bool newWhole, const std::string& what) {
        for (const auto& [side, whole] : {std::pair{&a_, oldWhole}, std::pair{&b_, newWhole}})
            if (!whole)
                gaps.push_back({section, side->label,
                                "what the " + std::string(side->label) + " report's " + what +
                                    " lacks: it is incomplete or missing"});
        return oldWhole && newWhole;
    }

    void Reports();
    void Registry(const std::string& top);

    std::vector<Change> changes;
    std::vector<Gap> gaps;

  private:
    void Listing(const std::string& section, const desk::Listing Report::*member, bool optional);

    const Side& a_;
    const Side& b_;
};

std::string AsciiUpper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 0x20);
    return s;
}

void Differ::Listing(const std::string& section, const desk::Listing Report::*member, bool optional) {
    const Report& ra = *a_.file.report;
    const Report& rb = *b_.file.report;
    const desk::Listing& la = ra.*member;
    const desk::Listing& lb = rb.*member;
    const CodePage& cpA = a_.file.codePage;
    const CodePage& cpB = b_.file.codePage;
    // A listing that is not there is known to be missing only for c:\pwwin32 in a whole report:
    // the folder is not on the machine. Any other missing listing is missing data.
    const bool knownA = la.present || (optional && ra.complete);
    const bool knownB = lb.present || (optional && rb.complete);
    if (!knownA || !knownB) {
        Whole(section, knownA, knownB, "listing of the folder");
        return;
    }
    if (la.present != lb.present) {
        changes.push_back({section, la.present ? "removed" : "added", "the folder's listing",
                           la.present ? std::optional(cpA.Decode(la.path)) : std::nullopt,
                           lb.present ? std::optional(cpB.Decode(lb.path)) : std::nullopt});
        return;
    }
    if (!la.present)
        return;
    if (la.path != lb.path)
        changes.push_back({section, "changed", "path", cpA.Decode(la.path), cpB.Decode(lb.path)});
    Whole(section, la.closed, lb.closed, "listing of the folder");
    // Entries by name, in the letter case Windows ignores; folders marked by a closing '\'.
    auto keyed = [](const desk::Listing& l, const CodePage& cp) {
        std::vector<std::pair<std::string, ListingEntry>> out;
        for (const auto* entries : {&l.fileEntries, &l.folderEntries})
            for (ListingEntry e : *entries) {
                e.name = cp.Decode(e.name) + (entries == &l.folderEntries ? "\\" : "");
                e.created = cp.Decode(e.created);
                out.emplace_back(AsciiUpper(e.name), std::move(e));
            }
        return out;
    };
    Compare<ListingEntry>(
        section, keyed(la, cpA), keyed(lb, cpB), la.closed, lb.closed, [](const ListingEntry& e) { return e.name; },
        [](const ListingEntry& e) { return e.size + (e.created.empty() ? "" : ", created " + e.created); });
}

void Differ::Reports() {
    const Report& ra = *a_.file.report;
    const Report& rb = *b_.file.report;
    const CodePage& cpA = a_.file.codePage;
    const CodePage& cpB = b_.file.codePage;
    // The summary is written in one piece: a side without a field lacks the summary, or its end.
    bool summaryGap = false;
    auto field = [&](const std::string& section, const std::string& what, const std::optional<std::string>& x,
                     const std::optional<std::string>& y) {
        if (x && y && *x != *y)
            changes.push_back({section, "changed", what, x, y});
        summaryGap = summaryGap || !x || !y;
    };
    auto windows = [](const Report& r, const CodePage& cp) -> std::optional<std::string> {
        if (!r.winName || !r.winVersion)
            return std::nullopt;
        return cp.Decode(*r.winName) + " " + *r.winVersion;
    };
    field("Windows", "version", windows(ra, cpA), windows(rb, cpB));
    field("browser", "version", cpA.Decode(ra.browser), cpB.Decode(rb.browser));
    field("processor", "type", cpA.Decode(ra.processor), cpB.Decode(rb.processor));
    field("memory", "total KB", ra.totalMemory, rb.totalMemory);
    if (summaryGap)
        Whole("system summary", ra.summaryWhole, rb.summaryWhole, "system summary");

    auto drives = [](const Report& r, const CodePage& cp) {
        std::vector<std::pair<std::string, DriveLine>> out;
        for (DriveLine d : r.drives) {
            d.letter = cp.Decode(d.letter);
            d.name = cp.Decode(d.name);
            d.fileSystem = cp.Decode(d.fileSystem);
            out.emplace_back(AsciiUpper(d.letter), std::move(d));
        }
        return out;
    };
    const auto drivesA = drives(ra, cpA), drivesB = drives(rb, cpB);
    Whole("drive", ra.drivesWhole, rb.drivesWhole, "drive listing");
    Compare<DriveLine>(
        "drive", drivesA, drivesB, ra.drivesWhole, rb.drivesWhole, [](const DriveLine& d) { return d.letter + ":"; },
        [](const DriveLine& d) {
            return d.readable ? "\"" + d.name + "\", " + d.type + ", " + d.fileSystem + ", " + Decimal(d.totalMegabytes) + " MB"
                              : std::string("not readable");
        });
    // Free space moves with every file written; a change of 1 % of the drive or more is news.
    for (const auto& [letter, d] : drivesA)
        for (const auto& [other, e] : drivesB)
            if (letter == other && d.readable && e.readable && d.totalMegabytes == e.totalMegabytes &&
                std::abs(d.freeMegabytes - e.freeMegabytes) >= d.totalMegabytes / 100 && d.totalMegabytes > 0)
                changes.push_back({"drive", "changed", d.letter + ": free space", Decimal(d.freeMegabytes) + " MB",
                                   Decimal(e.freeMegabytes) + " MB"});

    // Programs by name; a name listed twice counts twice.
    auto programs = [](const Report& r, const CodePage& cp) {
        std::vector<std::pair<std::string, std::string>> out;
        std::map<std::string, int> seen;
        for (const std::string& p : r.programs) {
            std::string name = cp.Decode(p);
            out.emplace_back(name + "#" + std::to_string(seen[name]++), name);
        }
        return out;
    };
    Whole("program", ra.programsWhole, rb.programsWhole, "list of programs");
    Compare<std::string>(
        "program", programs(ra, cpA), programs(rb, cpB), ra.programsWhole, rb.programsWhole,
        [](const std::string& p) { return p; }, [](const std::string&) { return std::string(); });

    Listing("Windows folder", &Report::windows, false);
    Listing("system folder", &Report::system, false);
    Listing(report::kPebbleworkFolder, &Report::pebblework, true);
}

void Differ::Registry(const std::string& top) {
    bool whole[2] = {true, true};
    int at = 0;
    for (const Side* side : {&a_, &b_}) {
        const SupportFile& f = side->file;
        const ExportFacts* e = f.registry ? &*f.registry : nullptr;
        std::string why = !f.exportEntry.present ? "it holds no registry export"
                          : !e                   ? "its registry export is damaged: " + f.exportEntry.problem
                          : e->form == ExportFacts::Form::kUnreadable ? "its registry export " + e->problem
                                                                      : "";
        if (!why.empty()) {
            gaps.push_back({"registry", side->label, "the keys under " + top + ": the " + side->label + " support file " + why});
            return;
        }
        whole[at++] = e->Complete();
    }
    for (const auto& [side, ok] : {std::pair{&a_, whole[0]}, std::pair{&b_, whole[1]}})
        if (!ok)
            gaps.push_back({"registry", side->label,
                            "what the " + std::string(side->label) +
                                " registry export lacks under " + top + ": the export is cut short or has lines it could not read"});
    auto keys = [](const Side& s) { return std::vector<std::pair<std::string, RegKey>>(s.keys.begin(), s.keys.end()); };
    Compare<RegKey>(
        "registry", keys(a_), keys(b_), whole[0], whole[1], [](const RegKey& k) { return "[" + k.path + "]"; },
        [](const RegKey&) { return std::string(); });
    for (const auto& [folded, key] : a_.keys) {
        const auto there = b_.keys.find(folded);
        if (there == b_.keys.end())
            continue;
        auto values = [](const RegKey& k) {
            return std::vector<std::pair<std::string, RegValue>>(k.values.begin(), k.values.end());
        };
        const std::string& path = key.path;
        Compare<RegValue>(
            "registry", values(key), values(there->second), whole[0], whole[1],
            [&](const RegValue& v) { return "[" + path + "] " + (v.name.empty() ? "@" : "\"" + v.name + "\""); },
            [](const RegValue& v) { return TypeName(v.type) + " " + ValueText(v); });
    }
}

int Run(const Options& o, const DeskIo& io) {
    CheckPageTarget(io, o);
    Side a{"old", {}, {}, 0};
    Side b{"new", {}, {}, 0};
    ReadSide(a, o, io, o.files[0]);
    ReadSide(b, o, io, o.files[1]);
    Differ differ(a, b);
    if (a.file.report && b.file.report) {
        differ.Reports();
    } else {
        for (const Side* side : {&a, &b})
            if (!side->file.report)
                differ.gaps.push_back({"report", side->label,
                                       "anything of the reports: the " + std::string(side->label) + " support file's report " +
                                           (side->file.reportEntry.present ? "cannot be read: " + side->file.reportEntry.problem
                                                                           : std::string("is missing"))});
    }
    if (!o.regKey.empty())
        differ.Registry(ExpandKeyPath(o.regKey));
    const std::vector<Change>& changes = differ.changes;
    const std::vector<Gap>& gaps = differ.gaps;
    if (!o.htmlPath.empty()) {
        HtmlPage page("ovdesk diff: " + o.files[0] + " and " + o.files[1]);
        std::vector<std::vector<std::string>> rows, missing;
        for (const Change& c : changes)
            rows.push_back({c.section, c.change, c.name, c.before.value_or(""), c.after.value_or("")});
        for (const Gap& g : gaps)
            missing.push_back({g.section, g.side, g.reason});
        page.Table("Differences between " + o.files[0] + " (old) and " + o.files[1] + " (new)",
                   {"Section", "Change", "Name", "Old", "New"}, rows, true);
        page.Table("Not compared", {"Section", "Side", "Why"}, missing, !missing.empty());
        WritePage(io, o, page);
    }
    if (o.json) {
        json doc = JsonDocument("diff");
        doc["old"] = o.files[0];
        doc["new"] = o.files[1];
        json items = json::array(), missing = json::array();
        auto text = [](const std::optional<std::string>& s) { return s ? json(*s) : json(nullptr); };
        for (const Change& c : changes)
            items.push_back({{"section", c.section}, {"change", c.change}, {"name", c.name}, {"old", text(c.before)}, {"new", text(c.after)}});
        for (const Gap& g : gaps)
            missing.push_back({{"section", g.section}, {"side", g.side}, {"reason", g.reason}});
        doc["changes"] = items;
        doc["notCompared"] = missing;
        io.out(JsonText(doc) + "\n");
    } else {
        std::string text = "--- " + Printable(o.files[0]) + "\n+++ " + Printable(o.files[1]) + "\n";
        for (const Change& c : changes) {
            text += c.section + ": " + c.change + ": " + Printable(c.name);
            if (c.change == "changed")
                text += ": " + Printable(c.before.value_or("(none)")) + " -> " + Printable(c.after.value_or("(none)"));
            else if (const std::string& detail = c.change == "added" ? *c.after : *c.before; !detail.empty())
                text += " (" + Printable(detail) + ")";
            text += "\n";
        }
        for (const Gap& g : gaps)
            text += "not compared: " + g.section + ": " + Printable(g.reason) + "\n";
        text += changes.empty() ? "no differences" : std::to_string(changes.size()) + (changes.size() == 1 ? " difference" : " differences");
        text += gaps.empty() ? "\n" : "; " + std::to_string(gaps.size()) + (gaps.size() == 1 ? " part" : " parts") + " not compared\n";
        io.out(text);
    }
    return changes.empty() && gaps.empty() ? kClean : kFindings;
}

void Define(CLI::App& command, Options& o) {
    command.add_option("FILES", o.files, "the earlier support file and the later one")
        ->required()
        ->expected(2)
        ->type_name("OLD NEW");
    command.add_option("--reg", o.regKey, "also compare the keys and values under KEY")->type_name("KEY");
    AddHtmlOption(command, o);
    AddJsonOption(command, o);
    AddCodePageOption(command, o);
}

}  // namespace

const Command kDiffCommand = {
    "diff",
    "print what changed between two support files of one machine",
    "Prints what changed between two support files of one machine: Windows version and build,\n"
    "browser, processor, total memory, drives (added, removed, renamed, resized, or their free space\n"
    "changed by 1 % of the drive or more), programs added and removed, and files and folders added,\n"
    "removed or changed (size or creation date) in the listings of the Windows, system and\n"
    "c:\\pwwin32 folders. With --reg KEY, also the keys and values added, removed or changed under\n"
    "KEY; only that part of each export is held in memory. What one file does not hold whole (a\n"
    "report cut short, a damaged entry) is named under \"not compared\", never counted as a change.\n"
    "exit status: 0 identical, 1 differences or parts not compared, 2 a file cannot be read",
    Define,
    Run,
};

}  // namespace ost::desk
