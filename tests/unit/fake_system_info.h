// An in-memory system information source that records the order of the queries made on it.
#pragma once

#include <string>
#include <vector>

#include "platform/system_info.h"

namespace ost::test {

class FakeSystemInfoSource : public ISystemInfoSource {
  public:
    OsVersionRecord version{5, 1, 2600};
    uint32_t processorType = 586;
    MemoryRecord memory{};
    DllVersionRecord shell{6, 0, 2900};
    std::vector<std::string> calls;

    OsVersionRecord QueryVersion() override {
        calls.push_back("version");
        return version;
    }
    uint32_t QueryProcessorType() override {
        calls.push_back("processor");
        return processorType;
    }
    MemoryRecord QueryMemory() override {
        calls.push_back("memory");
        return memory;
    }
    DllVersionRecord QueryShellVersion() override {
        calls.push_back("shell");
        return shell;
    }
};

}  // namespace ost::test
