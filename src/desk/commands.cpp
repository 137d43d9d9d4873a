// ovdesk's command table, its command line and its help, in one place.
#include "desk/commands.h"

#include <CLI/CLI.hpp>
#include <sstream>

#include "desk/code_page.h"
#include "desk/commands/command.h"
#include "desk/output.h"
#include "desk/text.h"

#ifndef OST_VERSION
#define OST_VERSION "0"
#endif

namespace ost::desk {

namespace {

const Command* const kCommands[] = {&kShowCommand,  &kCheckCommand, &kRegCommand,   &kFindCommand,
                                    &kProgramsCommand, &kFilesCommand, &kDiffCommand, &kRulesCommand};

constexpr const char* kFooter =
    "Support files are read straight out of the archive: nothing is extracted, and memory stays small\n"
    "whatever their size. Output is UTF-8; control characters from a file are shown escaped.\n"
    "exit status: 0 clean, 1 warnings, differences or nothing found, 2 a file or the command line\n"
    "cannot be read";

}  // namespace

void AddFileOperand(CLI::App& command, Options& o, const char* help) {
    command.add_option("FILE", o.file, help)->required();
}

void AddJsonOption(CLI::App& command, Options& o) {
    command.add_flag("--json", o.json, "one JSON document instead of text (its fields: README)");
}

void AddCodePageOption(CLI::App& command, Options& o) {
    command.add_option("--codepage", o.codePage,
                       "read the report's names (and a REGEDIT4 export) in code page N, not in the one the "
                       "registry export names")
        ->type_name("N");
}

SupportFile ReadFile(const DeskIo& io, const std::string& name, ReadOptions options) {
    const auto source = io.files->OpenRead(name);
    return ReadSupportFile(*source, name, options);
}

void RequireExport(const SupportFile& file) {
    if (!file.exportEntry.present)
        throw DeskError(file.name + ": holds no registry export (regbackup.reg)");
    if (!file.exportEntry.Usable())
        throw DeskError(file.name + ": its registry export is damaged: " + file.exportEntry.problem);
    if (file.registry->form == ExportFacts::Form::kUnreadable)
        throw DeskError(file.name + ": its registry export " + file.registry->problem);
}

SupportFile ReadExport(const DeskIo& io, const std::string& name, const ReadOptions& read, const HeldOutput& out) {
    try {
        SupportFile file = ReadFile(io, name, read);
        RequireExport(file);
        return file;
    } catch (const DeskError& e) {
        if (out.Shown())
            throw DeskError(std::string(e.what()) + "; the output above may be incomplete or wrong");
        throw;
    }
}

std::string ValueLine(const RegValue& v) {
    return "    " + Printable(v.name.empty() ? "(Default)" : v.name) + "    " + TypeName(v.type) + "    " +
           Printable(ValueText(v)) + "\n";
}

int RunDesk(const std::vector<std::string>& args, const DeskIo& io) {
    Options o;
    CLI::App app("Reads the support files (.OVSupport) that the Orlavent Support Tool makes.", "ovdesk");
    app.footer(kFooter);
    app.set_version_flag("--version", "ovdesk " OST_VERSION);
    app.require_subcommand(1);
    // Options are --name alone: "/rules.toml" is a path on Windows too, not an option.
    app.allow_windows_style_options(false);
    std::vector<std::pair<const Command*, CLI::App*>> defined;
    for (const Command* command : kCommands) {
        CLI::App* sub = app.add_subcommand(command->name, command->summary);
        sub->footer(command->details);
        command->define(*sub, o);
        defined.emplace_back(command, sub);
    }
    try {
        if (!args.empty() && !args[0].starts_with('-') &&
            std::none_of(std::begin(kCommands), std::end(kCommands), [&](const Command* c) { return args[0] == c->name; }))
            throw UsageError("unknown command " + args[0]);
        try {
            std::vector<std::string> reversed(args.rbegin(), args.rend());  // as CLI11 takes them
            app.parse(reversed);
        } catch (const CLI::CallForHelp&) {
            io.out(app.help() + "\n");
            return kClean;
        } catch (const CLI::CallForAllHelp&) {
            io.out(app.help("", CLI::AppFormatMode::All) + "\n");
            return kClean;
        } catch (const CLI::CallForVersion& e) {
            io.out(std::string(e.what()) + "\n");
            return kClean;
        } catch (const CLI::ParseError& e) {
            throw UsageError(e.what());
        }
        if (o.codePage && !IsKnownCodePage(*o.codePage))
            throw UsageError("code page " + std::to_string(*o.codePage) + " is not known on this system");
        for (const auto& [command, sub] : defined)
            if (sub->parsed())
                return command->run(o, io);
        throw UsageError("no command given");
    } catch (const UsageError& e) {
        io.err("ovdesk: " + PrintableLines(e.what()) + "(ovdesk --help tells how to use it)\n");
    } catch (const std::bad_alloc&) {
        io.err("ovdesk: out of memory\n");
    } catch (const std::exception& e) {
        io.err("ovdesk: " + PrintableLines(e.what()));
    }
    return kUnreadable;
}

}  // namespace ost::desk
