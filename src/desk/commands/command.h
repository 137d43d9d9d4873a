// What ovdesk's commands share: the options of a command line, the table entry each command
// gives, and the help each command needs from the others.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "desk/commands.h"
#include "desk/rule_check.h"
#include "desk/support_file.h"

namespace CLI {
class App;
}

namespace ost::desk {

// A command line that is wrong; said with a pointer to the help.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Every option of every command; each command defines the ones it takes.
struct Options {
    std::string file;                // FILE
    std::vector<std::string> files;  // diff: OLD and NEW
    std::string key;                 // reg: KEY
    std::string pattern;             // find: PATTERN
    std::string folder;              // files: FOLDER
    bool json = false;
    std::optional<uint32_t> codePage;
    std::optional<size_t> depth;       // reg
    bool raw = false;                  // reg
    std::string exportPath;            // reg --export
    bool force = false;                // reg --export over an existing file
    std::string regKey;                // diff --reg
    bool keys = false, names = false, data = false;  // find: where to look
    std::optional<uint64_t> max;       // find
    std::string nameGlob;              // files --name
    std::vector<std::string> rulesPaths;  // --rules: the desk's own rules files
    std::string explain;               // check --explain ID
    std::string htmlPath;              // --html OUT.html
    std::string rulesAction;           // rules: lint or test
};

// One row of ovdesk's command table.
struct Command {
    const char* name;
    const char* summary;  // one line, for the list of commands
    const char* details;  // the rest of the command's help: what it shows, and its exit status
    void (*define)(CLI::App& command, Options& options);  // its operands and options
    int (*run)(const Options& options, const DeskIo& io);
};

extern const Command kShowCommand;
extern const Command kRegCommand;
extern const Command kFindCommand;
extern const Command kProgramsCommand;
extern const Command kFilesCommand;
extern const Command kDiffCommand;
extern const Command kCheckCommand;
extern const Command kRulesCommand;

// Options that several commands take, defined the same way for each.
void AddFileOperand(CLI::App& command, Options& options, const char* help = "the support file (.OVSupport)");
void AddJsonOption(CLI::App& command, Options& options);
void AddCodePageOption(CLI::App& command, Options& options);

// Opens and reads the support file `name`.
SupportFile ReadFile(const DeskIo& io, const std::string& name, ReadOptions options);

// The support file read for its export alone: raises DeskError when it has none, or one that is
// damaged or unreadable.
void RequireExport(const SupportFile& file);

// Reads the support file `name` for its export, whose values `read` hands to a command that holds
// its output in `out`: raises as RequireExport does, saying so when some output was shown already.
SupportFile ReadExport(const DeskIo& io, const std::string& name, const ReadOptions& read, const class HeldOutput& out);

// The text of the file `path`, read whole (rules files and their fixtures are small).
std::string ReadWholeFile(const DeskIo& io, const std::string& path);

// Writes `bytes` as the file `path`, put in place only when all is written; an existing file is
// replaced only with `force`.
void WriteNewFile(const DeskIo& io, const std::string& path, std::string_view bytes, bool force);

// The built-in rules and those of each file in `paths`; raises UsageError with every problem of
// a rules file that does not read.
RuleSet LoadRules(const DeskIo& io, const std::vector<std::string>& paths);

// A support file checked against rules: read once, with the values the rules name gathered from
// its export in the same pass.
struct Checked {
    SupportFile file;
    std::vector<Program> programs;
    size_t onlyInExport = 0;  // programs the report's list does not name
    std::vector<RuleResult> results;
};
// `read` reads the support file with the options given (ReadFile, or a fixture's parts).
Checked CheckSupportFile(const RuleSet& rules, ReadOptions options,
                         const std::function<SupportFile(const ReadOptions&)>& read);

// The findings of one file, most severe first (in rule order within a severity).
std::vector<std::pair<const RuleResult*, const Finding*>> SortedFindings(const std::vector<RuleResult>& results);

// A finding in JSON: rule, severity, title, message, values (name -> text), links.
nlohmann::json FindingJson(const RuleResult& result, const Finding& finding);
// The rules that could not be decided, in JSON: rule, outcome, why; with `all`, also those that
// did not fire.
nlohmann::json NotCheckedJson(const std::vector<RuleResult>& results, bool all = false);

// The page of --html: its file may be written (it is new, or --force); the findings of each
// support file (nullptr for one that cannot be read); a support file's facts; the page written.
void CheckPageTarget(const DeskIo& io, const Options& options);
void AddFindings(class HtmlPage& page, const std::vector<std::pair<std::string, const Checked*>>& files);
void AddFileSections(class HtmlPage& page, const Checked& checked, bool open);
void WritePage(const DeskIo& io, const Options& options, const class HtmlPage& page);

// --rules and --html, as show, check and diff take them.
void AddRulesOption(CLI::App& command, Options& options);
void AddHtmlOption(CLI::App& command, Options& options);

// A value as reg and find print it: "    name    TYPE    meaning", the default value as (Default).
std::string ValueLine(const RegValue& value);


}  // namespace ost::desk
