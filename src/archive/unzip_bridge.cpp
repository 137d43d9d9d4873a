// The unzip half of XW_UN_ZIP_Module: UxUnzip and the callbacks unzip32.dll calls.
#include <algorithm>
#include <array>
#include <cstring>

#include "archive/library_text.h"
#include "archive/xw_un_zip_module.h"
#include "platform/error.h"

namespace ost {

namespace {

const char* const kUxUnzipSource = "CodeModule::UxUnzip";
const char* const kPasswordPrompt = "Please Enter The Password!";
const char* const kReplaceTitle = "UxUnZip32 - File Already Exists!";

// The overwrite question takes the file name from indices 0 to 255 of its buffer.
constexpr size_t kReplaceNameLastIndex = 255;

// The version record as the library receives it: its length, three texts of blanks, the rest zero.
UnzipVersionInfo BlankVersionInfo() {
    UnzipVersionInfo version{};
    version.length = sizeof(UnzipVersionInfo);
    std::memset(version.betaLevel, ' ', sizeof(version.betaLevel) - 1);
    std::memset(version.date, ' ', sizeof(version.date) - 1);
    std::memset(version.zlibVersion, ' ', sizeof(version.zlibVersion) - 1);
    return version;
}

// The 8-bit copy of a text for the options record: a null pointer for an empty text.
AnsiCopy OptionalCopy(ILocale& locale, const std::string& text) {
    return text.empty() ? AnsiCopy() : AnsiCopy(locale, text);
}

}  // namespace

int32_t XW_UN_ZIP_Module::UxUnzip(std::string& sZipFileName,
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
                                  const int16_t& iPrivilege) {
    try {
        lastMessage_.clear();
        unzipPrintText_.clear();
        lastMessageIsUnzipOutput_ = true;
        passwordSkip_ = 0;

        // In the order of the record's fields.
        DCL options{};
        options.ExtractOnlyNewer = iExtractOnlyNewer;
        options.SpaceToUnderScore = iSpaceToUnderScore;
        options.PromptOverwrite = iPromptOverwrite;
        options.MessageLevel = iMessageLevel;
        options.WriteToStdOut = iWriteToStdOut;
        options.TestZip = iTestZip;
        options.ExtractList = iExtractList;
        options.ExtractNewer = iExtractNewer;
        options.DisplayComment = iDisplayComment;
        options.HonorDirectories = iHonorDirectories;
        options.OverWriteFiles = iOverWriteFiles;
        options.ConvertCRtoCRLF = iConvertCRtoCRLF;
        options.Verbose = iVerbose;
        options.CaseSensitive = iCaseSensitive;
        options.Privilege = iPrivilege;

        USERFUNCTION functions{};
        functions.print = &UnzipPrint;
        functions.sound = nullptr;
        functions.replace = &UnzipReplace;
        functions.password = &UnzipPassword;
        functions.message = &UnzipMessage;
        functions.service = &UnzipService;

        UnzipVersionInfo version = BlankVersionInfo();
        EntryAs<UzpVersion2Fn>(libraries_, kUnzipLibrary, "UzpVersion2")(&version);

        AnsiCopy zipFileNameCopy = OptionalCopy(locale_, sZipFileName);
        AnsiCopy extractDirCopy = OptionalCopy(locale_, sExtractDir);
        options.ZipFileName = zipFileNameCopy.data();
        options.ExtractDir = extractDirCopy.data();
        std::array<char*, kUnzipNameListSize> include{};  // no names: every entry is included
        std::array<char*, kUnzipNameListSize> exclude{};  // and none excluded
        const int32_t result = EntryAs<Wiz_SingleEntryUnzipFn>(libraries_, kUnzipLibrary, "Wiz_SingleEntryUnzip")(
            0, include.data(), 0, exclude.data(), &options, &functions);
        zipFileNameCopy.CopyBackInto(locale_, sZipFileName);
        extractDirCopy.CopyBackInto(locale_, sExtractDir);
        return result;
    } catch (...) {
        throw CurrentError().WithSource(kUxUnzipSource);
    }
}

void XW_UN_ZIP_Module::AppendUnzipOutput(const std::string& text) {
    unzipPrintText_ += text;
    if (lastMessageIsUnzipOutput_) {
        lastMessageIsUnzipOutput_ = false;  // until the append below has succeeded
        lastMessage_ += text;
    } else {
        lastMessage_ = unzipPrintText_;
    }
    lastMessageIsUnzipOutput_ = true;
}

int32_t ZIP32_API XW_UN_ZIP_Module::UnzipPrint(char* buffer, int32_t length) noexcept {
    XW_UN_ZIP_Module* module = instance_;
    if (module == nullptr)
        return 0;
    std::string text;
    CallbackStep([&] {
        if (length > 0)
            text = module->locale_.FromAnsi(
                CallbackText(buffer, static_cast<size_t>(std::min(length, kUnzipCallbackBufferSize) - 1)));
    });
    CallbackStep([&] {
        if (!text.empty() && text.front() == '\n')
            text = "\r\n";
    });
    CallbackStep([&] { module->AppendUnzipOutput(text); });
    return 0;
}

int32_t ZIP32_API XW_UN_ZIP_Module::UnzipReplace(char* fileName) noexcept {
    XW_UN_ZIP_Module* module = instance_;
    int32_t answer = 0;
    if (module != nullptr) {
        std::string name;
        CallbackStep([&] { name = module->locale_.FromAnsi(CallbackText(fileName, kReplaceNameLastIndex)); });
        CallbackStep([&] {
            answer = module->ui_.MsgBox("Overwrite " + name + "?", mb::kExclamation | mb::kYesNoCancel, kReplaceTitle);
        });
    }
    if (answer == mb::kAnswerYes)
        return kUnzipReplaceYes;
    if (answer == mb::kAnswerCancel)
        return kUnzipReplaceNone;
    return kUnzipReplaceNo;
}

int32_t ZIP32_API XW_UN_ZIP_Module::UnzipPassword(char* password, int32_t size, const char*, const char*) noexcept {
    XW_UN_ZIP_Module* module = instance_;
    if (module == nullptr || module->passwordSkip_ == 1 || password == nullptr || size <= 0)
        return kUnzipPasswordNone;
    std::string reply;
    CallbackStep([&] { reply = module->ui_.InputBox(kPasswordPrompt, kAppTitle, ""); });
    if (reply.empty()) {
        module->passwordSkip_ = 1;
        return kUnzipPasswordNone;
    }
    std::memset(password, 0, static_cast<size_t>(size));
    CallbackStep([&] {
        const std::string bytes = module->locale_.ToAnsi(reply);
        std::memcpy(password, bytes.data(), std::min(bytes.size(), static_cast<size_t>(size) - 1));
    });
    return kUnzipPasswordGiven;
}

void ZIP32_API XW_UN_ZIP_Module::UnzipMessage(uint32_t,
                                              uint32_t,
                                              uint32_t,
                                              int16_t,
                                              int16_t,
                                              int16_t,
                                              int16_t,
                                              int16_t,
                                              char,
                                              char*,
                                              const char*,
                                              uint32_t,
                                              int32_t) noexcept {}

int32_t ZIP32_API XW_UN_ZIP_Module::UnzipService(char*, int32_t) noexcept {
    return 0;
}

}  // namespace ost
