// Child processes through CreateProcessW, and through ShellExecuteExW for a program that asks for
// more rights than the caller has.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "platform/process.h"
#include "platform/win32/compat.h"

namespace ost::win {

// Splits a command line as CreateProcess reads it: the program (a quoted first word without its
// quotes, or everything up to the first blank) and the rest, with its leading blanks removed.
std::pair<std::string, std::string> SplitCommandLine(const std::string& commandLine);

// The child process behind `process`, a handle it takes over: what Start returns. A test gives it
// a handle of its own choosing, such as one with the rights that Windows gives a program for a
// child started elevated.
std::unique_ptr<IChildProcess> AdoptChildProcess(HANDLE process);

class Win32ProcessLauncher final : public IProcessLauncher {
  public:
    // CreateProcessW's signature, so that a test can stand in for the first attempt.
    using CreateProcessFn = std::function<BOOL(wchar_t* commandLine, const STARTUPINFOW&, PROCESS_INFORMATION&)>;

    Win32ProcessLauncher();
    explicit Win32ProcessLauncher(CreateProcessFn createProcess) : createProcess_(std::move(createProcess)) {}

    // Starts the program with CreateProcessW. When Windows answers ERROR_ELEVATION_REQUIRED (the
    // program's manifest asks for administrator rights, as the registry editor's does), starts it
    // again through ShellExecuteExW, which asks the user for consent; the child can be waited for
    // either way. A user who declines gets 70 "Permission denied"; every other failure raises its
    // own error.
    std::unique_ptr<IChildProcess> Start(const std::string& commandLine, int32_t windowStyle) override;

  private:
    CreateProcessFn createProcess_;
};

}  // namespace ost::win
