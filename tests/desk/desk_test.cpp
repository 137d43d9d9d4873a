// ovdesk: the report read back from what the writer writes, the registry export read as a stream,
// and the three commands over support files made in memory, whole and damaged.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "desk/code_page.h"
#include "desk/commands.h"
#include "desk/registry_export.h"
#include "desk/report_reader.h"
#include "memory_file_system.h"
#include "ziplib/zip_engine.h"

namespace ost::desk {
namespace {

std::string Golden(const std::string& name) {
    std::ifstream in(std::string(OST_GOLDEN_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <typename Reader>
void FeedInPieces(Reader& reader, std::string_view bytes, size_t piece) {
    for (size_t at = 0; at < bytes.size(); at += piece)
        reader.Feed(reinterpret_cast<const uint8_t*>(bytes.data() + at), std::min(piece, bytes.size() - at));
}

Report Read(std::string_view text, size_t piece = 1 << 20) {
    ReportReader reader(true);
    FeedInPieces(reader, text, piece);
    return reader.Finish();
}

std::string Join(const std::vector<std::string>& items, const char* separator = "|") {
    std::string out;
    for (const std::string& item : items)
        out += (out.empty() ? "" : separator) + item;
    return out;
}

// Every field of a report, one line a section.
std::string Dump(const Report& r) {
    std::ostringstream s;
    for (const auto* field :
         {&r.winName, &r.winVersion, &r.browser, &r.processor, &r.freeMemory, &r.totalMemory, &r.resolution})
        s << field->value_or("-") << "|";
    s << "\n";
    for (const DriveLine& d : r.drives)
        s << d.letter << (d.readable ? "" : " unreadable") << "|" << d.name << "|" << d.fileSystem << "|" << d.type
          << "|" << d.freeMegabytes << "|" << d.totalMegabytes << "|" << d.serial << "\n";
    s << "programs:" << Join(r.programs) << "\n";
    for (const Listing* l : {&r.windows, &r.system, &r.pebblework}) {
        if (!l->present)
            continue;
        s << l->path << " " << l->files << "/" << l->folders << " " << l->fileBytes << (l->closed ? "" : " open")
          << ":";
        for (const auto* entries : {&l->fileEntries, &l->folderEntries}) {
            for (const ListingEntry& e : *entries)
                s << " " << e.name << "," << e.created << "," << e.size;
            s << " /";
        }
        s << "\n";
    }
    s << (r.complete ? "complete" : "incomplete") << ":" << Join(r.problems);
    return s.str();
}

TEST(ReportReaderTest, ReadsBackEveryGoldenReportFieldByFieldInPiecesOfAnySize) {
    const std::string created = "3/15/2024 14:05:09";
    const std::pair<const char*, std::string> goldens[] = {
        {"report_long_form.txt",
         "Windows XP|5.1 (Build 2600)|Internet Explorer 6.0.2900|Intel Pentium|1523412|2096576|1024 X 768|\n"
         "C|SYSTEM|NTFS|Fixed|812.5|953.86|777\n"
         "D||CDFS|CD-ROM|0|0|-5\n"
         "programs:Acme Editor|Zeta Tools\n"
         "C:\\WINDOWS 8/3 1.05327e+06: zero.txt," +
             created + ",0 bytes five.txt," + created +
             ",5 bytes six.txt,"
             "12/24/2001,0.01kb eighth.bin," +
             created + ",0.12kb one-k.bin," + created + ",1kb k-and-half.bin," + created + ",1.5kb two-thousand.bin," +
             created + ",1.95kb mega.bin,7/1/2010 9:30:00,1024kb / three," + created + ",3 bytes empty," + created +
             ",0 bytes system32," + created +
             ",4882.81kb /\n"
             "C:\\WINDOWS\\SYSTEM32 0/1 0: / drivers," +
             created +
             ",120.56kb /\n"
             "c:\\pwwin32 1/0 65536: pw.exe," +
             created +
             ",64kb / /\n"
             "complete:"},
        {"report_short_form.txt",
         "Windows 98|4.10 (Build 67766446)|Internet Explorer 5.50.4134|Intel Pentium|61232|130484|800 X 600|\n"
         "programs:\n"
         "C:\\WINDOWS 8/3 1.05327e+06: zero.txt,,0 bytes five.txt,,5 bytes six.txt,,0,01kb eighth.bin,,0,12kb "
         "one-k.bin,,1kb k-and-half.bin,,1,5kb two-thousand.bin,,1,95kb mega.bin,,1024kb / three,,3 bytes empty,,0 "
         "bytes "
         "system32,,4882,81kb /\n"
         "C:\\WINDOWS\\SYSTEM32 0/1 0: / drivers,,120,56kb /\n"
         "complete:"},
        {"workflow_report.txt",
         "Windows XP|5.1 (Build 2600)|Internet Explorer 6.0.2900|Intel Pentium|0|0|1024 X 768|\n"
         "C|SYSTEM|NTFS|Fixed|0|0|777\n"
         "programs:Acme Editor\n"
         "C:\\WINDOWS 1/1 92.16: win.ini," +
             created + ",0.09kb / system32," + created +
             ",4.88kb /\n"
             "C:\\WINDOWS\\SYSTEM32 1/0 1024: kernel32.dll," +
             created +
             ",1kb / /\n"
             "c:\\pwwin32 1/0 65536: pw.exe," +
             created +
             ",64kb / /\n"
             "complete:"},
    };
    for (const auto& [name, expected] : goldens) {
        const std::string text = Golden(name);
        ASSERT_FALSE(text.empty()) << name;
        for (const size_t piece : {size_t{1} << 20, size_t{1}, size_t{7}})
            EXPECT_EQ(Dump(Read(text, piece)), expected) << name << " in pieces of " << piece;
    }
}

TEST(ReportReaderTest, ACutOrGappedReportIsReadAsFarAsItGoesAndSaysWhatIsMissing) {
    const std::string golden = Golden("report_long_form.txt");
    auto cutAfter = [&](const std::string& text) { return golden.substr(0, golden.find(text) + text.size()); };
    auto without = [&](const std::string& text) {
        std::string out = golden;
        return out.erase(out.find(text), text.size());
    };
    const std::tuple<std::string, std::string, bool> cases[] = {
        {cutAfter("1.5kb)\r\n"), "it is cut short in the Windows folder's listing", false},
        {cutAfter("mega.bin (Cr"), "it is cut short in the middle of a line|1 line is not in the report's form", false},
        {cutAfter("Total Memory : 2096576\r\n"), "it is cut short in the system summary", false},
        {cutAfter("120.56kb)\r\n--------------------------\r\n\r\n"), "", true},
        {without("--------------------------\r\nDrive Listings\r\n"),
         "the drive listing is missing|2 lines are not in the report's form", true},
        {without(" Size : 64kb)"), "1 line is not in the report's form", true},
        {"", "it is empty", false},
    };
    for (const auto& [text, problems, complete] : cases) {
        const Report r = Read(text, 5);
        EXPECT_EQ(Join(r.problems), problems) << text.substr(text.size() > 60 ? text.size() - 60 : 0);
        EXPECT_EQ(r.complete, complete);
    }
    EXPECT_EQ(Read(cutAfter("1.5kb)\r\n")).windows.files, 6u);
    EXPECT_EQ(SizeTextBytes("12 bytes").value_or(-1) + SizeTextBytes("1,5kb").value_or(-1), 12 + 1536);
    for (const char* bad : {"kb", "1.5 bytes", "x bytes", "1.2.3kb", "12", "1,23456kb"})
        EXPECT_FALSE(SizeTextBytes(bad)) << bad;
}

std::vector<uint8_t> Utf16(std::u16string_view text, bool bom = true) {
    std::vector<uint8_t> out;
    if (bom)
        out = {0xFF, 0xFE};
    for (const char16_t c : text)
        out.insert(out.end(), {static_cast<uint8_t>(c & 0xFF), static_cast<uint8_t>(c >> 8)});
    return out;
}

const std::u16string kExport =
    u"Windows Registry Editor Version 5.00\r\n\r\n"
    u"[HKEY_LOCAL_MACHINE]\r\n\r\n"
    u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall]\r\n\r\n"
    u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme]\r\n"
    u"\"DisplayName\"=\"Acme Editor\"\r\n"
    u"\"Blob\"=hex:01,02,\\\r\n  03,04\r\n"
    u"@=\"a \\\"quoted\\\" default\"\r\n\r\n"
    u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme\\Deep]\r\n"
    u"\"Level\"=dword:00000002\r\n\r\n"
    u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\UninstallOther]\r\n"
    u"\"NotBelow\"=\"x\"\r\n\r\n"
    u"[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Control\\Nls\\CodePage]\r\n\"ACP\"=\"1250\"\r\n\r\n"
    u"[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage]\r\n\"ACP\"=\"1251\"\r\n\r\n"
    u"[HKEY_CURRENT_USER\\Software\\Кириллица]\r\n\"Имя\"=\"значение\"\r\n\r\n";

struct Scan {
    ExportFacts facts;
    std::vector<std::string> lines;
};

Scan ScanExport(const std::vector<uint8_t>& bytes, size_t piece, const std::string& top = "") {
    Scan scan;
    ExportScanner scanner(
        [&](const std::string& key) {
            const bool wanted = !top.empty() && DepthBelow(FoldName(key), FoldName(ExpandKeyPath(top))).has_value();
            if (wanted)
                scan.lines.push_back("[" + key + "]");
            return wanted;
        },
        [&](const std::string& line) { scan.lines.push_back(line); });
    FeedInPieces(scanner, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), piece);
    scan.facts = scanner.Finish();
    return scan;
}

