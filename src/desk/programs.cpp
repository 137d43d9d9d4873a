#include "desk/programs.h"

#include <algorithm>
#include <map>

#include "desk/registry_export.h"

namespace ost::desk {

namespace {

const std::string kUninstall = "\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\UNINSTALL\\";

bool HasUninstall(const std::string& key) {
    // Most keys are no uninstall key: a look for the word, in either case, before folding.
    static const std::string kWord = "NINSTALL\\";
    return std::search(key.begin(), key.end(), kWord.begin(), kWord.end(), [](char a, char b) {
               return (a >= 'a' && a <= 'z' ? a - 0x20 : a) == b;
           }) != key.end();
}

}  // namespace

bool UninstallKeys::Key(const std::string& key) {
    if (!HasUninstall(key))
        return false;
    const std::string folded = FoldName(key);
    const size_t at = folded.find(kUninstall);
    if (at == std::string::npos || folded.find('\\', at + kUninstall.size()) != std::string::npos ||
        at + kUninstall.size() == folded.size())
        return false;
    const std::string root = folded.substr(0, at);
    std::string source;
    if (root == "HKEY_LOCAL_MACHINE\\SOFTWARE")
        source = "HKLM";
    else if (root == "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432NODE")
        source = "HKLM\\Wow6432Node";
    else if (root == "HKEY_CURRENT_USER\\SOFTWARE")
        source = "HKCU";
    else if (root.starts_with("HKEY_USERS\\") && root.ends_with("\\SOFTWARE") && root.find('\\', 11) == at - 9)
        source = "HKU" + key.substr(10, at - 19);
    else
        return false;
    keys_.push_back({source, key, "", "", "", ""});
    return true;
}

void UninstallKeys::Value(const RegValue& value) {
    const std::string name = FoldName(value.name);
    UninstallKey& k = keys_.back();
    std::string* field = name == "DISPLAYNAME"      ? &k.name
                         : name == "DISPLAYVERSION" ? &k.version
                         : name == "PUBLISHER"      ? &k.publisher
                         : name == "INSTALLDATE"    ? &k.installDate
                                                    : nullptr;
    if (field == nullptr)
        return;
    // Windows shows a display name only when it is a string; the other fields as they are.
    if (field == &k.name && value.type != kRegSz && value.type != kRegExpandSz)
        return;
    *field = ValueText(value);
    if (field == &k.installDate && field->size() == 8 && field->find_first_not_of("0123456789") == std::string::npos)
        *field = field->substr(0, 4) + "-" + field->substr(4, 2) + "-" + field->substr(6);
}

std::vector<UninstallKey> UninstallKeys::Keys() const {
    std::vector<UninstallKey> out;
    std::copy_if(keys_.begin(), keys_.end(), std::back_inserter(out), [](const UninstallKey& k) { return !k.name.empty(); });
    return out;
}

std::vector<Program> MergePrograms(const std::vector<std::string>& reportNames, const std::vector<UninstallKey>& keys) {
    std::vector<Program> programs;
    std::map<std::tuple<std::string, std::string, std::string>, size_t> byIdentity;
    for (const UninstallKey& k : keys) {
        const auto [at, added] = byIdentity.try_emplace({k.name, k.version, k.publisher}, programs.size());
        if (added)
            programs.push_back({k.name, k.version, k.publisher, k.installDate, false, {}, {}});
        Program& p = programs[at->second];
        if (std::find(p.sources.begin(), p.sources.end(), k.source) == p.sources.end())
            p.sources.push_back(k.source);
        p.keys.push_back(k.key);
        if (p.installDate.empty())
            p.installDate = k.installDate;
    }
    for (const std::string& name : reportNames) {
        const auto match = std::find_if(programs.begin(), programs.end(),
                                        [&](const Program& p) { return !p.inReport && p.name == name; });
        Program& p = match != programs.end() ? *match : programs.emplace_back(Program{name, "", "", "", false, {}, {}});
        p.inReport = true;
        p.sources.insert(p.sources.begin(), "report");
    }
    std::stable_sort(programs.begin(), programs.end(),
                     [](const Program& a, const Program& b) { return FoldName(a.name) < FoldName(b.name); });
    return programs;
}

}  // namespace ost::desk
