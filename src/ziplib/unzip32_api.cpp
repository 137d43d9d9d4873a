#include "ziplib/unzip32_api.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <utility>

namespace ost::zip {

namespace {

// The DCL fields that are switches: each must be 0 or 1.
struct Switch {
    int32_t DCL::*field;
    const char* name;
};
constexpr Switch kSwitches[] = {
    {&DCL::ExtractOnlyNewer, "ExtractOnlyNewer"},
    {&DCL::SpaceToUnderScore, "SpaceToUnderScore"},
    {&DCL::PromptOverwrite, "PromptOverwrite"},
    {&DCL::WriteToStdOut, "WriteToStdOut"},
    {&DCL::TestZip, "TestZip"},
    {&DCL::ExtractNewer, "ExtractNewer"},
    {&DCL::DisplayComment, "DisplayComment"},
    {&DCL::HonorDirectories, "HonorDirectories"},
    {&DCL::OverWriteFiles, "OverWriteFiles"},
    {&DCL::ConvertCRtoCRLF, "ConvertCRtoCRLF"},
    {&DCL::Verbose, "Verbose"},
    {&DCL::CaseSensitive, "CaseSensitive"},
};

void CopyText(char* buffer, size_t size, std::string_view text) {
    const size_t n = std::min(text.size(), size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

uint32_t Clamp32(uint64_t v) {
    return static_cast<uint32_t>(std::min<uint64_t>(v, UINT32_MAX));
}

}  // namespace

// What the values of the three numeric fields mean to this library:
//
//   MessageLevel  0  a line for every entry handled ("  inflating: ...", "    testing: ... OK") and
//                    the closing summary
//                 1  the archive's name, the closing summary and every problem
//                 2  problems only (the extractor's default)
//                 What the run was asked for is printed at every level: the listing, the test's
//                 summary line, the archive comment, the data of WriteToStdOut.
//   ExtractList   0  extract (or test, when TestZip is on: TestZip wins)
//                 1  list: one UnzipMessage per entry and a printed table (in full with Verbose)
//   Privilege     0  extracted files get no security information from the archive
//                 1, 2  restoring the owner (1) or the owner and access lists (2): not carried out,
//                    the run ends with kUnzipUnsupported
//
// Every other value of these fields, and a switch other than 0 or 1, is refused.
UnzipOptions InterpretUnzipOptions(const DCL& r,
                                   std::vector<std::string>& refusals,
                                   std::vector<std::string>& unsupported) {
    for (const Switch& s : kSwitches)
        if (r.*s.field != 0 && r.*s.field != 1)
            refusals.push_back(std::string(s.name) + " is " + std::to_string(r.*s.field) + "; 0 or 1 expected");
    UnzipOptions o;
    if (r.MessageLevel >= 0 && r.MessageLevel <= 2)
        o.quiet = r.MessageLevel;
    else
        refusals.push_back("MessageLevel is " + std::to_string(r.MessageLevel) + "; 0, 1 or 2 expected");
    if (r.ExtractList != 0 && r.ExtractList != 1)
        refusals.push_back("ExtractList is " + std::to_string(r.ExtractList) + "; 0 (extract) or 1 (list) expected");
    if (r.Privilege == 1 || r.Privilege == 2)
        unsupported.push_back("Privilege " + std::to_string(r.Privilege) +
                              " (restoring security information) is not supported by this library");
    else if (r.Privilege != 0)
        refusals.push_back("Privilege is " + std::to_string(r.Privilege) + "; 0 expected");

    o.action = r.TestZip == 1       ? UnzipOptions::Action::kTest
               : r.ExtractList == 1 ? UnzipOptions::Action::kList
                                    : UnzipOptions::Action::kExtract;
    o.toOutput = r.WriteToStdOut == 1;
    o.keepFolders = r.HonorDirectories == 1;
    o.overwrite = r.PromptOverwrite == 1  ? UnzipOptions::Overwrite::kAsk
                  : r.OverWriteFiles == 1 ? UnzipOptions::Overwrite::kAlways
                                          : UnzipOptions::Overwrite::kNever;
    o.update = r.ExtractOnlyNewer == 1;
    o.freshen = r.ExtractNewer == 1;  // freshen is the narrower of the two and wins
    o.spacesToUnderscores = r.SpaceToUnderScore == 1;
    o.crlf = r.ConvertCRtoCRLF == 1;
    o.showComment = r.DisplayComment == 1;
    o.verbose = r.Verbose == 1;
    o.caseSensitive = r.CaseSensitive == 1;
    return o;
}

int32_t Unzip32Library::Version(UnzipVersionInfo* version) noexcept {
    if (!version || version->length < sizeof(UnzipVersionInfo))
        return 1;
    version->flags = 0;
    CopyText(version->betaLevel, sizeof(version->betaLevel), "");
    CopyText(version->date, sizeof(version->date), "2026-12-05");
    CopyText(version->zlibVersion, sizeof(version->zlibVersion), zlibVersion());
    version->unzip = UnzipVersionNumber{1, 0, 0, 0};
    version->listing = UnzipVersionNumber{1, 0, 0, 0};
    version->reserved = UnzipVersionNumber{};
    version->dllInterface = UnzipVersionNumber{1, 0, 0, 0};
    return 0;
}

uint32_t Unzip32Library::SetCreateLimit(uint32_t limit) noexcept {
    std::lock_guard lock(mutex_);
    return std::exchange(createLimit_, limit);
}

void Unzip32Library::Print(const USERFUNCTION& f, std::string_view ansi) {
    if (!f.print)
        return;
    // The caller's buffer holds 32,800 bytes of text and a zero byte. A piece that starts with LF
    // is given alone: callers end a line at a LF that opens a piece and drop what follows it.
    static thread_local char buffer[kUnzipCallbackBufferSize];
    size_t pos = 0;
    while (pos < ansi.size()) {
        const size_t n = ansi[pos] == '\n' ? 1 : std::min<size_t>(ansi.size() - pos, kUnzipCallbackBufferSize - 1);
        std::memcpy(buffer, ansi.data() + pos, n);
        buffer[n] = '\0';
        f.print(buffer, static_cast<int32_t>(n));
        pos += n;
    }
}

int32_t Unzip32Library::SingleEntryUnzip(int32_t includeCount,
                                         char** include,
                                         int32_t excludeCount,
                                         char** exclude,
                                         DCL* options,
                                         USERFUNCTION* functions) noexcept {
    if (!options || !functions)
        return kUnzipBadOptions;
    try {
        std::lock_guard lock(mutex_);
        const USERFUNCTION& f = *functions;
        auto print = [&](std::string_view utf8) { Print(f, codec_.FromUtf8(utf8)); };
        if (includeCount < 0 || excludeCount < 0 || (includeCount > 0 && !include) || (excludeCount > 0 && !exclude)) {
            print("unzip error: the name lists' counts do not fit the lists\n");
            return kUnzipBadOptions;
        }
        if (!options->ZipFileName || !*options->ZipFileName) {
            print("unzip error: no archive name given\n");
            return kUnzipBadOptions;
        }
        std::vector<std::string> refusals, unsupported;
        UnzipOptions o = InterpretUnzipOptions(*options, refusals, unsupported);
        for (const std::string& r : refusals)
            print("unzip error: " + r + "\n");
        if (!refusals.empty())
            return kUnzipBadOptions;
        for (const std::string& u : unsupported)
            print("unzip error: " + u + "\n");
        if (!unsupported.empty())
            return kUnzipUnsupported;
        for (int32_t i = 0; i < includeCount; ++i)
            if (include[i] && *include[i])
                o.include.push_back(codec_.ToUtf8(include[i]));
        for (int32_t i = 0; i < excludeCount; ++i)
            if (exclude[i] && *exclude[i])
                o.exclude.push_back(codec_.ToUtf8(exclude[i]));
        o.foldCase = foldCase_;
        o.upperCase = codec_.UpperCase();
        o.codePage = names_;
        o.createLimit = createLimit_;
        if (options->ExtractDir)
            o.extractFolder = codec_.ToUtf8(options->ExtractDir);
        const std::string archive = codec_.ToUtf8(options->ZipFileName);

        UnzipCallbacks callbacks;
        callbacks.print = print;
        callbacks.output = [&](const uint8_t* data, size_t size) {
            Print(f, std::string_view(reinterpret_cast<const char*>(data), size));
        };
        if (f.message) {
            callbacks.message = [&](const UnzipEntryInfo& e) {
                char name[kUnzipNameBufferSize];
                CopyText(name, sizeof(name), codec_.FromUtf8(e.name));
                const uint64_t saved = e.size - std::min(e.size, e.compressedSize);
                const uint32_t ratio = e.size == 0 ? 0 : Clamp32((saved * 100 + e.size / 2) / e.size);
                const LocalTime t{1980 + (e.modified.date >> 9), (e.modified.date >> 5) & 15, e.modified.date & 31,
                                  e.modified.time >> 11,         (e.modified.time >> 5) & 63, 0};
                f.message(Clamp32(e.size), Clamp32(e.compressedSize), ratio, static_cast<int16_t>(t.month),
                          static_cast<int16_t>(t.day), static_cast<int16_t>(t.year), static_cast<int16_t>(t.hour),
                          static_cast<int16_t>(t.minute), e.compressedSize > e.size ? '-' : ' ', name, e.method.c_str(),
                          e.crc, e.encrypted ? 1 : 0);
            };
        }
        if (f.replace) {
            callbacks.replace = [&](const std::string& path) {
                static thread_local char buffer[kUnzipCallbackBufferSize];
                CopyText(buffer, sizeof(buffer), codec_.FromUtf8(path));
                return f.replace(buffer);
            };
        }
        if (f.password) {
            callbacks.password = [&](const std::string& entry) -> std::optional<std::string> {
                char buffer[kUnzipNameBufferSize] = {};
                const std::string prompt = "Enter password for " + codec_.FromUtf8(entry) + ": ";
                const std::string name = codec_.FromUtf8(entry);
                if (f.password(buffer, kUnzipNameBufferSize - 1, prompt.c_str(), name.c_str()) != kUnzipPasswordGiven)
                    return std::nullopt;
                buffer[kUnzipNameBufferSize - 1] = '\0';
                return std::string(buffer);  // the cipher takes the bytes as the caller typed them
            };
        }
        if (f.service) {
            callbacks.service = [&](const std::string& name, uint64_t size) {
                static thread_local char buffer[kUnzipCallbackBufferSize];
                CopyText(buffer, sizeof(buffer), codec_.FromUtf8(name));
                return f.service(buffer, static_cast<int32_t>(Clamp32(size))) == 0;
            };
        }
        UnzipTotals totals;
        int32_t result = kUnzipNoArchive;
        std::unique_ptr<ByteSource> source;
        try {
            source = fs_.OpenRead(archive);
        } catch (const ZipError& e) {
            print(std::string("unzip error: ") + e.what() + "\n");
            return kUnzipNoArchive;
        }
        result = RunUnzip(*source, archive, fs_, o, callbacks, &totals);
        functions->totalCompressedSize = Clamp32(totals.compressedSize);
        functions->totalSize = Clamp32(totals.size);
        functions->totalRatioPercent =
            totals.size == 0
                ? 0
                : Clamp32((totals.size - std::min(totals.size, totals.compressedSize)) * 100 / totals.size);
        functions->entryCount = Clamp32(totals.entries);
        functions->commentLength = Clamp32(totals.commentLength);
        return result;
    } catch (const std::bad_alloc&) {
        return kUnzipOutOfMemory;
    } catch (...) {
        return kUnzipSevere;
    }
}

}  // namespace ost::zip
