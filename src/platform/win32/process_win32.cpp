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
    explicit Win32ChildProcess(HANDLE process) : process_(process) {}

    bool WaitForExit(uint32_t timeoutMs, const std::function<void()>& pump) override {
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
            if (pump)
                pump();
        }
    }

    void Terminate(uint32_t timeoutMs) override {
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
    if (!info.hProcess)  // only a document handed to another program has none; a program always has one
        throw MakeError(err::kInvalidCall, {}, "ShellExecuteExW '" + commandLine + "': no process to wait for");
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

Win32ProcessLauncher::Win32ProcessLauncher()
    : createProcess_([](wchar_t* line, const STARTUPINFOW& startup, PROCESS_INFORMATION& info) {
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
    if (!createProcess_(line.data(), startup, info)) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_ELEVATION_REQUIRED)
            return StartElevated(commandLine, windowStyle);
        throw Win32Error(code, "CreateProcessW", commandLine);
    }
    UniqueHandle thread(info.hThread);
    return AdoptChildProcess(info.hProcess);
}

}  // namespace ost::win
