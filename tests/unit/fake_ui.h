// In-memory controls of the main window, recording what the program did to them.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/ui.h"

namespace ost::test {

class FakeLabel : public ILabel {
  public:
    std::string caption;
    int sets = 0;
    void SetCaption(const std::string& text) override {
        caption = text;
        ++sets;
    }
    std::string Caption() const override { return caption; }
};

class FakeListBox : public IListBox {
  public:
    std::vector<std::string> items;
    int clears = 0;
    void Clear() override {
        items.clear();
        ++clears;
    }
    void AddItem(const std::string& item) override { items.push_back(item); }
};

class FakeCommonDialog : public ICommonDialog {
  public:
    std::string filter;
    std::string answer;  // what the user picks; empty for cancel
    std::string fileName;
    int shows = 0;
    bool failShow = false;
    std::vector<std::string>* sharedLog = nullptr;
    void SetFilter(const std::string& f) override { filter = f; }
    void ShowSave() override {
        if (sharedLog)
            sharedLog->push_back("ShowSave:");
        if (failShow)
            throw MakeError(err::kInvalidCall, {}, "GetSaveFileNameW");
        ++shows;
        fileName = answer;
    }
    std::string FileName() const override { return fileName; }
};

class FakeMainWindow : public IMainWindow {
  public:
    FakeLabel label;
    FakeListBox list;
    FakeCommonDialog dialog;
    std::vector<int32_t> pointers;
    std::vector<std::string>* sharedLog = nullptr;
    ILabel& lblSysInfo() override { return label; }
    IListBox& lstPrograms() override { return list; }
    ICommonDialog& CommonDialog() override { return dialog; }
    void SetMousePointer(int32_t pointer) override {
        pointers.push_back(pointer);
        if (sharedLog)
            sharedLog->push_back("Pointer:" + std::to_string(pointer));
    }
};

}  // namespace ost::test

namespace ost::test {

// Thrown by FakeUi::EndProgram, so a test can see that the program would have ended there.
struct ProgramEnded {};

class FakeUi : public IUi {
  public:
    struct Box {
        std::string text;
        int32_t style;
        std::string title;
    };
    std::vector<Box> boxes;
    std::vector<int32_t> answers;  // given to the boxes in order; OK (1) once they run out
    struct Input {
        std::string prompt;
        std::string title;
        std::string defaultText;
    };
    std::vector<Input> inputs;
    std::vector<std::string> replies;  // given to the input boxes in order; empty (cancel) once they run out
    std::vector<int32_t> appPointers;
    int doEvents = 0;
    ScreenMetrics screen{15360, 11520, 15, 15};
    std::vector<std::string>* sharedLog = nullptr;  // when set, boxes and yields are logged there too
    // "MsgBox", "InputBox" or "DoEvents" named here raise AppError 5 instead (a failed yield is still counted).
    std::set<std::string> failing;

    int32_t MsgBox(const std::string& text, int32_t style, const std::string& title) override {
        MaybeFail("MsgBox");
        boxes.push_back({text, style, title});
        if (sharedLog)
            sharedLog->push_back("MsgBox:" + text);
        if (answers.empty())
            return mb::kAnswerOk;
        const int32_t answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
    std::string InputBox(const std::string& prompt, const std::string& title, const std::string& defaultText) override {
        MaybeFail("InputBox");
        inputs.push_back({prompt, title, defaultText});
        if (replies.empty())
            return {};
        const std::string reply = replies.front();
        replies.erase(replies.begin());
        return reply;
    }
    void SetAppMousePointer(int32_t pointer) override {
        appPointers.push_back(pointer);
        if (sharedLog)
            sharedLog->push_back("AppPointer:" + std::to_string(pointer));
    }
    void DoEvents() override {
        ++doEvents;
        MaybeFail("DoEvents");
        if (sharedLog)
            sharedLog->push_back("DoEvents:");
    }
    ScreenMetrics Screen() override { return screen; }
    [[noreturn]] void EndProgram() override { throw ProgramEnded{}; }

  private:
    void MaybeFail(const std::string& call) {
        if (failing.count(call) != 0)
            throw MakeError(err::kInvalidCall, {}, "FakeUi::" + call + " told to fail");
    }
};

}  // namespace ost::test