TEST(ReportReaderTest, DriveLinesGiveEachFieldWhateverTheNameTypeOrSeparator) {
    const Report r = Read(
        "Drive Listings\r\n--------------------------\r\n"
        "R -  : 1,13 FREE/2,38 TOTAL MB (NTFS RAM Disk) '777'\r\n"
        "N - \\\\srv\\a : b : 0.00 FREE/100.00 TOTAL MB (FAT32 Network) '-559038737'\r\n"
        "X - old : 0.50 FREE/1.00 TOTAL MB (UDF ) '0'\r\nA - \r\nQ - 5 FREE/6 TOTAL MB (NTFS Fixed) '1'\r\n\r\n");
    std::string fields;
    for (const DriveLine& d : r.drives)
        fields += d.letter + (d.readable ? "" : "?") + "|" + d.name + "|" + d.fileSystem + "|" + d.type + "|" +
                  std::to_string(d.freeMegabytes).substr(0, 4) + "|" + std::to_string(d.totalMegabytes).substr(0, 5) +
                  "|" + d.serial + "\n";
    EXPECT_EQ(fields,
              "R||NTFS|RAM Disk|1.13|2.380|777\nN|\\\\srv\\a : b|FAT32|Network|0.00|100.0|-559038737\n"
              "X|old|UDF||0.50|1.000|0\nA?||||0.00|0.000|\n");
    EXPECT_EQ(r.unreadableLines, 1u) << "Q lacks its name's separator";
}

