// The real zip32.dll under Wine, loaded by name and called through the records as the bridge
// fills them. The archives it writes are left in OST_ZIP32_OUTPUT with their expected contents
// beside them; the test zip32_archives_open_in_every_reader then checks them with unzip,
// Python's zipfile, 7-Zip and bsdtar.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/win32/text.h"
#include "platform/win32/unique_handle.h"
#include "zip_test_util.h"
#include "ziplib/zip32.h"

namespace ost::zip::test {
namespace {

using ::testing::HasSubstr;

std::wstring WindowsPath(const std::string& unixPath) {
    std::wstring path = L"Z:" + win::Widen(unixPath);
    for (wchar_t& c : path)
        if (c == L'/')
            c = L'\\';
    return path;
}

void WriteWide(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(std::filesystem::path(path), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadWide(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Names in a folder that look like a temporary archive left behind.
std::vector<std::wstring> Leftovers(const std::wstring& folder) {
    std::vector<std::wstring> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().wstring().find(L".tmp-") != std::wstring::npos)
            found.push_back(entry.path().filename().wstring());
    return found;
}

struct Calls {
    static inline std::string printed;
    static inline bool buffersKept = true;
    static inline int serviceCalls = 0;
    static int32_t ZIP32_API Print(char* buffer, uint32_t length) {
        buffersKept = buffersKept && length < kZipCallbackBufferSize && buffer[length] == '\0';
        printed.append(buffer, length);
        return 0;
    }
    static int32_t ZIP32_API Password(char*, int32_t, const char*, const char*) { return 1; }
    static char* ZIP32_API Comment(char* buffer) { return buffer; }
    static int32_t ZIP32_API StopAtSecond(const char*, uint32_t) { return ++serviceCalls >= 2 ? 1 : 0; }
};

class Zip32DllTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        library_ = ::LoadLibraryW(WindowsPath(OST_ZIP32_DLL).c_str());
        ASSERT_NE(library_, nullptr) << "cannot load " << OST_ZIP32_DLL;
        init_ = reinterpret_cast<ZpInitFn>(reinterpret_cast<void*>(::GetProcAddress(library_, "ZpInit")));
        setOptions_ =
            reinterpret_cast<ZpSetOptionsFn>(reinterpret_cast<void*>(::GetProcAddress(library_, "ZpSetOptions")));
        archive_ = reinterpret_cast<ZpArchiveFn>(reinterpret_cast<void*>(::GetProcAddress(library_, "ZpArchive")));
        ASSERT_TRUE(init_ && setOptions_ && archive_) << "an entry is not exported under its plain name";
    }
    void SetUp() override {
        if (!archive_)
            GTEST_SKIP() << "zip32.dll did not load";
        out_ = WindowsPath(OST_ZIP32_OUTPUT);
        ::CreateDirectoryW(out_.c_str(), nullptr);
    }

    // One run in the bridge's order: ZpInit, ZpSetOptions with the 8-bit root, ZpArchive.
    int32_t Run(const std::wstring& archive,
                const std::vector<std::string>& names,
                ZPOPT options = {},
                ZipServiceFn service = nullptr,
                std::string root = "\\") {
        Calls::printed.clear();
        Calls::buffersKept = true;
        ZIPUSERFUNCTIONS functions{&Calls::Print, &Calls::Password, &Calls::Comment, service};
        init_(&functions);
        options.szRootDir = root.data();
        setOptions_(&options);
        std::vector<std::string> copies = names;
        ZIPNAMES list{};
        for (size_t i = 0; i < copies.size(); ++i)
            list.name[i] = copies[i].data();
        std::string name = win::ToAnsi(win::Narrow(archive));
        return archive_(static_cast<int32_t>(copies.size()), name.data(), &list);
    }
    // A file for the archive at C:\ost-zip32\`name`, and its expected copy beside the archive.
    void Input(const std::wstring& archive, const std::wstring& name, const std::vector<uint8_t>& bytes) {
        WriteWide(L"C:\\ost-zip32\\" + name, bytes);
        WriteWide(archive + L".expected\\ost-zip32\\" + name, bytes);
    }

    static inline HMODULE library_ = nullptr;
    static inline ZpInitFn init_ = nullptr;
    static inline ZpSetOptionsFn setOptions_ = nullptr;
    static inline ZpArchiveFn archive_ = nullptr;
    std::wstring out_;
};

TEST_F(Zip32DllTest, TheWorkflowsRunPacksBothFilesAndOnlyWarnsAboutThePlaceholder) {
    const std::wstring archive = out_ + L"\\workflow.OVSupport";
    const std::vector<uint8_t> registry = RegistryLikeText(6 << 20);
    Input(archive, L"ovsupport.txt", Bytes(std::string(300, '=') + "\r\nWindows XP\r\n"));
    Input(archive, L"regbackup.reg", registry);
    WriteWide(archive, Bytes("an earlier support file"));
    ASSERT_EQ(Run(archive, {"querty", "c:\\ost-zip32\\ovsupport.txt", "c:\\ost-zip32\\regbackup.reg"}), 0)
        << Calls::printed;
    EXPECT_THAT(Calls::printed, HasSubstr(" zip warning: name not matched: querty\n"));
    EXPECT_THAT(Calls::printed, HasSubstr("  adding: ost-zip32/ovsupport.txt (deflated "));
    EXPECT_THAT(Calls::printed, HasSubstr("  adding: ost-zip32/regbackup.reg (deflated "));
    EXPECT_TRUE(Calls::buffersKept);
    EXPECT_EQ(ReadArchive(ReadWide(archive)).files.at("ost-zip32/regbackup.reg"), registry);
    EXPECT_TRUE(Leftovers(out_).empty());
}

TEST_F(Zip32DllTest, AnAnsiNameOutsideAsciiIsStoredAsUtf8) {
    const std::wstring name = L"caf\u00e9 \u00e0 la cr\u00e8me.txt";
    const std::string ansi = win::ToAnsi(win::Narrow(name));
    if (ansi.find('?') != std::string::npos)
        GTEST_SKIP() << "the ANSI code page " << ::GetACP() << " cannot hold the name";
    const std::wstring archive = out_ + L"\\unicode.zip";
    ::DeleteFileW(archive.c_str());
    Input(archive, name, Bytes("caf\xc3\xa9 " + std::string(200, 'c')));
    ASSERT_EQ(Run(archive, {"C:\\ost-zip32\\" + ansi}), 0) << Calls::printed;
    EXPECT_THAT(Calls::printed, HasSubstr("  adding: ost-zip32/" + ansi + " (deflated"));
    const ReadBack back = ReadArchive(ReadWide(archive));
    ASSERT_EQ(back.headers.count("ost-zip32/" + win::Narrow(name)), 1u);
    EXPECT_EQ(back.headers.at("ost-zip32/" + win::Narrow(name)).flags, kFlagUtf8);

    // The root folder comes upper-cased by Windows' rules, as the bridge sends it; a file inside
    // it is stored relative to it whatever letters its name has.
    const std::wstring inside = archive + L".root.zip";
    ::DeleteFileW(inside.c_str());
    WriteWide(L"C:\\ost-zip32\\" + name + L".d\\x.txt", Bytes("x"));
    WriteWide(inside + L".expected\\x.txt", Bytes("x"));
    const std::string root = win::ToAnsi(win::UpperCase("C:\\ost-zip32\\" + win::Narrow(name) + ".d"));
    ASSERT_EQ(Run(inside, {"C:\\ost-zip32\\" + ansi + ".d\\x.txt"}, {}, nullptr, root), 0) << Calls::printed;
    EXPECT_EQ(ReadArchive(ReadWide(inside)).headers.count("x.txt"), 1u) << Calls::printed;
}

TEST_F(Zip32DllTest, FailuresLeaveTheEarlierArchiveByteForByteAndNoTemporaryFile) {
    const std::wstring archive = out_ + L"\\failures.zip";
    ::SetFileAttributesW(archive.c_str(), FILE_ATTRIBUTE_NORMAL);
    WriteWide(L"C:\\ost-zip32\\first.txt", Bytes(std::string(5000, 'f')));
    WriteWide(L"C:\\ost-zip32\\second.reg", RegistryLikeText(3 << 20, 9));
    ASSERT_EQ(Run(archive, {"C:\\ost-zip32\\first.txt"}), 0) << Calls::printed;
    const std::vector<uint8_t> earlier = ReadWide(archive);
    const std::vector<std::string> both = {"C:\\ost-zip32\\first.txt", "C:\\ost-zip32\\second.reg"};
    {
        win::UniqueFile lock(
            ::CreateFileW(L"C:\\ost-zip32\\second.reg", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(lock);
        EXPECT_EQ(Run(archive, both), 11);
        EXPECT_THAT(Calls::printed, HasSubstr("second.reg for reading: the file is in use by another program"));
    }
    EXPECT_EQ(ReadWide(archive), earlier);

    Calls::serviceCalls = 0;
    EXPECT_EQ(Run(archive, both, {}, &Calls::StopAtSecond), 9);
    EXPECT_THAT(Calls::printed, HasSubstr("stopped by the caller before ost-zip32/second.reg"));
    EXPECT_EQ(ReadWide(archive), earlier);

    ASSERT_TRUE(::SetFileAttributesW(archive.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(Run(archive, both), 15) << Calls::printed;
    EXPECT_THAT(Calls::printed, HasSubstr("cannot put the new archive in place of"));
    ::SetFileAttributesW(archive.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadWide(archive), earlier);
    EXPECT_TRUE(Leftovers(out_).empty());
}

}  // namespace
}  // namespace ost::zip::test
