// Reading rules files: TOML read by toml++, every name and test checked as it is read, with the
// place of each problem, so a rule that is wrong is said to be wrong and never half applied.
#include "desk/rules.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <set>
#include <tuple>

// toml++ checks assumptions of its own with assert() where NDEBUG is not defined, and some input
// breaks one (a table header such as "[[#"); where they are off, as in every build users get, it
// goes on to report that input as an error. The checks are off here too, so that the fuzzer and
// the tests see what users get.
#define TOML_ASSERT(expr) static_cast<void>(0)
#include <toml++/toml.h>

#include "desk/registry_export.h"

namespace ost::desk {

namespace {

struct FieldDef {
    const char* name;
    FieldType type;
};

const std::vector<FieldDef>& FieldsOf(Condition::Kind kind) {
    using K = Condition::Kind;
    using T = FieldType;
    static const std::vector<FieldDef> kSystem = {
        {"windows", T::kText},           {"version", T::kVersion},        {"build", T::kNumber},
        {"processor", T::kText},         {"browser", T::kText},           {"memory_kb", T::kNumber},
        {"free_memory_kb", T::kNumber},  {"screen_width", T::kNumber},    {"screen_height", T::kNumber},
        {"code_page", T::kNumber},       {"windows64", T::kBool},         {"windows64_evidence", T::kText},
        {"processor_architecture", T::kText}, {"pebblework_folder", T::kBool}, {"report_complete", T::kBool},
        {"export_complete", T::kBool}};
    static const std::vector<FieldDef> kDrive = {
        {"letter", T::kText},    {"name", T::kText},     {"file_system", T::kText},  {"type", T::kText},
        {"free_mb", T::kNumber}, {"total_mb", T::kNumber}, {"free_percent", T::kNumber}, {"readable", T::kBool}};
    static const std::vector<FieldDef> kProgram = {
        {"name", T::kText}, {"version", T::kVersion}, {"publisher", T::kText}, {"installed", T::kDate}, {"from", T::kText}};
    static const std::vector<FieldDef> kFile = {
        {"folder", T::kText}, {"kind", T::kText}, {"name", T::kText}, {"size", T::kNumber}, {"created", T::kDate}};
    static const std::vector<FieldDef> kRegistry = {
        {"key", T::kText}, {"value", T::kText}, {"type", T::kText}, {"data", T::kData}};
    static const std::vector<FieldDef> kProblem = {{"part", T::kText}, {"text", T::kText}};
    static const std::vector<FieldDef> kNone;
    switch (kind) {
        case K::kSystem: return kSystem;
        case K::kDrive: return kDrive;
        case K::kProgram: return kProgram;
        case K::kFile: return kFile;
        case K::kRegistry: return kRegistry;
        case K::kProblem: return kProblem;
        default: return kNone;
    }
}

constexpr std::pair<const char*, Condition::Kind> kKinds[] = {
    {"system", Condition::Kind::kSystem}, {"drive", Condition::Kind::kDrive},       {"program", Condition::Kind::kProgram},
    {"file", Condition::Kind::kFile},     {"registry", Condition::Kind::kRegistry}, {"problem", Condition::Kind::kProblem}};

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// "=", "!=", "<", ... at the start of `s`, taken off it.
std::optional<Test::Op> TakeOp(std::string_view& s, bool ordered) {
    static constexpr std::pair<const char*, Test::Op> kOps[] = {{"!=", Test::Op::kNe}, {"<=", Test::Op::kLe},
                                                                {">=", Test::Op::kGe}, {"=", Test::Op::kEq},
                                                                {"<", Test::Op::kLt},  {">", Test::Op::kGt}};
    for (const auto& [text, op] : kOps) {
        const bool isOrdered = op != Test::Op::kEq && op != Test::Op::kNe;
        if (s.starts_with(text) && (ordered || !isOrdered)) {
            s.remove_prefix(std::char_traits<char>::length(text));
            return op;
        }
    }
    return std::nullopt;
}

std::optional<double> Number(std::string_view s) {
    if (s.starts_with("0x") || s.starts_with("0X")) {
        uint64_t n = 0;
        const auto [end, ec] = std::from_chars(s.data() + 2, s.data() + s.size(), n, 16);
        return ec == std::errc() && end == s.data() + s.size() && s.size() > 2 ? std::optional(static_cast<double>(n))
                                                                               : std::nullopt;
    }
    double d = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), d);
    if (ec != std::errc() || end != s.data() + s.size() || s.empty() || !std::isfinite(d))
        return std::nullopt;
    return d;
}

