// ovdesk: the report read back from what the writer writes, and every command over support files
// made in memory, whole, cut and damaged.
#include <gtest/gtest.h>

#include <sstream>

#include "desk/code_page.h"
#include "desk/registry_export.h"
#include "desk/report_reader.h"
#include "desk_test_util.h"

namespace ost::desk::test {
namespace {

using nlohmann::json;

Report Read(std::string_view text, size_t piece = 1 << 20) {
    ReportReader reader(true);
    FeedInPieces(reader, text, piece);
    return reader.Finish();
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
        {without("Files\r\n------\r\n"), "8 lines are not in the report's form", true},  // files under no heading
        {"", "it is empty", false},
    };
    for (const auto& [text, problems, complete] : cases) {
        const Report r = Read(text, 5);
        EXPECT_EQ(Join(r.problems), problems) << text.substr(text.size() > 60 ? text.size() - 60 : 0);
        EXPECT_EQ(r.complete, complete);
    }
    // What a cut leaves whole: every section before the one it is in.
    const Report inPrograms = Read(cutAfter("\"Acme Editor\"\r\n"));
    EXPECT_TRUE(inPrograms.summaryWhole && inPrograms.drivesWhole);
    EXPECT_FALSE(inPrograms.programsWhole);
    EXPECT_TRUE(Read(cutAfter("Windows Dir Listing (C:\\WINDOWS)\r\n")).programsWhole);
    // The drive listing is whole at its closing empty line, not at its last drive.
    const Report inDrives = Read(cutAfter("(NTFS Fixed) '777'\r\n"));
    EXPECT_TRUE(inDrives.summaryWhole && inDrives.drivesListed);
    EXPECT_FALSE(inDrives.drivesWhole);
    EXPECT_TRUE(Read(cutAfter("(CDFS CD-ROM) '-5'\r\n\r\n")).drivesWhole);
    EXPECT_FALSE(Read(cutAfter("(CDFS CD-ROM) '-5'\r\n")).drivesWhole);
    // ... or at the next section's heading, when the empty line is missing.
    std::string unclosed = golden.substr(0, golden.find("\"Acme Editor\"\r\n"));
    EXPECT_TRUE(Read(unclosed.erase(unclosed.find("'-5'\r\n") + 6, 2)).drivesWhole);
    const Report inSummary = Read(cutAfter("IE Version : Internet Explorer 6.0.2900\r\n"));
    EXPECT_FALSE(inSummary.summaryWhole || inSummary.drivesListed);
    // Any one line of the summary is a summary.
    const std::string summaryLines = "Windows Version : Windows XP\r\n5.1 (Build 2600)\r\nIE Version : Internet "
                                     "Explorer 6.0.2900\r\nCPU : Intel Pentium\r\nFree Memory : 1523412\r\n";
    for (const char* kept : {"Windows Version", "IE Version", "Free Memory"}) {
        std::string one = golden;
        one.erase(one.find(summaryLines), summaryLines.size()).erase(one.find("Total Memory"), 24);
        const size_t at = summaryLines.find(kept);
        one.insert(one.find("Screen Resolution"), summaryLines.substr(at, summaryLines.find("\r\n", at) + 2 - at));
        const Report r = Read(one);
        EXPECT_TRUE(r.complete && r.problems.empty() && r.summaryWhole) << kept << ": " << Join(r.problems);
    }
    // A line longer than any report has is passed over, and the lines after it are read.
    std::string longLine = golden;
    longLine.insert(longLine.find("\"Zeta Tools\""), std::string(kMaxReportLine + 5, 'x') + "\r\n");
    const Report skipped = Read(longLine, 65536);
    EXPECT_EQ(Join(skipped.programs), "Acme Editor|Zeta Tools");
    EXPECT_EQ(Join(skipped.problems), "1 line is longer than 1 MB and not read");
    EXPECT_EQ(skipped.windows.files, 8u);
    EXPECT_EQ(Read(cutAfter("1.5kb)\r\n")).windows.files, 6u);
    EXPECT_EQ(SizeTextBytes("12 bytes").value_or(-1) + SizeTextBytes("1,5kb").value_or(-1), 12 + 1536);
    for (const char* bad : {"kb", "1.5 bytes", "x bytes", "1.2.3kb", "12", "1,23456kb"})
        EXPECT_FALSE(SizeTextBytes(bad)) << bad;
}

TEST(ReportReaderTest, DriveLinesGiveEachFieldWhateverTheNameTypeOrSeparator) {
    const Report r = Read(
        "Drive Listings\r\n--------------------------\r\n"
        "R -  : 1,13 FREE/2,38 TOTAL MB (NTFS RAM Disk) '777'\r\n"
        "N - \\\\srv\\a : b : 0.00 FREE/100.00 TOTAL MB (FAT32 Network) '-559038737'\r\n"
        "X - old : 0.50 FREE/1.00 TOTAL MB (UDF ) '0'\r\nA - \r\nQ - 5 FREE/6 TOTAL MB (NTFS Fixed) '1'\r\n"
        "F - f : x FREE/1.00 TOTAL MB (NTFS Fixed) '2'\r\nT - t : 1.00 FREE/y TOTAL MB (NTFS Fixed) '3'\r\n\r\n");
    std::string fields;
    for (const DriveLine& d : r.drives)
        fields += d.letter + (d.readable ? "" : "?") + "|" + d.name + "|" + d.fileSystem + "|" + d.type + "|" +
                  std::to_string(d.freeMegabytes).substr(0, 4) + "|" + std::to_string(d.totalMegabytes).substr(0, 5) +
                  "|" + d.serial + "\n";
    EXPECT_EQ(fields,
              "R||NTFS|RAM Disk|1.13|2.380|777\nN|\\\\srv\\a : b|FAT32|Network|0.00|100.0|-559038737\n"
              "X|old|UDF||0.50|1.000|0\nA?||||0.00|0.000|\n");
    EXPECT_EQ(r.unreadableLines, 3u) << "Q lacks its name's separator, F and T a number";
}

// The byte just before the archive's central directory: inside the last entry's data.
void Spoil(std::vector<uint8_t>& zip, size_t before) {
    const std::string central = "PK\x01\x02";
    const auto at = std::search(zip.begin(), zip.end(), central.begin(), central.end());
    *(at - static_cast<ptrdiff_t>(before)) ^= 0x55;
}

TEST_F(DeskTest, ShowGivesTheMachinesFactsAndWhatCouldNotBeReadInTextAndJson) {
    const std::string exportBytes = std::to_string(Utf16(kExport).size());
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
              "Registry export:  " + exportBytes + " bytes, 8 keys, complete\n"
              "Code page:        1251 (the registry export's ACP value)\n");
    json j = Desk({"show", "good.OVSupport", "--json"}).Json();
    EXPECT_EQ(j["schema"], 1);
    EXPECT_EQ(j["report"]["windows"], json({{"name", "Windows XP"}, {"version", "5.1"}, {"build", 2600}}));
    EXPECT_EQ(j["report"]["memory"], json({{"freeKB", 1523412}, {"totalKB", 2096576}}));
    EXPECT_EQ(j["report"]["screen"], json({{"width", 1024}, {"height", 768}}));
    EXPECT_EQ(j["report"]["drives"][0]["serial"], 777);
    EXPECT_EQ(j["report"]["drives"][1]["serial"], -5);
    EXPECT_DOUBLE_EQ(j["report"]["drives"][0]["freeMB"].get<double>(), 812.5);
    EXPECT_EQ(j["report"]["listings"]["windows"]["fileBytes"], 1053271);
    EXPECT_TRUE(j["report"]["listings"]["pebblework"]["complete"].get<bool>());
    EXPECT_EQ(j["registryExport"]["keys"], 8);
    EXPECT_EQ(j["programs"], json({{"total", 2}, {"inReport", 2}, {"onlyInExport", 0}}));
    EXPECT_EQ(j["warnings"], json::array());

