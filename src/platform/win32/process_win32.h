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

// The file system redirection that 64-bit Windows applies to a 32-bit program: there the Windows
// folder's regedit.exe and the system folder name their 32-bit twins in SysWOW64. Whether it applies
// to this program, and turning it off and back on for the calling thread.
struct Wow64Redirection {
    std::function<bool()> applies;
    std::function<bool(void** previous)> disable;
    std::function<void(void* previous)> revert;
    // The system's own, looked up in kernel32 when the program runs: it does not apply on 32-bit
    // Windows, nor to a 64-bit program.
    static Wow64Redirection System();
};

class Win32ProcessLauncher final : public IProcessLauncher {
  public:
    // CreateProcessW's signature, so that a test can stand in for the first attempt.
    using CreateProcessFn = std::function<BOOL(wchar_t* commandLine, const STARTUPINFOW&, PROCESS_INFORMATION&)>;

    Win32ProcessLauncher();
    explicit Win32ProcessLauncher(CreateProcessFn createProcess, Wow64Redirection redirection = Wow64Redirection::System())
        : createProcess_(std::move(createProcess)), redirection_(std::move(redirection)) {}

    // Starts the program with CreateProcessW, with the file system redirection turned off around
    // that one call where it applies, so that a path in the Windows folder starts the 64-bit program
    // it names. When Windows answers ERROR_ELEVATION_REQUIRED (the program's manifest asks for
    // administrator rights, as the registry editor's does), starts it again through ShellExecuteExW,
    // which asks the user for consent, with the redirection on: the shell loads libraries of its own
    // on this thread, and a start that asks for consent is never redirected (the 64-bit program
    // starts). A user who declines gets 70 "Permission denied"; every other failure raises its own
    // error.
    std::unique_ptr<IChildProcess> Start(const std::string& commandLine, int32_t windowStyle) override;

  private:
    CreateProcessFn createProcess_;
    Wow64Redirection redirection_;
};

}  // namespace ost::win