// "2024-03-15" as 20240315.
std::optional<int32_t> IsoDate(std::string_view s) {
    int y = 0, m = 0, d = 0;
    if (s.size() != 10 || s[4] != '-' || s[7] != '-')
        return std::nullopt;
    auto num = [&](size_t at, size_t n, int& out) {
        return std::from_chars(s.data() + at, s.data() + at + n, out).ptr == s.data() + at + n;
    };
    if (!num(0, 4, y) || !num(5, 2, m) || !num(8, 2, d) || m < 1 || m > 12 || d < 1 || d > 31)
        return std::nullopt;
    return y * 10000 + m * 100 + d;
}

bool GlobWellFormed(std::string_view pattern) {
    for (size_t i = 0; i < pattern.size(); ++i)
        if (pattern[i] == '[') {
            const size_t close = pattern.find(']', i + 2);
            if (close == std::string_view::npos)
                return false;
            i = close;
        }
    return true;
}

class Parser {
  public:
    Parser(std::string file, std::vector<Diagnostic>& problems) : file_(std::move(file)), problems_(problems) {}

    RuleSet Read(std::string_view text) {
        RuleSet set;
        toml::table doc;
        try {
            doc = toml::parse(text, file_);
        } catch (const toml::parse_error& e) {
            Problem(e.source(), std::string(e.description()));
            return set;
        }
        for (auto&& [key, node] : doc)
            if (key.str() != "rule")
                Problem(key.source(), "unknown field \"" + std::string(key.str()) + "\" (a rules file holds [[rule]] tables)");
        const toml::array* rules = doc["rule"].as_array();
        if (doc.contains("rule") && (rules == nullptr || !rules->is_array_of_tables())) {
            Problem(doc["rule"].node()->source(), "rule must be an array of tables ([[rule]])");
            return set;
        }
        std::set<std::string> ids;
        static const toml::array kNoRules;
        for (const toml::node& node : rules ? *rules : kNoRules) {
            const size_t before = problems_.size();
            Rule rule = ReadRule(*node.as_table(), set.registryConditions);
            if (!rule.id.empty() && !ids.insert(rule.id).second)
                Problem(node.source(), "the id " + rule.id + " is used by an earlier rule");
            if (problems_.size() == before)
                set.rules.push_back(std::move(rule));
            else
                set.registryConditions -= Count(rule.when);
        }
        return set;
    }

  private:
    Place At(const toml::source_region& where) const {
        return {file_, where.begin.line, where.begin.column};
    }
    void Problem(const toml::source_region& where, std::string message) {
        problems_.push_back({At(where), std::move(message)});
    }

    static size_t Count(const Condition& c) {
        size_t n = c.kind == Condition::Kind::kRegistry ? 1 : 0;
        for (const Condition& child : c.children)
            n += Count(child);
        return n;
    }

    std::string Text(const toml::table& t, const char* name, bool required) {
        const toml::node* n = t.get(name);
        if (n == nullptr) {
            if (required)
                Problem(t.source(), std::string("the rule has no ") + name);
            return "";
        }
        if (!n->is_string()) {
            Problem(n->source(), std::string(name) + " must be a string");
            return "";
        }
        return n->as_string()->get();
    }

