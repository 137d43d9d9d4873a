// ovdesk files: the report's folder listings, with sizes and dates.
#include <CLI/CLI.hpp>
#include <cmath>

#include "app/report_layout.h"
#include "desk/commands/command.h"
#include "desk/glob.h"
#include "desk/output.h"
#include "desk/text.h"

namespace ost::desk {

namespace {

using nlohmann::json;

struct Chosen {
    const char* id;  // how FOLDER and the JSON name it
    const char* title;
    const desk::Listing* listing;
};

int Run(const Options& o, const DeskIo& io) {
    const std::string& name = o.file;
    ReadOptions read;
    read.keepEntries = true;
    read.testAll = false;
    read.codePage = o.codePage;
    const SupportFile file = ReadFile(io, name, read);
    if (!file.report)
        throw DeskError(name + ": its report cannot be read: " +
                        (file.reportEntry.present ? file.reportEntry.problem : std::string("there is none")));
    const Report& r = *file.report;
    const CodePage& cp = file.codePage;
    std::vector<Chosen> chosen;
    const std::string folder = FoldName(o.folder);
    for (const Chosen& c : {Chosen{"windows", "Windows folder", &r.windows}, Chosen{"system", "system folder", &r.system},
                            Chosen{"pwwin32", "Pebblework folder", &r.pebblework}}) {
        const bool named = folder.empty() || folder == FoldName(c.id) ||
                           (c.listing->present && folder == FoldName(cp.Decode(c.listing->path)));
        if (named && (c.listing->present || !folder.empty()))
            chosen.push_back(c);
    }
    if (chosen.empty())
        throw UsageError("no listing is named " + o.folder + ": name windows, system, pwwin32 or a listed folder's path");
    const std::optional<Glob> glob = o.nameGlob.empty() ? std::nullopt : std::optional<Glob>(Glob(o.nameGlob));

    std::vector<std::string> warnings;
    json listings = json::array();
    std::string text;
    for (const Chosen& c : chosen) {
        const desk::Listing& l = *c.listing;
        if (!l.present) {
            warnings.push_back("the report has no listing of the " + std::string(c.title) +
                               (r.complete ? ": the folder is not on the machine" : ": the report is cut short"));
            listings.push_back({{"listing", c.id}, {"path", nullptr}, {"complete", r.complete}, {"entries", json::array()}});
            continue;
        }
        if (!l.closed)
            warnings.push_back("the listing of " + cp.Decode(l.path) + " is cut short: the folder may hold more");
        json entries = json::array();
        std::vector<std::vector<std::string>> rows;
        for (const auto* list : {&l.fileEntries, &l.folderEntries}) {
            const bool isFolder = list == &l.folderEntries;
            for (const ListingEntry& e : *list) {
                const std::string entryName = cp.Decode(e.name);
                if (glob && !glob->Matches(entryName))
                    continue;
                const double bytes = SizeTextBytes(e.size).value_or(0);
                entries.push_back({{"name", entryName},
                                   {"folder", isFolder},
                                   {"size", e.size},
                                   {"bytes", static_cast<uint64_t>(std::llround(bytes))},
                                   {"bytesExact", e.size.ends_with(report::kBytesUnit)},
                                   {"created", e.created.empty() ? json(nullptr) : json(cp.Decode(e.created))}});
                rows.push_back({"  " + entryName + (isFolder ? "\\" : ""), e.size, cp.Decode(e.created)});
            }
        }
        listings.push_back({{"listing", c.id}, {"path", cp.Decode(l.path)}, {"complete", l.closed}, {"entries", entries}});
        text += (text.empty() ? "" : "\n") + Printable(cp.Decode(l.path)) + " (" + c.title + "): " +
                std::to_string(l.files) + (l.files == 1 ? " file, " : " files, ") + std::to_string(l.folders) +
                (l.folders == 1 ? " folder" : " folders") + (glob ? ", " + std::to_string(rows.size()) + " named so" : "") +
                (l.closed ? "" : " (cut short)") + "\n" + Columns(rows);
    }
    if (o.json) {
        json doc = JsonDocument("files");
        doc["file"] = name;
        doc["listings"] = listings;
        doc["warnings"] = warnings;
        io.out(JsonText(doc) + "\n");
    } else {
        io.out(text);
        for (const std::string& w : warnings)
            io.err("ovdesk: warning: " + Printable(name) + ": " + Printable(w) + "\n");
    }
    return warnings.empty() ? kClean : kFindings;
}

void Define(CLI::App& command, Options& o) {
    AddFileOperand(command, o);
    command.add_option("FOLDER", o.folder, "windows, system, pwwin32, or a listed folder's path (default: all three)");
    command.add_option("--name", o.nameGlob, "only the files and folders whose names match this glob")->type_name("GLOB");
    AddJsonOption(command, o);
    AddCodePageOption(command, o);
}

}  // namespace

const Command kFilesCommand = {
    "files",
    "print the report's folder listings with sizes and dates",
    "Prints the report's listings of the Windows folder, the system folder and c:\\pwwin32 (or the one\n"
    "FOLDER names): each file and folder directly in it, with its size and creation date as the\n"
    "report gives them; a folder's size is that of its whole tree.\n"
    "  ovdesk files x.OVSupport pwwin32 --name 'pebble*.exe'\n"
    "exit status: 0 the listings are whole, 1 one is cut short or missing, 2 the file cannot be read",
    Define,
    Run,
};

}  // namespace ost::desk
