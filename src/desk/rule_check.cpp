#include "desk/rule_check.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <map>
#include <set>

#include "app/report_layout.h"
#include "desk/registry_export.h"

namespace ost::desk {

// ---- The registry values the rules name ----

struct RegistryWants::Node {
    std::map<std::string, std::unique_ptr<Node>, std::less<>> children;
    std::unique_ptr<Node> star;
    std::vector<size_t> ends;  // the conditions whose paths end here
};

namespace {

const FieldTest* FieldOf(const Condition& c, std::string_view name) {
    for (const FieldTest& f : c.fields)
        if (f.field == name)
            return &f;
    return nullptr;
}

bool OnKeyAlone(const Condition& c) {
    return !FieldOf(c, "value") && !FieldOf(c, "type") && !FieldOf(c, "data");
}

void Walk(const Condition& c, std::vector<const Condition*>& out) {
    if (c.kind == Condition::Kind::kRegistry && c.registryIndex < out.size())
        out[c.registryIndex] = &c;
    for (const Condition& child : c.children)
        Walk(child, out);
}

// Whether `key` is `folded` (in upper case), in either case, without folding it.
bool SameAscii(std::string_view key, std::string_view folded) {
    return key.size() == folded.size() &&
           std::equal(key.begin(), key.end(), folded.begin(), [](char a, char b) { return (a >= 'a' && a <= 'z' ? a - 0x20 : a) == b; });
}

const std::string kInternational = "HKEY_CURRENT_USER\\CONTROL PANEL\\INTERNATIONAL";

enum class Tri { kFalse, kTrue, kUnknown };

// A field's value in one thing a condition looks at; unknown when the file does not tell it.
struct Value {
    bool known = false;
    std::string text;  // as messages show it
    std::optional<double> number;
    std::optional<Version> version;
    std::optional<int32_t> date;
    std::optional<int32_t> otherDate;  // a date that reads two ways: the other reading
    std::optional<bool> flag;
    const RegValue* data = nullptr;
    std::vector<std::string> items;  // text that is several: a test holds when it holds for one
    std::string whyUnknown;
};

struct TestResult {
    Tri state = Tri::kTrue;
    std::string why;   // unknown: why
    std::string error; // a comparison the value's type does not allow
};

bool Holds(int order, Test::Op op) {
    switch (op) {
        case Test::Op::kEq: return order == 0;
        case Test::Op::kNe: return order != 0;
        case Test::Op::kLt: return order < 0;
        case Test::Op::kLe: return order <= 0;
        case Test::Op::kGt: return order > 0;
        case Test::Op::kGe: return order >= 0;
    }
    return false;
}

int Order(double a, double b) {
    return a < b ? -1 : a > b ? 1 : 0;
}

std::optional<double> NumberText(std::string_view s) {
    double d = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), d);
    return ec == std::errc() && end == s.data() + s.size() && !s.empty() ? std::optional(d) : std::nullopt;
}

const char* OpText(Test::Op op) {
    constexpr const char* kTexts[] = {"=", "!=", "<", "<=", ">", ">="};
    return kTexts[static_cast<int>(op)];
}

// One test on registry data, typed by the value's own type.
TestResult DataTest(const Test& t, const RegValue& v) {
    const bool ordered = t.op != Test::Op::kEq && t.op != Test::Op::kNe;
    const std::vector<std::string> texts = ValueSearchTexts(v);
    const bool number = v.type == kRegDword || v.type == kRegDwordBigEndian || v.type == kRegQword;
    const bool text = v.type == kRegSz || v.type == kRegExpandSz;
    auto fail = [&](const std::string& why) { return TestResult{Tri::kUnknown, "", why}; };
    if (!v.problem.empty() || ((number || text || v.type == kRegMultiSz) && texts.empty()))
        return fail("the data of " + (v.name.empty() ? std::string("(Default)") : v.name) + " cannot be read");
    auto result = [](bool b) { return TestResult{b ? Tri::kTrue : Tri::kFalse, "", ""}; };
    if (!ordered) {
        bool any = false;
        if (number && t.number)
            any = NumberText(texts[0]) == t.number;
        else if (number || text || v.type == kRegMultiSz)
            any = std::any_of(texts.begin(), texts.end(), [&](const std::string& s) { return t.glob->Matches(s); });
        else
            any = t.glob->Matches(ValueText(v));
        return result(any == (t.op == Test::Op::kEq));
    }
    const std::string what = TypeName(v.type) + " data \"" + (texts.empty() ? ValueText(v) : texts[0]) + "\"";
    if (number || text) {
        if (const auto n = NumberText(texts[0]); n && t.number)
            return result(Holds(Order(*n, *t.number), t.op));
        if (const auto ver = Version::Parse(texts[0]); text && ver && t.version)
            return result(Holds(ver->Compare(*t.version), t.op));
    }
    return fail(what + " cannot be compared with " + OpText(t.op) + " " + t.operand);
}

