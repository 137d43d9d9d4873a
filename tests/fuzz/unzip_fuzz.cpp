// libFuzzer target over the unzip engine: each input is an archive that is listed, tested and
// extracted into an in-memory file system. Any crash, leak, sanitizer report or hang is a finding,
// and so is a broken bound: a file outside the extraction folder or a temporary file left behind,
// more bytes written than the entries declare (twice that with CR LF conversion), more files and
// folders than the run may create, or a control character of a name printed raw.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "memory_file_system.h"
#include "ziplib/unzip_engine.h"

namespace {

// A control character other than the line feeds that end printed lines: C0, DEL, or C1 in UTF-8.
bool HoldsRawControl(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c < 0x20 && c != '\n') || c == 0x7F ||
            (c == 0xC2 && i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0x80))
            return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ost::zip;
    const bool crlf = size % 2 == 1;
    uint64_t declared = 0;  // what the entries may write, at most
    try {
        MemorySource source(data, size);
        for (const ArchiveEntry& entry : ReadArchiveDirectory(source, "fuzz.zip").entries) {
            const uint64_t most = crlf ? entry.header.size * 2 : entry.header.size;
            declared += std::min(entry.header.size > UINT64_MAX / 2 ? UINT64_MAX : most, UINT64_MAX - declared);
        }
    } catch (const ZipError&) {
    }
    UnzipCallbacks callbacks;
    size_t printed = 0;
    callbacks.print = [&](std::string_view text) {
        printed += text.size();
        if (HoldsRawControl(text))
            __builtin_trap();
    };
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
        options.crlf = crlf;
        options.foldCase = true;
        options.quiet = 0;
        options.verbose = true;
        options.createLimit = 64;
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
        if (fs.written > declared || fs.Paths().size() + fs.FolderCount() > options.createLimit)
            __builtin_trap();
        if (result == kUnzipSevere || result == kUnzipOutOfMemory)
            __builtin_trap();
    }
    return 0;
}