    // One damaged entry hides only what it held.
    std::vector<uint8_t> spoiltExport = files.Bytes("good.OVSupport");
    Spoil(spoiltExport, 8);
    std::vector<uint8_t> spoiltReport = files.Bytes("good.OVSupport");
    spoiltReport[30 + 13 + 40] ^= 0x55;  // inside the report's deflated data, after its local header and name
    Add("export.OVSupport", spoiltExport);
    Add("report.OVSupport", spoiltReport);
    r = Desk({"show", "export.OVSupport"});
    EXPECT_EQ(r.code, kFindings);
    EXPECT_NE(r.out.find("(2 entries, 1 damaged)\nWindows:          Windows XP, version 5.1"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Registry export:  damaged: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Code page:        1252 (assumed: no registry export could be read)"), std::string::npos);
    EXPECT_NE(r.out.find("warning: the registry export is damaged: "), std::string::npos);
    r = Desk({"show", "report.OVSupport", "--json"});
    EXPECT_EQ(r.code, kFindings);
    EXPECT_TRUE(r.Json()["report"].is_null());
    EXPECT_TRUE(r.Json()["reportProblem"].get<std::string>().starts_with("damaged: ")) << r.out;
    EXPECT_EQ(r.Json()["registryExport"]["keys"], 8);

    // A 32-bit program's view of 64-bit Windows, said as such; the export's programs counted.
    std::string capped = report;
    capped.replace(capped.find("2096576"), 7, "2097152");
    std::u16string wow = kExport;
    wow += u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node]\r\n\r\n"
           u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Old]\r\n"
           u"\"DisplayName\"=\"Old Tool\"\r\n\r\n";
    Add("wow.OVSupport", SupportFile(capped, Utf16(wow)));
    r = Desk({"show", "wow.OVSupport"});
    EXPECT_EQ(r.code, kClean) << r.out;
    EXPECT_NE(r.out.find("Programs:         3 installed (2 in the report's list, 1 more in the registry export)"),
              std::string::npos);
    EXPECT_NE(r.out.find("note: the report comes from a 32-bit program on 64-bit Windows"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("note: the system folder's listing is the one a 32-bit program sees there"), std::string::npos);
    EXPECT_NE(r.out.find("note: memory figures at 2097152 KB are the 2 GB"), std::string::npos);
    EXPECT_EQ(Desk({"show", "good.OVSupport"}).out.find("note:"), std::string::npos);
    // Without a Wow6432Node, the current control set's PROCESSOR_ARCHITECTURE tells 64-bit Windows.
    const std::u16string environment = u"\\Control\\Session Manager\\Environment]\r\n";
    Add("amd64.OVSupport",
        SupportFile(report, Utf16(kExport + u"[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet" + environment +
                                  u"\"PROCESSOR_ARCHITECTURE\"=\"AMD64\"\r\n\"TEMP\"=\"x\"\r\n\r\n" +
                                  u"[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002" + environment +
                                  u"\"PROCESSOR_ARCHITECTURE\"=\"x86\"\r\n\r\n")));
    j = Desk({"show", "amd64.OVSupport", "--json"}).Json();
    EXPECT_EQ(j["registryExport"]["processorArchitecture"], "AMD64");
    EXPECT_FALSE(j["registryExport"]["wow6432Node"].get<bool>());
    r = Desk({"show", "amd64.OVSupport"});
    EXPECT_NE(r.out.find("note: the report comes from a 32-bit program"), std::string::npos);
    EXPECT_EQ(r.out.find("note: memory"), std::string::npos) << "2096576 KB is below the cap";
    // Without the current control set, a numbered one; x86 is 32-bit Windows.
    Add("x86.OVSupport", SupportFile(report, Utf16(kExport + u"[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001" +
                                                   environment + u"\"PROCESSOR_ARCHITECTURE\"=\"x86\"\r\n\r\n")));
    r = Desk({"show", "x86.OVSupport", "--json"});
    EXPECT_EQ(r.Json()["registryExport"]["processorArchitecture"], "x86");
    EXPECT_EQ(r.out.find("32-bit program"), std::string::npos);
    EXPECT_TRUE(Desk({"show", "good.OVSupport", "--json"}).Json()["registryExport"]["processorArchitecture"].is_null());

    std::string low = report;
    low.replace(low.find("812.50"), 6, "95.38");
    const size_t cut = report.find("k-and-half.bin");
    const std::vector<uint8_t> exported = Utf16(kExport);
    Add("low.OVSupport", SupportFile(low.substr(0, low.find("--------------------------\r\nPebblework")), exported));
    Add("cut.OVSupport", SupportFile(report.substr(0, cut), {exported.begin(), exported.end() - 9}));
    Add("utf8.OVSupport", SupportFile(report, Bytes("\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n")));
    Add("none.OVSupport", Pack({{"ovsupport.txt", Bytes(report)}, {"notes.txt", Bytes("x")}}));
    Add("text.OVSupport", Pack({{"ovsupport.txt", Bytes("just a note\r\n")}, {"regbackup.reg", exported}}));
    const std::pair<std::string, std::string> cases[] = {
        {"low.OVSupport",
         "warning: drive C: has 10.0 % free (95.38 of 953.86 MB)\nwarning: the report lists no c:\\pwwin32: the "
         "folder is not on the machine\n"},
        {"cut.OVSupport",
         "warning: the registry export is cut short in the middle of a line: its last key may lack values\nwarning: "
         "the report: it is cut short in the Windows folder's listing\nnot checked: OV-NO-PWWIN32: not applicable: the "
         "report is cut short before it would list c:\\pwwin32\n"},
        {"utf8.OVSupport", "warning: the registry export is in UTF-8, not in the registry editor's UTF-16LE\n"},
        {"none.OVSupport", "warning: the support file holds no registry export\n"},
        {"text.OVSupport",
         "warning: the report cannot be read: its ovsupport.txt is not a support report\nnot checked: OV-LOW-SPACE: not "
         "applicable: the report cannot be read\nnot checked: OV-NO-PWWIN32: not applicable: the report cannot be read\n"},
    };
    // Whole lines with a value that cannot be read in a key that show reads: an incomplete export.
    Add("badvalue.OVSupport", SupportFile(report, Utf16(kExport + u"[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet003" +
                                                        environment + u"not a value\r\n\r\n")));
    r = Desk({"show", "badvalue.OVSupport"});
    EXPECT_NE(r.out.find(" bytes, 9 keys, incomplete\n"), std::string::npos) << r.out;
    EXPECT_FALSE(Desk({"show", "badvalue.OVSupport", "--json"}).Json()["registryExport"]["complete"].get<bool>());
    EXPECT_TRUE(Desk({"show", "good.OVSupport", "--json"}).Json()["registryExport"]["complete"].get<bool>());
    for (const auto& [name, warnings] : cases) {
        r = Desk({"show", name});
        EXPECT_EQ(r.code, kFindings) << name;
        EXPECT_EQ(r.out.substr(r.out.find("warning:")), warnings) << name;
    }
}

TEST_F(DeskTest, RegPrintsAKeyTypedRawOrInJsonToTheDepthAskedFor) {
    const std::string uninstall = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    Result r = Desk({"reg", "good.OVSupport", "hklm\\software\\microsoft\\windows\\currentversion\\UNINSTALL\\", "--depth", "1"});
    EXPECT_EQ(r.code, kClean) << r.err;
    EXPECT_EQ(r.out, uninstall + "\n\n" + uninstall +
                         "\\Acme\n"
                         "    DisplayName    REG_SZ    Acme Editor\n"
                         "    DisplayVersion    REG_SZ    2.1\n"
                         "    InstallDate    REG_SZ    20240315\n"
                         "    Blob    REG_BINARY    01 02 03 04\n"
                         "    (Default)    REG_SZ    a \"quoted\" default\n");
    r = Desk({"reg", "good.OVSupport", uninstall + "\\acme\\deep", "--raw"});
    EXPECT_EQ(r.out, "Windows Registry Editor Version 5.00\n\n[" + uninstall + "\\Acme\\Deep]\n\"Level\"=dword:00000002\n");
    json j = Desk({"reg", "good.OVSupport", uninstall + "\\acme", "--json"}).Json();
    EXPECT_EQ(j["keys"].size(), 2u);
    EXPECT_EQ(j["keys"][0]["values"][3], json({{"name", "Blob"}, {"type", "REG_BINARY"}, {"value", "01020304"}}));
    EXPECT_EQ(j["keys"][0]["values"][4]["name"], "");
    EXPECT_EQ(j["keys"][1]["values"][0]["value"], 2);
    EXPECT_TRUE(j["complete"].get<bool>());
    for (const bool json : {false, true}) {  // more than is held back: shown as it comes, all of it
        std::vector<std::string> args = {"reg", "good.OVSupport", "HKLM"};
        if (json)
            args.push_back("--json");
        const std::string whole = Desk(args).out;
        EXPECT_GT(whole.size(), 300u);
        EXPECT_EQ(Desk(args, 16).out, whole);
    }
    // Names with '/', control characters shown escaped, and the default value apart from "@".
    Add("odd.OVSupport",
        SupportFile(report, Utf16(u"Windows Registry Editor Version 5.00\r\n\r\n"
                                  u"[HKEY_CLASSES_ROOT\\MIME\\Database\\Content Type\\text/html]\r\n"
                                  u"\"Ext\"=hex(1):61,00,1b,00,5b,00,00,00,62,00,00,00\r\n"
                                  u"\"@\"=\"named\"\r\n@=\"default\"\r\n")));
    r = Desk({"reg", "odd.OVSupport", "HKCR\\MIME\\Database\\Content Type\\text/html"});
    EXPECT_EQ(r.code, kClean) << r.err;
    EXPECT_EQ(r.out, "HKEY_CLASSES_ROOT\\MIME\\Database\\Content Type\\text/html\n"
                     "    Ext    REG_SZ    a\\x1b[\\x00b\n"
                     "    @    REG_SZ    named\n"
                     "    (Default)    REG_SZ    default\n");
    r = Desk({"reg", "good.OVSupport", "HKLM\\Software\\Nowhere"});
    EXPECT_EQ(r.code, kFindings);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "ovdesk: good.OVSupport: the registry export has no key HKEY_LOCAL_MACHINE\\Software\\Nowhere\n");
}

