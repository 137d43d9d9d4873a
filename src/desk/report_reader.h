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
    // Whether each section was read to its end: a section that a cut or a failed write left
    // partial or missing says nothing of what it lacks.
    bool summaryWhole = false, drivesWhole = false, programsWhole = false;
    std::optional<std::string> winName, winVersion, browser, processor, freeMemory, totalMemory, resolution;
    bool drivesListed = false;
    std::vector<DriveLine> drives;
    bool programsListed = false;
    std::vector<std::string> programs;
    Listing windows, system, pebblework;
    bool complete = false;  // it ends where a whole report ends, in a whole line
    uint64_t unreadableLines = 0;
    uint64_t longLines = 0;  // lines longer than kMaxReportLine, passed over
    std::vector<std::string> problems;  // what is missing or cut short, as phrases
};

// A line longer than this is passed over: no report has one (names are at most 260 characters),
// and holding it would let one damaged line take the desk's memory.
inline constexpr size_t kMaxReportLine = size_t{1} << 20;

// A whole number as the report writes memory, build and screen figures: decimal digits alone.
std::optional<uint64_t> WholeNumber(std::string_view text);

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
    int reached_ = 0;             // the furthest section begun, in the report's order
    bool drivesEnded_ = false;    // the empty line after the drive lines was read
    bool skippingLine_ = false;   // inside a line longer than kMaxReportLine
    uint64_t lines_ = 0;
    bool lastLineEmpty_ = true;  // the last line read was empty
    std::string pending_;
};

}  // namespace ost::desk
