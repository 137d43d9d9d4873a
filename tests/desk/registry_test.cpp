// The registry export read as a stream: its forms and pieces, its values with their types, their
// lines and their damage, the .reg text written back, and the patterns the desk searches with.
#include <gtest/gtest.h>

#include "desk/code_page.h"
#include "desk/glob.h"
#include "desk/registry_export.h"
#include "desk/text.h"
#include "desk_test_util.h"

namespace ost::desk::test {
namespace {

struct Scan {
    ExportFacts facts;
    std::vector<std::string> lines;  // "[key]" and "name=TYPE text" of the wanted keys
    std::vector<RegValue> values;
};

Scan ScanExport(const std::vector<uint8_t>& bytes, size_t piece, const std::string& top = "", AnsiDecoder ansi = {}) {
    Scan scan;
    ExportReader reader(
        {[&](const std::string& key) {
             const bool wanted = !top.empty() && DepthBelow(FoldName(key), FoldName(ExpandKeyPath(top))).has_value();
             if (wanted)
                 scan.lines.push_back("[" + key + "]");
             return wanted;
         },
         [&](const RegValue& v) {
             scan.lines.push_back(v.name + "=" + TypeName(v.type) + " " + ValueText(v));
             scan.values.push_back(v);
         }},
        std::move(ansi));
    FeedInPieces(reader, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), piece);
    scan.facts = reader.Finish();
    return scan;
}

TEST(ExportReaderTest, CountsKeysFindsTheCodePageAndHandsOutTheWantedKeysInEveryEncodingAndPiece) {
    const std::vector<uint8_t> good = Utf16(kExport);
    for (const size_t piece : {size_t{1}, size_t{3}, size_t{64}, good.size()}) {
        const Scan scan = ScanExport(good, piece, "hkcu\\software\\кИРИЛЛИЦА");
        EXPECT_EQ(scan.facts.keys, 8u);
        EXPECT_TRUE(scan.facts.wholeLines);
        EXPECT_TRUE(scan.facts.Problems().empty());
        EXPECT_EQ(scan.facts.ansiCodePage.value_or(0), 1251u) << "the current control set's, not ControlSet001's";
        EXPECT_EQ(Join(scan.lines), "[HKEY_CURRENT_USER\\Software\\Кириллица]|Имя=REG_SZ значение") << piece;
    }
    // The code page is one to five digits of a string value, and not 0.
    const std::string codePageKey = "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet002\\Control\\Nls\\CodePage]\r\n";
    const std::optional<uint32_t> none;
    for (const auto& [value, found] : std::vector<std::pair<std::string, std::optional<uint32_t>>>{
             {"\"65001\"", 65001}, {"\"1252", none}, {"\"\"", none}, {"\"0\"", none}, {"\"123456\"", none}, {"dword:000004e4", none}}) {
        const std::string text = codePageKey + "\"ACP\"=" + value + "\r\n";
        EXPECT_EQ(ScanExport(Bytes(text), 4096).facts.ansiCodePage, found) << value;
    }
    // Windows 98's export, read in the code page its caller names.
    const std::string ansi = "REGEDIT4\r\n\r\n[HKEY_USERS\\.DEFAULT\\\x83\x65\x83\x58\x83\x67]\r\n\"\x96\xBC\"=\"x\"\r\n";
    const Scan old = ScanExport(Bytes(ansi), 2, "HKU", [](std::string_view raw) { return CodePageToUtf8(932, raw); });
    EXPECT_EQ(old.facts.form, ExportFacts::Form::kAnsi);
    EXPECT_EQ(Join(old.lines), "[HKEY_USERS\\.DEFAULT\\テスト]|名=REG_SZ x");

    const std::string header = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_USERS]\r\n";
    const std::pair<std::vector<uint8_t>, std::string> unreadable[] = {
        {{}, "is empty"},
        {Bytes(header), "is in a single-byte code page, not in the registry editor's UTF-16LE"},
        {{0xEF, 0xBB, 0xBF, 'W'}, "is in UTF-8, not in the registry editor's UTF-16LE"},
        {{0xFE, 0xFF, 0, 'W'}, "is in UTF-16 big-endian, not in the registry editor's UTF-16LE"},
        {Utf16(u"REGEDIT4\r\n[HKEY_USERS]\r\n"), "does not begin with a registry export's header"},
        {{'P', 'K', 3, 4}, "does not begin with a registry export's header"},
        {{0xFF, 0xFE}, "holds no header line"},
        {{'\n', 'R'}, "does not begin with a registry export's header"},
    };
    for (const auto& [bytes, problem] : unreadable) {
        const ExportFacts facts = ScanExport(bytes, 1).facts;
        EXPECT_EQ(facts.problem, problem);
        EXPECT_EQ(facts.form, ExportFacts::Form::kUnreadable);
        EXPECT_EQ(facts.keys, 0u);
    }
    // Pairs of surrogates are one character; a lone one is no character. A 0x0A byte that is half
    // of a character (U+0A05, U+010A) ends no line.
    const Scan odd = ScanExport(
        Utf16(u"Windows Registry Editor Version 5.00\r\n[HKEY_USERS\\\xD83D\xDE00\xDC00\xD800\xE000\u0A05\u010A\u00E9\xDC01\uE000\xDC02]\r\n"), 3,
        "HKU");
    EXPECT_EQ(Join(odd.lines), "[HKEY_USERS\\😀\uFFFD\uFFFD\uE000\u0A05\u010Aé\uFFFD\uE000\uFFFD]");
    // Cut in the middle of a line, at a whole character and in the middle of one.
    for (const size_t cut : {size_t{10}, size_t{11}}) {
        const Scan scan = ScanExport({good.begin(), good.end() - static_cast<ptrdiff_t>(cut)}, 4096);
        EXPECT_FALSE(scan.facts.wholeLines) << cut;
        EXPECT_EQ(scan.facts.keys, 8u);
    }
}

