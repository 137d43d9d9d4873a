// The desk's rules: what it has learnt from tickets, written down as data. A rules file (TOML)
// holds rules; each has an id, a title, a severity, knowledge-base links, a condition on what a
// support file says of its machine, and a message filled with the values the condition matched.
// Conditions are made of tests on typed fields (text, numbers, versions, dates, yes/no), all of
// them written the same way, and combined with all, any and not. Patterns are globs, never regular
// expressions, so no rule can make a check slow. The rules every support file gets are built into
// the program in the same form.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "desk/glob.h"

namespace ost::desk {

enum class Severity { kInfo, kWarning, kError, kCritical };
std::string SeverityName(Severity severity);

// Where in a rules file something stands.
struct Place {
    std::string file;
    uint32_t line = 0, column = 0;
    std::string Text() const;  // "file:line:column"
};

// A problem of a rules file, as lint reports it.
struct Diagnostic {
    Place place;
    std::string message;
    std::string Text() const { return place.Text() + ": " + message; }
};

enum class FieldType { kText, kNumber, kVersion, kDate, kBool, kData };

// A version as programs write theirs: parts between dots, each a number and what follows it
// ("4.10.2", "10.0.19041.1", "2.3b"). Missing parts count as 0.
struct Version {
    std::vector<std::pair<uint64_t, std::string>> parts;
    static std::optional<Version> Parse(std::string_view text);
    int Compare(const Version& other) const;  // <0, 0, >0
};

// One test on a field, as a rule writes it: an operator (=, !=, <, <=, >, >=; none is =) and what
// the field is compared with.
struct Test {
    enum class Op { kEq, kNe, kLt, kLe, kGt, kGe };
    Op op = Op::kEq;
    std::string operand;            // as written
    std::optional<Glob> glob;       // text: the pattern
    std::optional<double> number;   // numbers, and data that compares as one
    std::optional<Version> version; // versions, and data that compares as one
    std::optional<int32_t> date;    // dates, as YYYYMMDD
    std::optional<bool> flag;       // yes/no
};

// A field of a condition and the tests on it, all of which must hold.
struct FieldTest {
    std::string field;
    FieldType type = FieldType::kText;
    std::vector<Test> tests;
    std::string written;  // the tests as the rule writes them, for explanations
    Place place;
};

struct Condition {
    enum class Kind { kAll, kAny, kNot, kSystem, kDrive, kProgram, kFile, kRegistry, kProblem };
    Kind kind = Kind::kAll;
    std::vector<Condition> children;  // all, any: its conditions; not: the one it negates
    std::vector<FieldTest> fields;    // the tests of a condition on one kind of thing
    // registry: the key's path, its segments folded, "*" standing for any one segment; and the
    // number of this condition among the rule set's registry conditions.
    std::vector<std::string> keySegments;
    size_t registryIndex = 0;
    Place place;
    std::string Text() const;  // as the rule writes it, on one line
};

// The name of a kind of condition as rules write it ("drive"); "" for all, any and not.
std::string KindName(Condition::Kind kind);
// The fields a kind of condition has, in the order messages and explanations give them.
std::vector<std::string> FieldNames(Condition::Kind kind);

// A fixture of a rule: a small support file (report and export text, inline or in files named
// relative to the rules file) and what the rule must do on it.
struct Fixture {
    bool fires = false;
    std::optional<std::string> message;  // the message it must give, when it fires
    std::optional<std::string> report, reportFile, exportText, exportFile;
    Place place;
};

struct Rule {
    std::string id, title, message;
    Severity severity = Severity::kWarning;
    std::vector<std::string> links;
    Condition when;
    std::vector<Fixture> fixtures;
    Place place;
};

struct RuleSet {
    std::vector<Rule> rules;
    size_t registryConditions = 0;  // how many registry conditions the rules hold
};

// Reads the rules in the TOML text `text`, named `file` in diagnostics. A rule with a problem is
// left out and each problem is added to `problems`; the others are kept. Names a condition does not
// know, malformed key paths, bad patterns and tests that cannot compare are problems.
RuleSet ParseRules(std::string_view text, const std::string& file, std::vector<Diagnostic>& problems);

// Appends the rules of `more` to `set`, counting its registry conditions on.
void AddRules(RuleSet& set, RuleSet more);

// The rules built into ovdesk: what every support file is checked for.
const std::string& BuiltInRulesText();
RuleSet BuiltInRules();

}  // namespace ost::desk
