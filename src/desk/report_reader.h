// Reads a support report back into its facts: the exact inverse of the report writer, line by
// line, from the same layout texts. The report is read as it comes out of the archive, a piece at
// a time. Texts are kept as the report's bytes (its machine's ANSI code page); the caller decodes
// them for output, once the code page is known.
//
// A write of the report that failed on the user's machine is simply missing, and a run that was
// stopped leaves the report cut short; both are read as far as they go and described in
// `problems`, never taken for a whole report.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ost::desk {

struct DriveLine {
    std::string letter;
    bool readable = false;  // a drive the tool could not read has a line of its letter alone
    std::string name, fileSystem, type, serial;
    double freeMegabytes = 0, totalMegabytes = 0;
};

struct ListingEntry {
    std::string name, created, size;  // created is empty in the short form of Windows 98 and ME
};

struct Listing {
    bool present = false;
    std::string path;
    uint64_t files = 0, folders = 0;
    double fileBytes = 0;                                  // the files' sizes added up, as near as the size texts tell
    bool closed = false;                                   // its end was read
    std::vector<ListingEntry> fileEntries, folderEntries;  // only when the reader keeps entries
};

struct Report {
    bool title = false;
    std::optional<std::string> winName, winVersion, browser, processor, freeMemory, totalMemory, resolution;
    bool drivesListed = false;
    std::vector<DriveLine> drives;
    bool programsListed = false;
    std::vector<std::string> programs;
    Listing windows, system, pebblework;
    bool complete = false;  // it ends where a whole report ends, in a whole line
    uint64_t unreadableLines = 0;
    std::vector<std::string> problems;  // what is missing or cut short, as phrases
};

// The approximate number of bytes a listing's size text stands for ("5 bytes", "1,5kb"); nothing
// for a text of another form.
std::optional<double> SizeTextBytes(std::string_view text);

class ReportReader {
  public:
    // With `keepEntries`, every entry line of the three listings is kept (for comparing two
    // reports); without, only counted.
    explicit ReportReader(bool keepEntries) : keepEntries_(keepEntries) {}

    void Feed(const uint8_t* data, size_t size);
    // The report has ended: reads its last line, settles whether it is whole and returns it.
    Report Finish();

  private:
    enum class Section { kNone, kSummary, kDrives, kPrograms, kListing };
    enum class Part { kHead, kFiles, kBetween, kFolders };
    void Line(std::string_view line);
    bool Heading(std::string_view line);
    void Entry(std::string_view line);

    bool keepEntries_;
    Report report_;
    Section section_ = Section::kNone;
    Part part_ = Part::kHead;
    bool afterPartHeading_ = false;  // the short rule under "Files" or "Folders" comes next
    Listing* listing_ = nullptr;
    uint64_t lines_ = 0;
    std::string lastLine_;
    std::string pending_;
};

}  // namespace ost::desk
