// libFuzzer target over the unzip engine: each input is an archive that is listed, tested and
// extracted into an in-memory file system. Any crash, leak, sanitizer report or hang is a finding.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "memory_file_system.h"
#include "ziplib/unzip_engine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ost::zip;
    UnzipCallbacks callbacks;
    size_t printed = 0;
    callbacks.print = [&](std::string_view text) { printed += text.size(); };
    callbacks.message = [&](const UnzipEntryInfo& e) { printed += e.name.size(); };
    callbacks.output = [&](const uint8_t*, size_t n) { printed += n; };
    callbacks.password = [](const std::string&) -> std::optional<std::string> { return std::string("secret"); };
    callbacks.replace = [](const std::string&) { return kUnzipReplaceYes; };
    for (const auto action :
         {UnzipOptions::Action::kList, UnzipOptions::Action::kTest, UnzipOptions::Action::kExtract}) {
        MemorySource source(data, size);
        ost::zip::test::MemoryFileSystem fs;
        UnzipOptions options;
        options.action = action;
        options.extractFolder = "/out";
        options.overwrite = UnzipOptions::Overwrite::kAsk;
        options.crlf = size % 2 == 1;
        options.foldCase = true;
        options.quiet = 0;
        options.verbose = true;
        // A decoder that turns bytes outside ASCII into separators and dots, or fails: whatever a
        // name decodes to is checked as a name.
        options.codePage = {932, [](std::string_view bytes) -> std::optional<std::string> {
                                std::string text(bytes);
                                for (char& c : text)
                                    c = static_cast<unsigned char>(c) < 0x80 ? c : (c & 1) ? '\\' : '.';
                                return bytes.size() % 3 ? std::optional<std::string>(text) : std::nullopt;
                            }};
        const int32_t result = RunUnzip(source, "fuzz.zip", fs, options, callbacks);
        // Whatever the archive, everything written stays under the extraction folder and every
        // temporary file the engine created is gone (an entry may well be named like one).
        for (const std::string& path : fs.Paths())
            if (path.rfind("/out/", 0) != 0 || fs.temporaries.count(path))
                __builtin_trap();
        if (result == kUnzipSevere || result == kUnzipOutOfMemory)
            __builtin_trap();
    }
    return 0;
}
