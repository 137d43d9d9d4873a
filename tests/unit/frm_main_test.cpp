#include "app/frm_main.h"

#include <gtest/gtest.h>

#include "fake_filesystem.h"
#include "fake_locale.h"
#include "fake_process.h"
#include "fake_registry.h"
#include "fake_system_info.h"
#include "fake_ui.h"

namespace ost {
namespace {

class FrmMainTest : public ::testing::Test {
  protected:
    test::FakeSystemInfoSource source;
    test::FakeUi ui;
    test::FakeFileSystem fs;
    test::FakeRegistry registry;
    test::FakeLocale locale;
    test::FakeProcessLauncher processes;
    AppServices services{ui, fs, registry, locale, processes, source};
    test::FakeMainWindow window;
};

TEST_F(FrmMainTest, LoadSetsTheSixLineSummaryOnceFromOneProbe) {
    source.processorType = 586;
    source.memory = {2048ull * 1024 * 1024, 1536ull * 1024 * 1024, 0, 0};
    frmMain form(services, window);
    cSystemInfo& first = form.SystemInfo();
    form.Form_Load();
    EXPECT_EQ(window.label.caption,
              "Windows Version : Windows XP\r\n"
              "5.1 (Build 2600)\r\n"
              "IE Version : Internet Explorer 6.0.2900\r\n"
              "CPU : Intel Pentium\r\n"
              "Free Memory : 1572864\r\n"
              "Total Memory : 2097152");
    EXPECT_EQ(window.label.sets, 1);
    EXPECT_EQ(&form.SystemInfo(), &first);
    EXPECT_EQ(source.calls.size(), 4u);  // one probe: created on first use, queried once
}

TEST_F(FrmMainTest, SummaryKeepsTextsUntrimmed) {
    source.version = {3, 51, 1057};  // "Windows " with its trailing blank
    source.processorType = 0;
    frmMain form(services, window);
    form.Form_Load();
    EXPECT_EQ(window.label.caption.substr(0, 28), "Windows Version : Windows \r\n");
    EXPECT_NE(window.label.caption.find("\r\nCPU : (unknown)\r\n"), std::string::npos);
}

}  // namespace
}  // namespace ost
