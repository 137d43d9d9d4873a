#include "inspect/mod_general.h"

#include <gtest/gtest.h>

#include "fake_filesystem.h"
#include "fake_locale.h"
#include "fake_registry.h"
#include "fake_ui.h"
#include "raised_by.h"

namespace ost {
namespace {

const std::string kUninstall = modGeneral::kUninstallKey;

class ProgramListTest : public ::testing::Test {
  protected:
    ProgramListTest() { registry.AddKey(kUninstall); }
    void AddProgram(const std::string& key, const std::string& name) {
        registry.AddString(kUninstall + "\\" + key, "DisplayName", name);
    }
    void Export() { modGeneral::ExportProgramList(list, fs, registry, locale, ui); }
    std::string Programs() const { return fs.Content("c:\\progs.txt"); }

    test::FakeListBox list;
    test::FakeFileSystem fs;
    test::FakeRegistry registry;
    test::FakeLocale locale;
    test::FakeUi ui;
};

TEST_F(ProgramListTest, ListsNamedProgramsInEnumerationOrder) {
    AddProgram("{B}", "Acme Editor");
    registry.AddKey(kUninstall + "\\NoName");  // no DisplayName
    registry.AddString(kUninstall + "\\Empty", "DisplayName", "");
    AddProgram("{A}", "Zeta Tools");
    list.items = {"from before"};
    Export();
    EXPECT_EQ(Programs(), "\"Acme Editor\"\r\n\"Zeta Tools\"\r\n");
    EXPECT_EQ(list.items, std::vector<std::string>{"Zeta Tools"});
    EXPECT_EQ(list.clears, 2);
    EXPECT_TRUE(registry.open.empty()) << "every key is closed";
    EXPECT_EQ(fs.log.back(), "Close:c:\\progs.txt");
    EXPECT_EQ(registry.log.front(), "OpenKeyEx:" + kUninstall + ":8");
    EXPECT_EQ(registry.log[1], "EnumKeyEx:0:255:255");
}

TEST_F(ProgramListTest, DuplicatesStayOtherTypesAreSkippedAndNamesAreCutAtTheirFirstNul) {
    AddProgram("one", "Same Name");
    registry.AddString(kUninstall + "\\expand", "DisplayName", "%ProgramFiles%\\x", reg::kTypeExpandSz);
    AddProgram("two", "Same Name");
    registry.AddKey(kUninstall + "\\raw").values["DisplayName"] = {reg::kTypeSz, "No Terminator"};
    registry.AddKey(kUninstall + "\\nul").values["DisplayName"] = {reg::kTypeSz, std::string("Cut\0Here\0", 9)};
    AddProgram("latin", "Caf\xE9");  // ANSI bytes from the registry, shown and written through the code page
    Export();
    EXPECT_EQ(Programs(), "\"Same Name\"\r\n\"Same Name\"\r\n\"No Terminator\"\r\n\"Cut\"\r\n\"Caf\xC3\xA9\"\r\n");
    EXPECT_EQ(list.items, std::vector<std::string>{"Caf\xC3\xA9"});
}

TEST_F(ProgramListTest, ASubkeyNameThatDoesNotFitEndsTheWalk) {
    AddProgram("first", "First");
    AddProgram(std::string(254, 'k'), "Fits");  // 254 characters and the terminator fit
    AddProgram(std::string(255, 'x'), "Too Long");
    AddProgram("after", "Never Listed");
    Export();
    EXPECT_EQ(Programs(), "\"First\"\r\n\"Fits\"\r\n");
    EXPECT_TRUE(registry.open.empty());
}

TEST_F(ProgramListTest, NoProgramsLeavesAnEmptyFileAndTheListAsItWas) {
    fs.Put("c:\\progs.txt", "\"Old Entry\"\r\n");
    list.items = {"kept"};
    Export();
    EXPECT_TRUE(fs.Has("c:\\progs.txt"));
    EXPECT_EQ(Programs(), "");
    EXPECT_EQ(list.items, std::vector<std::string>{"kept"});
}

TEST_F(ProgramListTest, AFileThatCannotBeCreatedReachesTheCaller) {
    AddProgram("a", "A");
    fs.FailOn("OpenTextFile", "c:\\progs.txt", err::kPermissionDenied);
    EXPECT_EQ(test::RaisedBy([&] { Export(); }).Number(), err::kPermissionDenied);
    EXPECT_TRUE(registry.log.empty()) << "the registry is not touched";
}

TEST_F(ProgramListTest, AnUnopenableKeyIsReportedWrittenAndEndsTheProgram) {
    AddProgram("a", "A");
    registry.refuseOpenEx = true;
    EXPECT_THROW(Export(), test::ProgramEnded);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Registry key could Not be opened -- aborting.");
    EXPECT_EQ(ui.boxes[0].style, 0);
    EXPECT_EQ(ui.boxes[0].title, "OrlaventSupportTool");
    EXPECT_EQ(Programs(), "\"Registry key could Not be opened -- aborting.\"\r\n");
    EXPECT_EQ(fs.log.back(), "Close:c:\\progs.txt") << "the file is closed before the program ends";
}

TEST(GetRegistryStringTest, ReadsStringValuesAndFallsBackToTheDefault) {
    test::FakeRegistry registry;
    registry.AddString("Software\\Acme", "Name", "Acme");
    registry.AddString("Software\\Acme", "Path", "%x%", reg::kTypeExpandSz);
    registry.AddKey("Software\\Acme").values["Count"] = {4, std::string("\x01\0\0\0", 4)};
    EXPECT_EQ(modGeneral::GetRegistryString(registry, kHKeyLocalMachine, "Software\\Acme", "Name", "d"), "Acme");
    EXPECT_EQ(modGeneral::GetRegistryString(registry, kHKeyLocalMachine, "Software\\Acme", "Path", "d"), "d");
    EXPECT_EQ(modGeneral::GetRegistryString(registry, kHKeyLocalMachine, "Software\\Acme", "Count", "d"), "d");
    EXPECT_EQ(modGeneral::GetRegistryString(registry, kHKeyLocalMachine, "Software\\Acme", "Missing", "d"), "d");
    EXPECT_EQ(modGeneral::GetRegistryString(registry, kHKeyLocalMachine, "Software\\Nowhere", "Name", "d"), "d");
    EXPECT_TRUE(registry.open.empty());
    const std::vector<std::string> calls(registry.log.begin(), registry.log.begin() + 4);
    EXPECT_EQ(calls, (std::vector<std::string>{"OpenKey:Software\\Acme", "QueryValueEx:Name:size",
                                               "QueryValueEx:Name:data", "CloseKey"}));
}

}  // namespace
}  // namespace ost