TEST_F(DeskTest, RegExportWritesAFileTheRegistryEditorImportsOnlyFromASoundExport) {
    const std::string acme = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme";
    Result r = Desk({"reg", "good.OVSupport", acme, "--export", "/out/acme.reg"});
    EXPECT_EQ(r.code, kClean) << r.err;
    EXPECT_EQ(r.out, "2 keys and 6 values written to /out/acme.reg\n");
    EXPECT_EQ(files.Bytes("/out/acme.reg"),
              Utf16(u"Windows Registry Editor Version 5.00\r\n\r\n[" + std::u16string(acme.begin(), acme.end()) +
                    u"]\r\n\"DisplayName\"=\"Acme Editor\"\r\n\"DisplayVersion\"=\"2.1\"\r\n\"InstallDate\"=\"20240315\"\r\n"
                    u"\"Blob\"=hex:01,02,03,04\r\n@=\"a \\\"quoted\\\" default\"\r\n\r\n[" +
                    std::u16string(acme.begin(), acme.end()) + u"\\Deep]\r\n\"Level\"=dword:00000002\r\n\r\n"));
    r = Desk({"reg", "good.OVSupport", acme, "--export", "/out/acme.reg"});
    EXPECT_EQ(r.code, kUnreadable);
    EXPECT_NE(r.err.find("/out/acme.reg exists already; --force replaces it"), std::string::npos);
    EXPECT_EQ(Desk({"reg", "good.OVSupport", "HKCU", "--export", "/out/acme.reg", "--force"}).code, kClean);
    EXPECT_EQ(files.Bytes("/out/acme.reg").size(), Utf16(u"Windows Registry Editor Version 5.00\r\n\r\n"
                                                         u"[HKEY_CURRENT_USER\\Software\\Кириллица]\r\n"
                                                         u"\"Имя\"=\"значение\"\r\n\r\n")
                                                       .size());
    // A value whose data cannot be read is left out, and said to be.
    Add("junk.OVSupport", SupportFile(report, Utf16(u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\J]\r\n"
                                                    u"\"ok\"=\"1\"\r\n\"junk\"=hex:0g\r\n\r\n")));
    r = Desk({"reg", "junk.OVSupport", "HKCU\\J", "--export", "/out/junk.reg"});
    EXPECT_EQ(r.code, kFindings);
    EXPECT_EQ(r.out, "1 key and 1 value written to /out/junk.reg\n");
    EXPECT_EQ(r.err, "ovdesk: warning: 1 value whose data cannot be read was left out of /out/junk.reg\n");
    EXPECT_EQ(files.Bytes("/out/junk.reg"), Utf16(u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\J]\r\n"
                                                  u"\"ok\"=\"1\"\r\n\r\n"));
    // A damaged export, or a key that is not there, leaves no file behind.
    std::vector<uint8_t> spoilt = files.Bytes("good.OVSupport");
    Spoil(spoilt, 8);
    Add("spoilt.OVSupport", spoilt);
    for (const auto& [name, key] : {std::pair<std::string, std::string>{"spoilt.OVSupport", "HKLM"}, {"good.OVSupport", "HKLM\\Nowhere"}}) {
        r = Desk({"reg", name, key, "--export", "/out/new.reg"});
        EXPECT_NE(r.code, kClean) << name;
        EXPECT_EQ(files.List("/out"), (std::vector<std::string>{"acme.reg", "junk.reg"})) << name;
    }
}

