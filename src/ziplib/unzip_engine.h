// The unzip engine: lists, tests and extracts the entries of an archive that nobody vouches for.
// It reads through ReadArchiveDirectory (every length checked, overlapping entries refused, data
// before and after the archive passed over with a message) and streams each entry through inflate
// with a fixed amount of memory. An entry that cannot be read for itself (an empty name, a name
// that comes to the same file as another entry's, local and central headers that disagree) is
// refused alone in testing and extracting, and listed with a note on why; the others are still
// listed, tested and extracted. Every entry stops at its declared size, and with overlapping
// entries refused the declared sizes are the whole output (twice them with CR LF conversion):
// before anything is extracted, what the run will write, in whole clusters for each file and folder
// it creates, is checked against the free space of the extraction folder's disk, and the number of
// files and folders it creates against a limit. A file that an entry would
// write is refused when this run wrote it already, under any name that reaches it (compared by
// path and by the file's identity). An extracted file is written
// under a temporary name beside its target and put in place only when its size and CRC-32 are
// right, so a failed entry leaves nothing under its name. Nothing is written outside the
// extraction folder and no link is created or followed below it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ziplib/archive_reader.h"
#include "ziplib/file_system.h"
#include "ziplib/streams.h"
#include "ziplib/unzip32.h"

namespace ost::zip {

// The code page of names stored without the UTF-8 flag: the OEM code page of the system (437 in
// the US, 850 in Western Europe, 866 in Russia, 932 in Japan), in which Windows writes and reads
// such names. Code page 437 is built in; any other needs `decode`, which turns bytes of code page
// `number` into UTF-8 and gives nothing for bytes that are not text of that code page. A name it
// cannot decode is read as code page 437.
struct NameCodePage {
    uint32_t number = 437;
    std::function<std::optional<std::string>(std::string_view bytes)> decode;
};

struct UnzipOptions {
    enum class Action { kExtract, kList, kTest };
    enum class Overwrite { kAlways, kNever, kAsk };

    Action action = Action::kExtract;
    std::string extractFolder;  // UTF-8; empty for the current folder
    bool toOutput = false;      // extracted data goes to UnzipCallbacks::output instead of files
    bool keepFolders = true;    // recreate the entries' folders; off, every file goes to the top
    Overwrite overwrite = Overwrite::kNever;
    bool update = false;   // extract only when no file exists or the existing one is older
    bool freshen = false;  // extract only over an existing, older file
    bool spacesToUnderscores = false;
    bool crlf = false;  // text entries get CR LF line ends
    bool showComment = false;
    // 0: a line for every entry handled and a closing summary; 1: the summary and problems;
    // 2: problems only. What the run was asked for (a listing, the test summary, the archive
    // comment) is printed at every level.
    int quiet = 0;
    bool verbose = false;
    bool caseSensitive = true;                  // for the include and exclude names
    std::vector<std::string> include, exclude;  // UTF-8 patterns with * and ?; empty include: all
    // Names that differ only in letter case name the same file (Windows); a second entry with such
    // a name is refused. Names are compared after `upperCase` (the file system's own mapping), or
    // without regard to ASCII letter case when there is none.
    bool foldCase = false;
    NameUpperCase upperCase;
    NameCodePage codePage;
    // The most files and folders one extraction may create (a file it replaces is not created): a
    // run that would create more is refused before anything is written, as one that does not fit
    // the disk's free space is.
    uint64_t createLimit = kUnzipDefaultCreateLimit;
};

// One entry as UnzipMessage describes it.
struct UnzipEntryInfo {
    std::string name;  // UTF-8, as stored ('/' separators)
    uint64_t size = 0;
    uint64_t compressedSize = 0;
    DosDateTime modified;
    std::string method;  // "Stored", "Defl:N", or "Unk:N" for a method this library lacks
    uint32_t crc = 0;
    bool encrypted = false;
};

struct UnzipCallbacks {
    std::function<void(std::string_view utf8)> print;
    std::function<void(const UnzipEntryInfo&)> message;
    // The raw bytes of an entry extracted to the output (UnzipOptions::toOutput).
    std::function<void(const uint8_t* data, size_t size)> output;
    // Asked before an existing file is replaced when overwrite is kAsk; `path` is UTF-8.
    std::function<int32_t(const std::string& path)> replace;  // kUnzipReplaceNo / Yes / None
    // The password for an encrypted entry, as the bytes the cipher takes; nothing when none is given.
    std::function<std::optional<std::string>(const std::string& entryName)> password;
    // Before each entry; false stops the run.
    std::function<bool(const std::string& name, uint64_t size)> service;
};

struct UnzipTotals {
    uint64_t entries = 0;
    uint64_t size = 0;
    uint64_t compressedSize = 0;
    size_t commentLength = 0;
};

// Runs once over the archive in `archive` (called `archiveName` in messages) and returns one of
// the kUnzip* results of unzip32.h. Never raises: every failure is printed and counted.
int32_t RunUnzip(ByteSource& archive,
                 const std::string& archiveName,
                 IFileSystem& fs,
                 const UnzipOptions& options,
                 const UnzipCallbacks& callbacks,
                 UnzipTotals* totals = nullptr);

// The path parts under the extraction folder that an entry's name gives, or the reason the name
// is refused: '\' separates too; a leading separator, a drive letter, "..", control characters,
// ':' (alternate streams), characters Windows forbids, a part ending in a dot or a blank, and
// device names (CON, NUL, AUX, PRN, COM1-9, COM¹-³, LPT1-9, LPT¹-³, with or without an
// extension) are refused.
// Empty and "." parts are dropped. A name of "." parts alone ("./", ".") is the extraction folder
// itself: no parts and no refusal.
struct SafeName {
    std::vector<std::string> parts;
    std::string refusal;  // empty when the name is safe
};
SafeName CheckEntryName(std::string_view name);

// An entry's name in UTF-8: as stored when the UTF-8 flag is set, from a matching Info-ZIP
// Unicode Path field, as stored when a Unix writer left valid UTF-8, and otherwise read in
// `codePage`, as DOS and Windows writers store names.
std::string DecodeEntryName(const EntryHeader& entry, const NameCodePage& codePage);

// Streams the data of `entry`, an entry that ReadArchiveDirectory found in `archive`, to `sink`:
// inflated, stopped at its declared size and checked against that size and its CRC-32 at the end,
// so `sink` has had every byte before the check can fail. The memory used is fixed, whatever the
// entry's size. Raises ZipError(kBadArchive) with a message naming the entry and what is wrong: a
// fault of its own, encryption, an unknown method, damaged or truncated data, a bad CRC-32.
void ReadEntryData(ByteSource& archive,
                   const ArchiveEntry& entry,
                   const std::function<void(const uint8_t* data, size_t size)>& sink);

}  // namespace ost::zip
