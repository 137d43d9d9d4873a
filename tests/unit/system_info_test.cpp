#include "inspect/system_info.h"

#include <gtest/gtest.h>

#include <tuple>

#include "fake_system_info.h"

namespace ost {
namespace {

using test::FakeSystemInfoSource;

TEST(SystemInfoTest, NamesTheVersionByMajorAndMinorAlone) {
    const std::tuple<uint32_t, uint32_t, const char*> rows[] = {
        {3, 5, "Windows NT "},   {3, 51, "Windows "},   {3, 0, "Windows "},
        {4, 0, "Windows NT"},    {4, 1, "Windows 98"},  {4, 10, "Windows ME"},
        {4, 90, "Windows ME"},   {5, 0, "Windows 2000"}, {5, 1, "Windows XP"},
        {5, 2, "Windows 2000"},  {6, 0, "Windows Unknown Version"}, {6, 1, "Windows Unknown Version"},
        {10, 0, "Windows Unknown Version"}, {0, 0, "Windows Unknown Version"}};
    for (const auto& [major, minor, name] : rows) {
        FakeSystemInfoSource source;
        source.version = {major, minor, 1};
        EXPECT_EQ(cSystemInfo(source).WinName(), name) << major << "." << minor;
    }
}

TEST(SystemInfoTest, ProcessorTypesMapToTheirLabelsAndEverythingElseIsUnknown) {
    const std::pair<uint32_t, const char*> rows[] = {
        {386, "Intel 386"},         {486, "Intel 486"}, {586, "Intel Pentium"}, {4000, "MIPS R4000"},
        {21064, "DEC Alpha 21064"}, {0, "(unknown)"},   {8664, "(unknown)"},    {2200, "(unknown)"}};
    for (const auto& [type, text] : rows) {
        FakeSystemInfoSource source;
        source.processorType = type;
        EXPECT_EQ(cSystemInfo(source).CPUVersion(), text) << type;
    }
}

TEST(SystemInfoTest, VersionTextsAreWrittenAsFilledAndFailedQueriesGiveTheZeroTexts) {
    FakeSystemInfoSource source;
    source.version = {4, 10, 0xC0000A28u};  // Windows 98 SE keeps other data in the upper half
    source.shell = {5, 50, 0};
    EXPECT_EQ(cSystemInfo(source).WinVersion(), "4.10 (Build 3221228072)");
    EXPECT_EQ(cSystemInfo(source).IEVersion(), "Internet Explorer 5.50.0");
    source.version = {6, 2, 0};
    source.shell = {6, 0, 2900};
    EXPECT_EQ(cSystemInfo(source).WinVersion(), "6.2 (Build 0)");
    EXPECT_EQ(cSystemInfo(source).IEVersion(), "Internet Explorer 6.0.2900");

    source.version = {};
    source.shell = {};
    const cSystemInfo info(source);
    EXPECT_EQ(info.WinName(), "Windows Unknown Version");
    EXPECT_EQ(info.WinVersion(), "0.0 (Build 0)");
    EXPECT_EQ(info.IEVersion(), "Internet Explorer 0.0.0");
}

TEST(SystemInfoTest, MemoryIsRoundedToWholeKilobytesHalvesToEven) {
    // A 64-bit process sees counts past the 32-bit record; they saturate to its largest value.
    const std::pair<uint64_t, int32_t> rows[] = {
        {1536, 2}, {2560, 2}, {1023, 1}, {511, 0}, {512, 0}, {1024 + 512 + 1, 2}, {3 * 1024 + 512, 4},
        {1ull << 31, 1 << 21}, {0, 0}, {0xFFFFFFFFull, 1 << 22}, {1ull << 47, 1 << 22}};
    for (const auto& [bytes, kb] : rows) {
        FakeSystemInfoSource source;
        source.memory = {bytes, bytes, bytes, bytes};
        const cSystemInfo info(source);
        EXPECT_EQ(info.MemoryTotal(), kb) << bytes;
        EXPECT_EQ(info.MemoryFree(), kb) << bytes;
        EXPECT_EQ(info.VirtualMemoryTotal(), kb) << bytes;
        EXPECT_EQ(info.VirtualMemoryFree(), kb) << bytes;
    }
    // Each count goes to its own property.
    FakeSystemInfoSource source;
    source.memory = {10 * 1024, 20 * 1024, 30 * 1024, 40 * 1024};
    const cSystemInfo info(source);
    EXPECT_EQ((std::vector<int32_t>{info.MemoryTotal(), info.MemoryFree(), info.VirtualMemoryTotal(),
                                    info.VirtualMemoryFree()}),
              (std::vector<int32_t>{10, 20, 30, 40}));
}

TEST(SystemInfoTest, QueriesOnceInOrderAndNeverAgain) {
    FakeSystemInfoSource source;
    const cSystemInfo info(source);
    const std::vector<std::string> expected{"version", "processor", "memory", "shell"};
    EXPECT_EQ(source.calls, expected);
    source.memory = {1 << 20, 1 << 20, 1 << 20, 1 << 20};
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(info.MemoryFree(), 0);
        EXPECT_EQ(info.VirtualMemoryFree(), 0);
        EXPECT_EQ(info.WinName(), "Windows XP");
    }
    EXPECT_EQ(source.calls, expected);
}

}  // namespace
}  // namespace ost
