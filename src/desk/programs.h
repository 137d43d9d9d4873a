// The installed programs as the desk sees them: the report's list, which names what the tool's
// own walk of the uninstall key found in the registry view it ran in, merged with the uninstall
// keys of the registry export (the machine's, the 32-bit programs' under Wow6432Node, each
// user's), which also give version, publisher and install date.
#pragma once

#include <string>
#include <vector>

#include "desk/reg_value.h"

namespace ost::desk {

// One uninstall key of the export that names a program.
struct UninstallKey {
    std::string source;  // "HKLM", "HKLM\Wow6432Node", "HKCU", "HKU\S-1-5-21-..."
    std::string key;     // the key's full path
    std::string name, version, publisher, installDate;
};

// Gathers the uninstall keys from an export as it is read (an ExportHandler's two calls).
class UninstallKeys {
  public:
    // Whether `key` is a program's uninstall key, whose values are wanted.
    bool Key(const std::string& key);
    void Value(const RegValue& value);
    // The keys read, those without a display name left out (as Windows leaves them out).
    std::vector<UninstallKey> Keys() const;

  private:
    std::vector<UninstallKey> keys_;
};

struct Program {
    std::string name, version, publisher, installDate;  // "" where nothing says
    bool inReport = false;
    std::vector<std::string> sources;  // where the name came from: "report", then the keys' sources
    std::vector<std::string> keys;     // the uninstall keys that name it
};

// The report's names (in UTF-8) and the export's keys as one list, by name. Keys that agree on
// name, version and publisher are one program (the current user's keys are also under HKU); a
// report name goes with the first program of that name not yet given one.
std::vector<Program> MergePrograms(const std::vector<std::string>& reportNames, const std::vector<UninstallKey>& keys);

}  // namespace ost::desk
