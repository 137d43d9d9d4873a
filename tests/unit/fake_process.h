// Child processes that record how they were started and, when waited for, do what the test says
// the program would have done (the registry editor writing its export).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/process.h"

namespace ost::test {

class FakeProcessLauncher : public IProcessLauncher {
  public:
    struct Started {
        std::string commandLine;
        int32_t windowStyle;
    };
    std::vector<Started> started;
    std::function<void()> onStart;  // what the process has done by the time it is waited for
    std::function<void()> onExit;   // what the process leaves behind once it has run
    bool finishes = true;           // false: the wait reaches its bound
    std::vector<uint32_t> waits;    // the bounds waited with
    std::vector<std::string>* sharedLog = nullptr;

    std::unique_ptr<IChildProcess> Start(const std::string& commandLine, int32_t windowStyle) override {
        started.push_back({commandLine, windowStyle});
        if (sharedLog)
            sharedLog->push_back("Start:" + commandLine);
        if (onStart)
            onStart();
        return std::make_unique<Child>(*this);
    }

  private:
    class Child : public IChildProcess {
      public:
        explicit Child(FakeProcessLauncher& owner) : owner_(owner) {}
        bool WaitForExit(uint32_t timeoutMs, const std::function<void()>& pump) override {
            owner_.waits.push_back(timeoutMs);
            if (owner_.sharedLog)
                owner_.sharedLog->push_back("Wait:");
            if (pump)
                pump();
            if (owner_.finishes && owner_.onExit)
                owner_.onExit();
            return owner_.finishes;
        }

      private:
        FakeProcessLauncher& owner_;
    };
};

}  // namespace ost::test
