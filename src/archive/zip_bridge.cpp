// The zip half of XW_UN_ZIP_Module: RunZip and the callbacks zip32.dll calls.
#include <algorithm>
#include <optional>
#include <vector>

#include "archive/library_text.h"
#include "archive/xw_un_zip_module.h"
#include "platform/error.h"

namespace ost {

namespace {

// The print callback's buffer holds indices 0 to 4096.
constexpr uint32_t kZipBufferLastIndex = kZipCallbackBufferSize - 1;

}  // namespace

template <typename Step>
void XW_UN_ZIP_Module::RecoverableStep(Step&& step) noexcept {
    try {
        step();
    } catch (...) {
        try {
            const AppError error = CurrentError();
            ui_.MsgBox("Recoverable Error.\r\n\r\n" + std::to_string(error.Number()) + error.Description(), mb::kOkOnly,
                       kAppTitle);
        } catch (...) {
            // A box that cannot be shown leaves no way to report the error; the run goes on.
        }
    }
}

int32_t XW_UN_ZIP_Module::RunZip(const int16_t& iCount,
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
                                 const int16_t& fDeleteEntries) {
    int32_t result = 0;
    ZIPUSERFUNCTIONS functions{};
    ZPOPT options{};                     // its two texts are kept apart until their copies are made
    std::optional<std::string> date;     // none: the date filters are off
    std::optional<std::string> rootDir;  // none until it is set, so a failed upper-casing gives null
    // The options' 8-bit texts live until the run ends, not only during ZpSetOptions: a library
    // that keeps the record's pointers for ZpArchive still finds them there.
    AnsiCopy dateCopy;
    AnsiCopy rootDirCopy;

    RecoverableStep([&] {
        lastMessage_.clear();
        lastMessageIsUnzipOutput_ = false;
    });
    RecoverableStep([&] {
        functions.print = &ZipPrint;
        functions.password = &ZipPassword;
        functions.comment = &ZipComment;
        functions.service = nullptr;
    });
    RecoverableStep([&] {
        options.fSuffix = 0;
        options.fEncrypt = fEncrypt;
        options.fSystem = fSystem;
        options.fVolume = 0;
        options.fExtra = 0;
        options.fNoDirEntries = fNoDirEntries;
        options.fExcludeDate = 0;
        options.fIncludeDate = 0;
        options.fVerbose = fVerbose;
        options.fQuiet = fQuiet;
        options.fCRLF_LF = fCRLF_LF;
        options.fLF_CRLF = fLF_CRLF;
        options.fJunkDir = fJunkDir;
        options.fRecurse = fRecurse;
        options.fGrow = fGrow;
        options.fForce = fForce;
        options.fMove = fMove;
        options.fDeleteEntries = fDeleteEntries;
        options.fUpdate = fUpdate;
        options.fFreshen = fFreshen;
        options.fJunkSFX = 0;
        options.fLatestTime = 0;
        options.fComment = 0;
        options.fOffsets = 0;
        options.fPrivilege = 0;
        options.fEncryption = 0;
        options.fRepair = 0;
        options.fLevel = 0;
        date.reset();
        rootDir = locale_.UpperCase(sRootDir);
    });
    // The user functions are registered again on every run: the record lives in this run only.
    RecoverableStep([&] { result = EntryAs<ZpInitFn>(libraries_, kZipLibrary, "ZpInit")(&functions); });
    RecoverableStep([&] {
        dateCopy = date ? AnsiCopy(locale_, *date) : AnsiCopy();
        rootDirCopy = rootDir ? AnsiCopy(locale_, *rootDir) : AnsiCopy();
        ZPOPT copy = options;
        copy.Date = dateCopy.data();
        copy.szRootDir = rootDirCopy.data();
        result = EntryAs<ZpSetOptionsFn>(libraries_, kZipLibrary, "ZpSetOptions")(&copy);
        // Nothing reads the options after the call, so what the library wrote into them stays there.
    });
    RecoverableStep([&] {
        AnsiCopy zipFileNameCopy(locale_, sZipFileName);
        std::vector<AnsiCopy> nameCopies(ZipNameList::kSize);
        ZIPNAMES names{};
        for (int i = 0; i < ZipNameList::kSize; ++i) {
            const std::string& name = zipNames.At(i);
            if (!name.empty())
                nameCopies[static_cast<size_t>(i)] = AnsiCopy(locale_, name);
            names.name[i] = nameCopies[static_cast<size_t>(i)].data();
        }
        result = EntryAs<ZpArchiveFn>(libraries_, kZipLibrary, "ZpArchive")(iCount, zipFileNameCopy.data(), &names);
        zipFileNameCopy.CopyBackInto(locale_, sZipFileName);
        for (int i = 0; i < ZipNameList::kSize; ++i)
            nameCopies[static_cast<size_t>(i)].CopyBackInto(locale_, zipNames.At(i));
    });
    return result;
}

// In the callbacks, each step that fails is skipped and the next one runs: the library always
// receives its answer.

int32_t ZIP32_API XW_UN_ZIP_Module::ZipPrint(char* buffer, uint32_t length) noexcept {
    XW_UN_ZIP_Module* module = instance_;
    if (module == nullptr)
        return 0;
    std::string text;
    try {
        text = module->locale_.FromAnsi(CallbackText(buffer, std::min(length, kZipBufferLastIndex)));
    } catch (...) {
    }
    try {
        module->lastMessage_ += text;
    } catch (...) {
    }
    try {
        module->ui_.DoEvents();
    } catch (...) {
    }
    return 0;
}

int32_t ZIP32_API XW_UN_ZIP_Module::ZipPassword(char*, int32_t, const char*, const char*) noexcept {
    return 1;
}

char* ZIP32_API XW_UN_ZIP_Module::ZipComment(char* buffer) noexcept {
    return buffer;
}

}  // namespace ost