    Rule ReadRule(const toml::table& t, size_t& registryConditions) {
        Rule rule;
        rule.place = At(t.source());
        for (auto&& [key, node] : t)
            if (!std::set<std::string_view>{"id", "title", "severity", "links", "message", "when", "fixture"}.contains(key.str()))
                Problem(key.source(), "unknown field \"" + std::string(key.str()) + "\" in a rule");
        rule.id = Text(t, "id", true);
        if (!rule.id.empty() &&
            !std::all_of(rule.id.begin(), rule.id.end(), [](char c) {
                return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
            }))
            Problem(t["id"].node()->source(), "an id is made of letters, digits, '-', '_' and '.'");
        rule.title = Text(t, "title", true);
        rule.message = Text(t, "message", true);
        const std::string severity = Text(t, "severity", true);
        if (severity == "info")
            rule.severity = Severity::kInfo;
        else if (severity == "warning")
            rule.severity = Severity::kWarning;
        else if (severity == "error")
            rule.severity = Severity::kError;
        else if (severity == "critical")
            rule.severity = Severity::kCritical;
        else if (!severity.empty())
            Problem(t["severity"].node()->source(), "severity must be info, warning, error or critical, not \"" + severity + "\"");
        if (const toml::node* links = t.get("links")) {
            if (!links->is_array())
                Problem(links->source(), "links must be an array of URLs");
            else
                for (const toml::node& link : *links->as_array()) {
                    const auto* s = link.as_string();
                    if (s == nullptr || !(s->get().starts_with("https://") || s->get().starts_with("http://")))
                        Problem(link.source(), "a link must be an http:// or https:// URL");
                    else
                        rule.links.push_back(s->get());
                }
        }
        if (const toml::node* when = t.get("when")) {
            rule.when = ReadCondition(*when, registryConditions);
        } else {
            Problem(t.source(), "the rule has no when");
        }
        CheckMessage(rule, t);
        if (const toml::node* fixtures = t.get("fixture")) {
            if (!fixtures->is_array_of_tables())
                Problem(fixtures->source(), "fixture must be an array of tables ([[rule.fixture]])");
            else
                for (const toml::node& f : *fixtures->as_array())
                    rule.fixtures.push_back(ReadFixture(*f.as_table()));
        }
        return rule;
    }

    // Every {kind.field} of the message names a field of a condition of the rule.
    void CheckMessage(const Rule& rule, const toml::table& t) {
        std::set<std::string> known;
        Gather(rule.when, known);
        const std::string& m = rule.message;
        for (size_t at = m.find('{'); at != std::string::npos; at = m.find('{', at + 1)) {
            const size_t end = m.find('}', at);
            if (end == std::string::npos) {
                Problem(t["message"].node()->source(), "the message has a '{' without its '}'");
                return;
            }
            const std::string name = m.substr(at + 1, end - at - 1);
            if (!known.contains(name))
                Problem(t["message"].node()->source(),
                        "the message names {" + name + "}, which no condition of the rule gives (a condition on " +
                            "a kind gives each of its fields, as {kind.field})");
        }
    }
    static void Gather(const Condition& c, std::set<std::string>& known) {
        for (const Condition& child : c.children)
            if (c.kind != Condition::Kind::kNot)
                Gather(child, known);
        if (c.children.empty() && c.kind != Condition::Kind::kAll && c.kind != Condition::Kind::kAny)
            for (const FieldDef& f : FieldsOf(c.kind))
                known.insert(KindName(c.kind) + "." + f.name);
    }

    Condition ReadCondition(const toml::node& node, size_t& registryConditions) {
        Condition c;
        c.place = At(node.source());
        const toml::table* t = node.as_table();
        if (t == nullptr || t->size() != 1) {
            Problem(node.source(), "a condition is a table of one field: all, any, not, or one of system, drive, "
                                   "program, file, registry, problem");
            return c;
        }
        const auto first = t->begin();
        const toml::key& key = first->first;
        const toml::node& value = first->second;
        const std::string name(key.str());
        if (name == "all" || name == "any") {
            c.kind = name == "all" ? Condition::Kind::kAll : Condition::Kind::kAny;
            const toml::array* items = value.as_array();
            if (items == nullptr || items->empty()) {
                Problem(value.source(), name + " must be an array of one or more conditions");
                return c;
            }
            for (const toml::node& item : *items)
                c.children.push_back(ReadCondition(item, registryConditions));
            return c;
        }
        if (name == "not") {
            c.kind = Condition::Kind::kNot;
            c.children.push_back(ReadCondition(value, registryConditions));
            return c;
        }
        const auto* kind = std::find_if(std::begin(kKinds), std::end(kKinds), [&](const auto& k) { return name == k.first; });
        if (kind == std::end(kKinds)) {
            Problem(key.source(), "unknown condition \"" + name + "\"");
            return c;
        }
        c.kind = kind->second;
        const toml::table* fields = value.as_table();
        if (fields == nullptr) {
            Problem(value.source(), name + " must be a table of fields and their tests");
            return c;
        }
        for (auto&& [field, test] : *fields)
            c.fields.push_back(ReadField(c.kind, std::string(field.str()), field.source(), test));
        // In the order the rule writes them (a TOML table keeps its fields sorted by name).
        std::stable_sort(c.fields.begin(), c.fields.end(), [](const FieldTest& a, const FieldTest& b) {
            return std::tie(a.place.line, a.place.column) < std::tie(b.place.line, b.place.column);
        });
        if (c.kind == Condition::Kind::kRegistry) {
            c.registryIndex = registryConditions++;
            const auto key = std::find_if(c.fields.begin(), c.fields.end(), [](const FieldTest& f) { return f.field == "key"; });
            if (key == c.fields.end())
                Problem(value.source(), "a registry condition needs a key");
            else
                c.keySegments = KeySegments(*key);
        }
        return c;
    }

