// XW_UN_ZIP_Module: the bridge between the archive classes and the zip libraries they drive.
// The zip half runs zip32.dll for XWZipFiles (RunZip and the three callbacks the library calls);
// the unzip half will run unzip32.dll for the extractor the same way. Both halves share
// LastMessage, the text the latest run's library printed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/library.h"
#include "platform/locale.h"
#include "platform/ui.h"
#include "ziplib/zip32.h"

namespace ost {

// The zip library, found by this bare name through the system's search for libraries.
inline constexpr const char* kZipLibrary = "zip32.dll";

// The 100 names (indices 0 to 99) handed to the zip library. An empty entry reaches the library
// as a null pointer.
class ZipNameList {
  public:
    static constexpr int kSize = kZipNameListSize;

    // Entry `index`. Raises AppError 9 "Subscript out of range" for an index outside 0 to 99.
    std::string& At(int index);
    const std::string& At(int index) const;

  private:
    static size_t Checked(int index);

    std::array<std::string, kSize> names_;
};

// The program's one bridge module. The program creates exactly one, with the services it needs,
// before any archive class is used, and keeps it until the end: the libraries' callbacks are plain
// functions without a context pointer, so they and the archive classes reach the module through
// Instance(). All of it runs on the window thread.
class XW_UN_ZIP_Module {
  public:
    // Makes this the program's module until it is destroyed. Raises AppError 5 if another one
    // exists.
    XW_UN_ZIP_Module(IUi& ui, ILocale& locale, ILibraryLoader& libraries);
    ~XW_UN_ZIP_Module();
    XW_UN_ZIP_Module(const XW_UN_ZIP_Module&) = delete;
    XW_UN_ZIP_Module& operator=(const XW_UN_ZIP_Module&) = delete;

    // The program's module. Raises AppError 91 "Object variable or With block variable not set"
    // when the program has set none up.
    static XW_UN_ZIP_Module& Instance();

    // Everything the library printed during the most recent zip or unzip run, converted from the
    // ANSI code page; empty before the first run.
    const std::string& LastMessage() const { return lastMessage_; }

    ILocale& Locale() { return locale_; }

    // Runs zip32.dll once: ZpInit with the three callbacks below, ZpSetOptions with the options
    // built from the switches (each 1 or 0, stored sign-extended; fLevel 0; no date; the root folder
    // in upper case), then ZpArchive with the first `iCount` names of `zipNames`. The library is
    // loaded on the first run that reaches it. LastMessage is emptied first and then collects what
    // the library prints.
    //
    // Returns the value of the last library call that completed: ZpArchive's result (0 when the
    // archive was written, the library's error code otherwise, unchanged), or ZpSetOptions' or
    // ZpInit's when a later call failed, or 0 when none completed. It never raises: each failing
    // step (a library that cannot be loaded, an entry it lacks, a text that cannot be converted)
    // is shown in an OK box, "Recoverable Error." CR LF CR LF and the error's number and
    // description, and the next step runs. So a missing library shows three boxes and gives 0.
    //
    // Texts reach the library as 8-bit copies in the ANSI code page. What the library writes into
    // the copies of `sZipFileName` and `zipNames` comes back into them; a copy it leaves as it was
    // leaves its text as it was, so a character the code page cannot hold is not lost to its '?'.
    int32_t RunZip(const int16_t& iCount,
                   std::string& sZipFileName,
                   ZipNameList& zipNames,
                   const int16_t& fJunkDir,
                   const int16_t& fRecurse,
                   const int16_t& fUpdate,
                   const int16_t& fFreshen,
                   const std::string& sRootDir,
                   const int16_t& fEncrypt,
                   const int16_t& fSystem,
                   const int16_t& fNoDirEntries,
                   const int16_t& fVerbose,
                   const int16_t& fQuiet,
                   const int16_t& fCRLF_LF,
                   const int16_t& fLF_CRLF,
                   const int16_t& fGrow,
                   const int16_t& fForce,
                   const int16_t& fMove,
                   const int16_t& fDeleteEntries);

    // The zip library's callbacks. Each always returns normally to the library, whatever fails
    // inside it (a failing step is skipped), and does nothing but return its value when no module
    // is set up.
    //
    // ZipPrint appends the printed text to LastMessage: the bytes from index 0 up to and including
    // index `length`, or up to index 4096 (the callback buffer's last byte) for a larger length,
    // ending before the first zero byte, read in the ANSI code page. It then lets the window handle
    // its waiting messages once, and returns 0. A length of 2^31 or more counts as a large length,
    // not as a negative one.
    static int32_t ZIP32_API ZipPrint(char* buffer, uint32_t length) noexcept;
    // Returns 1 and leaves the buffer as it is. The program never turns encryption on.
    static int32_t ZIP32_API ZipPassword(char* buffer, int32_t size, const char* prompt, const char* name) noexcept;
    // Hands the comment buffer back unchanged: returns `buffer` itself. The program never asks for
    // an archive comment.
    static char* ZIP32_API ZipComment(char* buffer) noexcept;

  private:
    // Runs one step of RunZip; an error it raises is shown as a recoverable error.
    template <typename Step>
    void RecoverableStep(Step&& step) noexcept;

    static XW_UN_ZIP_Module* instance_;

    IUi& ui_;
    ILocale& locale_;
    ILibraryLoader& libraries_;
    std::string lastMessage_;
};

}  // namespace ost
