// libFuzzer target over ovdesk's readers: each input is read as a report and as a registry export,
// each fed in two pieces split where the input's first byte says, then as a support file by every
// command, in text and in JSON, and as a rules file by lint, test and check. Any crash, leak,
// sanitizer report or hang is a finding, and so is output that is not UTF-8, text output that holds
// a control character other than a line break (on either stream), JSON output that does not
// parse, or a page of --html with a script in it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

#include "desk/commands.h"
#include "desk/registry_export.h"
#include "desk/report_reader.h"
#include "desk/text.h"
#include "memory_file_system.h"

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ost::desk;
    const size_t split = size == 0 ? 0 : data[0] % (size + 1);
    ReportReader report(true);
    report.Feed(data, split);
    report.Feed(data + split, size - split);
    const Report r = report.Finish();
    size_t seen = r.programs.size() + r.problems.size();
    ExportReader reader({[](const std::string& key) { return key.size() % 2 == 0; },
                         [&](const RegValue& value) { seen += ValueText(value).size() + RegFileLines(value).size(); }});
    reader.Feed(data, split);
    reader.Feed(data + split, size - split);
    seen += reader.Finish().keys;

    ost::zip::test::MemoryFileSystem files;
    files.AddFile("f", std::vector<uint8_t>(data, data + size));
    DeskIo io;
    io.files = &files;
    std::string out;
    io.out = [&](std::string_view text) { out += text; };
    auto printable = [](std::string_view text) {
        Check(ValidUtf8(text) == text);
        for (const char c : text)
            Check(static_cast<unsigned char>(c) >= 0x20 || c == '\n');
    };
    io.err = printable;
    for (const bool json : {false, true}) {
        for (std::vector<std::string> args : {std::vector<std::string>{"show", "f"},
                                              {"reg", "f", "HKLM\\SOFTWARE"},
                                              {"find", "f", "*a*"},
                                              {"programs", "f"},
                                              {"files", "f"},
                                              {"diff", "f", "f", "--reg", "HKCU"},
                                              {"check", "f", "--html", "p", "--force"},
                                              {"rules", "lint", "f"},
                                              {"rules", "test", "f"},
                                              {"check", "f", "--rules", "f"}}) {
            if (json)
                args.push_back("--json");
            out.clear();
            RunDesk(args, io);
            Check(ValidUtf8(out) == out);
            if (json && !out.empty())
                Check(nlohmann::json::accept(out));
            if (!json)
                printable(out);
            seen += out.size();
            if (files.Stat("p")) {
                const std::vector<uint8_t> page = files.Bytes("p");
                Check(std::string(page.begin(), page.end()).find("<script") == std::string::npos);
            }
        }
    }
    return seen == SIZE_MAX;
}
