#include "platform/win32/process_win32.h"

#include "platform/win32/compat.h"

#include "platform/win32/text.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win_error.h"

namespace ost::win {

namespace {

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
            if (woke == WAIT_OBJECT_0 + 1) {
                if (pump)
                    pump();
                continue;
            }
            return false;  // the bound passed, or the wait itself failed
        }
    }

  private:
    UniqueHandle process_;
};

}  // namespace

std::unique_ptr<IChildProcess> Win32ProcessLauncher::Start(const std::string& commandLine, int32_t windowStyle) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(windowStyle);
    PROCESS_INFORMATION info{};
    std::wstring line = Widen(commandLine);
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        ThrowLastError("CreateProcessW", commandLine);
    UniqueHandle thread(info.hThread);
    return std::make_unique<Win32ChildProcess>(info.hProcess);
}

}  // namespace ost::win
