#include "inspect/mod_general.h"

#include <vector>

namespace ost::modGeneral {

namespace {
constexpr uint32_t kNameCapacity = 255;

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}
}  // namespace

void ExportProgramList(IListBox& list, IFileSystem& fs, IRegistry& registry, ILocale& locale, IUi& ui) {
    const std::unique_ptr<ITextStream> file = fs.OpenTextFile(kProgramListPath, IoMode::ForWriting, true, 0);

    RegKey key = 0;
    if (registry.OpenKeyEx(kHKeyLocalMachine, kUninstallKey, 0, reg::kEnumerateSubKeys, &key) != reg::kSuccess) {
        ui.MsgBox(kKeyOpenFailure, mb::kOkOnly, kAppTitle);
        file->WriteLine(Quoted(kKeyOpenFailure));
        ui.EndProgram();
    }

    int32_t result = reg::kSuccess;
    for (uint32_t index = 0; result == reg::kSuccess; ++index) {
        std::string name(kNameCapacity, ' ');
        std::string className(kNameCapacity, ' ');
        uint32_t nameLength = kNameCapacity;
        uint32_t classLength = kNameCapacity;
        result = registry.EnumKeyEx(key, index, name.data(), &nameLength, className.data(), &classLength);
        if (result != reg::kSuccess)
            break;
        name.resize(nameLength);
        const std::string displayName =
            GetRegistryString(registry, kHKeyLocalMachine, std::string(kUninstallKey) + "\\" + name, "DisplayName", "");
        if (displayName.empty())
            continue;
        const std::string text = locale.FromAnsi(displayName);
        list.Clear();
        list.AddItem(text);
        file->WriteLine(Quoted(text));
    }
    registry.CloseKey(key);
}

std::string GetRegistryString(IRegistry& registry,
                              RegKey root,
                              const std::string& keyPath,
                              const std::string& valueName,
                              const std::string& defaultText) {
    std::string result = defaultText;
    RegKey key = 0;
    registry.OpenKey(root, keyPath, &key);  // a failed open leaves key 0, and the query below fails
    uint32_t type = 0;
    uint32_t size = 0;
    if (registry.QueryValueEx(key, valueName, &type, nullptr, &size) == reg::kSuccess && type == reg::kTypeSz) {
        std::vector<uint8_t> buffer(size, ' ');
        registry.QueryValueEx(key, valueName, &type, buffer.data(), &size);
        result.assign(buffer.begin(), buffer.end());
        const size_t nul = result.find('\0');
        if (nul != std::string::npos)
            result.resize(nul);
    }
    registry.CloseKey(key);
    return result;
}

}  // namespace ost::modGeneral