TEST_F(DeskTest, FindGivesTheKeysNamesAndDataThatMatchAPattern) {
    const std::string acme = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme";
    Result r = Desk({"find", "good.OVSupport", "ACME*"});
    EXPECT_EQ(r.code, kClean) << r.err;
    EXPECT_EQ(r.out, acme + "\n    DisplayName    REG_SZ    Acme Editor\n\n2 matches\n");
    r = Desk({"find", "good.OVSupport", "display*", "--names", "--max", "1"});
    EXPECT_EQ(r.out, acme + "\n    DisplayName    REG_SZ    Acme Editor\n\n1 match (stopped at --max 1)\n");
    EXPECT_EQ(Desk({"find", "good.OVSupport", "acme*", "--names"}).out, "no match\n");  // only a key and data match
    r = Desk({"find", "good.OVSupport", "0x2", "--data"});
    EXPECT_EQ(r.out, acme + "\\Deep\n    Level    REG_DWORD    2 (0x00000002)\n\n1 match\n");
    r = Desk({"find", "good.OVSupport", "HKLM\\*\\Uninstall\\*", "--keys", "--json"});
    json j = r.Json();
    EXPECT_EQ(j["hits"], json::array({{{"key", acme}, {"in", "key"}}, {{"key", acme + "\\Deep"}, {"in", "key"}}}));
    EXPECT_FALSE(j["stopped"].get<bool>());
    r = Desk({"find", "good.OVSupport", "Zeta*"});
    EXPECT_EQ(r.code, kFindings);
    EXPECT_EQ(r.out, "no match\n");
}