TestResult FieldResult(const FieldTest& f, const Value& v) {
    if (!v.known)
        return {Tri::kUnknown, v.whyUnknown, ""};
    TestResult out;
    for (const Test& t : f.tests) {
        TestResult r;
        switch (f.type) {
            case FieldType::kText: {
                const bool match = v.items.empty() ? t.glob->Matches(v.text)
                                                   : std::any_of(v.items.begin(), v.items.end(),
                                                                 [&](const std::string& s) { return t.glob->Matches(s); });
                r.state = match == (t.op == Test::Op::kEq) ? Tri::kTrue : Tri::kFalse;
                break;
            }
            case FieldType::kNumber:
                r.state = v.number && Holds(Order(*v.number, *t.number), t.op) ? Tri::kTrue : Tri::kFalse;
                break;
            case FieldType::kVersion:
                if (!v.version)
                    r = {Tri::kUnknown, "\"" + v.text + "\" is not a version", ""};
                else
                    r.state = Holds(v.version->Compare(*t.version), t.op) ? Tri::kTrue : Tri::kFalse;
                break;
            case FieldType::kDate:
                if (!v.date)
                    r = {Tri::kUnknown, v.whyUnknown.empty() ? "\"" + v.text + "\" is not a date" : v.whyUnknown, ""};
                else if (v.otherDate && Holds(Order(*v.date, *t.date), t.op) != Holds(Order(*v.otherDate, *t.date), t.op))
                    r = {Tri::kUnknown, v.whyUnknown, ""};
                else
                    r.state = Holds(Order(*v.date, *t.date), t.op) ? Tri::kTrue : Tri::kFalse;
                break;
            case FieldType::kBool:
                r.state = v.flag && (*v.flag == *t.flag) == (t.op == Test::Op::kEq) ? Tri::kTrue : Tri::kFalse;
                break;
            case FieldType::kData:
                r = v.data ? DataTest(t, *v.data) : TestResult{Tri::kFalse, "", ""};
                break;
        }
        if (r.state == Tri::kFalse)
            return r;
        if (r.state == Tri::kUnknown && out.state == Tri::kTrue)
            out = r;
    }
    return out;
}

}  // namespace

RegistryWants::RegistryWants(const RuleSet& rules)
    : root_(std::make_unique<Node>()), found_(rules.registryConditions), conditions_(rules.registryConditions) {
    for (const Rule& rule : rules.rules)
        Walk(rule.when, conditions_);
    for (size_t i = 0; i < conditions_.size(); ++i) {
        if (conditions_[i] == nullptr || conditions_[i]->keySegments.empty())
            continue;
        Node* node = root_.get();
        for (const std::string& segment : conditions_[i]->keySegments) {
            std::unique_ptr<Node>& next = segment == "*" ? node->star : node->children[segment];
            if (!next)
                next = std::make_unique<Node>();
            node = next.get();
        }
        node->ends.push_back(i);
    }
}

RegistryWants::~RegistryWants() = default;

std::optional<std::string> RegistryWants::ShortDate() const {
    if (shortDate_ || userShortDates_.empty())
        return shortDate_;
    const std::string& first = userShortDates_.begin()->second;
    for (const auto& [sid, format] : userShortDates_)
        if (format != first)
            return std::nullopt;  // users of other formats: which one ran the tool, nothing says
    return first;
}

bool RegistryWants::Key(const std::string& key) {
    current_.clear();
    // HKCU\Control Panel\International, or HKU\S-1-5-21-...\Control Panel\International.
    static const std::string kUsers = "HKEY_USERS\\S-1-5-21-", kUserInternational = "\\CONTROL PANEL\\INTERNATIONAL";
    const size_t sidEnd = key.find('\\', kUsers.size());
    international_ = SameAscii(key, kInternational) ? International::kCurrentUser
                     : key.size() > kUsers.size() && SameAscii(std::string_view(key).substr(0, kUsers.size()), kUsers) &&
                             sidEnd != std::string::npos && SameAscii(std::string_view(key).substr(sidEnd), kUserInternational)
                         ? International::kUser
                         : International::kNo;
    std::vector<const Node*> at = {root_.get()}, next;
    size_t begin = 0;
    while (!at.empty()) {
        const size_t end = std::min(key.find('\\', begin), key.size());
        const std::string segment = FoldName(std::string_view(key).substr(begin, end - begin));
        next.clear();
        for (const Node* node : at) {
            if (const auto child = node->children.find(segment); child != node->children.end())
                next.push_back(child->second.get());
            if (node->star)
                next.push_back(node->star.get());
        }
        at.swap(next);
        if (end == key.size())
            break;
        begin = end + 1;
    }
    for (const Node* node : at)
        current_.insert(current_.end(), node->ends.begin(), node->ends.end());
    if (current_.empty() && international_ == International::kNo)
        return false;
    key_ = key;
    for (const size_t c : current_) {
        ++found_[c].keys;
        if (OnKeyAlone(*conditions_[c])) {
            if (found_[c].records.size() < kMaxRecords)
                found_[c].records.push_back({key, std::nullopt});
            else
                found_[c].overflow = true;
        }
    }
    return true;
}

