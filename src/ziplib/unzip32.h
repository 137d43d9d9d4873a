// The unzip library's interface: the entries of unzip32.dll, the records they take and the
// callbacks they call. The bridge loads the library by name and calls it through these
// declarations; unzip32.dll exports them with undecorated names and the calling convention of
// zip32.dll. Any library with this interface can stand in its place.
//
// One run is one call of Wiz_SingleEntryUnzip. The library calls the callbacks synchronously, on
// the thread that called it, and only during that call. Every text that crosses this interface is
// 8-bit text in the system's ANSI code page, ended by a zero byte.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ziplib/ziplib_api.h"

extern "C" {

// The buffer of UnzipPrint, UnzipReplace and UnzipService: 32,801 bytes (indices 0 to 32800).
inline constexpr int kUnzipCallbackBufferSize = 32801;
// The buffer of an entry's name (UnzipMessage) and of the password question (UnzipPassword): 257
// bytes (indices 0 to 256).
inline constexpr int kUnzipNameBufferSize = 257;
// The number of entries of each name list the program hands over.
inline constexpr int kUnzipNameListSize = 100;

// How many files and folders one run may create when it extracts, unless UzpSetCreateLimit says
// otherwise: more than real archives need. With a cluster counted for each in the free-space check,
// it bounds what an archive of empty folders can take of a disk and of its table of files.
inline constexpr uint32_t kUnzipDefaultCreateLimit = 1000000;

// The answers of UnzipReplace.
inline constexpr int32_t kUnzipReplaceNo = 100;    // keep the existing file; the entry is skipped
inline constexpr int32_t kUnzipReplaceYes = 102;   // overwrite the existing file with the entry
inline constexpr int32_t kUnzipReplaceNone = 104;  // keep this file and every other existing file of
                                                   // the run, without asking again

// The answers of UnzipPassword.
inline constexpr int32_t kUnzipPasswordGiven = 0;  // the password buffer holds the password
inline constexpr int32_t kUnzipPasswordNone = 1;   // no password: the entry fails as not decrypted

// Receives what the library prints: a buffer of kUnzipCallbackBufferSize bytes and the length of
// the text in it. Returns 0.
typedef int32_t(ZIP32_API* UnzipPrintFn)(char* buffer, int32_t length);
// A sound the library may play; the program registers none.
typedef void(ZIP32_API* UnzipSoundFn)(void);
// Asked before an existing file would be replaced: a buffer of kUnzipCallbackBufferSize bytes
// holding the file's path. Returns kUnzipReplaceNo, kUnzipReplaceYes or kUnzipReplaceNone.
typedef int32_t(ZIP32_API* UnzipReplaceFn)(char* fileName);
// Asked for the password of an encrypted entry: the password buffer and its size in bytes (at
// most kUnzipNameBufferSize), into which the callback writes the password ended by a zero byte;
// then the library's prompt and the entry's name. Returns kUnzipPasswordGiven or
// kUnzipPasswordNone.
typedef int32_t(ZIP32_API* UnzipPasswordFn)(char* password, int32_t size, const char* prompt, const char* entryName);
// Called once for each entry that the run lists, tests or extracts, before its data is handled:
// the entry's size, its compressed size and the compression ratio in percent (with `ratioSign`
// '-' when the compressed data is the larger, a blank otherwise), the local date and time of its
// time stamp, its name in a buffer of kUnzipNameBufferSize bytes, the name of its compression
// method ("Stored", "Defl:N" and so on), its CRC-32, and 1 when it is encrypted, 0 otherwise.
// Sizes above 0xFFFFFFFF are given as 0xFFFFFFFF.
typedef void(ZIP32_API* UnzipMessageFn)(uint32_t size,
                                        uint32_t compressedSize,
                                        uint32_t ratioPercent,
                                        int16_t month,
                                        int16_t day,
                                        int16_t year,
                                        int16_t hour,
                                        int16_t minute,
                                        char ratioSign,
                                        char* entryName,
                                        const char* method,
                                        uint32_t crc,
                                        int32_t encrypted);
// Called once for each entry before it is handled, with its name in a buffer of
// kUnzipCallbackBufferSize bytes and its size (0xFFFFFFFF for a larger one). A result other than 0
// ends the run before that entry, with a non-zero result of the run.
typedef int32_t(ZIP32_API* UnzipServiceFn)(char* entryName, int32_t size);

// The results of Wiz_SingleEntryUnzip: the codes that callers of the usual unzip library read.
// Each non-zero result comes with at least one printed line that says what happened and to which
// entry. When entries fail in different ways, the result is that of the first failure; a warning,
// or names that matched nothing, are given only when nothing failed.
inline constexpr int32_t kUnzipOk = 0;            // every entry asked for was handled and checked
inline constexpr int32_t kUnzipWarning = 1;       // the run went through but passed something over: an
                                                  // existing file kept, an archive without entries, data
                                                  // before the archive or between its entries and its
                                                  // directory, an entry count that an old writer wrapped
inline constexpr int32_t kUnzipBadArchive = 2;    // an error in the archive: an entry or the whole archive
                                                  // is damaged or inconsistent (truncated, bad directory,
                                                  // overlapping entries, wrong CRC-32 or size, data beyond
                                                  // its size, headers that disagree, an empty name, two
                                                  // names for one file, a folder entry holding data)
inline constexpr int32_t kUnzipUnsafeEntry = 2;   // an entry refused to protect the disk: a name that
                                                  // leaves the extraction folder or names a device, a
                                                  // symbolic link, a link met on the way to its file
inline constexpr int32_t kUnzipSevere = 3;        // a severe error: an unexpected failure inside the library
inline constexpr int32_t kUnzipOutOfMemory = 4;   // memory ran out (the usual library also uses 5 to 8)
inline constexpr int32_t kUnzipNoArchive = 9;     // the archive cannot be found or opened, or is no zip
                                                  // archive at all (no end of central directory record)
inline constexpr int32_t kUnzipBadOptions = 10;   // a null record, a name list that does not fit its
                                                  // count, or a DCL field with a value this library does
                                                  // not know
inline constexpr int32_t kUnzipNoMatch = 11;      // a name of the include list matches no entry
inline constexpr int32_t kUnzipDiskFailure = 50;  // the files do not fit the disk's free space or the
                                                  // run's limit of files and folders created, or a file or
                                                  // folder could not be created, written or put in place
                                                  // (disk full, access denied)
inline constexpr int32_t kUnzipEndOfFile = 51;    // the archive ended while an entry's data was read
inline constexpr int32_t kUnzipCancelled = 80;    // UnzipService asked the run to stop
inline constexpr int32_t kUnzipUnsupported = 81;  // a compression method, an encryption kind or a
                                                  // Privilege value this library does not handle
inline constexpr int32_t kUnzipBadPassword = 82;  // an encrypted entry had no password or a wrong one

// The callback record. The five callbacks are set by the caller; the library fills the totals at
// the end of a run, and the program never reads them.
struct USERFUNCTION {
    UnzipPrintFn print;
    UnzipSoundFn sound;  // may be null
    UnzipReplaceFn replace;
    UnzipPasswordFn password;
    UnzipMessageFn message;
    UnzipServiceFn service;
    uint32_t totalCompressedSize;  // the entries handled, compressed sizes added up
    uint32_t totalSize;            // the entries handled, sizes added up
    uint32_t totalRatioPercent;    // the compression ratio of the two totals
    uint32_t entryCount;           // the entries handled
    uint32_t commentLength;        // the length of the archive comment
};

// The options of one run, each field named after the extractor's property that fills it. Every
// switch is 1 (on) or 0 (off). A library that meets a value it does not know in any field ends the
// run with a non-zero result and prints a line that names the field; it never ignores one.
struct DCL {
    // Update: extract an entry only when no file of its name exists or the existing file is older
    // (an older file is then replaced without asking, unless PromptOverwrite is on).
    int32_t ExtractOnlyNewer;
    // Spaces in the entries' names become underscores in the extracted files' names.
    int32_t SpaceToUnderScore;
    // Ask through UnzipReplace before an existing file is replaced; this wins over OverWriteFiles.
    int32_t PromptOverwrite;
    // How much the library prints: a larger value prints less. This library takes 0 (a line per
    // entry and a summary), 1 (the summary and problems) and 2 (problems only); the extractor sends
    // 2 unless told otherwise. What the run was asked for (a listing, the test's summary line, the
    // comment, WriteToStdOut's data) is printed at every level.
    int32_t MessageLevel;
    // Extracted data goes to UnzipPrint instead of files.
    int32_t WriteToStdOut;
    // Test: read every entry and check its CRC-32, write nothing, print a summary line.
    int32_t TestZip;
    // What the run does with the entries: 0 extracts them, 1 lists them (one UnzipMessage per entry
    // with printed lines). TestZip wins over both.
    int32_t ExtractList;
    // Freshen: replace only files that exist and are older than their entries; create no new ones.
    int32_t ExtractNewer;
    // Print the archive comment.
    int32_t DisplayComment;
    // Recreate the entries' folders under the extraction folder; off, every file goes straight
    // into the extraction folder.
    int32_t HonorDirectories;
    // Replace existing files without asking; off (and PromptOverwrite off), never replace one.
    int32_t OverWriteFiles;
    // Text entries get CR LF line ends.
    int32_t ConvertCRtoCRLF;
    // Print more detail: a listing in full and the name of every entry handled.
    int32_t Verbose;
    // Names are matched with their letter case; off, without it.
    int32_t CaseSensitive;
    // Which security information stored with the entries the extracted files get: 0, none. This
    // library does not restore owners (1) or access lists (2): those end the run with
    // kUnzipUnsupported.
    int32_t Privilege;
    char* ZipFileName;  // the archive's path
    char* ExtractDir;   // the folder extracted files go under; null for the current folder
};

// The library's version, as UzpVersion2 fills it.
struct UnzipVersionNumber {
    uint8_t major;
    uint8_t minor;
    uint8_t patch;
    uint8_t reserved;  // 0
};

// The version record in its 8-bit form. The caller sets `length` and leaves the rest blank; the
// library fills the rest.
struct UnzipVersionInfo {
    uint32_t length;  // the record's size in bytes: 64
    uint32_t flags;   // bit 0 set for a test release, the other bits 0
    char betaLevel[10];
    char date[20];
    char zlibVersion[10];
    UnzipVersionNumber unzip;         // the reading engine
    UnzipVersionNumber listing;       // its listing
    UnzipVersionNumber reserved;      // 0
    UnzipVersionNumber dllInterface;  // this interface
};

// Fills the version record and returns 0; nothing reads the result.
typedef int32_t(ZIP32_API* UzpVersion2Fn)(UnzipVersionInfo* version);
// Sets how many files and folders each later run of Wiz_SingleEntryUnzip in this process may
// create when it extracts (a file it replaces is not created), and returns the limit it replaces.
// A run that would create more is refused before it writes anything, with kUnzipDiskFailure and a
// line that gives both numbers. This entry is this library's own: a caller that wants another limit
// looks it up with GetProcAddress, and one that does not know it keeps the default; the records
// stay as they are.
typedef uint32_t(ZIP32_API* UzpSetCreateLimitFn)(uint32_t limit);
// Runs once over the archive that `options` names: lists, tests or extracts the entries whose
// names match one of the `includeCount` names of `include` (every entry when the count is 0) and
// none of the `excludeCount` names of `exclude`; each list is an array of at least that many
// pointers. Returns 0 for a clean run, and otherwise a non-zero code that the library has printed
// a line about.
typedef int32_t(ZIP32_API* Wiz_SingleEntryUnzipFn)(int32_t includeCount,
                                                   char** include,
                                                   int32_t excludeCount,
                                                   char** exclude,
                                                   DCL* options,
                                                   USERFUNCTION* functions);

}  // extern "C"

