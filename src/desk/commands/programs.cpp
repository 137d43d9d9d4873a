// ovdesk programs: the installed programs from the report's list and the export's uninstall keys.
#include <CLI/CLI.hpp>

#include "desk/commands/command.h"
#include "desk/output.h"
#include "desk/programs.h"
#include "desk/text.h"

namespace ost::desk {

namespace {

using nlohmann::json;

std::string Join(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items)
        out += (out.empty() ? "" : ", ") + item;
    return out;
}

int Run(const Options& o, const DeskIo& io) {
    const std::string& name = o.file;
    UninstallKeys uninstall;
    ReadOptions read;
    read.testAll = false;
    read.codePage = o.codePage;
    read.exportHandler.key = [&](const std::string& key) { return uninstall.Key(key); };
    read.exportHandler.value = [&](const RegValue& value) { uninstall.Value(value); };
    const SupportFile file = ReadFile(io, name, read);

    std::vector<std::string> warnings;
    std::vector<std::string> names;
    if (!file.report)
        warnings.push_back("the report's list cannot be read: " +
                           (file.reportEntry.present ? file.reportEntry.problem : std::string("there is no report")));
    else if (!file.report->programsWhole)
        warnings.push_back("the report's list of programs is incomplete: the report is cut short or lacks it");
    for (const std::string& program : file.report ? file.report->programs : std::vector<std::string>{})
        names.push_back(file.codePage.Decode(program));
    if (!file.registry || file.registry->form == ExportFacts::Form::kUnreadable)
        warnings.push_back("the registry export's uninstall keys cannot be read: " +
                           (!file.exportEntry.present ? std::string("there is no export")
                            : file.registry           ? "it " + file.registry->problem
                                                      : file.exportEntry.problem));
    else
        for (std::string& w : ExportWarnings(*file.registry))
            warnings.push_back(std::move(w));
    const std::vector<Program> programs = MergePrograms(names, file.registry ? uninstall.Keys() : std::vector<UninstallKey>{});

    if (o.json) {
        json doc = JsonDocument("programs");
        doc["file"] = name;
        json list = json::array();
        auto text = [](const std::string& s) { return s.empty() ? json(nullptr) : json(s); };
        for (const Program& p : programs)
            list.push_back({{"name", p.name},
                            {"version", text(p.version)},
                            {"publisher", text(p.publisher)},
                            {"installDate", text(p.installDate)},
                            {"inReport", p.inReport},
                            {"sources", p.sources},
                            {"keys", p.keys}});
        doc["programs"] = list;
        doc["warnings"] = warnings;
        io.out(JsonText(doc) + "\n");
    } else {
        std::vector<std::vector<std::string>> rows = {{"Name", "Version", "Publisher", "Installed", "Found in"}};
        for (const Program& p : programs)
            rows.push_back({p.name, p.version, p.publisher, p.installDate, Join(p.sources)});
        io.out(Columns(rows) + std::to_string(programs.size()) + (programs.size() == 1 ? " program\n" : " programs\n"));
        for (const std::string& w : warnings)
            io.err("ovdesk: warning: " + Printable(name) + ": " + Printable(w) + "\n");
    }
    return warnings.empty() ? kClean : kFindings;
}

void Define(CLI::App& command, Options& o) {
    AddFileOperand(command, o);
    AddJsonOption(command, o);
    AddCodePageOption(command, o);
}

}  // namespace

const Command kProgramsCommand = {
    "programs",
    "list the installed programs, with version, publisher and install date",
    "Lists the programs of the report's list together with those of the registry export's uninstall\n"
    "keys: the machine's (HKLM), the 32-bit programs' on 64-bit Windows (HKLM\\Wow6432Node) and each\n"
    "user's (HKU\\..., HKCU), with version, publisher and install date, sorted by name. \"Found in\"\n"
    "says where each name came from: \"report\" for the report's list, which holds the programs that\n"
    "the tool's own walk found, and the export's keys.\n"
    "exit status: 0 both lists read whole, 1 one of them is missing or incomplete, 2 the file cannot be\n"
    "read",
    Define,
    Run,
};

}  // namespace ost::desk