void RegistryWants::Value(const RegValue& value) {
    if (international_ != International::kNo && FoldName(value.name) == "SSHORTDATE" && value.type == kRegSz) {
        if (international_ == International::kCurrentUser)
            shortDate_ = ValueText(value);
        else
            userShortDates_[key_.substr(11, key_.find('\\', 11) - 11)] = ValueText(value);
    }
    for (const size_t c : current_) {
        const Condition& condition = *conditions_[c];
        if (OnKeyAlone(condition))
            continue;
        if (const FieldTest* name = FieldOf(condition, "value")) {
            desk::Value v;
            v.known = true;
            v.text = value.name.empty() ? "(Default)" : value.name;
            if (FieldResult(*name, v).state != Tri::kTrue)
                continue;
        }
        Found& found = found_[c];
        const size_t size = key_.size() + value.name.size() + value.data.size();
        if (found.records.size() >= kMaxRecords || bytes_ + size > kMaxBytes) {
            found.overflow = true;
            continue;
        }
        bytes_ += size;
        RegValue kept = value;
        kept.raw.clear();
        found.records.push_back({key_, std::move(kept)});
    }
}

// ---- Dates ----

std::vector<int32_t> ListingDateReadings(std::string_view text, const std::optional<std::string>& format) {
    std::vector<int> runs;
    std::vector<size_t> widths;
    const std::string_view date = text.substr(0, text.find(' '));
    for (size_t i = 0; i < date.size();) {
        if (date[i] < '0' || date[i] > '9') {
            if ((date[i] >= 'a' && date[i] <= 'z') || (date[i] >= 'A' && date[i] <= 'Z') || static_cast<unsigned char>(date[i]) >= 0x80)
                return {};  // a month's name, or a calendar's era
            ++i;
            continue;
        }
        size_t j = i;
        while (j < date.size() && date[j] >= '0' && date[j] <= '9')
            ++j;
        int n = 0;
        if (j - i > 4 || std::from_chars(date.data() + i, date.data() + j, n).ec != std::errc())
            return {};
        runs.push_back(n);
        widths.push_back(j - i);
        i = j;
    }
    if (runs.size() != 3)
        return {};
    // The order of day, month and year: the format's; without one, each order the text allows.
    std::vector<std::string> orders;
    if (format) {
        std::string order;
        for (const char c : *format)
            if ((c == 'd' || c == 'M' || c == 'y') && order.find(c) == std::string::npos)
                order += c;
        if (order.size() != 3)
            return {};
        orders = {order};
    } else if (widths[0] == 4) {
        orders = {"yMd"};
    } else if (widths[2] == 4) {
        orders = {"Mdy", "dMy"};
    } else {
        return {};
    }
    std::vector<int32_t> out;
    for (const std::string& order : orders) {
        int y = runs[order.find('y')];
        const int m = runs[order.find('M')], d = runs[order.find('d')];
        if (widths[order.find('y')] <= 2)
            y += y < 30 ? 2000 : 1900;  // the two-digit years Windows reads, 1930 to 2029
        const int32_t reading = y * 10000 + m * 100 + d;
        if (m >= 1 && m <= 12 && d >= 1 && d <= 31 && std::find(out.begin(), out.end(), reading) == out.end())
            out.push_back(reading);
    }
    return out;
}

std::optional<int32_t> ListingDate(std::string_view text, const std::optional<std::string>& format) {
    const std::vector<int32_t> readings = ListingDateReadings(text, format);
    return readings.size() == 1 ? std::optional(readings[0]) : std::nullopt;
}

// ---- What could not be read ----

