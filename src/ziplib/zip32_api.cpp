#include "ziplib/zip32_api.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>

namespace ost::zip {

namespace {

// The switches this library does not carry out; a run with any of them on is refused.
struct RefusedSwitch {
    int32_t ZPOPT::*field;
    const char* name;
    const char* meaning;
};
constexpr RefusedSwitch kRefused[] = {
    {&ZPOPT::fSuffix, "fSuffix", "suffix option"},
    {&ZPOPT::fVolume, "fVolume", "include the volume label"},
    {&ZPOPT::fExtra, "fExtra", "extra file attributes"},
    {&ZPOPT::fExcludeDate, "fExcludeDate", "date filter"},
    {&ZPOPT::fIncludeDate, "fIncludeDate", "date filter"},
    {&ZPOPT::fForce, "fForce", "short 8.3 names"},
    {&ZPOPT::fJunkSFX, "fJunkSFX", "strip a self-extractor prefix"},
    {&ZPOPT::fLatestTime, "fLatestTime", "archive time of its newest entry"},
    {&ZPOPT::fOffsets, "fOffsets", "self-extractor offsets"},
    {&ZPOPT::fPrivilege, "fPrivilege", "security information"},
    {&ZPOPT::fRepair, "fRepair", "repair the archive"},
};

// Pairs of switches that contradict each other.
struct Conflict {
    int32_t ZPOPT::*first;
    int32_t ZPOPT::*second;
    const char* names;
};
constexpr Conflict kConflicts[] = {
    {&ZPOPT::fVerbose, &ZPOPT::fQuiet, "fVerbose and fQuiet"},
    {&ZPOPT::fCRLF_LF, &ZPOPT::fLF_CRLF, "fCRLF_LF and fLF_CRLF"},
    {&ZPOPT::fUpdate, &ZPOPT::fFreshen, "fUpdate and fFreshen"},
    {&ZPOPT::fDeleteEntries, &ZPOPT::fGrow, "fDeleteEntries and fGrow"},
    {&ZPOPT::fDeleteEntries, &ZPOPT::fUpdate, "fDeleteEntries and fUpdate"},
    {&ZPOPT::fDeleteEntries, &ZPOPT::fFreshen, "fDeleteEntries and fFreshen"},
    {&ZPOPT::fDeleteEntries, &ZPOPT::fMove, "fDeleteEntries and fMove"},
};

}  // namespace

ZipJobOptions InterpretOptions(const ZPOPT& r, const std::string& root, std::vector<std::string>& refusals) {
    for (const RefusedSwitch& s : kRefused)
        if (r.*s.field)
            refusals.push_back(std::string(s.name) + " (" + s.meaning + ") is not supported by this library");
    for (const Conflict& c : kConflicts)
        if (r.*c.first && r.*c.second)
            refusals.push_back(std::string(c.names) + " cannot both be on");

    ZipJobOptions o;
    // fLevel: 0 leaves the choice to the library; 1-9 are zlib's levels; the digits '0' to '9'
    // are taken as those levels too, '0' storing every entry.
    if (r.fLevel == 0)
        o.level = kDefaultLevel;
    else if (r.fLevel <= 9)
        o.level = r.fLevel;
    else if (r.fLevel >= '0' && r.fLevel <= '9')
        o.level = r.fLevel - '0';
    else
        refusals.push_back("fLevel " + std::to_string(r.fLevel) + " is not a compression level (0-9)");
    o.encrypt = r.fEncrypt != 0;
    o.includeSystem = r.fSystem != 0;
    o.noFolderEntries = r.fNoDirEntries != 0;
    o.verbose = r.fVerbose != 0;
    o.quiet = r.fQuiet != 0;
    if (r.fCRLF_LF)
        o.lineEnds = ZipJobOptions::LineEnds::kCrLfToLf;
    else if (r.fLF_CRLF)
        o.lineEnds = ZipJobOptions::LineEnds::kLfToCrLf;
    o.junkFolders = r.fJunkDir != 0;
    o.recurse = r.fRecurse != 0;
    o.grow = r.fGrow != 0;
    o.move = r.fMove != 0;
    o.deleteEntries = r.fDeleteEntries != 0;
    o.update = r.fUpdate != 0;
    o.freshen = r.fFreshen != 0;
    o.askComment = r.fComment != 0;
    o.rootFolder = root;
    return o;
}

int32_t Zip32Library::Init(const ZIPUSERFUNCTIONS* functions) noexcept {
    if (!functions)
        return 0;
    std::lock_guard lock(mutex_);
    functions_ = *functions;
    return 1;
}

int32_t Zip32Library::SetOptions(ZPOPT* options) noexcept {
    if (!options)
        return 0;
    try {
        std::lock_guard lock(mutex_);
        options_ = *options;
        options_.Date = nullptr;  // the date filters are refused, so the date text is never read
        options_.szRootDir = nullptr;
        root_ = options->szRootDir ? codec_.ToUtf8(options->szRootDir) : std::string();
        options->fEncryption = 1;
        return 1;
    } catch (...) {
        return 0;
    }
}

void Zip32Library::Print(std::string_view utf8) {
    if (!functions_.print)
        return;
    const std::string text = codec_.FromUtf8(utf8);
    // The caller's buffer is 4097 bytes: at most 4096 of text and a zero byte.
    char buffer[kZipCallbackBufferSize];
    for (size_t pos = 0; pos < text.size(); pos += kZipCallbackBufferSize - 1) {
        const size_t n = std::min<size_t>(text.size() - pos, kZipCallbackBufferSize - 1);
        std::memcpy(buffer, text.data() + pos, n);
        buffer[n] = '\0';
        functions_.print(buffer, static_cast<uint32_t>(n));
    }
}

int32_t Zip32Library::Archive(int32_t count, const char* zipFileName, const ZIPNAMES* names) noexcept {
    try {
        std::lock_guard lock(mutex_);
        if (count < 0 || count > kZipNameListSize || (count > 0 && !names)) {
            Print(" zip error: the name count " + std::to_string(count) + " is outside 0 to 100\n");
            return kBadOptions;
        }
        if (!zipFileName || !*zipFileName) {
            Print(" zip error: no archive name given\n");
            return kBadOptions;
        }
        std::vector<std::string> refusals;
        ZipJobOptions options = InterpretOptions(options_, root_, refusals);
        if (!refusals.empty()) {
            for (const std::string& r : refusals)
                Print(" zip error: " + r + "\n");
            return kBadOptions;
        }
        options.threads = threads_;
        options.upperCase = codec_.UpperCase();
        std::vector<std::string> list;
        for (int32_t i = 0; i < count; ++i)
            if (names->name[i])
                list.push_back(codec_.ToUtf8(names->name[i]));
        const std::string archive = codec_.ToUtf8(zipFileName);

        ZipCallbacks callbacks;
        callbacks.print = [this](std::string_view m) { Print(m); };
        callbacks.password = [&]() -> std::optional<std::string> {
            if (!functions_.password)
                return std::nullopt;
            char buffer[257] = {};
            std::string prompt = "Enter password: ";
            std::string name = codec_.FromUtf8(archive);
            functions_.password(buffer, 256, prompt.c_str(), name.c_str());
            buffer[256] = '\0';
            if (!buffer[0])
                return std::nullopt;
            return std::string(buffer);  // the cipher takes the password's bytes as the caller typed them
        };
        callbacks.comment = [&](const std::string& current) -> std::optional<std::string> {
            if (!functions_.comment)
                return std::nullopt;
            char buffer[kZipCallbackBufferSize] = {};
            std::memcpy(buffer, current.data(), std::min<size_t>(current.size(), kZipCallbackBufferSize - 1));
            const char* answer = functions_.comment(buffer);
            if (!answer)
                return std::nullopt;
            return std::string(answer, strnlen(answer, kZipCallbackBufferSize - 1));
        };
        if (functions_.service) {
            callbacks.service = [this](const std::string& name, uint64_t size) {
                const std::string ansi = codec_.FromUtf8(name);
                return functions_.service(ansi.c_str(), static_cast<uint32_t>(std::min<uint64_t>(size, UINT32_MAX))) ==
                       0;
            };
        }
        return RunZipJob(fs_, archive, list, options, callbacks);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    } catch (...) {
        return kInternal;
    }
}

}  // namespace ost::zip
