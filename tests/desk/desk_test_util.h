// What ovdesk's tests share: exports in UTF-16LE, support files packed in memory by the zip engine,
// and ovdesk run over them.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "desk/commands.h"
#include "memory_file_system.h"
#include "ziplib/zip_engine.h"

namespace ost::desk::test {

inline std::string Golden(const std::string& name) {
    std::ifstream in(std::string(OST_GOLDEN_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <typename Reader>
void FeedInPieces(Reader& reader, std::string_view bytes, size_t piece) {
    for (size_t at = 0; at < bytes.size(); at += piece)
        reader.Feed(reinterpret_cast<const uint8_t*>(bytes.data() + at), std::min(piece, bytes.size() - at));
}

inline std::vector<uint8_t> Utf16(std::u16string_view text, bool mark = true) {
    std::vector<uint8_t> out;
    if (mark)
        out = {0xFF, 0xFE};
    for (const char16_t c : text)
        out.insert(out.end(), {static_cast<uint8_t>(c & 0xFF), static_cast<uint8_t>(c >> 8)});
    return out;
}

inline std::vector<uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

inline std::string Join(const std::vector<std::string>& items, const char* separator = "|") {
    std::string out;
    for (const std::string& item : items)
        out += (out.empty() ? "" : separator) + item;
    return out;
}

// An export with the usual kinds of keys and values: an uninstall key with each type, the code
// page keys of two control sets, and a key whose name needs UTF-16.
inline const std::u16string kExport =
    u"Windows Registry Editor Version 5.00\r\n\r\n"
    u"[HKEY_LOCAL_MACHINE]\r\n\r\n"
    u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall]\r\n\r\n"
    u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme]\r\n"
    u"\"DisplayName\"=\"Acme Editor\"\r\n"
    u"\"DisplayVersion\"=\"2.1\"\r\n"
    u"\"InstallDate\"=\"20240315\"\r\n"
    u"\"Blob\"=hex:01,02,\\\r\n  03,04\r\n"
    u"@=\"a \\\"quoted\\\" default\"\r\n\r\n"
    u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme\\Deep]\r\n"
    u"\"Level\"=dword:00000002\r\n\r\n"
    u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\UninstallOther]\r\n"
    u"\"NotBelow\"=\"x\"\r\n\r\n"
    u"[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Control\\Nls\\CodePage]\r\n\"ACP\"=\"1250\"\r\n\r\n"
    u"[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage]\r\n\"ACP\"=\"1251\"\r\n\r\n"
    u"[HKEY_CURRENT_USER\\Software\\Кириллица]\r\n\"Имя\"=\"значение\"\r\n\r\n";

// Support files made in memory by the zip engine, and ovdesk run over them.
class DeskTest : public ::testing::Test {
  protected:
    static std::vector<uint8_t> Pack(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& entries) {
        zip::test::MemoryFileSystem fs;
        std::vector<std::string> names;
        for (const auto& [name, bytes] : entries) {
            fs.AddFile("/c/" + name, bytes);
            names.push_back("/c/" + name);
        }
        EXPECT_EQ(zip::RunZipJob(fs, "/out.zip", names, {}, {}), zip::kOk);
        return fs.Bytes("/out.zip");
    }
    static std::vector<uint8_t> SupportFile(const std::string& report, const std::vector<uint8_t>& exported) {
        return Pack({{"ovsupport.txt", Bytes(report)}, {"regbackup.reg", exported}});
    }
    void Add(const std::string& name, const std::vector<uint8_t>& bytes) { files.AddFile(name, bytes); }

    struct Result {
        int code = -1;
        std::string out, err;
        nlohmann::json Json() const { return nlohmann::json::parse(out); }
    };
    Result Desk(const std::vector<std::string>& args, size_t heldOutput = DeskIo{}.heldOutput) {
        Result r;
        DeskIo io;
        io.heldOutput = heldOutput;
        io.files = &files;
        io.out = [&](std::string_view text) { r.out += text; };
        io.err = [&](std::string_view text) { r.err += text; };
        r.code = RunDesk(args, io);
        return r;
    }

    void SetUp() override { Add("good.OVSupport", SupportFile(report, Utf16(kExport))); }

    const std::string report = Golden("report_long_form.txt");
    zip::test::MemoryFileSystem files;
};

}  // namespace ost::desk::test
