// The zip library's interface: the three entries of zip32.dll, the records they take and the
// callbacks they call. The bridge loads the library by name and calls it through these
// declarations; zip32.dll exports them with undecorated names. Any library with this interface
// can stand in its place.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ziplib/ziplib_api.h"

extern "C" {

// The callback buffer: 4097 bytes of 8-bit text (indices 0 to 4096).
inline constexpr int kZipCallbackBufferSize = 4097;

// Receives what the library prints: at least one line per file, every warning and error. The
// text is 8-bit (the ANSI code page), at most 4096 bytes, followed by a zero byte in a buffer of
// kZipCallbackBufferSize bytes; `length` does not count the zero byte. The result is not examined.
typedef int32_t(ZIP32_API* ZipPrintFn)(char* buffer, uint32_t length);
// Asked once per run when fEncrypt is on: writes a zero-terminated password of at most size - 1
// bytes into `buffer` (which starts empty). The result is not examined; a buffer left empty
// means no password, and the run ends with result 9.
typedef int32_t(ZIP32_API* ZipPasswordFn)(char* buffer, int32_t size, const char* prompt, const char* name);
// Asked when fComment is on: gets a buffer holding the archive's current comment, zero-terminated,
// and returns the zero-terminated comment to store (the same buffer will do), or null to keep it.
typedef char*(ZIP32_API* ZipCommentFn)(char* buffer);
// Called, when registered, before each file is packed, with its stored name and its size (4 GiB - 1
// at most); returns 0 to go on, anything else stops the run with result 9.
typedef int32_t(ZIP32_API* ZipServiceFn)(const char* name, uint32_t size);

struct ZIPUSERFUNCTIONS {
    ZipPrintFn print;
    ZipPasswordFn password;
    ZipCommentFn comment;
    ZipServiceFn service;  // may be null
};

// The options record. Each switch is 1 (on) or 0 (off); fLevel 0 lets the library choose.
struct ZPOPT {
    int32_t fSuffix;
    int32_t fEncrypt;
    int32_t fSystem;
    int32_t fVolume;
    int32_t fExtra;
    int32_t fNoDirEntries;
    int32_t fExcludeDate;
    int32_t fIncludeDate;
    int32_t fVerbose;
    int32_t fQuiet;
    int32_t fCRLF_LF;
    int32_t fLF_CRLF;
    int32_t fJunkDir;
    int32_t fRecurse;
    int32_t fGrow;
    int32_t fForce;
    int32_t fMove;
    int32_t fDeleteEntries;
    int32_t fUpdate;
    int32_t fFreshen;
    int32_t fJunkSFX;
    int32_t fLatestTime;
    int32_t fComment;
    int32_t fOffsets;
    int32_t fPrivilege;
    int32_t fEncryption;
    int32_t fRepair;
    uint8_t fLevel;
    uint8_t padding[3];
    char* Date;       // date text for the date filters, or null
    char* szRootDir;  // folder that stored names are taken relative to, or null
};

// The name list: 100 entries; an empty entry is a null pointer.
inline constexpr int kZipNameListSize = 100;
struct ZIPNAMES {
    char* name[kZipNameListSize];
};

typedef int32_t(ZIP32_API* ZpInitFn)(ZIPUSERFUNCTIONS* functions);
typedef int32_t(ZIP32_API* ZpSetOptionsFn)(ZPOPT* options);
// Packs entries 0 to count - 1 of the name list (null entries are skipped) into the archive.
// Returns 0 exactly when the archive was written; otherwise one code per kind of failure, and the
// archive that was there before is left as it was:
//   3 the existing archive is damaged or cannot be carried over     4 out of memory
//   5 an unexpected failure inside the library                      9 stopped by the service callback, or no password
//  10 no temporary file could be made beside the archive          11 an input file could not be opened or read
//  12 nothing to do (no name matched a file, or all is current)     13 two files would get the same stored name
//  14 writing the archive failed (a full disk)                      15 the archive could not be replaced (read-only)
//  16 a refused switch or a bad argument (the message names it)
typedef int32_t(ZIP32_API* ZpArchiveFn)(int32_t count, char* zipFileName, ZIPNAMES* names);

}  // extern "C"

#if defined(_WIN32) && !defined(_WIN64)
// The 32-bit records are laid out exactly as the callers of such libraries expect.
static_assert(sizeof(ZIPUSERFUNCTIONS) == 16);
static_assert(offsetof(ZIPUSERFUNCTIONS, print) == 0);
static_assert(offsetof(ZIPUSERFUNCTIONS, password) == 4);
static_assert(offsetof(ZIPUSERFUNCTIONS, comment) == 8);
static_assert(offsetof(ZIPUSERFUNCTIONS, service) == 12);
static_assert(sizeof(ZPOPT) == 120);
static_assert(offsetof(ZPOPT, fEncrypt) == 4);
static_assert(offsetof(ZPOPT, fNoDirEntries) == 20);
static_assert(offsetof(ZPOPT, fVerbose) == 32);
static_assert(offsetof(ZPOPT, fJunkDir) == 48);
static_assert(offsetof(ZPOPT, fRecurse) == 52);
static_assert(offsetof(ZPOPT, fUpdate) == 72);
static_assert(offsetof(ZPOPT, fFreshen) == 76);
static_assert(offsetof(ZPOPT, fJunkSFX) == 80);
static_assert(offsetof(ZPOPT, fEncryption) == 100);
static_assert(offsetof(ZPOPT, fRepair) == 104);
static_assert(offsetof(ZPOPT, fLevel) == 108);
static_assert(offsetof(ZPOPT, Date) == 112);
static_assert(offsetof(ZPOPT, szRootDir) == 116);
static_assert(sizeof(ZIPNAMES) == 400);
#endif