TEST(ExportReaderTest, ValuesAreReadByTheirSyntaxAcrossLinesAndWhatCannotBeReadIsCounted) {
    const std::u16string text =
        u"Windows Registry Editor Version 5.00\r\n\r\n"
        u"[HKEY_CURRENT_USER\\Software\\Content Type\\text/html]\r\n"
        u"@=\"default\"\r\n"
        u"\"@\"=\"a value named @\"\r\n"
        u"\"We\\\"ird=x\"=\"v\"\r\n"
        u"\"Path\"=\"C:\\\\\"\r\n"
        u"\"Lines\"=\"one\r\ntwo\nthree\"\r\n"
        u"\"Wine\"=\"a\\nb\"\r\n"
        u"\"Wrapped\"=hex(7):61,00,00,00,\\\r\n  62,00,00,00,\\\r\n  00,00\r\n"
        u"\"Digits\"=dword:123456789\r\n"
        u"garbage\r\n"
        u"\"After\"=dword:0000002a\r\n"
        u"\"Open\"=\"never closed\r\n\r\n"
        u"[HKEY_CURRENT_USER\\Software\\Next]\r\n"
        u"\"Cut\"=hex:01,\\\r\n";
    const Scan scan = ScanExport(Utf16(text), 5, "HKCU");
    EXPECT_EQ(Join(scan.lines, "\n"),
              "[HKEY_CURRENT_USER\\Software\\Content Type\\text/html]\n"
              "=REG_SZ default\n"
              "@=REG_SZ a value named @\n"
              "We\"ird=x=REG_SZ v\n"
              "Path=REG_SZ C:\\\n"
              "Lines=REG_SZ one\r\ntwo\nthree\n"
              "Wine=REG_SZ a\nb\n"
              "Wrapped=REG_MULTI_SZ [\"a\", \"b\"]\n"
              "Digits=REG_DWORD (unreadable: its dword data is not 1 to 8 hex digits) dword:123456789\n"
              "After=REG_DWORD 42 (0x0000002a)\n"
              "[HKEY_CURRENT_USER\\Software\\Next]");
    EXPECT_EQ(scan.facts.keys, 2u);
    EXPECT_EQ(scan.facts.badValues, 3u) << "garbage, the string that never ends, the hex cut by the end";
    EXPECT_EQ(Join(scan.facts.Problems()), "3 values could not be read, the first in [HKEY_CURRENT_USER\\Software\\Content Type\\text/html]");
    EXPECT_EQ(scan.values[6].raw, "\"Wrapped\"=hex(7):61,00,00,00,\\\r\n  62,00,00,00,\\\r\n  00,00");

    // A line longer than any export has is passed over, whatever its size, and the keys after it
    // are read; the memory held stays near the limit.
    std::u16string longLine = u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_USERS\\A]\r\n\"Big\"=\"";
    longLine.append(kMaxLineBytes / 2 + 17, u'x');
    longLine += u"\"\r\n[HKEY_USERS\\B]\r\n\"Small\"=\"y\"\r\n";
    for (const size_t piece : {size_t{65536}, size_t{65537}}) {
        const Scan big = ScanExport(Utf16(longLine), piece, "HKU");
        EXPECT_EQ(Join(big.lines), "[HKEY_USERS\\A]|[HKEY_USERS\\B]|Small=REG_SZ y") << piece;
        EXPECT_EQ(Join(big.facts.Problems()), "line 4 is longer than 4 MB and was not read");
        EXPECT_TRUE(big.facts.wholeLines);
    }
}

