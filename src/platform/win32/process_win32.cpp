#include "platform/win32/process_win32.h"

#include <shellapi.h>

#include "platform/win32/text.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win_error.h"

namespace ost::win {

namespace {

// A failed call on a process: the classic number, the system's message as the description (the
// workflow shows it), and the call in the context.
AppError ProcessError(DWORD code, std::string_view call) {
    const AppError error = Win32Error(code, call);
    const std::string message = SystemMessage(code);
    return AppError(error.Number(), message.empty() ? error.Description() : message, {}, error.Context());
}

class Win32ChildProcess final : public IChildProcess {
  public:
    // `process` may be null: the shell started the program without handing over a handle.
    explicit Win32ChildProcess(HANDLE process) : process_(process) {}

    bool WaitForExit(uint32_t timeoutMs, const std::function<void()>& pump) override {
        Followed();
        if (!pump) {  // the process alone: messages waiting in the queue do not end this wait
            const DWORD ended = ::WaitForSingleObject(process_.get(), timeoutMs);
            if (ended == WAIT_FAILED)
                throw ProcessError(::GetLastError(), "WaitForSingleObject");
            return ended == WAIT_OBJECT_0;
        }
        const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
        for (;;) {
            const ULONGLONG now = ::GetTickCount64();
            const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
            HANDLE handle = process_.get();
            const DWORD woke = ::MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_ALLINPUT);
            if (woke == WAIT_OBJECT_0)
                return true;
            if (woke == WAIT_TIMEOUT)
                return false;
            if (woke != WAIT_OBJECT_0 + 1)
                throw ProcessError(::GetLastError(), "MsgWaitForMultipleObjects");
            pump();
        }
    }

    uint32_t ExitCode() override {
        Followed();
        DWORD code = 0;
        if (!::GetExitCodeProcess(process_.get(), &code))
            throw ProcessError(::GetLastError(), "GetExitCodeProcess");
        return code;
    }

    void Terminate(uint32_t timeoutMs) override {
        Followed();
        if (!::TerminateProcess(process_.get(), kTerminatedExitCode)) {
            const DWORD code = ::GetLastError();
            // A process that has ended already cannot be ended: the system refuses that too.
            if (::WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0)
                return;
            throw ProcessError(code, "TerminateProcess");
        }
        const DWORD ended = ::WaitForSingleObject(process_.get(), timeoutMs);
        if (ended == WAIT_FAILED)
            throw ProcessError(::GetLastError(), "WaitForSingleObject");
        if (ended != WAIT_OBJECT_0) {
            throw AppError(err::kPathFileAccess, "it was still running " + std::to_string((timeoutMs + 999) / 1000) +
                                                     " seconds after it was told to end");
        }
    }

  private:
    // The exit code of a process that this one has ended.
    static constexpr UINT kTerminatedExitCode = 1;

    void Followed() const {
        if (!process_)
            throw AppError(err::kPathFileAccess, "the system started it without a handle to follow it by");
    }

    UniqueHandle process_;
};

std::unique_ptr<IChildProcess> StartElevated(const std::string& commandLine, int32_t windowStyle) {
    const auto [program, parameters] = SplitCommandLine(commandLine);
    const std::wstring file = Widen(program);
    const std::wstring arguments = Widen(parameters);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = file.c_str();
    info.lpParameters = arguments.empty() ? nullptr : arguments.c_str();
    info.nShow = windowStyle;
    if (!::ShellExecuteExW(&info)) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_CANCELLED)  // the user said No to the consent prompt
            throw Win32ErrorAs(err::kPermissionDenied, code, "ShellExecuteExW", commandLine);
        throw Win32Error(code, "ShellExecuteExW", commandLine);
    }
    // A program started through DDE or an instance that was running already comes without one.
    return AdoptChildProcess(info.hProcess);
}

}  // namespace

std::unique_ptr<IChildProcess> AdoptChildProcess(HANDLE process) {
    return std::make_unique<Win32ChildProcess>(process);
}

std::pair<std::string, std::string> SplitCommandLine(const std::string& commandLine) {
    std::string program;
    size_t pos = 0;
    if (!commandLine.empty() && commandLine[0] == '"') {
        const size_t close = commandLine.find('"', 1);
        program = commandLine.substr(1, close == std::string::npos ? std::string::npos : close - 1);
        pos = close == std::string::npos ? commandLine.size() : close + 1;
    } else {
        pos = commandLine.find_first_of(" \t");
        if (pos == std::string::npos)
            pos = commandLine.size();
        program = commandLine.substr(0, pos);
    }
    pos = commandLine.find_first_not_of(" \t", pos);
    return {program, pos == std::string::npos ? std::string() : commandLine.substr(pos)};
}

Wow64Redirection Wow64Redirection::System() {
    // Looked up rather than imported: the release's imports stay those that every supported Windows has.
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    auto entry = [kernel](const char* name) {
        return kernel ? reinterpret_cast<void*>(::GetProcAddress(kernel, name)) : nullptr;
    };
    const auto isWow64 = reinterpret_cast<BOOL(WINAPI*)(HANDLE, PBOOL)>(entry("IsWow64Process"));
    const auto disable = reinterpret_cast<BOOL(WINAPI*)(PVOID*)>(entry("Wow64DisableWow64FsRedirection"));
    const auto revert = reinterpret_cast<BOOL(WINAPI*)(PVOID)>(entry("Wow64RevertWow64FsRedirection"));
    Wow64Redirection system;
    system.applies = [=] {
        BOOL wow64 = FALSE;
        return isWow64 && disable && revert && isWow64(::GetCurrentProcess(), &wow64) && wow64;
    };
    system.disable = [=](void** previous) { return disable(previous) != FALSE; };
    system.revert = [=](void* previous) { revert(previous); };
    return system;
}

Win32ProcessLauncher::Win32ProcessLauncher()
    : Win32ProcessLauncher([](wchar_t* line, const STARTUPINFOW& startup, PROCESS_INFORMATION& info) {
          STARTUPINFOW copy = startup;
          return ::CreateProcessW(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &copy, &info);
      }) {}

std::unique_ptr<IChildProcess> Win32ProcessLauncher::Start(const std::string& commandLine, int32_t windowStyle) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(windowStyle);
    PROCESS_INFORMATION info{};
    std::wstring line = Widen(commandLine);
    // Off for this one call only: while it is off, a library this thread loads would come from the
    // 64-bit system folder, and the shell's start below loads several.
    void* previous = nullptr;
    const bool native = redirection_.applies() && redirection_.disable(&previous);
    const BOOL started = createProcess_(line.data(), startup, info);
    const DWORD code = started ? ERROR_SUCCESS : ::GetLastError();
    if (native)
        redirection_.revert(previous);
    if (!started) {
        if (code == ERROR_ELEVATION_REQUIRED)
            return StartElevated(commandLine, windowStyle);
        throw Win32Error(code, "CreateProcessW", commandLine);
    }
    UniqueHandle thread(info.hThread);
    return AdoptChildProcess(info.hProcess);
}

}  // namespace ost::win