    // The key path of a registry condition, checked and split into folded segments.
    std::vector<std::string> KeySegments(const FieldTest& key) {
        std::vector<std::string> segments;
        const std::string& written = key.tests.empty() ? "" : key.tests[0].operand;
        if (key.tests.size() != 1 || key.tests[0].op != Test::Op::kEq) {
            problems_.push_back({key.place, "a key is a path, without an operator"});
            return segments;
        }
        const std::string path = ExpandKeyPath(written);
        static const std::set<std::string> kRoots = {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT",
                                                     "HKEY_USERS", "HKEY_CURRENT_CONFIG"};
        size_t at = 0;
        while (true) {
            const size_t end = std::min(path.find('\\', at), path.size());
            std::string segment = FoldName(path.substr(at, end - at));
            if (segment.empty() || (segment.find_first_of("*?[") != std::string::npos && segment != "*")) {
                problems_.push_back({key.place, "the key \"" + written + "\" is not a key path: " +
                                                    (segment.empty() ? "it has an empty segment"
                                                                     : "a '*' stands for a whole segment, and no other pattern is allowed")});
                return {};
            }
            segments.push_back(std::move(segment));
            if (end == path.size())
                break;
            at = end + 1;
        }
        if (!kRoots.contains(segments[0])) {
            problems_.push_back({key.place, "the key \"" + written + "\" does not start with a root key (HKLM, HKCU, HKU, HKCR, HKCC)"});
            return {};
        }
        return segments;
    }

    FieldTest ReadField(Condition::Kind kind, const std::string& name, const toml::source_region& where, const toml::node& node) {
        FieldTest f;
        f.field = name;
        f.place = At(where);
        const auto& defs = FieldsOf(kind);
        const auto def = std::find_if(defs.begin(), defs.end(), [&](const FieldDef& d) { return name == d.name; });
        if (def == defs.end()) {
            std::string list;
            for (const FieldDef& d : defs)
                list += (list.empty() ? "" : ", ") + std::string(d.name);
            Problem(where, "unknown field \"" + name + "\" of " + KindName(kind) + " (it has " + list + ")");
            return f;
        }
        f.type = def->type;
        std::string text;
        if (const auto* s = node.as_string()) {
            text = s->get();
        } else if (node.is_integer() || node.is_floating_point()) {
            if (f.type != FieldType::kNumber && f.type != FieldType::kData) {
                Problem(node.source(), "the " + name + " of " + KindName(kind) + " is not a number: write its test as a string");
                return f;
            }
            text = node.is_integer() ? std::to_string(node.as_integer()->get()) : std::to_string(node.as_floating_point()->get());
        } else if (const auto* b = node.as_boolean()) {
            if (f.type != FieldType::kBool) {
                Problem(node.source(), "the " + name + " of " + KindName(kind) + " is not true or false");
                return f;
            }
            text = b->get() ? "true" : "false";
        } else {
            Problem(node.source(), "a test is a string, a number or true/false");
            return f;
        }
        f.written = text;
        // Text is one pattern, commas and all; ordered types take several tests, all of which hold,
        // and so does data whose first test is ordered.
        std::string_view probe = Trim(text);
        const auto firstOp = TakeOp(probe, true);
        const bool split = f.type == FieldType::kNumber || f.type == FieldType::kVersion || f.type == FieldType::kDate ||
                           (f.type == FieldType::kData && firstOp && *firstOp != Test::Op::kEq && *firstOp != Test::Op::kNe);
        std::vector<std::string_view> pieces;
        std::string_view rest = text;
        if (split)
            for (size_t comma; (comma = rest.find(',')) != std::string_view::npos; rest.remove_prefix(comma + 1))
                pieces.push_back(rest.substr(0, comma));
        pieces.push_back(rest);
        for (std::string_view piece : pieces) {
            Test t;
            std::string_view s = f.type == FieldType::kText ? piece : Trim(piece);
            t.op = TakeOp(s, f.type != FieldType::kText).value_or(Test::Op::kEq);
            s = Trim(s);
            t.operand = std::string(s);
            if (!Operand(f, t, node.source()))
                return f;
            f.tests.push_back(std::move(t));
        }
        return f;
    }

