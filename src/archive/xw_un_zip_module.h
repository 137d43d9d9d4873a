// XW_UN_ZIP_Module: the bridge between the archive classes and the zip libraries they drive.
// The zip half runs zip32.dll for XWZipFiles (RunZip and the three callbacks the library calls);
// the unzip half runs unzip32.dll for XWUnzipFiles (UxUnzip and the five callbacks the library
// calls). Both halves share LastMessage, the text the latest run's library printed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/library.h"
#include "platform/locale.h"
#include "platform/ui.h"
#include "ziplib/unzip32.h"
#include "ziplib/zip32.h"

namespace ost {

// The zip library, found by this bare name through the system's search for libraries.
inline constexpr const char* kZipLibrary = "zip32.dll";
// The unzip library, found the same way.
inline constexpr const char* kUnzipLibrary = "unzip32.dll";

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

    // Runs unzip32.dll once over the archive `sZipFileName`: UzpVersion2 with a blank version
    // record, then Wiz_SingleEntryUnzip with no names to include or exclude (two lists of 100 null
    // pointers, counts 0), the five callbacks below, and the options record filled from the fifteen
    // values, each stored sign-extended in the field named after it (the record's field order is
    // not the order of these parameters). The library is loaded on the first run that reaches it.
    // LastMessage is emptied first and then collects what the library prints; the password question
    // is asked again in every run.
    //
    // Returns Wiz_SingleEntryUnzip's result unchanged. Raises every error of the run (a library
    // that cannot be loaded, an entry it lacks, a text that cannot be converted) with its number and
    // description and the source "CodeModule::UxUnzip", and shows nothing; the run ends there.
    //
    // The two texts reach the library as 8-bit copies in the ANSI code page, an empty one as a null
    // pointer. What the library writes into a copy comes back into its text; a copy it leaves as it
    // was leaves its text as it was.
    int32_t UxUnzip(std::string& sZipFileName,
                    std::string& sExtractDir,
                    const int16_t& iExtractNewer,
                    const int16_t& iSpaceToUnderScore,
                    const int16_t& iPromptOverwrite,
                    const int16_t& iMessageLevel,
                    const int16_t& iWriteToStdOut,
                    const int16_t& iTestZip,
                    const int16_t& iExtractList,
                    const int16_t& iExtractOnlyNewer,
                    const int16_t& iDisplayComment,
                    const int16_t& iHonorDirectories,
                    const int16_t& iOverWriteFiles,
                    const int16_t& iConvertCRtoCRLF,
                    const int16_t& iVerbose,
                    const int16_t& iCaseSensitive,
                    const int16_t& iPrivilege);

    // The unzip library's callbacks. Like the zip library's, each always returns normally to the
    // library, whatever fails inside it (a failing step is skipped), and does nothing but return
    // its value when no module is set up. None of them lets the window handle its messages, except
    // through the modal boxes that UnzipReplace and UnzipPassword show.
    //
    // UnzipPrint appends the printed text to LastMessage: the bytes from index 0 to index
    // `length` - 1, and never past index 32800 (the buffer's last byte), ending before the first
    // zero byte, read in the ANSI code page; nothing for a length of 0 or less. A text that begins
    // with LF counts as CR LF alone. Returns 0.
    static int32_t ZIP32_API UnzipPrint(char* buffer, int32_t length) noexcept;
    // Asks "Overwrite <name>?" in a Yes/No/Cancel box with the exclamation icon, titled
    // "UxUnZip32 - File Already Exists!", the name read from indices 0 to 255 of the buffer. Returns
    // kUnzipReplaceYes for Yes, kUnzipReplaceNone for Cancel, and kUnzipReplaceNo for No and
    // whenever the question could not be asked: no file is replaced without a Yes.
    static int32_t ZIP32_API UnzipReplace(char* fileName) noexcept;
    // Asks for the password in an input box, "Please Enter The Password!" with the program's title
    // and an empty default. An empty reply (Cancel) returns kUnzipPasswordNone and declines every
    // later request of the same run without a box. A reply fills the buffer: its `size` bytes are
    // zeroed, then the reply in the ANSI code page is written from index 0, cut to size - 1 bytes so
    // that a zero byte always ends it, and kUnzipPasswordGiven is returned. Without a buffer to
    // write into it returns kUnzipPasswordNone and asks nothing.
    static int32_t ZIP32_API UnzipPassword(char* password,
                                           int32_t size,
                                           const char* prompt,
                                           const char* entryName) noexcept;
    // Keeps nothing: the program has no use for the entries' details.
    static void ZIP32_API UnzipMessage(uint32_t size,
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
                                       int32_t encrypted) noexcept;
    // Returns 0, so that the run goes on, and keeps nothing.
    static int32_t ZIP32_API UnzipService(char* entryName, int32_t size) noexcept;

  private:
    // Runs one step of RunZip; an error it raises is shown as a recoverable error.
    template <typename Step>
    void RecoverableStep(Step&& step) noexcept;

    // Runs one step of a callback; an error it raises skips the step.
    template <typename Step>
    static void CallbackStep(Step&& step) noexcept {
        try {
            step();
        } catch (...) {
        }
    }

    // Adds printed text to the unzip run's output and makes LastMessage equal to the whole of it.
    void AppendUnzipOutput(const std::string& text);

    static XW_UN_ZIP_Module* instance_;

    IUi& ui_;
    ILocale& locale_;
    ILibraryLoader& libraries_;
    std::string lastMessage_;
    // The state of the latest unzip run, reset when the next one starts.
    std::string unzipPrintText_;  // everything its library printed
    int16_t passwordSkip_ = 0;    // 1 once the user declined to give a password in it
    // True while LastMessage holds exactly the unzip run's output, so that a print appends to both
    // instead of copying the whole output each time. A zip run, which empties LastMessage, clears it.
    bool lastMessageIsUnzipOutput_ = false;
};

}  // namespace ost
