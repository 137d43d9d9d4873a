// XWZipFiles: the zip archive builder. It keeps the names to pack and a few switches, and hands
// them to the zip library through XW_UN_ZIP_Module::RunZip; it reads no file itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/error.h"

namespace ost {

// Raised by AddFile: "File is already in Zip List", source "XWZip::AddFile".
inline constexpr int32_t kErrFileAlreadyInZipList = err::kObjectErrorBase + 2001;
// Raised by RemoveFile: "File is not in Zip List", source "XWZip::RemoveFile".
inline constexpr int32_t kErrFileNotInZipList = err::kObjectErrorBase + 2002;

// The builder's list holds this placeholder first. The library receives it as entry 0 of the
// name list; it is not one of the files and ZipFileCount leaves it out.
inline constexpr const char* kZipListPlaceholder = "querty";

// Needs the program's XW_UN_ZIP_Module from its construction on (its locale compares names, its
// RunZip runs the library); without one, every operation that needs it raises AppError 91.
class XWZipFiles {
  public:
    // An empty builder: the placeholder alone, no archive name, the root folder "\", all switches off.
    XWZipFiles();

    // The switches are stored as 1 (on) and 0 (off); a get is true exactly when 1 is stored.
    bool RecurseFolders() const { return recurse_ == 1; }
    void RecurseFolders(bool bRecurse) { recurse_ = bRecurse ? 1 : 0; }
    const std::string& ZipFileName() const { return zipFileName_; }
    void ZipFileName(const std::string& sZipFileName) { zipFileName_ = sZipFileName; }
    // Stored and reported only: MakeZipFile passes 0 for encryption whatever it holds.
    bool Encrypted() const { return encrypt_ == 1; }
    void Encrypted(bool bEncrypt) { encrypt_ = bEncrypt ? 1 : 0; }
    // Stored and reported only: MakeZipFile passes 0 for system and hidden files whatever it holds.
    bool IncludeSystemFiles() const { return system_ == 1; }
    void IncludeSystemFiles(bool bInclude) { system_ = bInclude ? 1 : 0; }
    // The number of names added, the placeholder not counted.
    int32_t ZipFileCount() const { return static_cast<int32_t>(files_.size()) - 1; }
    // The folder stored names are taken relative to, kept as given; RunZip upper-cases it.
    const std::string& RootDirectory() const { return rootDir_; }
    void RootDirectory(const std::string& sRootDir) { rootDir_ = sRootDir; }
    bool UpdatingZip() const { return updating_ == 1; }
    void UpdatingZip(bool bUpdating) { updating_ = bUpdating ? 1 : 0; }

    // Appends a name to the list. Names are compared without regard to letter case, in every
    // script, as the file system compares them. Raises kErrFileAlreadyInZipList when the name (or
    // the placeholder's) is listed already, and AppError 5 for an empty name or one that holds a
    // zero character, which could not reach the library whole. On error the list is unchanged.
    void AddFile(const std::string& sFileName);
    // Removes a listed name, in any letter case. Raises kErrFileNotInZipList when it is not listed.
    // The placeholder is a listed name too: removing it puts the first added name in entry 0.
    void RemoveFile(const std::string& sFileName);

    // Runs the library over the list: entry 0 of the name list is the placeholder, then the names in
    // the order they were added, with the archive name, the recurse and updating switches and the
    // root folder; every other switch is 0. Returns the library's result unchanged: 0 when the
    // archive was written. Failures of the library's run are shown by RunZip and never raised here.
    // A change the library makes to the archive name comes back into ZipFileName.
    // Raises AppError 9 "Subscript out of range", source "XWZipFiles::MakeZipFile", when the list
    // holds more than the name list's 100 entries (the placeholder and 99 names); the library is
    // then not called.
    int32_t MakeZipFile();

    // What the library printed during the most recent zip or unzip run of the program.
    std::string GetLastMessage() const;

  private:
    struct Entry {
        std::string text;
        std::string key;  // the text in upper case
    };

    // The position of the entry whose key matches `name`'s; none when there is no such entry or
    // the lookup itself failed.
    std::optional<size_t> Find(const std::string& name) const noexcept;
    static std::string Key(const std::string& name);

    std::vector<Entry> files_;
    int16_t recurse_ = 0;
    std::string zipFileName_;
    int16_t encrypt_ = 0;
    int16_t system_ = 0;
    std::string rootDir_ = "\\";
    int16_t updating_ = 0;
};

}  // namespace ost
