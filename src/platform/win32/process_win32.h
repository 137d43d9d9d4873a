// Child processes through CreateProcessW.
#pragma once

#include "platform/process.h"

namespace ost::win {

class Win32ProcessLauncher final : public IProcessLauncher {
  public:
    std::unique_ptr<IChildProcess> Start(const std::string& commandLine, int32_t windowStyle) override;
};

}  // namespace ost::win