TEST(ExportScannerTest, CountsKeysFindsTheCodePageAndHandsOutTheWantedKeysInEveryEncodingAndPiece) {
    const std::vector<uint8_t> good = Utf16(kExport);
    for (const size_t piece : {size_t{1}, size_t{3}, size_t{64}, good.size()}) {
        const Scan scan = ScanExport(good, piece, "hkcu\\software\\кИРИЛЛИЦА");
        EXPECT_EQ(scan.facts.keys, 8u);
        EXPECT_TRUE(scan.facts.wholeLines);
        EXPECT_EQ(scan.facts.ansiCodePage.value_or(0), 1251u) << "the current control set's, not ControlSet001's";
        EXPECT_EQ(Join(scan.lines), "[HKEY_CURRENT_USER\\Software\\Кириллица]|\"Имя\"=\"значение\"|") << piece;
    }
    std::string ansi =
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage]\r\n"
        "\"ACP\"=\"1252\"\r\n\r\n[HKEY_USERS\\.DEFAULT]\r\n\"Caf\xE9\"=\"x\"\r\n";
    const Scan old = ScanExport({ansi.begin(), ansi.end()}, 2, "HKU");
    EXPECT_EQ(old.facts.form, ExportFacts::Form::kAnsi);
    EXPECT_EQ(old.facts.ansiCodePage.value_or(0), 1252u);
    // The code page is one to five digits between quotes, and not 0.
    const std::string codePageKey = "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Control\\Nls\\CodePage]\r\n";
    for (const auto& [value, found] : std::vector<std::pair<std::string, uint32_t>>{
             {"\"65001\"", 65001}, {"\"1252", 0}, {"\"\"", 0}, {"\"0\"", 0}, {"\"123456\"", 0}, {"dword:000004e4", 0}}) {
        const std::string text = codePageKey + "\"ACP\"=" + value + "\r\n";
        EXPECT_EQ(ScanExport({text.begin(), text.end()}, 4096).facts.ansiCodePage.value_or(0), found) << value;
    }
    EXPECT_EQ(Join(old.lines), "[HKEY_USERS\\.DEFAULT]|\"Café\"=\"x\"");
    EXPECT_TRUE(old.facts.wholeLines);

    const std::string header = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_USERS]\r\n";
    const std::pair<std::vector<uint8_t>, std::string> unreadable[] = {
        {{}, "is empty"},
        {{header.begin(), header.end()}, "is in a single-byte code page, not in the registry editor's UTF-16LE"},
        {Utf16(u"\uFEFFWindows"), "is in UTF-8, not in the registry editor's UTF-16LE"},
        {{0xFE, 0xFF, 0, 'W'}, "is in UTF-16 big-endian, not in the registry editor's UTF-16LE"},
        {Utf16(u"REGEDIT4\r\n[HKEY_USERS]\r\n"), "does not begin with a registry export's header"},
        {{'P', 'K', 3, 4}, "does not begin with a registry export's header"},
        {{0xFF, 0xFE}, "holds no header line"},
    };
    for (const auto& [bytes, problem] : unreadable) {
        // UTF-8 with its mark: the same text, read as UTF-16, begins with EF BB BF.
        std::vector<uint8_t> input = bytes;
        if (problem.starts_with("is in UTF-8"))
            input = {0xEF, 0xBB, 0xBF, 'W'};
        const ExportFacts facts = ScanExport(input, 1).facts;
        EXPECT_EQ(facts.problem, problem);
        EXPECT_EQ(facts.form, ExportFacts::Form::kUnreadable);
        EXPECT_EQ(facts.keys, 0u);
    }
    // Pairs of surrogates are one character; a lone one is no character.
    const Scan odd = ScanExport(
        Utf16(u"Windows Registry Editor Version 5.00\r\n[HKEY_USERS\\\xD83D\xDE00\xDC00\xDC01\xD800\xE000]\r\n"), 3, "HKU");
    EXPECT_EQ(Join(odd.lines), "[HKEY_USERS\\😀???\uE000]");
    // Cut in the middle of a line, at a whole character and in the middle of one.
    for (const size_t cut : {size_t{10}, size_t{11}}) {
        const Scan scan = ScanExport({good.begin(), good.end() - static_cast<ptrdiff_t>(cut)}, 4096);
        EXPECT_FALSE(scan.facts.wholeLines) << cut;
        EXPECT_EQ(scan.facts.keys, 8u);
    }
}

