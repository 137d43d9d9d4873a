// Child processes: start a command line, and wait for one while the window stays responsive.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace ost {

class IChildProcess {
  public:
    virtual ~IChildProcess() = default;
    // Waits until the process has ended or `timeoutMs` has passed, calling `pump` whenever window
    // messages arrive so the window keeps handling them (without a pump, messages do not matter). True when the process has ended, false
    // when the bound passed first. Raises AppError, whose description is the system's message,
    // when the wait itself fails.
    virtual bool WaitForExit(uint32_t timeoutMs, const std::function<void()>& pump) = 0;
    // The exit code of a process that has ended (0 is how a program says it did its work). Raises
    // AppError, whose description is the system's message, when it cannot be read.
    virtual uint32_t ExitCode() = 0;
    // Ends the process, unless it has ended already, and waits up to `timeoutMs` until it is gone.
    // Raises AppError, whose description is the system's message, when the system refuses (70
    // "Permission denied" for a process that runs with more rights than this one, as a program
    // started elevated through the shell does) or the wait fails; 75 when the process is still
    // there after the bound.
    virtual void Terminate(uint32_t timeoutMs) = 0;
};

class IProcessLauncher {
  public:
    virtual ~IProcessLauncher() = default;
    // Starts `commandLine` with a window style (the Windows ShowWindow values: 2 is minimised and
    // active) and returns at once. Raises AppError (53 "File not found" for a missing program).
    // A 32-bit program on 64-bit Windows starts the program that the path names for a 64-bit one:
    // the Windows folder's registry editor is then the 64-bit one, which sees both registry views.
    // A child that the system started without giving a way to follow it is returned all the same:
    // its WaitForExit, ExitCode and Terminate raise, saying so.
    virtual std::unique_ptr<IChildProcess> Start(const std::string& commandLine, int32_t windowStyle) = 0;
};

}  // namespace ost
