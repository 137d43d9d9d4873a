// Rules checked against one support file. A condition is true, false, or unknown: unknown when
// what it looks at is not in the file (a report cut short, a damaged export, a date whose order
// of day and month nothing tells), so that a rule that could not be checked says so and why,
// and is never taken for one that did not fire.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "desk/programs.h"
#include "desk/reg_value.h"
#include "desk/rules.h"
#include "desk/support_file.h"

namespace ost::desk {

// The values a condition matched, by name ("drive.letter"), as messages show them.
using Binding = std::vector<std::pair<std::string, std::string>>;

// The registry values the rules name, gathered in the one pass over the export: each key is
// matched against all the rules' key paths at once, so the pass costs the same for one rule or a
// hundred. What is kept is bounded; a condition that matched more than is kept says so.
class RegistryWants {
  public:
    explicit RegistryWants(const RuleSet& rules);
    ~RegistryWants();
    RegistryWants(const RegistryWants&) = delete;
    RegistryWants& operator=(const RegistryWants&) = delete;

    // An ExportHandler's two calls.
    bool Key(const std::string& key);
    void Value(const RegValue& value);

    struct Record {
        std::string key;
        std::optional<RegValue> value;  // none for a condition on the key alone
    };
    struct Found {
        std::vector<Record> records;
        uint64_t keys = 0;       // keys whose path matched
        bool overflow = false;   // more matched than is kept
    };
    const Found& Of(size_t condition) const { return found_[condition]; }
    // The user's short date format (sShortDate of HKCU\Control Panel\International; where the
    // export has no HKCU, as Wine's has not, that of the users under HKU when they all agree).
    std::optional<std::string> ShortDate() const;

    static constexpr size_t kMaxRecords = 10000;
    static constexpr size_t kMaxBytes = size_t{16} << 20;

  private:
    struct Node;
    struct Want {
        size_t condition;
        const Condition* c;
    };
    std::unique_ptr<Node> root_;
    std::vector<Found> found_;
    std::vector<const Condition*> conditions_;
    std::vector<size_t> current_;  // the conditions whose paths the current key matched
    std::string key_;
    enum class International { kNo, kCurrentUser, kUser } international_ = International::kNo;
    std::optional<std::string> shortDate_;
    std::map<std::string, std::string> userShortDates_;  // by user SID
    size_t bytes_ = 0;
};

// What the rules look at in one support file.
struct Facts {
    const SupportFile* file = nullptr;
    std::vector<Program> programs;
    bool programsWhole = false;  // the report's list and the export were both read whole
    std::vector<std::pair<std::string, std::string>> problems;  // what could not be read: part, text
    const RegistryWants* registry = nullptr;
};

// What could not be read in a support file, as the phrases show and check give: part ("report",
// "export", "archive") and text.
std::vector<std::pair<std::string, std::string>> ReadingProblems(const SupportFile& file);

// Why an export's output is incomplete, as warnings: cut short, long lines, unreadable values.
std::vector<std::string> ExportWarnings(const ExportFacts& facts);

enum class Outcome { kFired, kNotFired, kNotApplicable, kError };
std::string OutcomeName(Outcome outcome);

struct Finding {
    std::string message;
    Binding values;
};

struct RuleResult {
    const Rule* rule = nullptr;
    Outcome outcome = Outcome::kNotFired;
    std::vector<Finding> findings;  // when it fired: one per distinct message
    std::string why;                // otherwise: the condition that failed, or what could not be read
};

// A rule fires at most this many times on one file; more matches are counted in the last message.
inline constexpr size_t kMaxFindings = 100;

std::vector<RuleResult> CheckRules(const RuleSet& rules, const Facts& facts);

// A date as a report's listing writes it, as YYYYMMDD: read in the machine's short date format
// `format` (as sShortDate writes it: "M/d/yyyy"); without a format, each reading its digits allow
// (year first; else month first and day first, one reading when they agree or one is no date).
std::vector<int32_t> ListingDateReadings(std::string_view text, const std::optional<std::string>& format);
// The one reading of a date; nothing when it has none, or two.
std::optional<int32_t> ListingDate(std::string_view text, const std::optional<std::string>& format);

}  // namespace ost::desk