TEST(CodePageTest, TheReportsCodePageIsReadWithThisSystemsOwnTables) {
    EXPECT_EQ(CodePageToUtf8(1252, "\x80 Caf\xE9"), "€ Café");
    EXPECT_EQ(
        CodePageToUtf8(1251, "\xE9") + CodePageToUtf8(932, "\x82\xA0") + CodePageToUtf8(65001, "€ ok\xFF\xC0\x80 \xF4\x8F\xBF\xBF"),
        "йあ€ ok??? \xF4\x8F\xBF\xBF");
    EXPECT_FALSE(IsKnownCodePage(4242));
    EXPECT_THROW(CodePageToUtf8(4242, "\x80"), std::invalid_argument);
}

TEST(RegistryNamesTest, ShortRootsCaseAndValueNames) {
    EXPECT_EQ(ExpandKeyPath("hklm/Software\\"), "HKEY_LOCAL_MACHINE\\Software");
    EXPECT_EQ(ExpandKeyPath("[HKCC]") + ExpandKeyPath("[]"), "HKEY_CURRENT_CONFIG");
    EXPECT_EQ(ExpandKeyPath("HKU\\.DEFAULT") + ExpandKeyPath("hkcr") + ExpandKeyPath("HKCU"),
              "HKEY_USERS\\.DEFAULTHKEY_CLASSES_ROOTHKEY_CURRENT_USER");
    EXPECT_EQ(ExpandKeyPath("HKLMX\\a"), "HKLMX\\a");
    EXPECT_EQ(FoldName("straße Ärger àÿ ā Ĺĺ ž ıĸŉſ ωμέγας ίό жёлтый Ω"), "STRAßE ÄRGER ÀŸ Ā ĹĹ Ž ıĸŉſ ΩΜΈΓΑΣ ΊΌ ЖЁЛТЫЙ Ω");
    EXPECT_EQ(DepthBelow("A\\B\\C", "A"), 2u);
    EXPECT_EQ(DepthBelow("A", "A"), 0u);
    EXPECT_FALSE(DepthBelow("AB\\C", "A"));
    EXPECT_FALSE(DepthBelow("B", "A"));
    EXPECT_EQ(ValueName("\"a\\\"b\\\\\"=x").value_or("none"), "a\"b\\");
    EXPECT_EQ(ValueName("@=\"x\"").value_or("none"), "@");
    for (const char* line : {"  01,02", "\"open", "\"open\\", "\"name\" =x", "", "[key]"})
        EXPECT_FALSE(ValueName(line)) << line;
}

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
    static std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }
    static std::vector<uint8_t> SupportFile(const std::string& report, const std::vector<uint8_t>& exported) {
        return Pack({{"ovsupport.txt", Bytes(report)}, {"regbackup.reg", exported}});
    }

    struct Result {
        int code = -1;
        std::string out, err;
    };
    Result Desk(const std::vector<std::string>& args, size_t heldOutput = DeskIo{}.heldOutput) {
        Result r;
        DeskIo io;
        io.heldOutput = heldOutput;
        io.open = [&](const std::string& path) -> std::unique_ptr<zip::ByteSource> {
            const auto found = files.find(path);
            if (found == files.end())
                throw std::runtime_error("cannot open " + path + " for reading: No such file");
            return std::make_unique<zip::MemorySource>(found->second);
        };
        io.out = [&](std::string_view text) { r.out += text; };
        io.err = [&](std::string_view text) { r.err += text; };
        r.code = RunDesk(args, io);
        return r;
    }

    const std::string report = Golden("report_long_form.txt");
    std::map<std::string, std::vector<uint8_t>> files = {{"good.OVSupport", SupportFile(report, Utf16(kExport))}};
};