TEST_F(DeskTest, ProgramsAndFilesListWhatTheReportAndTheExportHold) {
    Result r = Desk({"programs", "good.OVSupport"});
    EXPECT_EQ(r.code, kClean) << r.err;
    EXPECT_EQ(r.out,
              "Name         Version  Publisher  Installed   Found in\n"
              "Acme Editor  2.1                 2024-03-15  report, HKLM\n"
              "Zeta Tools                                   report\n"
              "2 programs\n");
    std::u16string users = kExport;
    for (const char16_t* root : {u"HKEY_CURRENT_USER\\Software", u"HKEY_USERS\\S-1-5-21-7\\Software",
                                 u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node"}) {
        users += u"[";
        users += root;
        users += u"\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Mine]\r\n\"DisplayName\"=\"Mine\"\r\n"
                 u"\"Publisher\"=\"Me\"\r\n\r\n";
    }
    // A display name is a program's only as text, expandable text included.
    const std::u16string uninstall = u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    users += uninstall + u"Num]\r\n\"DisplayName\"=dword:00000001\r\n\r\n" + uninstall +
             u"Exp]\r\n\"DisplayName\"=hex(2):58,00,00,00\r\n\r\n";
    Add("users.OVSupport", SupportFile(report.substr(0, report.find("\"Zeta Tools\"")), Utf16(users)));
    r = Desk({"programs", "users.OVSupport", "--json"});
    EXPECT_EQ(r.code, kFindings) << "the report's list is cut short";
    json j = r.Json();
    ASSERT_EQ(j["programs"].size(), 3u) << r.out;
    EXPECT_EQ(j["programs"][2]["name"], "X");
    EXPECT_EQ(j["programs"][1]["sources"], json({"HKCU", "HKU\\S-1-5-21-7", "HKLM\\Wow6432Node"}));
    EXPECT_EQ(j["programs"][1]["version"], nullptr);
    EXPECT_FALSE(j["programs"][1]["inReport"].get<bool>());
    EXPECT_EQ(j["warnings"].size(), 1u);

    r = Desk({"files", "good.OVSupport", "pwwin32"});
    EXPECT_EQ(r.code, kClean) << r.err;
    EXPECT_EQ(r.out, "c:\\pwwin32 (Pebblework folder): 1 file, 0 folders\n  pw.exe  64kb  3/15/2024 14:05:09\n");
    json listed = Desk({"files", "good.OVSupport", "C:\\windows", "--name", "*.BIN", "--json"}).Json();
    ASSERT_EQ(listed["listings"].size(), 1u);
    json& entries = listed["listings"][0]["entries"];
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[2], json({{"name", "k-and-half.bin"}, {"folder", false}, {"size", "1.5kb"}, {"bytes", 1536},
                                {"bytesExact", false}, {"created", "3/15/2024 14:05:09"}}));
    EXPECT_EQ(Desk({"files", "good.OVSupport", "D:\\nowhere"}).code, kUnreadable);
    Add("nopw.OVSupport", SupportFile(report.substr(0, report.find("--------------------------\r\nPebblework")), Utf16(kExport)));
    r = Desk({"files", "nopw.OVSupport", "pwwin32", "--json"});
    EXPECT_EQ(r.code, kFindings);
    EXPECT_EQ(r.Json()["listings"], json::array({{{"listing", "pwwin32"}, {"path", nullptr}, {"complete", true}, {"entries", json::array()}}}));
}

