#include "app/frm_main.h"

#include <gtest/gtest.h>

#include "fake_system_info.h"
#include "fake_ui.h"

namespace ost {
namespace {

TEST(FrmMainTest, LoadSetsTheSixLineSummaryOnce) {
    test::FakeSystemInfoSource source;
    source.version = {5, 1, 2600};
    source.processorType = 586;
    source.memory = {2048ull * 1024 * 1024, 1536ull * 1024 * 1024, 0, 0};
    source.shell = {6, 0, 2900};
    test::FakeMainWindow window;
    frmMain form(source, window);
    form.Form_Load();
    EXPECT_EQ(window.label.caption,
              "Windows Version : Windows XP\r\n"
              "5.1 (Build 2600)\r\n"
              "IE Version : Internet Explorer 6.0.2900\r\n"
              "CPU : Intel Pentium\r\n"
              "Free Memory : 1572864\r\n"
              "Total Memory : 2097152");
    EXPECT_EQ(window.label.sets, 1);
    EXPECT_EQ(source.calls.size(), 4u);
}

TEST(FrmMainTest, SummaryKeepsTextsUntrimmedAndTheWindowReusesOneProbe) {
    test::FakeSystemInfoSource source;
    source.version = {3, 51, 1057};  // "Windows " with its trailing blank
    source.processorType = 0;
    test::FakeMainWindow window;
    frmMain form(source, window);
    cSystemInfo& first = form.SystemInfo();
    form.Form_Load();
    EXPECT_EQ(&form.SystemInfo(), &first);
    EXPECT_EQ(source.calls.size(), 4u);  // one probe: created on first use, queried once
    EXPECT_EQ(window.label.caption.substr(0, 28), "Windows Version : Windows \r\n");
    EXPECT_NE(window.label.caption.find("\r\nCPU : (unknown)\r\n"), std::string::npos);
    EXPECT_NE(window.label.caption.back(), '\n');
}

TEST(FrmMainTest, ClickRunsTheConnectedHandler) {
    test::FakeSystemInfoSource source;
    test::FakeMainWindow window;
    frmMain form(source, window);
    int runs = 0;
    form.OnCreateClicked([&] { ++runs; });
    form.cmdCreate_Click();
    form.cmdCreate_Click();
    EXPECT_EQ(runs, 2);
}

}  // namespace
}  // namespace ost