TEST_F(DeskTest, ShowGivesTheMachinesFactsAndWarnsOfWhatADeskLooksAtFirst) {
    Result r = Desk({"show", "good.OVSupport"});
    EXPECT_EQ(r.code, kClean) << r.err;
    EXPECT_EQ(r.out,
              "Support file:     good.OVSupport (2 entries, all intact)\n"
              "Windows:          Windows XP, version 5.1, build 2600\n"
              "Browser:          Internet Explorer 6.0.2900\n"
              "Processor:        Intel Pentium\n"
              "Memory:           1523412 KB free of 2096576 KB\n"
              "Screen:           1024 X 768\n"
              "Drives:           2\n"
              "  C:  \"SYSTEM\", Fixed, NTFS, 812.50 MB free of 953.86 MB (85.2 %)\n"
              "  D:  \"\", CD-ROM, CDFS, 0.00 MB free of 0.00 MB (0.0 %)\n"
              "Programs:         2 installed\n"
              "Windows folder:   C:\\WINDOWS: 8 files (1.00 MB), 3 folders\n"
              "System folder:    C:\\WINDOWS\\SYSTEM32: 0 files (0.00 MB), 1 folder\n"
              "c:\\pwwin32:       c:\\pwwin32: 1 file (0.06 MB), 0 folders\n"
              "Registry export:  1474 bytes, 8 keys, complete\n"
              "Code page:        1251 (the registry export's ACP value)\n");
    r = Desk({"show", "good.OVSupport", "--json"});
    EXPECT_EQ(r.code, kClean);
    for (const char* member :
         {"\"windows\":{\"name\":\"Windows XP\",\"version\":\"5.1\",\"build\":2600}", "\"programs\":2",
          "\"memory\":{\"freeKB\":1523412,\"totalKB\":2096576}",
          "\"registryExport\":{\"bytes\":1474,\"keys\":8,\"complete\":true,\"problem\":null}", "\"warnings\":[]",
          "{\"letter\":\"C\",\"readable\":true,\"name\":\"SYSTEM\",\"type\":\"Fixed\",\"fileSystem\":\"NTFS\","
          "\"freeMB\":812.50,\"totalMB\":953.86,\"serial\":\"777\"}"})
        EXPECT_NE(r.out.find(member), std::string::npos) << member << "\n" << r.out;

    std::string low = report;
    low.replace(low.find("812.50"), 6, "95.38");
    const size_t cut = report.find("k-and-half.bin");
    const std::vector<uint8_t> exported = Utf16(kExport);
    files = {
        {"low.OVSupport", SupportFile(low.substr(0, low.find("--------------------------\r\nPebblework")), exported)},
        {"cut.OVSupport", SupportFile(report.substr(0, cut), {exported.begin(), exported.end() - 9})},
        {"utf8.OVSupport", SupportFile(report, Bytes("\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"))},
        {"none.OVSupport", Pack({{"ovsupport.txt", Bytes(report)}, {"notes.txt", Bytes("x")}})},
    };
    const std::pair<std::string, std::string> cases[] = {
        {"low.OVSupport",
         "warning: drive C: has 10.0 % free (95.38 of 953.86 MB)\nwarning: the report lists no c:\\pwwin32: the "
         "folder is not on the machine\n"},
        {"cut.OVSupport",
         "warning: the registry export is cut short in the middle of a line\nwarning: the report: it is cut short in "
         "the Windows folder's listing\n"},
        {"utf8.OVSupport", "warning: the registry export is in UTF-8, not in the registry editor's UTF-16LE\n"},
        {"none.OVSupport", "warning: the support file holds no registry export\n"},
    };
    for (const auto& [name, warnings] : cases) {
        r = Desk({"show", name});
        EXPECT_EQ(r.code, kFindings) << name;
        EXPECT_EQ(r.out.substr(r.out.find("warning:")), warnings) << name;
    }
    // A report cut short after its title, or after its drives, is still a support report.
    for (const char* next : {"--------------------------\r\nSystem Information", "--------------------------\r\nAdd/Remove"}) {
        files["part.OVSupport"] = SupportFile(report.substr(0, report.find(next)), Utf16(kExport));
        const Result part = Desk({"show", "part.OVSupport"});
        EXPECT_EQ(part.code, kFindings) << part.err;
        EXPECT_EQ(part.err, "");
    }
    // Other entries, before or beside, are passed over.
    files["more.OVSupport"] = Pack({{"notes.txt", Bytes("x")}, {"ovsupport.txt", Bytes(report)}, {"regbackup.reg", exported}});
    r = Desk({"show", "more.OVSupport"});
    EXPECT_NE(r.out.find("(3 entries, all intact)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Registry export:  1474 bytes, 8 keys, complete"), std::string::npos) << r.out;
    r = Desk({"show", "cut.OVSupport", "--json"});
    EXPECT_NE(r.out.find("\"keys\":8,\"complete\":false"), std::string::npos) << r.out;
}