std::vector<std::pair<std::string, std::string>> ReadingProblems(const SupportFile& file) {
    std::vector<std::pair<std::string, std::string>> out;
    const Report* r = file.report ? &*file.report : nullptr;
    const ExportFacts* e = file.registry ? &*file.registry : nullptr;
    if (!file.reportEntry.present)
        out.emplace_back("report", "the support file holds no support report (" + report::kReportEntry + ")");
    else if (!r)
        out.emplace_back("report", "the report cannot be read: " + file.reportEntry.problem);
    if (!file.exportEntry.present)
        out.emplace_back("export", "the support file holds no registry export");
    else if (!e)
        out.emplace_back("export", "the registry export is damaged: " + file.exportEntry.problem);
    else if (e->form == ExportFacts::Form::kUnreadable)
        out.emplace_back("export", "the registry export " + e->problem);
    else if (e->keys == 0)
        out.emplace_back("export", "the registry export holds no keys");
    else
        for (std::string& w : ExportWarnings(*e))
            out.emplace_back("export", std::move(w));
    if (e && e->ansiCodePage && file.codePage.assumed)
        out.emplace_back("export", "the registry export names code page " + std::to_string(*e->ansiCodePage) +
                                       ", which this system cannot read; names are read in code page 1252");
    for (const std::string& problem : r ? r->problems : std::vector<std::string>{})
        out.emplace_back("report", "the report: " + problem);
    for (const std::string& problem : file.otherDamage)
        out.emplace_back("archive", "an entry of the support file is damaged: " + problem);
    return out;
}

std::vector<std::string> ExportWarnings(const ExportFacts& facts) {
    std::vector<std::string> out;
    if (!facts.wholeLines)
        out.push_back("the registry export is cut short in the middle of a line: its last key may lack values");
    for (const std::string& problem : facts.Problems())
        out.push_back("the registry export: " + problem);
    return out;
}

std::string OutcomeName(Outcome outcome) {
    switch (outcome) {
        case Outcome::kFired: return "fired";
        case Outcome::kNotFired: return "not fired";
        case Outcome::kNotApplicable: return "not applicable";
        case Outcome::kError: return "error";
    }
    return "";
}

// ---- Checking ----

namespace {

std::string Decimal(double value, int places) {
    char text[64];
    std::snprintf(text, sizeof(text), "%.*f", places, value);
    return text;
}

struct Eval {
    Tri state = Tri::kFalse;
    bool error = false;
    std::vector<Binding> matches;  // true: what matched
    std::string why;               // false: what failed; unknown: what could not be read
};

Value Known(std::string text) {
    Value v;
    v.known = true;
    v.text = std::move(text);
    return v;
}
Value Unknown(std::string why) {
    Value v;
    v.whyUnknown = std::move(why);
    return v;
}
Value NumberValue(double n, int places) {
    Value v = Known(Decimal(n, places));
    v.number = n;
    return v;
}
Value FlagValue(bool b) {
    Value v = Known(b ? "true" : "false");
    v.flag = b;
    return v;
}
Value TextValue(const std::optional<std::string>& text, const std::string& why) {
    return text ? Known(*text) : Unknown(why);
}

class Checker {
  public:
    explicit Checker(const Facts& facts) : f_(facts), file_(*facts.file), report_(file_.report ? &*file_.report : nullptr) {
        if (!file_.reportEntry.present)
            noReport_ = "the support file holds no report";
        else if (!report_)
            noReport_ = "the report cannot be read";
        shortDate_ = f_.registry ? f_.registry->ShortDate() : std::nullopt;
    }

    // Checks `rule`: its condition, with the values its message names kept.
    Eval Check(const desk::Rule& rule) {
        named_.clear();
        for (size_t at = rule.message.find('{'); at != std::string::npos; at = rule.message.find('{', at + 1))
            named_.insert(rule.message.substr(at + 1, rule.message.find('}', at) - at - 1));
        return Run(rule.when);
    }

    Eval Run(const Condition& c) {
        switch (c.kind) {
            case Condition::Kind::kAll: return All(c);
            case Condition::Kind::kAny: return Any(c);
            case Condition::Kind::kNot: return Not(c);
            default: return Leaf(c);
        }
    }

  private:
    static void Merge(Eval& into, const Eval& from) {
        into.error = into.error || from.error;
        if (!from.why.empty() && into.why.find(from.why) == std::string::npos)
            into.why += (into.why.empty() ? "" : "; ") + from.why;
    }

