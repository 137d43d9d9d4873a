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

// Receives what the library prints: the buffer and the length of the text in it.
typedef int32_t(ZIP32_API* ZipPrintFn)(char* buffer, uint32_t length);
// Asked for a password: buffer, its size, the prompt and the entry's name.
typedef int32_t(ZIP32_API* ZipPasswordFn)(char* buffer, int32_t size, const char* prompt, const char* name);
// Asked for the archive comment: returns the buffer with the comment.
typedef char*(ZIP32_API* ZipCommentFn)(char* buffer);
// Progress service; the program registers none.
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
// Returns 0 when the archive was written, a non-zero error code otherwise.
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