#if defined(_WIN32) && !defined(_WIN64)
// The 32-bit records are laid out exactly as the callers of such libraries expect.
static_assert(sizeof(DCL) == 68);
static_assert(offsetof(DCL, ExtractOnlyNewer) == 0);
static_assert(offsetof(DCL, SpaceToUnderScore) == 4);
static_assert(offsetof(DCL, PromptOverwrite) == 8);
static_assert(offsetof(DCL, MessageLevel) == 12);
static_assert(offsetof(DCL, WriteToStdOut) == 16);
static_assert(offsetof(DCL, TestZip) == 20);
static_assert(offsetof(DCL, ExtractList) == 24);
static_assert(offsetof(DCL, ExtractNewer) == 28);
static_assert(offsetof(DCL, DisplayComment) == 32);
static_assert(offsetof(DCL, HonorDirectories) == 36);
static_assert(offsetof(DCL, OverWriteFiles) == 40);
static_assert(offsetof(DCL, ConvertCRtoCRLF) == 44);
static_assert(offsetof(DCL, Verbose) == 48);
static_assert(offsetof(DCL, CaseSensitive) == 52);
static_assert(offsetof(DCL, Privilege) == 56);
static_assert(offsetof(DCL, ZipFileName) == 60);
static_assert(offsetof(DCL, ExtractDir) == 64);
static_assert(sizeof(USERFUNCTION) == 44);
static_assert(offsetof(USERFUNCTION, print) == 0);
static_assert(offsetof(USERFUNCTION, sound) == 4);
static_assert(offsetof(USERFUNCTION, replace) == 8);
static_assert(offsetof(USERFUNCTION, password) == 12);
static_assert(offsetof(USERFUNCTION, message) == 16);
static_assert(offsetof(USERFUNCTION, service) == 20);
static_assert(offsetof(USERFUNCTION, totalCompressedSize) == 24);
static_assert(sizeof(UnzipVersionInfo) == 64);
static_assert(offsetof(UnzipVersionInfo, betaLevel) == 8);
static_assert(offsetof(UnzipVersionInfo, date) == 18);
static_assert(offsetof(UnzipVersionInfo, zlibVersion) == 38);
static_assert(offsetof(UnzipVersionInfo, unzip) == 48);
#endif