TEST_F(DeskTest, RegPrintsAKeyAndItsSubkeysToTheDepthAskedForAndNothingBeside) {
    const std::string uninstall = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    Result r = Desk(
        {"reg", "good.OVSupport", "hklm\\software\\microsoft\\windows\\currentversion\\UNINSTALL\\", "--depth", "1"});
    EXPECT_EQ(r.code, kClean) << r.err;
    EXPECT_EQ(r.out, "Windows Registry Editor Version 5.00\n\n[" + uninstall + "]\n\n[" + uninstall +
                         "\\Acme]\n\"DisplayName\"=\"Acme Editor\"\n\"Blob\"=hex:01,02,\\\n  03,04\n"
                         "@=\"a \\\"quoted\\\" default\"\n\n");
    r = Desk({"reg", "good.OVSupport", uninstall + "\\acme", "--json"});
    EXPECT_EQ(
        r.out,
        "{\"file\":\"good.OVSupport\",\"key\":\"" +
            std::string(
                "HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\acme") +
            "\",\"keys\":[{\"path\":\"HKEY_LOCAL_"
            "MACHINE\\\\SOFTWARE\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Acme\",\"values\":["
            "{\"name\":\"DisplayName\",\"data\":\"\\\"Acme "
            "Editor\\\"\"},{\"name\":\"Blob\",\"data\":\"hex:01,02,\\\\\\n  03,04\"},"
            "{\"name\":\"@\",\"data\":\"\\\"a \\\\\\\"quoted\\\\\\\" default\\\"\"}]},"
            "{\"path\":\"HKEY_LOCAL_"
            "MACHINE\\\\SOFTWARE\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Acme\\\\Deep\",\"values\":["
            "{\"name\":\"Level\",\"data\":\"dword:00000002\"}]}]}\n");
    r = Desk({"reg", "good.OVSupport", "HKCU", "--json"});  // the export's last key
    EXPECT_NE(r.out.find("{\"name\":\"Имя\",\"data\":\"\\\"значение\\\"\"}]}]}"), std::string::npos) << r.out;
    for (const bool json : {false, true}) {  // more than is held back: shown as it comes, all of it
        std::vector<std::string> args = {"reg", "good.OVSupport", "HKLM"};
        if (json)
            args.push_back("--json");
        const std::string whole = Desk(args).out;
        EXPECT_GT(whole.size(), 300u);
        EXPECT_EQ(Desk(args, 16).out, whole);
    }
    r = Desk({"reg", "good.OVSupport", "HKLM\\Software\\Nowhere"});
    EXPECT_EQ(r.code, kFindings);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "ovdesk: good.OVSupport: the registry export has no key HKEY_LOCAL_MACHINE\\Software\\Nowhere\n");
}

