#include "platform/win32/library_win32.h"

#include <windows.h>

#include "platform/win32/text.h"
#include "platform/win32/win_error.h"

namespace ost::win {

namespace {

// LoadLibraryW with the system's critical-error boxes off for this thread: a missing or broken
// library is reported to the caller, never by a box of the system's own.
HMODULE LoadQuietly(const std::wstring& name, DWORD& error) {
    DWORD oldMode = 0;
    const bool modeSet = ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &oldMode) != FALSE;
    HMODULE module = ::LoadLibraryW(name.c_str());
    error = ::GetLastError();
    if (modeSet)
        ::SetThreadErrorMode(oldMode, nullptr);
    return module;
}

}  // namespace

LibraryEntry Win32LibraryLoader::Entry(const std::string& library, const std::string& entry) {
    auto found = loaded_.find(library);
    if (found == loaded_.end()) {
        DWORD error = 0;
        UniqueHModule module(LoadQuietly(Widen(library), error));
        if (!module)
            throw Win32ErrorAs(err::kFileNotFound, error, "LoadLibraryW", library);
        found = loaded_.emplace(library, std::move(module)).first;
    }
    const FARPROC address = ::GetProcAddress(found->second.get(), entry.c_str());
    if (address == nullptr)
        throw Win32ErrorAs(err::kEntryPointMissing, ::GetLastError(), "GetProcAddress", library + "!" + entry);
    // Every function pointer type converts to and from void (*)() without a cast warning.
    return reinterpret_cast<LibraryEntry>(address);
}

}  // namespace ost::win