    Eval All(const Condition& c) {
        Eval out;
        out.state = Tri::kTrue;
        out.matches = {Binding{}};
        Eval unknown;
        unknown.state = Tri::kUnknown;
        bool anyUnknown = false;
        for (const Condition& child : c.children) {
            Eval e = Run(child);
            if (e.state == Tri::kFalse)
                return e;
            if (e.state == Tri::kUnknown) {
                anyUnknown = true;
                Merge(unknown, e);
                continue;
            }
            std::vector<Binding> joined;
            for (const Binding& a : out.matches)
                for (const Binding& b : e.matches) {
                    if (joined.size() >= kMaxFindings + 1)
                        break;
                    Binding both = a;
                    both.insert(both.end(), b.begin(), b.end());
                    joined.push_back(std::move(both));
                }
            out.matches = std::move(joined);
        }
        return anyUnknown ? unknown : out;
    }

    Eval Any(const Condition& c) {
        Eval out, unknown;
        unknown.state = Tri::kUnknown;
        bool anyTrue = false, anyUnknown = false;
        for (const Condition& child : c.children) {
            Eval e = Run(child);
            if (e.state == Tri::kTrue) {
                anyTrue = true;
                out.matches.insert(out.matches.end(), e.matches.begin(), e.matches.end());
            } else if (e.state == Tri::kUnknown) {
                anyUnknown = true;
                Merge(unknown, e);
            } else {
                out.why += (out.why.empty() ? "" : "; and ") + e.why;
            }
        }
        if (anyTrue) {
            out.state = Tri::kTrue;
            out.why.clear();
            return out;
        }
        return anyUnknown ? unknown : out;
    }

    Eval Not(const Condition& c) {
        Eval e = Run(c.children[0]);
        Eval out;
        if (e.state == Tri::kUnknown)
            return e;
        if (e.state == Tri::kTrue) {
            std::string found;
            for (const auto& [name, text] : e.matches.empty() ? Binding{} : e.matches[0])
                found += (found.empty() ? "" : ", ") + name + " = " + text;
            out.why = c.children[0].Text() + " holds" + (found.empty() ? "" : " (" + found + ")");
            return out;
        }
        out.state = Tri::kTrue;
        out.matches = {Binding{}};
        return out;
    }

    // A condition on one kind of thing: true when one of the things has every field it tests.
    template <typename T, typename Get>
    Eval Things(const Condition& c, const std::vector<T>& things, Get get, bool whole, const std::string& whyPartial,
                const char* noun, bool skipKey = false) {
        Eval out;
        std::string unknownWhy;
        size_t unknown = 0;
        const std::vector<std::string> names = FieldNames(c.kind);
        const std::string kind = KindName(c.kind);
        // The things that came nearest, by the tests they passed before one failed: at most five.
        std::vector<std::pair<size_t, std::string>> misses;
        const std::string& label = c.kind == Condition::Kind::kFile       ? names[2]
                                   : c.kind == Condition::Kind::kRegistry ? names[1]
                                                                          : names[0];

        for (const T& thing : things) {
            Tri state = Tri::kTrue;
            std::string why, miss;
            size_t passed = 0;
            for (const FieldTest& f : c.fields) {
                if (skipKey && f.field == "key")
                    continue;
                const Value v = get(thing, f.field);
                const TestResult r = FieldResult(f, v);
                if (!r.error.empty()) {
                    out.error = true;
                    if (unknownWhy.find(r.error) == std::string::npos)
                        unknownWhy += (unknownWhy.empty() ? "" : "; ") + r.error;
                }
                if (r.state == Tri::kFalse) {
                    state = Tri::kFalse;
                    miss = f.field + " is " + (f.type == FieldType::kText ? "\"" + v.text + "\"" : v.text);
                    break;
                }
                if (r.state == Tri::kUnknown) {
                    state = Tri::kUnknown;
                    why = r.why.empty() ? r.error : r.why;
                }
                ++passed;
            }
            if (state == Tri::kTrue) {
                // The values found: the thing's name, the fields tested and those the message names.
                Binding b;
                for (const std::string& name : names) {
                    const bool tested = std::any_of(c.fields.begin(), c.fields.end(), [&](const FieldTest& f) { return f.field == name; });
                    if (name != label && !tested && !named_.contains(kind + "." + name))
                        continue;
                    const Value v = get(thing, name);
                    if (v.known)
                        b.emplace_back(kind + "." + name, v.text);
                }
                if (out.matches.size() <= kMaxFindings)
                    out.matches.push_back(std::move(b));
                out.state = Tri::kTrue;
            } else if (state == Tri::kUnknown) {
                if (unknown++ == 0 && unknownWhy.find(why) == std::string::npos)
                    unknownWhy += (unknownWhy.empty() ? "" : "; ") + why;
            } else if (misses.size() < 5 || passed > misses.back().first) {
                const Value named = get(thing, label);
                const auto at = std::find_if(misses.begin(), misses.end(), [&](const auto& m) { return m.first < passed; });
                misses.insert(at, {passed, (named.known ? named.text + ": " : "") + miss});
                if (misses.size() > 5)
                    misses.pop_back();
            }
        }
        if (out.state == Tri::kTrue)
            return out;
        if (unknown > 0 || !whole || out.error) {
            out.state = Tri::kUnknown;
            out.why = unknownWhy;
            if (!whole)
                out.why += (out.why.empty() ? "" : "; ") + whyPartial;
            return out;
        }
        out.why = "no " + std::string(noun) + " matches";
        if (things.empty())
            out.why = "there is no " + std::string(noun);
        else if (c.kind != Condition::Kind::kSystem)
            out.why += " (" + std::to_string(things.size()) + " read)";
        for (size_t i = 0; i < misses.size(); ++i)
            out.why += (i ? "; " : ": ") + misses[i].second;
        if (things.size() > misses.size() && c.kind != Condition::Kind::kSystem)
            out.why += "; ...";
        return out;
    }