TEST_F(DeskTest, DiffNamesWhatChangedAndNeverCountsWhatOneSideCouldNotHold) {
    std::string changed = report;
    changed.replace(changed.find("\"Zeta Tools\""), 12, "\"Zeta Tools\"\r\n\"Caf\xE9\"");
    changed.replace(changed.find("pw.exe (Created : 3/15/2024 14:05:09 Size : 64kb)"), 49,
                    "pw.exe (Created : 3/15/2024 14:05:09 Size : 65kb)");
    changed.replace(changed.find("812.50 FREE"), 6, "700.00");
    changed.replace(changed.find("(Build 2600)"), 12, "(Build 2601)");
    changed.replace(changed.find("Total Memory : 2096576"), 22, "Total Memory : 4193280");
    changed.erase(changed.find("drivers (Created"), 55);
    std::u16string exported = kExport;
    exported.replace(exported.find(u"Acme Editor"), 11, u"Acme Editor 2");
    exported.replace(exported.find(u"\"Blob\"=hex:01,02,\\\r\n  03,04"), 27, u"\"Blob\"=hex:01,02,03,04");
    Add("new.OVSupport", SupportFile(changed, Utf16(exported)));
    Result r = Desk({"diff", "good.OVSupport", "new.OVSupport", "--reg", "HKLM\\SOFTWARE\\Microsoft"});
    EXPECT_EQ(r.code, kFindings) << r.err;
    EXPECT_EQ(r.out,
              "--- good.OVSupport\n+++ new.OVSupport\n"
              "Windows: changed: version: Windows XP 5.1 (Build 2600) -> Windows XP 5.1 (Build 2601)\n"
              "memory: changed: total KB: 2096576 -> 4193280\n"
              "drive: changed: C: free space: 812.50 MB -> 700.00 MB\n"
              "program: added: Caf\xD0\xB9\n"
              "system folder: removed: drivers\\ (120.56kb, created 3/15/2024 14:05:09)\n"
              "c:\\pwwin32: changed: pw.exe: 64kb, created 3/15/2024 14:05:09 -> 65kb, created 3/15/2024 14:05:09\n"
              "registry: changed: [HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme] "
              "\"DisplayName\": REG_SZ Acme Editor -> REG_SZ Acme Editor 2\n"
              "7 differences\n");
    r = Desk({"diff", "good.OVSupport", "new.OVSupport", "--codepage", "1252", "--json"});
    EXPECT_EQ(r.Json()["changes"][3], json({{"section", "program"}, {"change", "added"}, {"name", "Caf\xC3\xA9"},
                                           {"old", nullptr}, {"new", ""}}));
    // Free space moves all the time: a change of 1 % of the drive or more is one.
    std::string hundred = report;
    hundred.replace(hundred.find("812.50 FREE/953.86"), 18, "50.00 FREE/100.00");
    Add("h.OVSupport", SupportFile(hundred, Utf16(kExport)));
    for (const auto& [free, changed] : {std::pair{"49.00", true}, std::pair{"49.01", false}}) {
        std::string moved = hundred;
        Add("m.OVSupport", SupportFile(moved.replace(moved.find("50.00 FREE"), 5, free), Utf16(kExport)));
        EXPECT_EQ(Desk({"diff", "h.OVSupport", "m.OVSupport"}).out.find("drive: changed: C: free space: 50.00 MB -> ") !=
                      std::string::npos,
                  changed)
            << free;
    }
    r = Desk({"diff", "good.OVSupport", "good.OVSupport", "--reg", "HKCU"});
    EXPECT_EQ(r.code, kClean);
    EXPECT_EQ(r.out, "--- good.OVSupport\n+++ good.OVSupport\nno differences\n");

    // A report cut short lacks what came after the cut: nothing of that is "removed".
    for (const char* at : {"k-and-half.bin", "\"Zeta Tools\"", "IE Version"}) {
        Add("cut.OVSupport", SupportFile(report.substr(0, report.find(at)), Utf16(kExport)));
        r = Desk({"diff", "good.OVSupport", "cut.OVSupport", "--json"});
        EXPECT_EQ(r.code, kFindings) << at;
        EXPECT_EQ(r.Json()["changes"], json::array()) << at << r.out;
        EXPECT_FALSE(r.Json()["notCompared"].empty()) << at;
        r = Desk({"diff", "cut.OVSupport", "good.OVSupport"});
        EXPECT_EQ(r.out.find("added"), std::string::npos) << at << r.out;
    }
    std::vector<uint8_t> spoilt = files.Bytes("good.OVSupport");
    spoilt[30 + 13 + 40] ^= 0x55;
    Add("spoilt.OVSupport", spoilt);
    r = Desk({"diff", "good.OVSupport", "spoilt.OVSupport", "--reg", "HKCU"});
    EXPECT_EQ(r.code, kFindings);
    EXPECT_NE(r.out.find("not compared: report: anything of the reports: the new support file's report cannot be read"),
              std::string::npos) << r.out;
    EXPECT_NE(r.out.find("no differences; 1 part not compared\n"), std::string::npos) << r.out;

    // "@" is a name like any other; the key's default value is another value.
    auto defaults = [&](const char16_t* named) {
        return SupportFile(report, Utf16(u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_USERS\\K]\r\n@=\"same\"\r\n\"@\"=\"" +
                                         std::u16string(named) + u"\"\r\n"));
    };
    Add("at1.OVSupport", defaults(u"one"));
    Add("at2.OVSupport", defaults(u"two"));
    r = Desk({"diff", "at1.OVSupport", "at2.OVSupport", "--reg", "HKU"});
    EXPECT_EQ(r.out.substr(r.out.find('\n', r.out.find("+++")) + 1),
              "registry: changed: [HKEY_USERS\\K] \"@\": REG_SZ one -> REG_SZ two\n1 difference\n");
}

