#include "win32_test_util.h"

#include <sstream>

#include "platform/win32/unique_handle.h"

namespace ost::test {

std::wstring ProgramFolder() {
    std::wstring path(32768, L'\0');
    path.resize(::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

bool RunAndCapture(const std::wstring& commandLine, std::string& output, DWORD timeoutMs) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return false;
    win::UniqueHandle reader(readEnd), writer(writeEnd);
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
    si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi{};
    std::wstring mutableLine = commandLine;
    if (!::CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
        return false;
    win::UniqueHandle process(pi.hProcess), thread(pi.hThread);
    writer.reset();  // the child holds the only write end now: ReadFile ends when it exits
    output.clear();
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(reader.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0)
        output.append(buffer, got);
    return ::WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    win::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD wrote = 0;
    return file && ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr);
}

std::string ReadBytes(const std::wstring& path) {
    win::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
    if (!file)
        return "<unreadable>";
    std::string bytes(1 << 16, '\0');
    DWORD got = 0;
    ::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    bytes.resize(got);
    return bytes;
}

void ForEachChild(const std::wstring& folder, const std::function<void(const WIN32_FIND_DATAW&)>& visit) {
    WIN32_FIND_DATAW data;
    win::UniqueFindHandle find(::FindFirstFileW((folder + L"\\*").c_str(), &data));
    if (!find)
        return;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..")
            visit(data);
    } while (::FindNextFileW(find.get(), &data));
}

void RemoveTree(const std::wstring& folder) {
    ForEachChild(folder, [&](const WIN32_FIND_DATAW& data) {
        const std::wstring child = folder + L"\\" + data.cFileName;
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW(child.c_str());
        } else if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            ::RemoveDirectoryW(child.c_str());
        } else {
            RemoveTree(child);
        }
    });
    ::RemoveDirectoryW(folder.c_str());
}

ScopedUserRegistryValue::ScopedUserRegistryValue(const std::wstring& key,
                                                 const std::wstring& name,
                                                 const std::wstring& value)
    : key_(key), name_(name) {
    HKEY handle = nullptr;
    DWORD disposition = 0;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle,
                          &disposition) != ERROR_SUCCESS)
        return;
    win::UniqueHKey owned(handle);
    createdKey_ = disposition == REG_CREATED_NEW_KEY;
    ::RegSetValueExW(handle, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

ScopedUserRegistryValue::~ScopedUserRegistryValue() {
    if (createdKey_) {
        ::RegDeleteKeyW(HKEY_CURRENT_USER, key_.c_str());
        return;
    }
    HKEY handle = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_SET_VALUE, &handle) == ERROR_SUCCESS) {
        win::UniqueHKey owned(handle);
        ::RegDeleteValueW(handle, name_.c_str());
    }
}

}  // namespace ost::test