    Eval Leaf(const Condition& c) {
        Eval e = LeafOf(c);
        if (e.state == Tri::kFalse)
            e.why = c.Text() + " (" + c.place.Text() + ") is false: " + e.why;
        return e;
    }

    Eval LeafOf(const Condition& c) {
        const std::string& noReport = noReport_;
        switch (c.kind) {
            case Condition::Kind::kSystem: {
                const std::vector<int> one = {0};
                return Things(c, one, [&](int, const std::string& field) { return System(field); }, true, "", "system");
            }
            case Condition::Kind::kDrive: {
                static const std::vector<DriveLine> kNone;
                return Things(c, report_ ? report_->drives : kNone, [&](const DriveLine& d, const std::string& field) { return Drive(d, field); },
                              report_ && report_->drivesWhole,
                              report_ ? "the report's drive list is cut short" : noReport, "drive");
            }
            case Condition::Kind::kProgram:
                return Things(c, f_.programs, [&](const Program& p, const std::string& field) { return ProgramField(p, field); },
                              f_.programsWhole,
                              !report_ ? noReport
                                       : !report_->programsWhole ? "the report's program list is cut short"
                                                                 : "the registry export was not read whole",
                              "program");
            case Condition::Kind::kFile:
                return Files(c);
            case Condition::Kind::kRegistry:
                return Registry(c);
            case Condition::Kind::kProblem:
                return Things(c, f_.problems,
                              [](const std::pair<std::string, std::string>& p, const std::string& field) {
                                  return Known(field == "part" ? p.first : p.second);
                              },
                              true, "", "problem");
            default:
                return {};
        }
    }

    Value System(const std::string& field) {
        const ExportFacts* e = file_.registry ? &*file_.registry : nullptr;
        const std::string noExport = "the registry export cannot be read";
        const std::string why = noReport_.empty() ? "the report has no line for it" : noReport_;
        const Report* r = report_;
        if (field == "report_complete")
            return FlagValue(r && r->complete);
        if (field == "export_complete")
            return FlagValue(e && e->Complete());
        if (field == "windows64" || field == "windows64_evidence") {
            if (!e)
                return Unknown(noExport);
            const bool arch64 = e->processorArchitecture == "AMD64" || e->processorArchitecture == "ARM64" ||
                                e->processorArchitecture == "IA64";
            const bool is64 = e->wow6432Node || arch64;
            if (!is64 && !e->Complete())
                return Unknown("the registry export was not read whole");
            if (field == "windows64")
                return FlagValue(is64);
            return Known(e->wow6432Node ? "the registry export has HKLM\\SOFTWARE\\Wow6432Node"
                         : arch64       ? "the registry export names a 64-bit processor"
                                        : "");
        }
        if (field == "processor_architecture")
            return e && !e->processorArchitecture.empty() ? Known(e->processorArchitecture)
                                                          : Unknown(e ? "the export names no processor" : noExport);
        if (field == "code_page") {
            if (file_.codePage.assumed)
                return Unknown("the registry export names no code page this system knows");
            Value v = NumberValue(file_.codePage.number, 0);
            return v;
        }
        if (field == "pebblework_folder") {
            if (r && r->pebblework.present)
                return FlagValue(true);
            if (r && r->complete)
                return FlagValue(false);
            return Unknown(r ? "the report is cut short before it would list c:\\pwwin32" : why);
        }
        if (!r)
            return Unknown(why);
        const CodePage& cp = file_.codePage;
        if (field == "windows")
            return TextValue(cp.Decode(r->winName), why);
        if (field == "browser")
            return TextValue(cp.Decode(r->browser), why);
        if (field == "processor")
            return TextValue(cp.Decode(r->processor), why);
        if (field == "version" || field == "build") {
            if (!r->winVersion)
                return Unknown(why);
            const std::string& line = *r->winVersion;
            const size_t at = line.find(" (Build ");
            if (field == "version") {
                Value v = Known(line.substr(0, at));
                v.version = Version::Parse(v.text);
                return v;
            }
            if (at == std::string::npos || !line.ends_with(")"))
                return Unknown("the report's version line names no build");
            return Whole(line.substr(at + 8, line.size() - at - 9));
        }
        auto figure = [&](const std::optional<std::string>& text) { return text ? Whole(*text) : Unknown(why); };
        if (field == "memory_kb")
            return figure(r->totalMemory);
        if (field == "free_memory_kb")
            return figure(r->freeMemory);
        if (field == "screen_width" || field == "screen_height") {
            if (!r->resolution)
                return Unknown(why);
            const size_t by = r->resolution->find(report::kResolutionBy);
            if (by == std::string::npos)
                return Unknown("the report's screen line is not of the form W X H");
            return Whole(field == "screen_width" ? r->resolution->substr(0, by) : r->resolution->substr(by + report::kResolutionBy.size()));
        }
        return Unknown("");
    }