TEST_F(DeskTest, ARegedit4ExportIsReadInItsOwnCodePageByEveryCommand) {
    // Windows 98's export in code page 932, which only its last key names.
    auto export932 = [](const std::string& value) {
        return Bytes("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\\x83\x65\x83\x58\x83\x67]\r\n\"\x96\xBC\x91\x4F\"=\"" +
                     value + "\"\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\J]\r\n"
                             "\"DisplayName\"=\"\x93\xFA\x96\x7B\"\r\n\r\n"
                             "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage]\r\n\"ACP\"=\"932\"\r\n\r\n");
    };
    Add("old.OVSupport", SupportFile(Golden("report_short_form.txt"), export932("\x92\x6C")));
    Add("older.OVSupport", SupportFile(Golden("report_short_form.txt"), export932("x")));
    Result r = Desk({"reg", "old.OVSupport", "HKCU\\Software\\テスト"});
    EXPECT_EQ(r.out, "HKEY_CURRENT_USER\\Software\\テスト\n    名前    REG_SZ    値\n") << r.err;
    EXPECT_EQ(Desk({"reg", "old.OVSupport", "HKCU\\Software\\テスト", "--codepage", "1252"}).code, kFindings)
        << "read in another code page, the key has another name";
    r = Desk({"find", "old.OVSupport", "値", "--data"});
    EXPECT_EQ(r.code, kClean);
    r = Desk({"programs", "old.OVSupport"});
    EXPECT_NE(r.out.find("日本"), std::string::npos) << r.out;
    r = Desk({"diff", "older.OVSupport", "old.OVSupport", "--reg", "HKCU"});
    EXPECT_NE(r.out.find("registry: changed: [HKEY_CURRENT_USER\\Software\\テスト] \"名前\": REG_SZ x -> REG_SZ 値"),
              std::string::npos) << r.out;
    r = Desk({"show", "old.OVSupport"});
    EXPECT_NE(r.out.find("Code page:        932 (the registry export's ACP value)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("(REGEDIT4)"), std::string::npos);
    // A program name of the report with an escape sequence in it reaches no terminal as one.
    std::string evil = report;
    evil.replace(evil.find("Zeta Tools"), 10, "Zeta\x1b[2J");
    Add("evil.OVSupport", SupportFile(evil, Utf16(kExport)));
    EXPECT_NE(Desk({"programs", "evil.OVSupport"}).out.find("Zeta\\x1b[2J"), std::string::npos);
}

TEST_F(DeskTest, AFileOrCommandLineThatCannotBeReadIsNamedWithWhatIsWrongAndGivesExitTwo) {
    Add("junk.OVSupport", Bytes("This is no zip archive, just some text that arrived by mail."));
    Add("other.zip", Pack({{"readme.txt", Bytes("hello")}}));
    Add("noexport.OVSupport", Pack({{"ovsupport.txt", Bytes(report)}}));
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"show", "missing.OVSupport"}, "ovdesk: cannot open missing.OVSupport for reading: not found\n"},
        {{"show", "junk.OVSupport"}, "the archive junk.OVSupport cannot be read"},
        {{"show", "other.zip"}, "ovdesk: other.zip: holds no support report (ovsupport.txt) and no registry export"},
        {{"reg", "noexport.OVSupport", "HKLM"}, "ovdesk: noexport.OVSupport: holds no registry export (regbackup.reg)\n"},
        {{"diff", "good.OVSupport", "junk.OVSupport"}, "the archive junk.OVSupport cannot be read"},
        {{"show"}, "FILE is required"},
        {{"frobnicate", "x"}, "frobnicate"},
        {{"reg", "a", "b", "--depth", "two"}, "two"},
        {{"show", "a", "--codepage", "4242"}, "ovdesk: code page 4242 is not known on this system\n"},
        {{"show", "a", "--reg", "HKLM"}, "--reg"},
        {{"reg", "a", "b", "--export", "x.reg", "--json"}, "--export writes a file: it goes with neither --json nor --raw"},
    };
    for (const auto& [args, message] : cases) {
        const Result r = Desk(args);
        EXPECT_EQ(r.code, kUnreadable) << args[0];
        EXPECT_EQ(r.out, "") << "no half result: " << args[0];
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    }
    // Every command takes --json and --codepage, and its JSON says which command made it.
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{{"show", "good.OVSupport"},
                                                                              {"reg", "good.OVSupport", "HKCU"},
                                                                              {"find", "good.OVSupport", "*"},
                                                                              {"programs", "good.OVSupport"},
                                                                              {"files", "good.OVSupport"},
                                                                              {"diff", "good.OVSupport", "good.OVSupport"}}) {
        args.insert(args.end(), {"--json", "--codepage", "1250"});
        const Result r = Desk(args);
        EXPECT_EQ(r.code, kClean) << args[0] << r.err;
        EXPECT_EQ(r.Json()["command"], args[0]);
    }
    for (const char* command : {"show", "reg", "find", "programs", "files", "diff"}) {
        const Result help = Desk({command, "--help"});
        EXPECT_EQ(help.code, kClean);
        EXPECT_NE(help.out.find(std::string("Usage: ovdesk ") + command), std::string::npos) << help.out;
        EXPECT_NE(help.out.find("exit status: 0 "), std::string::npos) << help.out;
        EXPECT_EQ(help.out.find("0 clean, 1 warnings"), std::string::npos) << "the command's own, not ovdesk's";
    }
    EXPECT_NE(Desk({"--help"}).out.find("Usage: ovdesk [OPTIONS] SUBCOMMAND"), std::string::npos);
    EXPECT_EQ(Desk({"--version"}).out, "ovdesk " OST_VERSION "\n");
}

}  // namespace
}  // namespace ost::desk::test
