#include "archive/xw_zip_files.h"

#include "archive/xw_un_zip_module.h"

namespace ost {

namespace {

const char* const kAddFileSource = "XWZip::AddFile";
const char* const kRemoveFileSource = "XWZip::RemoveFile";
const char* const kMakeZipFileSource = "XWZipFiles::MakeZipFile";

}  // namespace

XWZipFiles::XWZipFiles() {
    files_.push_back({kZipListPlaceholder, Key(kZipListPlaceholder)});
}

std::string XWZipFiles::Key(const std::string& name) {
    return XW_UN_ZIP_Module::Instance().Locale().UpperCase(name);
}

std::optional<size_t> XWZipFiles::Find(const std::string& name) const noexcept {
    try {
        const std::string key = Key(name);
        for (size_t i = 0; i < files_.size(); ++i) {
            if (files_[i].key == key)
                return i;
        }
    } catch (...) {
        // A name whose key cannot be made counts as not listed; adding it then raises the error.
    }
    return std::nullopt;
}

void XWZipFiles::AddFile(const std::string& sFileName) {
    if (Find(sFileName))
        throw AppError(kErrFileAlreadyInZipList, "File is already in Zip List", kAddFileSource);
    if (sFileName.empty() || sFileName.find('\0') != std::string::npos)
        throw MakeError(err::kInvalidCall, kAddFileSource, "a file name must hold text and no zero character");
    try {
        files_.push_back({sFileName, Key(sFileName)});
    } catch (...) {
        throw CurrentError().WithSource(kAddFileSource);
    }
}

void XWZipFiles::RemoveFile(const std::string& sFileName) {
    const std::optional<size_t> position = Find(sFileName);
    if (!position)
        throw AppError(kErrFileNotInZipList, "File is not in Zip List", kRemoveFileSource);
    files_.erase(files_.begin() + static_cast<std::ptrdiff_t>(*position));
}

int32_t XWZipFiles::MakeZipFile() {
    XW_UN_ZIP_Module* module = nullptr;
    ZipNameList names;
    int16_t count = 0;
    try {
        module = &XW_UN_ZIP_Module::Instance();
        for (const Entry& entry : files_) {
            names.At(count) = entry.text;
            ++count;
        }
    } catch (...) {
        throw CurrentError().WithSource(kMakeZipFileSource);
    }
    // fJunkDir and fFreshen are 0, and so are the eleven switches from fEncrypt to fDeleteEntries.
    return module->RunZip(count, zipFileName_, names, 0, recurse_, updating_, 0, rootDir_, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                          0);
}

std::string XWZipFiles::GetLastMessage() const {
    return XW_UN_ZIP_Module::Instance().LastMessage();
}

}  // namespace ost