TEST(RegValueTest, EveryTypeMeansWhatWindowsReadsAndIsWrittenBackAsTheSameBytes) {
    struct Case {
        std::string line, type, text;
        nlohmann::json value;
    };
    const Case cases[] = {
        {"\"s\"=\"Acme \\\"Editor\\\" \\\\ 2\"", "REG_SZ", "Acme \"Editor\" \\ 2", "Acme \"Editor\" \\ 2"},
        {"\"e\"=hex(2):25,00,53,00,52,00,25,00,5c,00,78,00,00,00", "REG_EXPAND_SZ", "%SR%\\x", "%SR%\\x"},
        {"\"m\"=hex(7):43,00,3a,00,5c,00,61,00,00,00,00,00,22,00,62,00,00,00,00,00", "REG_MULTI_SZ",
         "[\"C:\\a\", \"\", \"\\\"b\"]", nlohmann::json::array({"C:\\a", "", "\"b"})},
        {"\"m0\"=hex(7):00,00", "REG_MULTI_SZ", "[]", nlohmann::json::array()},
        {"\"d\"=dword:ffffffff", "REG_DWORD", "4294967295 (0xffffffff)", 4294967295u},
        {"\"be\"=hex(5):00,00,01,00", "REG_DWORD_BIG_ENDIAN", "256 (0x00000100)", 256},
        {"\"q\"=hex(b):89,67,45,23,01,00,00,80", "REG_QWORD", "9223372041741494153 (0x8000000123456789)",
         9223372041741494153u},
        {"\"b\"=hex:de,ad,00", "REG_BINARY", "de ad 00", "dead00"},
        {"\"n\"=hex(0):", "REG_NONE", "", ""},
        {"\"u\"=hex(100000):0a", "0x100000", "0a", "0a"},
        {"\"nl\"=hex(1):61,00,0a,00,62,00,00,00", "REG_SZ", "a\nb", "a\nb"},
        {"\"odd\"=hex(1):61,00,62", "REG_SZ", "(its text ends in half a character) 61 00 62", nullptr},
        {"\"short\"=hex(4):01,02,03", "REG_DWORD", "(it holds 3 bytes, not 4) 01 02 03", nullptr},
        {"\"junk\"=hex:0g", "REG_BINARY", "(unreadable: its hex data is not bytes of two hex digits between commas) hex:0g",
         nullptr},
        {"\"bs\"=hex:01,\\ 02", "REG_BINARY",
         "(unreadable: its hex data is not bytes of two hex digits between commas) hex:01,\\ 02", nullptr},
    };
    for (const Case& c : cases) {
        RegValue v;
        ASSERT_EQ(ParseValue(c.line, {}, v), ValueParse::kValue) << c.line;
        EXPECT_EQ(TypeName(v.type), c.type) << c.line;
        EXPECT_EQ(ValueText(v), c.text) << c.line;
        EXPECT_EQ(ValueJson(v)["value"], c.value) << c.line;
        const std::string written = RegFileLines(v);
        if (!v.problem.empty()) {
            EXPECT_EQ(written, "") << c.line;
            continue;
        }
        // Read back, the same type and bytes; a plain string stays a string.
        std::string joined;
        std::copy_if(written.begin(), written.end(), std::back_inserter(joined), [](char c) { return c != '\r'; });
        RegValue again;
        ASSERT_EQ(ParseValue(joined, {}, again), ValueParse::kValue) << written;
        EXPECT_EQ(again.type, v.type) << written;
        EXPECT_EQ(again.data, v.data) << written;
        EXPECT_EQ(again.name, v.name);
        EXPECT_EQ(written.find("=\"") != std::string::npos, c.line.find("=\"") != std::string::npos) << written;
    }
    // Long data is wrapped as the registry editor wraps it: no line over 80 columns.
    const RegValue big{std::string(70, 'n'), kRegBinary, false, std::vector<uint8_t>(100, 0xAB), "", ""};
    const std::string wrapped = RegFileLines(big);
    size_t lines = 0;
    for (size_t start = 0; start < wrapped.size(); ++lines) {
        const size_t end = std::min(wrapped.find("\r\n", start), wrapped.size());
        EXPECT_LE(end - start, 80u);
        start = end + 2;
    }
    EXPECT_EQ(lines, 5u);
    // A REGEDIT4 export holds text types in its code page; the registry, in UTF-16.
    RegValue ansi;
    ASSERT_EQ(ParseValue("\"p\"=hex(2):83,65,00", [](std::string_view raw) { return CodePageToUtf8(932, raw); }, ansi),
              ValueParse::kValue);
    EXPECT_EQ(ValueText(ansi), "テ");
    EXPECT_EQ(RegFileLines(ansi), "\"p\"=hex(2):c6,30,00,00");
    for (const char* more : {"\"open", "\"s\"=\"open", "\"h\"=hex:01,\\"})
        EXPECT_NE(ParseValue(more, {}, ansi), ValueParse::kValue) << more;
    for (const char* bad : {"x=1", "\"a\"", "\"a\"=\"b\"c", "\"a\"=-", "\"a\"=hex(zz):00", "  01,02"})
        EXPECT_EQ(ParseValue(bad, {}, ansi), ValueParse::kNotAValue) << bad;
}

