// XWUnzipFiles: the zip archive extractor. It keeps the options of one run over an archive
// (extract, list or test) and hands them to the unzip library through XW_UN_ZIP_Module::UxUnzip;
// it reads no archive itself and gives no option a meaning of its own: each goes to the field of
// the library's options record that bears its name.
#pragma once

#include <cstdint>
#include <string>

namespace ost {

// Needs the program's XW_UN_ZIP_Module for Unzip and GetLastMessage; without one they raise
// AppError 91.
class XWUnzipFiles {
  public:
    // Folders honoured, existing files overwritten, names matched with their case, message level
    // 2; every other switch off, ExtractList and Privilege 0, no archive and no extraction folder.
    XWUnzipFiles() = default;

    // The eleven switches are stored as 1 (on) and 0 (off); a get is true exactly when 1 is stored.
    bool ExtractNewer() const { return extractNewer_ == 1; }
    void ExtractNewer(bool bExtractNewer) { extractNewer_ = Stored(bExtractNewer); }
    bool SpaceToUnderScore() const { return spaceToUnderScore_ == 1; }
    void SpaceToUnderScore(bool bConvert) { spaceToUnderScore_ = Stored(bConvert); }
    bool PromptOverwrite() const { return promptOverwrite_ == 1; }
    void PromptOverwrite(bool bPrompt) { promptOverwrite_ = Stored(bPrompt); }
    int32_t MessageLevel() const { return messageLevel_; }
    void MessageLevel(int32_t iLevel) { messageLevel_ = iLevel; }
    bool WriteToStdOut() const { return writeToStdOut_ == 1; }
    void WriteToStdOut(bool bWrite) { writeToStdOut_ = Stored(bWrite); }
    bool TestZip() const { return testZip_ == 1; }
    void TestZip(bool bTest) { testZip_ = Stored(bTest); }
    int32_t ExtractList() const { return extractList_; }
    void ExtractList(int32_t zExType) { extractList_ = zExType; }
    bool ExtractOnlyNewer() const { return extractOnlyNewer_ == 1; }
    void ExtractOnlyNewer(bool bOnlyNewer) { extractOnlyNewer_ = Stored(bOnlyNewer); }
    bool DisplayComment() const { return displayComment_ == 1; }
    void DisplayComment(bool bDisplay) { displayComment_ = Stored(bDisplay); }
    bool HonorDirectories() const { return honorDirectories_ == 1; }
    void HonorDirectories(bool bHonor) { honorDirectories_ = Stored(bHonor); }
    bool OverWriteFiles() const { return overWriteFiles_ == 1; }
    void OverWriteFiles(bool bOverWrite) { overWriteFiles_ = Stored(bOverWrite); }
    bool ConvertCRtoCRLF() const { return convertCRtoCRLF_ == 1; }
    void ConvertCRtoCRLF(bool bConvert) { convertCRtoCRLF_ = Stored(bConvert); }
    bool Verbose() const { return verbose_ == 1; }
    void Verbose(bool bVerbose) { verbose_ = Stored(bVerbose); }
    bool CaseSensitive() const { return caseSensitive_ == 1; }
    void CaseSensitive(bool bCaseSensitive) { caseSensitive_ = Stored(bCaseSensitive); }
    int32_t Privilege() const { return privilege_; }
    void Privilege(int32_t zPriv) { privilege_ = zPriv; }
    const std::string& ZipFileName() const { return zipFileName_; }
    void ZipFileName(const std::string& sZipFileName) { zipFileName_ = sZipFileName; }
    const std::string& ExtractDir() const { return extractDir_; }
    void ExtractDir(const std::string& sExtractDir) { extractDir_ = sExtractDir; }

    // Runs the library once with the stored options and returns its result unchanged (0 for a
    // clean run). A non-empty `sZipFileName` or `sExtractDir` is stored first, for this run and the
    // later ones; an empty one leaves the stored text as it is. A change the library makes to
    // either text comes back into the stored one.
    //
    // Privilege, ExtractList and MessageLevel, in that order, must fit in 16 bits: the first that
    // does not raises AppError 6 "Overflow" before the library is called. That error and every
    // error of the run (see UxUnzip) are raised with their number and description and the source
    // "XWUnZipFiles::Unzip".
    int32_t Unzip(const std::string& sZipFileName = {}, const std::string& sExtractDir = {});

    // What the library printed during the most recent zip or unzip run of the program.
    std::string GetLastMessage() const;

  private:
    static int16_t Stored(bool on) { return on ? 1 : 0; }

    int16_t extractNewer_ = 0;
    int16_t spaceToUnderScore_ = 0;
    int16_t promptOverwrite_ = 0;
    int32_t messageLevel_ = 2;
    int16_t writeToStdOut_ = 0;
    int16_t testZip_ = 0;
    int32_t extractList_ = 0;
    int16_t extractOnlyNewer_ = 0;
    int16_t displayComment_ = 0;
    int16_t honorDirectories_ = 1;
    int16_t overWriteFiles_ = 1;
    int16_t convertCRtoCRLF_ = 0;
    int16_t verbose_ = 0;
    int16_t caseSensitive_ = 1;
    int32_t privilege_ = 0;
    std::string zipFileName_;
    std::string extractDir_;
};

}  // namespace ost
