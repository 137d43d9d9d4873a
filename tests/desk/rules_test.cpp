// The desk's rules: rules files read and linted with the places of their problems, checked on
// support files made in memory (fired, not fired with the condition that failed, undecidable with
// why), and run on their fixtures.
#include <gtest/gtest.h>

#include "desk/rule_check.h"
#include "desk/rules.h"
#include "desk_test_util.h"

namespace ost::desk::test {
namespace {

using nlohmann::json;

class RulesTest : public DeskTest {
  protected:
    Result Check(const std::string& rules, std::vector<std::string> args) {
        Add("/r.toml", Bytes(rules));
        args.insert(args.begin(), "check");
        args.insert(args.end(), {"--rules", "/r.toml"});
        return Desk(args);
    }
    // The outcome of each rule of the file `rules` on the support file `file`, as --json gives it.
    std::map<std::string, std::string> Outcomes(const std::string& rules, const std::string& file) {
        std::map<std::string, std::string> out;
        const json j = Check(rules, {file, "--json"}).Json()["files"][0];
        for (const json& f : j["findings"])
            out[f["rule"].get<std::string>()] += f["message"].get<std::string>() + ";";
        for (const json& n : j["notChecked"])
            out[n["rule"].get<std::string>()] = n["outcome"].get<std::string>() + ": " + n["why"].get<std::string>();
        return out;
    }
    static std::string Rule(const std::string& id, const std::string& when, const std::string& message = "m",
                            const std::string& severity = "warning") {
        return "[[rule]]\nid = \"" + id + "\"\ntitle = \"t\"\nseverity = \"" + severity + "\"\nmessage = \"" + message +
               "\"\nwhen = " + when + "\n";
    }
};

TEST_F(RulesTest, LintNamesEachProblemWithItsLineAndColumn) {
    Add("/bad.toml", Bytes("[[rule]]\nid = \"X 1\"\ntitle = \"t\"\nseverity = \"severe\"\nmessage = \"{drive.lettr}\"\n"
                           "links = [\"javascript:alert(1)\"]\n"
                           "when.all = [\n"
                           "  { drive = { letter = \"C\", free = \"< 10\", free_mb = \"< abc\" } },\n"
                           "  { program = { name = \"[abc\", version = \"> x\" } },\n"
                           "  { registry = { key = 'HKXX\\Software', data = \"< abc\" } },\n"
                           "  { registry = { key = 'HKLM\\Soft*ware' } },\n"
                           "  { system = { windows64 = \"maybe\", build = \"7601\" } },\n"
                           "  { drive = { letter = 3 } }, { gadget = {} }, { all = [] },\n"
                           "]\nbogus = 1\n"));
    const Result r = Desk({"rules", "lint", "/bad.toml"});
    EXPECT_EQ(r.code, kFindings) << r.err;
    for (const char* line : {"/bad.toml:2:6: an id is made", "/bad.toml:4:12: severity must be", "/bad.toml:6:10: a link must",
                             "/bad.toml:8:29: unknown field \"free\" of drive", "/bad.toml:8:54: the free_mb is a number",
                             "/bad.toml:9:24: the pattern \"[abc\" has a '['", "/bad.toml:9:42: the version is a version",
                             "/bad.toml:10:48: \"abc\" cannot be compared with <", "/bad.toml:10:18: the key \"HKXX\\Software\" does not start",
                             "/bad.toml:11:18: the key \"HKLM\\Soft*ware\" is not a key path", "/bad.toml:12:28: the windows64 is true or false",
                             "/bad.toml:13:24: the letter of drive is not a number", "/bad.toml:13:33: unknown condition \"gadget\"",
                             "/bad.toml:13:56: all must be an array of one or more", "/bad.toml:5:11: the message names {drive.lettr}",
                             "/bad.toml:15:1: unknown field \"bogus\"", "/bad.toml: 0 rules read, 16 problems"})
        EXPECT_NE(r.out.find(std::string(line)), std::string::npos) << line << "\n" << r.out;
    // A rules file that does not read is no check at all: exit 2, with its problems.
    const Result c = Desk({"check", "good.OVSupport", "--rules", "/bad.toml"});
    EXPECT_EQ(c.code, kUnreadable);
    EXPECT_NE(c.err.find("/bad.toml has 16 problems"), std::string::npos) << c.err;
    Add("/array.toml", Bytes(Rule("A", "{ drive = { letter = ['C'] } }")));
    EXPECT_NE(Desk({"rules", "lint", "/array.toml"}).out.find("/array.toml:6:29: a test is a string, a number or true/false"),
              std::string::npos) << Desk({"rules", "lint", "/array.toml"}).out;
    for (const char* syntax : {"[[rule]\n", "[[#\n", "a.=1\n"}) {
        Add("/syntax.toml", Bytes(syntax));
        EXPECT_NE(Desk({"rules", "lint", "/syntax.toml"}).out.find("/syntax.toml:1:"), std::string::npos) << syntax;
    }
    EXPECT_EQ(Desk({"rules", "lint", "/none.toml"}).code, kUnreadable);
    // Two rules of one id: the second is the problem.
    const std::string twice = Rule("A", "{ drive = {} }") + Rule("A", "{ drive = {} }");
    Add("/twice.toml", Bytes(twice));
    EXPECT_NE(Desk({"rules", "lint", "/twice.toml"}).out.find("the id A is used by an earlier rule"), std::string::npos);
    for (const char* hex : {"0x1g", "0x"}) {
        Add("/hex.toml", Bytes(Rule("H", std::string("{ drive = { total_mb = '") + hex + "' } }")));
        EXPECT_NE(Desk({"rules", "lint", "/hex.toml"}).out.find("the total_mb is a number: \"" + std::string(hex) + "\" is not one"),
                  std::string::npos) << hex;
    }
    for (const char* date : {"2024-13-01", "2024-00-10", "2024-02-32", "2024-02-00", "2024-1x-01", "20x4-01-01", "2024-01-0x"}) {
        Add("/date.toml", Bytes(Rule("D", std::string("{ program = { installed = '< ") + date + "' } }")));
        EXPECT_NE(Desk({"rules", "lint", "/date.toml"}).out.find("the installed is a date, written YYYY-MM-DD: \"" + std::string(date)),
                  std::string::npos) << date;
    }
}

TEST_F(RulesTest, EachKindOfConditionTestsTypedValuesOfTheSupportFile) {
    const std::string rules =
        Rule("VER", "{ all = [ { program = { name = 'acme*', version = '>= 2.1, < 2.10', from = 'HKLM' } }, "
                    "{ drive = { letter = 'C', free_mb = '< 1024', file_system = 'NTFS' } } ] }",
             "{program.name} {program.version} on {drive.letter}: {drive.free_mb} MB") +
        Rule("OLDVER", "{ program = { name = 'Acme Editor', version = '< 2.1' } }") +
        Rule("REPORTONLY", "{ program = { name = 'Zeta*', from = 'report' } }", "{program.name} from {program.from}") +
        Rule("SYS", "{ system = { windows = 'Windows XP', version = '5.1', build = '< 2601', memory_kb = '> 2000000', "
                    "screen_width = 1024, code_page = 1251 } }", "{system.build}") +
        Rule("DWORD", "{ registry = { key = 'HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\*\\Deep', "
                      "value = 'level', data = '>= 2, < 3' } }", "{registry.key} {registry.data}") +
        Rule("SZVER", "{ registry = { key = 'HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme', "
                      "value = 'DisplayVersion', data = '> 2.0.9' } }", "{registry.value}={registry.data}") +
        Rule("DEFAULT", "{ registry = { key = 'HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme', "
                        "value = '(Default)', data = '*quoted*' } }") +
        Rule("KEY", "{ registry = { key = 'HKCU\\Software\\кириллица' } }", "{registry.key}") +
        Rule("NOKEY", "{ not = { registry = { key = 'HKLM\\SOFTWARE\\Pebblework' } } }", "none") +
        Rule("BLOB", "{ registry = { key = 'HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme', "
                     "value = 'Blob', data = '< 3' } }") +
        Rule("FILES", "{ file = { folder = 'windows', kind = 'file', name = '*.bin', size = '> 1000000', created = '< 2011-01-01' } }",
             "{file.name} {file.created}") +
        Rule("ANY", "{ any = [ { drive = { letter = 'Q' } }, { drive = { type = 'CD-ROM' } } ] }", "{drive.letter}") +
        Rule("NOT", "{ not = { drive = { letter = 'C' } } }");
    const auto o = Outcomes(rules, "good.OVSupport");
    EXPECT_EQ(o.at("VER"), "Acme Editor 2.1 on C: 812.50 MB;");
    EXPECT_FALSE(o.contains("OLDVER"));
    EXPECT_EQ(o.at("REPORTONLY"), "Zeta Tools from report;");
    EXPECT_EQ(o.at("SYS"), "2600;");
    EXPECT_EQ(o.at("DWORD"), "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme\\Deep 2 (0x00000002);");
    EXPECT_EQ(o.at("SZVER"), "DisplayVersion=2.1;");
    EXPECT_EQ(o.at("DEFAULT"), "m;");
    EXPECT_EQ(o.at("KEY"), "HKEY_CURRENT_USER\\Software\\Кириллица;");
    EXPECT_EQ(o.at("NOKEY"), "none;");
    EXPECT_EQ(o.at("BLOB"), "error: REG_BINARY data \"01 02 03 04\" cannot be compared with < 3");
    EXPECT_EQ(o.at("FILES"), "mega.bin 7/1/2010 9:30:00;");  // in 2010 whichever way 7/1/2010 reads
    EXPECT_EQ(o.at("ANY"), "D;");
    EXPECT_FALSE(o.contains("NOT"));
    // A date that reads two ways is decided by the user's short date format, and only by it.
    const std::string early = Rule("EARLY", "{ file = { name = 'mega.bin', created = '< 2010-02-01' } }");
    EXPECT_EQ(Outcomes(early, "good.OVSupport").at("EARLY"),
              "not applicable: the date \"7/1/2010 9:30:00\" can be read more than one way, and the export gives no short date format");
    Add("dmy.OVSupport", SupportFile(report, Utf16(kExport + u"[HKEY_CURRENT_USER\\Control Panel\\International]\r\n"
                                                             u"\"sShortDate\"=\"dd.MM.yyyy\"\r\n\r\n")));
    EXPECT_EQ(Outcomes(early, "dmy.OVSupport").at("EARLY"), "m;");
    // Without HKCU (Wine's exports have none), the users' own under HKU, when they agree.
    const std::u16string user = u"[HKEY_USERS\\S-1-5-21-1-2-3-1001\\Control Panel\\International]\r\n\"sShortDate\"=\"";
    Add("hku.OVSupport", SupportFile(report, Utf16(kExport + user + u"d/M/yyyy\"\r\n\r\n")));
    EXPECT_EQ(Outcomes(early, "hku.OVSupport").at("EARLY"), "m;");
    Add("two.OVSupport", SupportFile(report, Utf16(kExport + user + u"d/M/yyyy\"\r\n\r\n" +
                                                   u"[HKEY_USERS\\S-1-5-21-1-2-3-1002\\Control Panel\\International]\r\n"
                                                   u"\"sShortDate\"=\"M/d/yyyy\"\r\n\r\n")));
    EXPECT_NE(Outcomes(early, "two.OVSupport").at("EARLY").find("not applicable"), std::string::npos);
}

TEST_F(RulesTest, DataOfEveryTypeAndRulesOfSeveralFilesMatchTheirOwnValues) {
    Add("typed.OVSupport",
        SupportFile(report, Utf16(kExport + u"[HKEY_CURRENT_USER\\Software\\Pebblework]\r\n"
                                            u"\"Recent\"=hex(7):61,00,2e,00,70,00,62,00,77,00,00,00,62,00,00,00,00,00\r\n"
                                            u"\"Big\"=hex(b):00,00,00,00,01,00,00,00\r\n"
                                            u"\"Mask\"=dword:0000001f\r\n\"Odd\"=hex(7):61\r\n\"Pair\"=\"x,y\"\r\n\r\n")));
    const std::string pw = "{ registry = { key = 'HKCU\\Software\\Pebblework', ";
    Add("/a.toml", Bytes(Rule("LIST", pw + "value = 'Recent', data = '*.pbw' } }", "{registry.data}") +
                         Rule("NOTLIST", pw + "value = 'Recent', data = '!= b' } }")));
    Add("/b.toml", Bytes(Rule("QWORD", pw + "value = 'Big', data = '> 4294967295' } }", "{registry.data}") +
                         Rule("HEX", pw + "value = 'Mask', data = 0x1f } }") + Rule("DEC", pw + "value = 'Mask', data = '!= 31' } }") +
                         Rule("ODD", pw + "value = 'Odd', data = 'a' } }") +
                         Rule("PAIR", pw + "value = 'Pair', data = 'x,y' } }") +
                         Rule("DWVER", pw + "value = 'Mask', data = '< 4.10.2' } }") +
                         Rule("DATE", "{ program = { name = 'Acme*', installed = '>= 2024-03-15, < 2024-03-16' } }")));
    const json j = Desk({"check", "typed.OVSupport", "--rules", "/a.toml", "--rules", "/b.toml", "--json"}).Json()["files"][0];
    std::map<std::string, std::string> o;
    for (const json& f : j["findings"])
        o[f["rule"].get<std::string>()] = f["message"].get<std::string>();
    for (const json& n : j["notChecked"])
        o[n["rule"].get<std::string>()] = n["outcome"].get<std::string>() + ": " + n["why"].get<std::string>();
    EXPECT_EQ(o["LIST"], "[\"a.pbw\", \"b\"]");
    EXPECT_FALSE(o.contains("NOTLIST")) << "b is one of its items";
    EXPECT_EQ(o["QWORD"], "4294967296 (0x0000000100000000)");
    EXPECT_EQ(o["HEX"], "m");
    EXPECT_FALSE(o.contains("DEC"));
    EXPECT_EQ(o["ODD"], "error: the data of Odd cannot be read");
    EXPECT_EQ(o["PAIR"], "m") << "a comma is part of a pattern";
    EXPECT_EQ(o["DWVER"], "error: REG_DWORD data \"31\" cannot be compared with < 4.10.2");
    EXPECT_EQ(o["DATE"], "m");
    // What is kept is bounded: past 10000 values, a condition that matched none is not decided.
    std::u16string many = u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Many]\r\n";
    for (int i = 0; i <= 10000; ++i)
        for (const char c : "\"v" + std::to_string(i) + "\"=dword:00000001\r\n")
            if (c != 0)
                many += static_cast<char16_t>(c);
    Add("many.OVSupport", SupportFile(report, Utf16(kExport + many + u"\r\n")));
    const std::string manyRules = Rule("NONE", "{ registry = { key = 'HKLM\\SOFTWARE\\Many', value = 'v*', data = 2 } }") +
                                  Rule("ONE", "{ registry = { key = 'HKLM\\SOFTWARE\\Many', value = 'v9999', data = 1 } }");
    const auto m = Outcomes(manyRules, "many.OVSupport");
    EXPECT_EQ(m.at("NONE"), "not applicable: more than 10000 values match, and the rest were not kept");
    EXPECT_EQ(m.at("ONE"), "m;");
}

TEST_F(RulesTest, WhatTheFileCannotTellLeavesARuleNotCheckedNeverNotFired) {
    const std::string rules = Rule("LOW", "{ drive = { total_mb = '> 0', free_percent = '< 50' } }") +
                              Rule("PROG", "{ not = { program = { name = 'Pebblework*' } } }") +
                              Rule("REG", "{ registry = { key = 'HKLM\\SOFTWARE\\Pebblework', value = 'x' } }") +
                              Rule("SEEN", "{ any = [ { drive = { letter = 'C' } }, { registry = { key = 'HKLM\\X', value = 'y' } } ] }");
    const size_t drives = report.find("--------------------------\r\nAdd/Remove");
    const std::vector<uint8_t> exported = Utf16(kExport);
    Add("cut.OVSupport", SupportFile(report.substr(0, report.find("D -  :")), {exported.begin(), exported.end() - 9}));
    Add("gap.OVSupport", SupportFile(report.substr(0, drives), exported));
    auto o = Outcomes(rules, "cut.OVSupport");
    EXPECT_EQ(o.at("LOW"), "not applicable: the report's drive list is cut short");
    EXPECT_EQ(o.at("PROG"), "not applicable: the report's program list is cut short");
    EXPECT_EQ(o.at("REG"), "not applicable: the registry export was not read whole");
    EXPECT_EQ(o.at("OV-WOW64"), "not applicable: the registry export was not read whole") << "64-bit Windows may be in what is missing";
    EXPECT_EQ(o.at("SEEN"), "m;") << "a match needs no whole file";
    // A file in c:\pwwin32: not there when a whole report lists no such folder; unknown when it is cut.
    const std::string pebblework = Rule("PWFILE", "{ file = { folder = 'pebblework', name = 'pw.exe' } }");
    std::string noFolder = report.substr(0, report.find("--------------------------\r\nPebblework"));
    Add("nofolder.OVSupport", SupportFile(noFolder, exported));
    Add("cutfolder.OVSupport", SupportFile(report.substr(0, report.find("pw.exe")), exported));
    EXPECT_EQ(Outcomes(pebblework, "good.OVSupport").at("PWFILE"), "m;");
    EXPECT_FALSE(Outcomes(pebblework, "nofolder.OVSupport").contains("PWFILE"));
    EXPECT_EQ(Outcomes(pebblework, "cutfolder.OVSupport").at("PWFILE"),
              "not applicable: the report's pebblework listing is cut short or missing");
    EXPECT_EQ(Outcomes(Rule("WINFILE", "{ file = { folder = 'windows', name = 'none.txt' } }"), "gap.OVSupport").at("WINFILE"),
              "not applicable: the report's windows listing is cut short or missing");
    // Unknown and false is unknown in any; unknown and true is true; not unknown is unknown.
    const std::string logic = Rule("ANYU", "{ any = [ { drive = { letter = 'C' , free_mb = '< 1' } }, { drive = { letter = 'Q' } } ] }") +
                              Rule("NOTU", "{ not = { program = { name = 'Q*' } } }") +
                              Rule("ALLF", "{ all = [ { registry = { key = 'HKLM\\X', value = 'y' } }, { drive = { letter = 'Q' } } ] }") +
                              Rule("ALLFALSE", "{ all = [ { registry = { key = 'HKLM\\X', value = 'y' } }, { system = { windows = '*95' } } ] }");
    o = Outcomes(logic, "cut.OVSupport");
    EXPECT_EQ(o.at("ANYU"), "not applicable: the report's drive list is cut short");
    EXPECT_EQ(o.at("NOTU"), "not applicable: the report's program list is cut short");
    EXPECT_EQ(o.at("ALLF"), "not applicable: the registry export was not read whole; the report's drive list is cut short");
    EXPECT_FALSE(o.contains("ALLFALSE")) << "false whatever the export holds";
    o = Outcomes(rules, "good.OVSupport");
    EXPECT_EQ(o.at("PROG"), "m;");
    EXPECT_FALSE(o.contains("LOW"));
    EXPECT_FALSE(o.contains("REG"));
    // Exit codes: a warning that fired gives 1, an info alone 0, a file that cannot be read 2.
    const std::string info = Rule("I", "{ drive = { letter = 'C' } }", "m", "info");
    EXPECT_EQ(Check(info, {"good.OVSupport"}).code, kClean);
    EXPECT_EQ(Check(rules, {"good.OVSupport"}).code, kFindings);
    const Result two = Check(info, {"good.OVSupport", "missing.OVSupport"});
    EXPECT_EQ(two.code, kUnreadable);
    EXPECT_NE(two.out.find("good.OVSupport: 1 finding (1 info)\ninfo: I: m\n"), std::string::npos) << two.out;
    EXPECT_NE(two.out.find("missing.OVSupport: cannot be read"), std::string::npos) << two.out;
}

TEST_F(RulesTest, CheckShowsFindingsMostSevereFirstAndExplainTellsWhy) {
    const std::string rules = Rule("W", "{ drive = { letter = 'C' } }", "drive {drive.letter}: {drive.name}") +
                              "links = ['https://kb.example/W']\n" +
                              Rule("C", "{ program = { name = 'Zeta*' } }", "{program.name}", "critical") +
                              Rule("N", "{ all = [ { drive = { letter = 'C' } }, { drive = { letter = 'C', free_mb = '< 100' } } ] }");
    Result r = Check(rules, {"good.OVSupport"});
    EXPECT_EQ(r.out,
              "good.OVSupport: 2 findings (1 critical, 1 warning)\n"
              "critical: C: Zeta Tools\n    t\n"
              "warning: W: drive C: SYSTEM\n    t\n    https://kb.example/W\n");
    r = Check(rules, {"good.OVSupport", "--explain", "N"});
    EXPECT_EQ(r.code, kClean);
    EXPECT_NE(r.out.find("good.OVSupport: not fired: drive { letter = \"C\", free_mb = \"< 100\" } (/r.toml:") , std::string::npos) << r.out;
    EXPECT_NE(r.out.find("is false: no drive matches (2 read): C: free_mb is 812.50; D: letter is \"D\""), std::string::npos) << r.out;
    // A registry condition that did not fire says whether its key was there at all.
    const std::string reg = Rule("R1", "{ registry = { key = 'HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme', "
                                       "value = 'DisplayVersion', data = '> 3' } }") +
                            Rule("R2", "{ registry = { key = 'HKLM\\SOFTWARE\\Nowhere', value = 'x' } }");
    EXPECT_NE(Check(reg, {"good.OVSupport", "--explain", "R1"}).out.find("no value matches (1 read): DisplayVersion: data is 2.1 (1 key matches the path)"),
              std::string::npos) << Check(reg, {"good.OVSupport", "--explain", "R1"}).out;
    EXPECT_NE(Check(reg, {"good.OVSupport", "--explain", "R2"}).out.find("is false: there is no value\n"), std::string::npos)
        << Check(reg, {"good.OVSupport", "--explain", "R2"}).out;
    r = Check(rules, {"good.OVSupport", "--explain", "W"});
    EXPECT_EQ(r.code, kFindings);
    EXPECT_NE(r.out.find("good.OVSupport: fired\n  drive C: SYSTEM\n    drive.letter = C\n    drive.name = SYSTEM\n"), std::string::npos) << r.out;
    EXPECT_EQ(Check(rules, {"good.OVSupport", "--explain", "NOPE"}).code, kUnreadable);
    json e = Check(rules, {"good.OVSupport", "--explain", "W", "--json"}).Json();
    EXPECT_EQ(e["files"][0]["outcome"], "fired");
    EXPECT_TRUE(e["files"][0]["why"].is_null());
    e = Check(rules, {"good.OVSupport", "--explain", "N", "--json"}).Json();
    EXPECT_EQ(e["files"][0]["outcome"], "not fired");
    EXPECT_NE(e["files"][0]["why"].get<std::string>().find("no drive matches"), std::string::npos);
    const json j = Check(rules, {"good.OVSupport", "--json"}).Json();
    EXPECT_EQ(j["files"][0]["findings"][1]["values"]["drive.name"], "SYSTEM");
    EXPECT_EQ(j["files"][0]["findings"][1]["links"][0], "https://kb.example/W");
    // The page of --html holds the same findings and facts, and replaces a file only with --force.
    auto page = [&] { const auto& b = files.Bytes("/p.html"); return std::string(b.begin(), b.end()); };
    EXPECT_EQ(Check(rules, {"good.OVSupport", "--html", "/p.html"}).code, kFindings);
    for (const char* text : {"Zeta Tools", "drive C: SYSTEM", "https://kb.example/W", "good.OVSupport: drives", "812.50",
                             "good.OVSupport: the machine", "Windows XP, 5.1 (Build 2600)", "c:\\pwwin32"})
        EXPECT_NE(page().find(text), std::string::npos) << text;
    r = Check(rules, {"good.OVSupport", "--html", "/p.html"});
    EXPECT_EQ(r.code, kUnreadable);
    EXPECT_NE(r.err.find("/p.html exists already; --force replaces it"), std::string::npos) << r.err;
    EXPECT_EQ(Desk({"show", "good.OVSupport", "--html", "/p.html", "--force"}).code, kClean);
    EXPECT_NE(page().find("No findings"), std::string::npos);
    EXPECT_NE(page().find("good.OVSupport: folder listings"), std::string::npos);
    EXPECT_EQ(Desk({"diff", "good.OVSupport", "low.OVSupport", "--html", "/p.html", "--force"}).code, kUnreadable);
    std::string low = report;
    low.replace(low.find("812.50"), 6, "95.38");
    Add("low.OVSupport", SupportFile(low, Utf16(kExport)));
    EXPECT_EQ(Desk({"diff", "good.OVSupport", "low.OVSupport", "--html", "/p.html", "--force"}).code, kFindings);
    EXPECT_NE(page().find("<td>drive</td><td>changed</td><td>C: free space</td><td>812.50 MB</td><td>95.38 MB</td>"), std::string::npos) << page();
}

TEST_F(RulesTest, RulesTestRunsEveryFixtureAndTheBuiltInRulesPassTheirs) {
    // The built-in rules, and README's worked example, with their fixture files.
    for (const char* file : {"src/desk/rules/builtin.toml", "src/desk/rules/fixtures/whole-report.txt", "docs/rules/example.toml",
                             "docs/rules/fixtures/pw410-small-c.txt"}) {
        std::ifstream in(std::string(OST_SOURCE_DIR) + "/" + file, std::ios::binary);
        Add(std::string("/") + file, Bytes(std::string(std::istreambuf_iterator<char>(in), {})));
    }
    Result r = Desk({"rules", "test", "/src/desk/rules/builtin.toml"});
    EXPECT_EQ(r.code, kClean) << r.out;
    EXPECT_NE(r.out.find("6 rules, 11 passed, 0 failed"), std::string::npos) << r.out;
    r = Desk({"rules", "test", "/docs/rules/example.toml"});
    EXPECT_EQ(r.out, "/docs/rules/example.toml: 1 rule, 2 passed, 0 failed\n");
    const std::string fixtures = Rule("F", "{ drive = { letter = 'C', free_mb = '< 100' } }", "C has {drive.free_mb}") +
                                 "[[rule.fixture]]\nfires = true\nmessage = 'C has 50.00'\nreport = '''\n"
                                 "Orlavent Software Support Tool System Report\n\n--------------------------\nDrive Listings\n"
                                 "--------------------------\nC - S : 50.00 FREE/100.00 TOTAL MB (NTFS Fixed) '1'\n\n'''\n"
                                 "[[rule.fixture]]\nfires = true\nmessage = 'C has 5'\nreport_file = 'r.txt'\n"
                                 "[[rule.fixture]]\nfires = false\nexport_file = 'e.reg'\n"
                                 "[[rule.fixture]]\nfires = true\nreport_file = 'missing.txt'\n" +
                                 Rule("G", "{ drive = { letter = 'C' } }");
    Add("/rules/f.toml", Bytes(fixtures));
    Add("/rules/e.reg", Utf16(u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_USERS\\x]\r\n\r\n"));
    Add("/rules/r.txt", Bytes("Orlavent Software Support Tool System Report\r\n\r\n--------------------------\r\nDrive "
                              "Listings\r\n--------------------------\r\nC - S : 5.00 FREE/100.00 TOTAL MB (NTFS Fixed) '1'\r\n\r\n"));
    r = Desk({"rules", "test", "/rules/f.toml"});
    EXPECT_EQ(r.code, kFindings);
    EXPECT_NE(r.out.find("FAIL F, fixture at /rules/f.toml:19:1: it fired with \"C has 5.00\", not with \"C has 5\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("FAIL F, fixture at /rules/f.toml:26:1: its files cannot be read"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("FAIL G (/rules/f.toml:29:1): the rule has no fixtures"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("2 rules, 2 passed, 3 failed"), std::string::npos) << r.out;
}

TEST(RuleValuesTest, VersionsAndListingDatesCompareAsTheirWritersMeantThem) {
    auto cmp = [](const char* a, const char* b) { return Version::Parse(a)->Compare(*Version::Parse(b)); };
    EXPECT_LT(cmp("4.9", "4.10"), 0);
    EXPECT_EQ(cmp("4.10", "4.10.0"), 0);
    EXPECT_GT(cmp("10.0.19041.1", "10.0.9200"), 0);
    EXPECT_LT(cmp("2.3a", "2.3b"), 0);
    EXPECT_LT(cmp("2.3", "2.3b"), 0);
    EXPECT_FALSE(Version::Parse("beta").has_value());
    EXPECT_EQ(ListingDate("15.03.2024 14:05:09", "dd.MM.yyyy"), 20240315);
    EXPECT_EQ(ListingDate("2024/03/05", std::nullopt), 20240305);
    EXPECT_EQ(ListingDate("3/5/24", "M/d/yy"), 20240305);
    EXPECT_EQ(ListingDate("3/5/31", "M/d/yy"), 19310305);
    EXPECT_EQ(ListingDate("13/5/2024", std::nullopt), 20240513);
    EXPECT_EQ(ListingDate("5/5/2024", std::nullopt), 20240505);
    EXPECT_EQ(ListingDate("12/31/2001", "M/d/yyyy"), 20011231);
    EXPECT_EQ(ListingDate("31.12.2001", "dd.MM.yyyy"), 20011231);
    EXPECT_FALSE(ListingDate("3/5/2024", std::nullopt));
    EXPECT_EQ(ListingDateReadings("3/5/2024 1:00:00", std::nullopt), (std::vector<int32_t>{20240305, 20240503}));
    EXPECT_FALSE(ListingDate("15-Mar-24", "dd-MMM-yy"));
    EXPECT_FALSE(ListingDate("13/13/2024", "M/d/yyyy"));
}

}  // namespace
}  // namespace ost::desk::test