    bool Operand(const FieldTest& f, Test& t, const toml::source_region& where) {
        const bool ordered = t.op != Test::Op::kEq && t.op != Test::Op::kNe;
        switch (f.type) {
            case FieldType::kText:
                if (!GlobWellFormed(t.operand)) {
                    Problem(where, "the pattern \"" + t.operand + "\" has a '[' without its ']'");
                    return false;
                }
                t.glob.emplace(t.operand);
                return true;
            case FieldType::kNumber:
                t.number = Number(t.operand);
                if (!t.number)
                    Problem(where, "the " + f.field + " is a number: \"" + t.operand + "\" is not one");
                return t.number.has_value();
            case FieldType::kVersion:
                t.version = Version::Parse(t.operand);
                if (!t.version)
                    Problem(where, "the " + f.field + " is a version (like 4.10.2): \"" + t.operand + "\" is not one");
                return t.version.has_value();
            case FieldType::kDate:
                t.date = IsoDate(t.operand);
                if (!t.date)
                    Problem(where, "the " + f.field + " is a date, written YYYY-MM-DD: \"" + t.operand + "\" is not one");
                return t.date.has_value();
            case FieldType::kBool:
                if (ordered || (t.operand != "true" && t.operand != "false")) {
                    Problem(where, "the " + f.field + " is true or false, and compares only with = or !=");
                    return false;
                }
                t.flag = t.operand == "true";
                return true;
            case FieldType::kData:
                // Data is typed by the value found: an ordered test needs a number or a version to
                // compare with; = and != also match text.
                t.number = Number(t.operand);
                t.version = Version::Parse(t.operand);
                if (ordered && !t.number && !t.version) {
                    Problem(where, "\"" + t.operand + "\" cannot be compared with " + std::string(t.op == Test::Op::kLt ? "<" : t.op == Test::Op::kLe ? "<=" : t.op == Test::Op::kGt ? ">" : ">=") +
                                       ": only numbers and versions are ordered");
                    return false;
                }
                if (!ordered) {
                    if (!GlobWellFormed(t.operand)) {
                        Problem(where, "the pattern \"" + t.operand + "\" has a '[' without its ']'");
                        return false;
                    }
                    t.glob.emplace(t.operand);
                }
                return true;
        }
        return false;
    }

    Fixture ReadFixture(const toml::table& t) {
        Fixture f;
        f.place = At(t.source());
        for (auto&& [key, node] : t) {
            const std::string name(key.str());
            const auto* s = node.as_string();
            if (name == "fires") {
                if (!node.is_boolean())
                    Problem(node.source(), "fires must be true or false");
                else
                    f.fires = node.as_boolean()->get();
            } else if (name == "message" || name == "report" || name == "report_file" || name == "export" || name == "export_file") {
                if (s == nullptr) {
                    Problem(node.source(), name + " must be a string");
                    continue;
                }
                auto& slot = name == "message" ? f.message : name == "report" ? f.report : name == "report_file" ? f.reportFile
                           : name == "export" ? f.exportText : f.exportFile;
                slot = s->get();
            } else {
                Problem(key.source(), "unknown field \"" + name + "\" in a fixture (it has fires, message, report, "
                                      "report_file, export, export_file)");
            }
        }
        if (!t.contains("fires"))
            Problem(t.source(), "the fixture does not say whether the rule fires (fires = true or false)");
        if ((f.report && f.reportFile) || (f.exportText && f.exportFile))
            Problem(t.source(), "a fixture gives its report and its export either inline or in a file, not both");
        return f;
    }

