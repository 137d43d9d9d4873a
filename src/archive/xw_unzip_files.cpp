#include "archive/xw_unzip_files.h"

#include <limits>

#include "archive/xw_un_zip_module.h"
#include "platform/error.h"

namespace ost {

namespace {

const char* const kUnzipSource = "XWUnZipFiles::Unzip";

// `value` as a 16-bit integer; AppError 6 "Overflow" naming `property` when it does not fit.
int16_t To16Bit(int32_t value, const char* property) {
    if (value < std::numeric_limits<int16_t>::min() || value > std::numeric_limits<int16_t>::max())
        throw MakeError(err::kOverflow, {},
                        std::string(property) + " " + std::to_string(value) + " does not fit in 16 bits");
    return static_cast<int16_t>(value);
}

}  // namespace

int32_t XWUnzipFiles::Unzip(const std::string& sZipFileName, const std::string& sExtractDir) {
    try {
        if (!sZipFileName.empty())
            zipFileName_ = sZipFileName;
        if (!sExtractDir.empty())
            extractDir_ = sExtractDir;
        const int16_t privilege = To16Bit(privilege_, "Privilege");
        const int16_t extractList = To16Bit(extractList_, "ExtractList");
        const int16_t messageLevel = To16Bit(messageLevel_, "MessageLevel");
        return XW_UN_ZIP_Module::Instance().UxUnzip(
            zipFileName_, extractDir_, extractNewer_, spaceToUnderScore_, promptOverwrite_, messageLevel,
            writeToStdOut_, testZip_, extractList, extractOnlyNewer_, displayComment_, honorDirectories_,
            overWriteFiles_, convertCRtoCRLF_, verbose_, caseSensitive_, privilege);
    } catch (...) {
        throw CurrentError().WithSource(kUnzipSource);
    }
}

std::string XWUnzipFiles::GetLastMessage() const {
    return XW_UN_ZIP_Module::Instance().LastMessage();
}

}  // namespace ost