TEST(RegistryNamesTest, ShortRootsCaseDepthGlobsAndTextForATerminal) {
    using namespace std::string_view_literals;
    EXPECT_EQ(Printable("a\x1b[2J\x7f\xc2\x85\t\r\n\x00z\xff"sv), "a\\x1b[2J\\x7f\\u0085\\t\\r\\n\\x00z?");
    EXPECT_EQ(DisplayWidth("日本a\xff"), 6u);
    EXPECT_EQ(DisplayWidth("Ａ￥𠀀ｱ"), 7u) << "full-width forms and signs, a supplementary ideograph; half-width kana";
    EXPECT_EQ(ValidUtf8("\xed\xa0\x80 \xe0\x80\x80 \xf4\x90\x80\x80 \xf0\x9f\x98\x80"), "??? ??? ???? 😀");
    EXPECT_EQ(Utf8ToUtf16Le("a😀\xff"), std::string("a\0\x3d\xd8\x00\xde\xfd\xff", 8));
    EXPECT_EQ(ExpandKeyPath("hklm\\Software\\Content Type\\text/html\\"), "HKEY_LOCAL_MACHINE\\Software\\Content Type\\text/html");
    EXPECT_EQ(ExpandKeyPath("[HKCC]") + ExpandKeyPath("[]"), "HKEY_CURRENT_CONFIG");
    EXPECT_EQ(ExpandKeyPath("HKU\\.DEFAULT") + ExpandKeyPath("hkcr") + ExpandKeyPath("HKCU"),
              "HKEY_USERS\\.DEFAULTHKEY_CLASSES_ROOTHKEY_CURRENT_USER");
    EXPECT_EQ(ExpandKeyPath("HKLMX\\a"), "HKLMX\\a");
    EXPECT_EQ(FoldName("straße Ärger àÿ ā Ĺĺ ňź ž ıĸŉſ ωμέγας ίό жёлтый Ω"), "STRAßE ÄRGER ÀŸ Ā ĹĹ ŇŹ Ž ıĸŉſ ΩΜΈΓΑΣ ΊΌ ЖЁЛТЫЙ Ω");
    EXPECT_EQ(DepthBelow("A\\B\\C", "A"), 2u);
    EXPECT_EQ(DepthBelow("A", "A"), 0u);
    EXPECT_FALSE(DepthBelow("AB\\C", "A"));
    EXPECT_FALSE(DepthBelow("B", "A"));

    const std::pair<const char*, std::vector<std::pair<std::string, bool>>> globs[] = {
        {"zeta*", {{"Zeta Tools", true}, {"zeta", true}, {"A Zeta", false}}},
        {"*ZETA*", {{"the zeta tools", true}, {"zet", false}}},
        {"a?c", {{"abc", true}, {"aжc", true}, {"aテc", true}, {"a😀c", true}, {"ac", false}, {"abbc", false}}},
        {"[a-c]x[!0-9]", {{"Bxy", true}, {"dxy", false}, {"ax5", false}}},
        {"*.e[x]e", {{"pebble.EXE", true}, {"pebble.exe.bak", false}}},
        {"жёлт*", {{"ЖЁЛТЫЙ", true}}},
        {"*a*a*a*a*a*b", {{std::string(200, 'a'), false}}},
        {"[", {{"[", true}, {"a", false}}},
    };
    for (const auto& [pattern, texts] : globs)
        for (const auto& [text, matches] : texts)
            EXPECT_EQ(Glob(pattern).Matches(text), matches) << pattern << " " << text;
    EXPECT_TRUE(Glob("Zeta Tools").Literal());
    EXPECT_FALSE(Glob("Zeta*").Literal());
}

}  // namespace
}  // namespace ost::desk::test
