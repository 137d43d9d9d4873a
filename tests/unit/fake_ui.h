// In-memory controls of the main window, recording what the program did to them.
#pragma once

#include <string>
#include <vector>

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
    void SetFilter(const std::string& f) override { filter = f; }
    void ShowSave() override {
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
    ILabel& lblSysInfo() override { return label; }
    IListBox& lstPrograms() override { return list; }
    ICommonDialog& CommonDialog() override { return dialog; }
    void SetMousePointer(int32_t pointer) override { pointers.push_back(pointer); }
};

}  // namespace ost::test
