// An in-memory registry under HKEY_LOCAL_MACHINE with the result codes of the real calls: subkeys
// in insertion order, raw value bytes with their types, and a log of every call.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "fake_filesystem.h"
#include "platform/registry.h"

namespace ost::test {

class FakeRegistry : public IRegistry {
  public:
    struct Value {
        uint32_t type = reg::kTypeSz;
        std::string bytes;
    };
    struct Key {
        std::vector<std::string> subKeys;
        std::map<std::string, Value> values;
    };
    std::map<std::string, Key> keys;  // lower-cased path under HKLM
    std::vector<std::string> log;
    std::vector<RegKey> open;  // handles not yet closed
    bool refuseOpenEx = false;

    // Adds a key (and its parents' subkey entries) and returns it.
    Key& AddKey(const std::string& path) {
        const size_t slash = path.rfind('\\');
        if (slash != std::string::npos) {
            Key& parent = AddKey(path.substr(0, slash));
            const std::string leaf = path.substr(slash + 1);
            if (std::find(parent.subKeys.begin(), parent.subKeys.end(), leaf) == parent.subKeys.end())
                parent.subKeys.push_back(leaf);
        }
        return keys[LowerAscii(path)];
    }
    // A string value stored with its terminating NUL, as the registry keeps REG_SZ text.
    void AddString(const std::string& path,
                   const std::string& name,
                   const std::string& text,
                   uint32_t type = reg::kTypeSz) {
        AddKey(path).values[name] = Value{type, text + std::string(1, '\0')};
    }

    int32_t OpenKeyEx(RegKey key, const std::string& subKey, uint32_t, uint32_t access, RegKey* result) override {
        log.push_back("OpenKeyEx:" + subKey + ":" + std::to_string(access));
        if (refuseOpenEx)
            return 5;
        return Open(key, subKey, result);
    }
    int32_t EnumKeyEx(RegKey key,
                      uint32_t index,
                      char* name,
                      uint32_t* nameLength,
                      char* className,
                      uint32_t* classLength) override {
        log.push_back("EnumKeyEx:" + std::to_string(index) + ":" + std::to_string(*nameLength) + ":" +
                      std::to_string(*classLength));
        const Key* k = Find(key);
        if (k == nullptr)
            return 6;
        if (index >= k->subKeys.size())
            return reg::kNoMoreItems;
        const std::string& found = k->subKeys[index];
        if (found.size() >= *nameLength)
            return reg::kMoreData;  // no room for the terminator
        std::memcpy(name, found.c_str(), found.size() + 1);
        *nameLength = static_cast<uint32_t>(found.size());
        if (*classLength > 0)
            className[0] = '\0';
        *classLength = 0;
        return reg::kSuccess;
    }
    int32_t OpenKey(RegKey key, const std::string& subKey, RegKey* result) override {
        log.push_back("OpenKey:" + subKey);
        return Open(key, subKey, result);
    }
    int32_t QueryValueEx(RegKey key,
                         const std::string& valueName,
                         uint32_t* type,
                         uint8_t* data,
                         uint32_t* dataSize) override {
        log.push_back(std::string("QueryValueEx:") + valueName + (data ? ":data" : ":size"));
        const Key* k = Find(key);
        if (k == nullptr)
            return 6;
        const auto it = k->values.find(valueName);
        if (it == k->values.end())
            return reg::kFileNotFound;
        *type = it->second.type;
        if (data != nullptr) {
            if (*dataSize < it->second.bytes.size())
                return reg::kMoreData;
            std::memcpy(data, it->second.bytes.data(), it->second.bytes.size());
        }
        *dataSize = static_cast<uint32_t>(it->second.bytes.size());
        return reg::kSuccess;
    }
    int32_t CloseKey(RegKey key) override {
        log.push_back("CloseKey");
        const auto it = std::find(open.begin(), open.end(), key);
        if (it == open.end())
            return 6;
        open.erase(it);
        return reg::kSuccess;
    }

  private:
    int32_t Open(RegKey key, const std::string& subKey, RegKey* result) {
        *result = 0;
        if (key != kHKeyLocalMachine)
            return 6;
        const auto it = keys.find(LowerAscii(subKey));
        if (it == keys.end())
            return reg::kFileNotFound;
        handles_.push_back(it->first);
        *result = static_cast<RegKey>(handles_.size() * 4);
        open.push_back(*result);
        return reg::kSuccess;
    }
    const Key* Find(RegKey key) const {
        if (key == 0 || key % 4 != 0 || key / 4 > handles_.size())
            return nullptr;
        if (std::find(open.begin(), open.end(), key) == open.end())
            return nullptr;
        return &keys.at(handles_[key / 4 - 1]);
    }
    std::vector<std::string> handles_;
};

}  // namespace ost::test
