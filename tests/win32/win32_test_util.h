// Helpers for the tests that run against the real platform under Wine.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace ost::test {

// The folder of the running test program, with a trailing backslash.
std::wstring ProgramFolder();

// Runs `commandLine` with its standard output captured; waits at most `timeoutMs`.
// Returns false when the program could not be started or did not finish in time.
bool RunAndCapture(const std::wstring& commandLine, std::string& output, DWORD timeoutMs = 30000);

std::vector<std::string> SplitLines(const std::string& text);

// Writes `bytes` as the whole of a new or emptied file; false when it cannot be created.
bool WriteBytes(const std::wstring& path, const std::string& bytes);
// A file's bytes (up to 64 KB), "<unreadable>" when it cannot be opened.
std::string ReadBytes(const std::wstring& path);
// Calls `visit` with each entry of a folder but "." and "..", in the order the system lists them.
void ForEachChild(const std::wstring& folder, const std::function<void(const WIN32_FIND_DATAW&)>& visit);
// Removes a folder with everything in it, read-only files included; links are removed, not followed.
void RemoveTree(const std::wstring& folder);

// Sets a string value under HKEY_CURRENT_USER for the life of the object, then removes the value
// (and the key, if this object created it).
class ScopedUserRegistryValue {
  public:
    ScopedUserRegistryValue(const std::wstring& key, const std::wstring& name, const std::wstring& value);
    ~ScopedUserRegistryValue();
    ScopedUserRegistryValue(const ScopedUserRegistryValue&) = delete;
    ScopedUserRegistryValue& operator=(const ScopedUserRegistryValue&) = delete;

  private:
    std::wstring key_;
    std::wstring name_;
    bool createdKey_ = false;
};

}  // namespace ost::test