TEST_F(DeskTest, DiffNamesWhatChangedBetweenTwoSupportFilesInTheMachinesCodePage) {
    std::string changed = report;
    changed.replace(changed.find("\"Zeta Tools\""), 12, "\"Zeta Tools\"\r\n\"Caf\xE9\"");
    changed.replace(changed.find("pw.exe (Created : 3/15/2024 14:05:09 Size : 64kb)"), 49,
                    "pw.exe (Created : 3/15/2024 14:05:09 Size : 65kb)");
    changed.replace(changed.find("812.50 FREE"), 6, "700.00");
    changed.erase(changed.find("drivers (Created"), 55);
    std::u16string exported = kExport;
    exported.replace(exported.find(u"Acme Editor"), 11, u"Acme Editor 2");
    files["new.OVSupport"] = SupportFile(changed, Utf16(exported));
    Result r = Desk({"diff", "good.OVSupport", "new.OVSupport", "--reg", "HKLM\\SOFTWARE\\Microsoft"});
    EXPECT_EQ(r.code, kFindings) << r.err;
    EXPECT_EQ(r.out,
              "--- good.OVSupport\n+++ new.OVSupport\n"
              "drive: changed: C: free space: 812.50 MB -> 700.00 MB\n"
              "program: added: Caf\xD0\xB9\n"
              "system folder: removed: drivers\\ (120.56kb, created 3/15/2024 14:05:09)\n"
              "c:\\pwwin32: changed: pw.exe: 64kb, created 3/15/2024 14:05:09 -> 65kb, created 3/15/2024 14:05:09\n"
              "registry: changed: [HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme] "
              "\"DisplayName\": \"Acme Editor\" -> \"Acme Editor 2\"\n"
              "5 differences\n");
    r = Desk({"diff", "good.OVSupport", "new.OVSupport", "--codepage", "1252", "--json"});
    EXPECT_NE(
        r.out.find("{\"section\":\"program\",\"change\":\"added\",\"name\":\"Caf\xC3\xA9\",\"old\":null,\"new\":\"\"}"),
        std::string::npos)
        << r.out;
    std::string bare = report;
    files["bare.OVSupport"] = SupportFile(
        bare.erase(bare.find("Windows Version"), bare.find("Screen") - bare.find("Windows Version")), Utf16(kExport));
    r = Desk({"diff", "good.OVSupport", "bare.OVSupport"});
    EXPECT_EQ(r.out.substr(r.out.find('\n', r.out.find("+++")) + 1),
              "Windows: changed: version: Windows XP 5.1 (Build 2600) -> (none)\nbrowser: changed: version: Internet "
              "Explorer 6.0.2900 -> (none)\nprocessor: changed: type: Intel Pentium -> (none)\nmemory: changed: total "
              "KB: 2096576 -> (none)\n4 differences\n");
    r = Desk({"diff", "good.OVSupport", "good.OVSupport", "--reg", "HKCU"});
    EXPECT_EQ(r.code, kClean);
    EXPECT_EQ(r.out, "--- good.OVSupport\n+++ good.OVSupport\nno differences\n");
}

