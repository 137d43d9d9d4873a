// libFuzzer target over ovdesk's readers: each input is read as a report and as a registry export,
// each fed in two pieces split where the input's first byte says, and then as a support file by
// the show, reg and diff commands. Any crash, leak, sanitizer report or hang is a finding.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "desk/commands.h"
#include "desk/registry_export.h"
#include "desk/report_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ost::desk;
    const size_t split = size == 0 ? 0 : data[0] % (size + 1);
    ReportReader report(true);
    report.Feed(data, split);
    report.Feed(data + split, size - split);
    const Report r = report.Finish();
    size_t seen = r.programs.size() + r.problems.size();
    ExportScanner scanner([](const std::string& key) { return key.size() % 2 == 0; },
                          [&](const std::string& line) { seen += line.size(); });
    scanner.Feed(data, split);
    scanner.Feed(data + split, size - split);
    seen += scanner.Finish().keys;

    DeskIo io;
    io.open = [&](const std::string&) { return std::make_unique<ost::zip::MemorySource>(data, size); };
    io.out = [&](std::string_view text) { seen += text.size(); };
    io.err = io.out;
    RunDesk({"show", "f"}, io);
    RunDesk({"reg", "f", "HKLM\\SOFTWARE", "--json"}, io);
    RunDesk({"diff", "f", "f", "--reg", "HKCU"}, io);
    return seen == SIZE_MAX;
}
