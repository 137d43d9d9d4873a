#include "archive/xw_un_zip_module.h"

#include "platform/error.h"

namespace ost {

XW_UN_ZIP_Module* XW_UN_ZIP_Module::instance_ = nullptr;

size_t ZipNameList::Checked(int index) {
    if (index < 0 || index >= kSize)
        throw MakeError(err::kSubscript, {}, "ZipNameList entry " + std::to_string(index));
    return static_cast<size_t>(index);
}

std::string& ZipNameList::At(int index) {
    return names_[Checked(index)];
}

const std::string& ZipNameList::At(int index) const {
    return names_[Checked(index)];
}

XW_UN_ZIP_Module::XW_UN_ZIP_Module(IUi& ui, ILocale& locale, ILibraryLoader& libraries)
    : ui_(ui), locale_(locale), libraries_(libraries) {
    if (instance_ != nullptr)
        throw MakeError(err::kInvalidCall, "XW_UN_ZIP_Module", "the program's bridge module is already set up");
    instance_ = this;
}

XW_UN_ZIP_Module::~XW_UN_ZIP_Module() {
    if (instance_ == this)
        instance_ = nullptr;
}

XW_UN_ZIP_Module& XW_UN_ZIP_Module::Instance() {
    if (instance_ == nullptr)
        throw MakeError(err::kObjectNotSet, "XW_UN_ZIP_Module", "the program has not set up its bridge module");
    return *instance_;
}

}  // namespace ost