TEST_F(DeskTest, AFileThatCannotBeReadIsNamedWithWhatIsWrongAndGivesExitTwo) {
    std::vector<uint8_t> crc = files["good.OVSupport"];
    crc[30 + 13 + 40] ^= 0x55;  // inside the report's deflated data, after its local header and name
    files["crc.OVSupport"] = crc;
    files["junk.OVSupport"] = Bytes("This is no zip archive, just some text that arrived by mail.");
    files["other.zip"] = Pack({{"readme.txt", Bytes("hello")}});
    files["text.OVSupport"] = Pack({{"ovsupport.txt", Bytes("just a note\r\n")}, {"regbackup.reg", Utf16(kExport)}});
    files["noexport.OVSupport"] = Pack({{"ovsupport.txt", Bytes(report)}});
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"show", "missing.OVSupport"}, "ovdesk: cannot open missing.OVSupport for reading: No such file\n"},
        {{"show", "junk.OVSupport"}, "the archive junk.OVSupport cannot be read"},
        {{"show", "crc.OVSupport"}, "ovdesk: crc.OVSupport: "},
        {{"show", "other.zip"}, "ovdesk: other.zip: holds no support report (ovsupport.txt)\n"},
        {{"show", "text.OVSupport"}, "ovdesk: text.OVSupport: its ovsupport.txt is not a support report\n"},
        {{"reg", "noexport.OVSupport", "HKLM"},
         "ovdesk: noexport.OVSupport: holds no registry export (regbackup.reg)\n"},
        {{"diff", "good.OVSupport", "junk.OVSupport"}, "the archive junk.OVSupport cannot be read"},
        {{"show"}, "ovdesk: show takes one file\n"},
        {{"frobnicate", "x"}, "ovdesk: unknown command frobnicate\n"},
        {{"reg", "a", "b", "--depth", "two"}, "ovdesk: --depth needs a whole number, not \"two\"\n"},
        {{"show", "a", "--codepage", "4242"}, "ovdesk: code page 4242 is not known on this system\n"},
        {{"show", "a", "--reg", "HKLM"}, "ovdesk: --reg goes with diff\n"},
    };
    for (const auto& [args, message] : cases) {
        const Result r = Desk(args);
        EXPECT_EQ(r.code, kUnreadable) << args[0];
        EXPECT_EQ(r.out, "") << "no half result: " << args[0];
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    }
    for (const char* command : {"show", "reg", "diff"}) {
        const Result help = Desk({command, "--help"});
        EXPECT_EQ(help.code, kClean);
        EXPECT_TRUE(help.out.starts_with(std::string("usage: ovdesk ") + command)) << help.out;
    }
    EXPECT_TRUE(Desk({"--help"}).out.starts_with("usage: ovdesk COMMAND"));
}

}  // namespace
}  // namespace ost::desk