    static Value Whole(const std::string& text) {
        const auto n = WholeNumber(text);
        if (!n)
            return Unknown("\"" + text + "\" is not a whole number");
        Value v = Known(text);
        v.number = static_cast<double>(*n);
        return v;
    }

    Value Drive(const DriveLine& d, const std::string& field) {
        const CodePage& cp = file_.codePage;
        if (field == "letter")
            return Known(cp.Decode(d.letter));
        if (field == "readable")
            return FlagValue(d.readable);
        if (!d.readable)
            return Unknown("drive " + cp.Decode(d.letter) + ": could not be read on the machine");
        if (field == "name")
            return Known(cp.Decode(d.name));
        if (field == "file_system")
            return Known(cp.Decode(d.fileSystem));
        if (field == "type")
            return Known(d.type);
        if (field == "free_mb")
            return NumberValue(d.freeMegabytes, 2);
        if (field == "total_mb")
            return NumberValue(d.totalMegabytes, 2);
        if (d.totalMegabytes <= 0)
            return Unknown("drive " + cp.Decode(d.letter) + ": has no size");
        return NumberValue(100 * d.freeMegabytes / d.totalMegabytes, 1);  // free_percent
    }

    static Value ProgramField(const Program& p, const std::string& field) {
        if (field == "name")
            return Known(p.name);
        if (field == "from") {
            std::string all;
            for (const std::string& s : p.sources)
                all += (all.empty() ? "" : ", ") + s;
            Value v = Known(all);
            v.items = p.sources;
            return v;
        }
        const std::string& text = field == "version" ? p.version : field == "publisher" ? p.publisher : p.installDate;
        if (text.empty())
            return Unknown("the program " + p.name + " has no " + (field == "installed" ? "install date" : field) +
                           (p.keys.empty() ? " (it is only in the report's list)" : ""));
        Value v = Known(text);
        if (field == "version")
            v.version = Version::Parse(text);
        if (field == "installed") {
            int y = 0, m = 0, d = 0;
            if (std::sscanf(text.c_str(), "%4d-%2d-%2d", &y, &m, &d) == 3 && text.size() == 10)
                v.date = y * 10000 + m * 100 + d;
        }
        return v;
    }

    Eval Files(const Condition& c) {
        struct Entry {
            const char* folder;
            const ListingEntry* entry;
            bool isFolder;
        };
        std::vector<Entry> entries;
        bool whole = report_ != nullptr;
        std::string whyPartial = noReport_;
        const FieldTest* folderTest = FieldOf(c, "folder");
        const std::pair<const char*, const Listing*> listings[] = {
            {"windows", report_ ? &report_->windows : nullptr},
            {"system", report_ ? &report_->system : nullptr},
            {"pebblework", report_ ? &report_->pebblework : nullptr}};
        for (const auto& [name, listing] : listings) {
            if (folderTest && FieldResult(*folderTest, Known(name)).state != Tri::kTrue)
                continue;
            if (!listing)
                continue;
            const bool absent = !listing->present && report_->complete && std::string_view(name) == "pebblework";
            if (!absent && !(listing->present && listing->closed)) {
                whole = false;
                whyPartial = std::string("the report's ") + name + " listing is cut short or missing";
            }
            for (const ListingEntry& e : listing->fileEntries)
                entries.push_back({name, &e, false});
            for (const ListingEntry& e : listing->folderEntries)
                entries.push_back({name, &e, true});
        }
        return Things(c, entries, [&](const Entry& e, const std::string& field) { return FileField(e.folder, *e.entry, e.isFolder, field); },
                      whole, whyPartial, "file");
    }