    std::string file_;
    std::vector<Diagnostic>& problems_;
};

}  // namespace

std::string SeverityName(Severity severity) {
    switch (severity) {
        case Severity::kInfo: return "info";
        case Severity::kWarning: return "warning";
        case Severity::kError: return "error";
        case Severity::kCritical: return "critical";
    }
    return "";
}

std::string Place::Text() const {
    return file + ":" + std::to_string(line) + ":" + std::to_string(column);
}

std::optional<Version> Version::Parse(std::string_view text) {
    Version v;
    text = Trim(text);
    if (text.empty() || text.front() < '0' || text.front() > '9')
        return std::nullopt;
    while (true) {
        const size_t dot = std::min(text.find('.'), text.size());
        const std::string_view part = text.substr(0, dot);
        size_t digits = 0;
        while (digits < part.size() && part[digits] >= '0' && part[digits] <= '9')
            ++digits;
        uint64_t n = 0;
        if (digits > 0 && std::from_chars(part.data(), part.data() + digits, n).ec != std::errc())
            return std::nullopt;
        v.parts.emplace_back(n, FoldName(part.substr(digits)));
        if (dot == text.size())
            break;
        text.remove_prefix(dot + 1);
    }
    return v;
}

int Version::Compare(const Version& other) const {
    for (size_t i = 0; i < std::max(parts.size(), other.parts.size()); ++i) {
        static const std::pair<uint64_t, std::string> kZero{0, ""};
        const auto& a = i < parts.size() ? parts[i] : kZero;
        const auto& b = i < other.parts.size() ? other.parts[i] : kZero;
        if (a.first != b.first)
            return a.first < b.first ? -1 : 1;
        if (a.second != b.second)
            return a.second < b.second ? -1 : 1;
    }
    return 0;
}

std::string KindName(Condition::Kind kind) {
    for (const auto& [name, k] : kKinds)
        if (k == kind)
            return name;
    return "";
}

std::vector<std::string> FieldNames(Condition::Kind kind) {
    std::vector<std::string> out;
    for (const FieldDef& f : FieldsOf(kind))
        out.emplace_back(f.name);
    return out;
}

std::string Condition::Text() const {
    switch (kind) {
        case Kind::kAll:
        case Kind::kAny: {
            std::string out = kind == Kind::kAll ? "all [" : "any [";
            for (size_t i = 0; i < children.size(); ++i)
                out += (i ? ", " : "") + children[i].Text();
            return out + "]";
        }
        case Kind::kNot:
            return "not " + (children.empty() ? std::string("{}") : children[0].Text());
        default: {
            std::string out = KindName(kind) + " {";
            for (size_t i = 0; i < fields.size(); ++i)
                out += (i ? ", " : " ") + fields[i].field + " = \"" + fields[i].written + "\"";
            return out + (fields.empty() ? "}" : " }");
        }
    }
}

RuleSet ParseRules(std::string_view text, const std::string& file, std::vector<Diagnostic>& problems) {
    return Parser(file, problems).Read(text);
}

namespace {
void Renumber(Condition& c, size_t offset) {
    if (c.kind == Condition::Kind::kRegistry)
        c.registryIndex += offset;
    for (Condition& child : c.children)
        Renumber(child, offset);
}
}  // namespace

void AddRules(RuleSet& set, RuleSet more) {
    for (Rule& rule : more.rules) {
        Renumber(rule.when, set.registryConditions);
        set.rules.push_back(std::move(rule));
    }
    set.registryConditions += more.registryConditions;
}

RuleSet BuiltInRules() {
    std::vector<Diagnostic> problems;
    RuleSet set = ParseRules(BuiltInRulesText(), "(built in)", problems);
    if (!problems.empty())
        throw std::logic_error("the built-in rules do not read: " + problems[0].Text());
    return set;
}

}  // namespace ost::desk
