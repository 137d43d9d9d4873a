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
    // messages arrive so the window keeps handling them. True when the process has ended.
    virtual bool WaitForExit(uint32_t timeoutMs, const std::function<void()>& pump) = 0;
};

class IProcessLauncher {
  public:
    virtual ~IProcessLauncher() = default;
    // Starts `commandLine` with a window style (the Windows ShowWindow values: 2 is minimised and
    // active) and returns at once. Raises AppError (53 "File not found" for a missing program).
    virtual std::unique_ptr<IChildProcess> Start(const std::string& commandLine, int32_t windowStyle) = 0;
};

}  // namespace ost