    Value FileField(const char* folder, const ListingEntry& e, bool isFolder, const std::string& field) {
        if (field == "folder")
            return Known(folder);
        if (field == "kind")
            return Known(isFolder ? "folder" : "file");
        if (field == "name")
            return Known(file_.codePage.Decode(e.name));
        if (field == "size") {
            const auto bytes = SizeTextBytes(e.size);
            if (!bytes)
                return Unknown("the size \"" + e.size + "\" is not one the report writes");
            Value v = Known(e.size);
            v.number = *bytes;
            return v;
        }
        if (e.created.empty())
            return Unknown("the report's listings give no dates (the short form of Windows 98 and ME)");
        Value v = Known(e.created);
        const std::vector<int32_t> readings = ListingDateReadings(e.created, shortDate_);
        if (readings.empty()) {
            v.whyUnknown = "the date \"" + e.created + "\" is not one the report's date format reads";
            return v;
        }
        v.date = readings[0];
        if (readings.size() > 1) {
            v.otherDate = readings[1];
            v.whyUnknown = "the date \"" + e.created + "\" can be read more than one way, and the export gives no short date format";
        }
        return v;
    }

    Eval Registry(const Condition& c) {
        static const RegistryWants::Found kNone;
        const RegistryWants::Found& found = f_.registry ? f_.registry->Of(c.registryIndex) : kNone;
        const ExportFacts* e = file_.registry ? &*file_.registry : nullptr;
        const bool whole = e && e->Complete() && !found.overflow;
        const std::string why = !e             ? "the registry export cannot be read"
                                : found.overflow ? "more than " + std::to_string(RegistryWants::kMaxRecords) + " values match, and the rest were not kept"
                                                 : "the registry export was not read whole";
        Eval out = Things(c, found.records, [&](const RegistryWants::Record& r, const std::string& field) { return RegistryField(r, field); },
                          whole, why, OnKeyAlone(c) ? "key" : "value", true);
        if (out.state == Tri::kFalse && found.keys > 0 && !OnKeyAlone(c))
            out.why += " (" + std::to_string(found.keys) + (found.keys == 1 ? " key matches" : " keys match") + " the path)";
        return out;
    }

    static Value RegistryField(const RegistryWants::Record& r, const std::string& field) {
        if (field == "key")
            return Known(r.key);
        if (!r.value)
            return Unknown("");
        if (field == "value")
            return Known(r.value->name.empty() ? "(Default)" : r.value->name);
        if (field == "type")
            return Known(TypeName(r.value->type));
        Value v = Known(ValueText(*r.value));
        v.data = &*r.value;
        return v;
    }

    const Facts& f_;
    const SupportFile& file_;
    const Report* report_;
    std::string noReport_;
    std::optional<std::string> shortDate_;
    std::set<std::string> named_;  // the values the message of the rule being checked names
};

std::string Fill(const std::string& message, const Binding& values) {
    std::string out;
    size_t at = 0;
    for (size_t open; (open = message.find('{', at)) != std::string::npos;) {
        const size_t close = message.find('}', open);
        if (close == std::string::npos)
            break;
        out += message.substr(at, open - at);
        const std::string name = message.substr(open + 1, close - open - 1);
        const auto value = std::find_if(values.begin(), values.end(), [&](const auto& v) { return v.first == name; });
        out += value != values.end() ? value->second : "(unknown)";
        at = close + 1;
    }
    return out + message.substr(at);
}

}  // namespace

std::vector<RuleResult> CheckRules(const RuleSet& rules, const Facts& facts) {
    std::vector<RuleResult> out;
    Checker checker(facts);
    for (const Rule& rule : rules.rules) {
        RuleResult result;
        result.rule = &rule;
        const Eval e = checker.Check(rule);
        result.why = e.why;
        if (e.state == Tri::kTrue) {
            result.outcome = Outcome::kFired;
            std::set<std::string> seen;
            for (const Binding& b : e.matches) {
                std::string message = Fill(rule.message, b);
                if (seen.insert(message).second)
                    result.findings.push_back({std::move(message), b});
            }
            if (result.findings.size() > kMaxFindings) {
                result.findings.resize(kMaxFindings);
                result.findings.back().message += " (and more: only the first " + std::to_string(kMaxFindings) + " are shown)";
            }
        } else {
            result.outcome = e.state == Tri::kFalse ? Outcome::kNotFired : e.error ? Outcome::kError : Outcome::kNotApplicable;
        }
        out.push_back(std::move(result));
    }
    return out;
}

}  // namespace ost::desk
