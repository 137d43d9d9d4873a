// The log every fake writes its calls to, which can make any of them fail, and the window system in
// memory: boxes answered as a test says, yields counted, and the main window with its controls.
#pragma once

#include <cstdint>
#include <functional>
#include <new>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/ui.h"

namespace ost::test {

class CallLog {
  public:
    std::vector<std::string> log;   // "Kind:object" of each call, and events such as "Close:path"
    int failAt = 0;                 // the call that fails, counted from 1 among those that can fail
    int count = 0;                  // the calls so far that could fail
    std::set<std::string> failing;  // kinds, or "Kind:object" entries, that fail every time
    size_t failed = SIZE_MAX;       // the log position of the latest failed call
    // A failure raises std::bad_alloc for 7, std::runtime_error(description) for 5, and otherwise
    // an AppError with this number and description.
    int32_t number = err::kPermissionDenied;
    std::string description = "Permission denied";

    // Logs a call that can fail; true when it fails.
    bool Fails(const std::string& kind, const std::string& object = {}) {
        log.push_back(object.empty() ? kind : kind + ":" + object);
        const bool fails = ++count == failAt || failing.count(kind) != 0 || failing.count(log.back()) != 0;
        failed = fails ? log.size() - 1 : failed;
        return fails;
    }
    // Logs a call that can fail, and raises the failure when it fails. The fakes write
    // `calls.Check(...), effect`: the call is logged, and may fail, before it takes effect.
    void Check(const std::string& kind, const std::string& object = {}) {
        if (!Fails(kind, object))
            return;
        if (number == err::kOutOfMemory)
            throw std::bad_alloc();
        if (number == err::kInvalidCall)
            throw std::runtime_error(description);
        throw AppError(number, description);
    }
};

// A fake's call log: its own, or one that all the fakes of a test share.
class Logged {
  public:
    explicit Logged(CallLog* shared = nullptr) : calls(shared != nullptr ? *shared : own_) {}
    CallLog& calls;

  private:
    CallLog own_;
};

// Thrown by FakeUi::EndProgram, so a test can see that the program would have ended there.
struct ProgramEnded {};

// The window system and the main window with its controls (the label, the list box and the save
// dialog) in one object.
class FakeUi : public IUi, public IMainWindow, public ILabel, public IListBox, public ICommonDialog, public Logged {
  public:
    using Logged::Logged;
    std::vector<std::string> boxes;  // the texts shown, in order
    int32_t boxStyle = 0;            // the latest box's
    std::string boxTitle;            // the latest box's
    std::vector<int32_t> answers;    // given to the boxes in order; then `answer` decides, or OK
    std::function<int32_t(const std::string& text)> answer;
    std::vector<std::string> inputs;   // "prompt|title|default text" of each input box
    std::vector<std::string> replies;  // given to the input boxes in order; then empty (cancel)
    std::vector<int32_t> appPointers;
    std::vector<int32_t> pointers;  // the main window's
    int doEvents = 0;               // failed yields included
    std::function<void()> onDoEvents;  // what the user does while the window handles messages
    bool closing = false;              // the window has been closed
    std::string caption;
    std::vector<std::string> items;  // the list box's
    std::string saveAs;              // what the user picks in the save dialog; empty for cancel
    std::string fileName;

    int32_t MsgBox(const std::string& text, int32_t style, const std::string& title) override {
        calls.Check("MsgBox", text), boxes.push_back(text), boxStyle = style, boxTitle = title;
        return Next(answers, answer ? answer(text) : mb::kAnswerOk);
    }
    std::string InputBox(const std::string& prompt, const std::string& title, const std::string& defaultText) override {
        calls.Check("InputBox", prompt), inputs.push_back(prompt + "|" + title + "|" + defaultText);
        return Next(replies, std::string());
    }
    void SetAppMousePointer(int32_t to) override {
        calls.Check("SetAppMousePointer", std::to_string(to)), appPointers.push_back(to);
    }
    void DoEvents() override {
        ++doEvents, calls.Check("DoEvents");
        if (onDoEvents)
            onDoEvents();
    }
    bool Closing() const override { return closing; }
    ScreenMetrics Screen() override { return calls.Check("Screen"), ScreenMetrics{15360, 11520, 15, 15}; }
    [[noreturn]] void EndProgram() override { throw ProgramEnded{}; }

    ILabel& lblSysInfo() override { return *this; }
    IListBox& lstPrograms() override { return *this; }
    ICommonDialog& CommonDialog() override { return *this; }
    void SetMousePointer(int32_t to) override {
        calls.Check("SetMousePointer", std::to_string(to)), pointers.push_back(to);
    }
    void SetCaption(const std::string& text) override { calls.Check("SetCaption"), caption = text; }
    std::string Caption() const override { return calls.Check("Caption"), caption; }
    void Clear() override { calls.Check("Clear"), items.clear(); }
    void AddItem(const std::string& item) override { calls.Check("AddItem", item), items.push_back(item); }
    void SetFilter(const std::string& filter) override { calls.Check("SetFilter", filter); }
    void ShowSave() override { calls.Check("ShowSave"), fileName = saveAs; }
    std::string FileName() const override { return calls.Check("FileName"), fileName; }

  private:
    template <typename T>
    static T Next(std::vector<T>& script, const T& otherwise) {
        if (script.empty())
            return otherwise;
        const T next = script.front();
        script.erase(script.begin());
        return next;
    }
};

}  // namespace ost::test
