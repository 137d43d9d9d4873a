#include "desk/report_reader.h"

#include <algorithm>

#include "app/report_layout.h"
#include "inspect/drive_listing.h"

namespace ost::desk {

namespace {

using namespace ost::report;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A number as the report writes it: digits, and maybe the user's decimal separator (one or more
// bytes that are not digits) and more digits.
std::optional<double> Number(std::string_view text) {
    const size_t i = std::min(text.size(), text.find_first_not_of("0123456789"));
    double whole = 0;
    for (size_t k = 0; k < i; ++k)
        whole = whole * 10 + (text[k] - '0');
    if (i == 0)
        return std::nullopt;
    if (i == text.size())
        return whole;
    // Two decimals at most, after a separator of up to four bytes that are no digits.
    const size_t digits = text.find_last_not_of("0123456789") + 1;  // text[i] is no digit
    if (digits == text.size() || text.size() - digits > 2 || digits - i > 4 ||
        std::any_of(text.begin() + static_cast<ptrdiff_t>(i), text.begin() + static_cast<ptrdiff_t>(digits), IsDigit))
        return std::nullopt;
    // Hundredths counted whole and divided once: "2.93" is the double nearest 2.93.
    double scale = 1, fraction = 0;
    for (size_t k = digits; k < text.size(); ++k) {
        scale *= 10;
        fraction = fraction * 10 + (text[k] - '0');
    }
    return (whole * scale + fraction) / scale;
}

// "5.1 (Build 2600)"
bool IsVersionLine(std::string_view line) {
    const size_t build = line.find(" (Build ");
    return build != std::string_view::npos && line.ends_with(")") && Number(line.substr(0, build)) &&
           Number(line.substr(build + 8, line.size() - build - 9));
}

std::optional<DriveLine> ParseDrive(std::string_view line) {
    const size_t letterEnd = line.find(kDriveLetterEnd);
    if (letterEnd == std::string_view::npos || letterEnd == 0)
        return std::nullopt;
    DriveLine drive;
    drive.letter = line.substr(0, letterEnd);
    const std::string_view rest = line.substr(letterEnd + kDriveLetterEnd.size());
    if (rest.empty())
        return drive;
    const size_t typeEnd = rest.rfind(kDriveTypeEnd);
    const size_t totalEnd = typeEnd == std::string_view::npos ? typeEnd : rest.rfind(kDriveTotalEnd, typeEnd);
    const size_t freeEnd = totalEnd == std::string_view::npos ? totalEnd : rest.rfind(kDriveFreeEnd, totalEnd);
    const size_t nameEnd = freeEnd == std::string_view::npos ? freeEnd : rest.rfind(kDriveNameEnd, freeEnd);
    if (nameEnd == std::string_view::npos || !rest.ends_with(kDriveEnd))
        return std::nullopt;
    const auto free = Number(rest.substr(nameEnd + kDriveNameEnd.size(), freeEnd - nameEnd - kDriveNameEnd.size()));
    const size_t totalStart = freeEnd + kDriveFreeEnd.size();
    const auto total = Number(rest.substr(totalStart, totalEnd - totalStart));
    if (!free || !total)
        return std::nullopt;
    drive.readable = true;
    drive.name = rest.substr(0, nameEnd);
    drive.freeMegabytes = *free;
    drive.totalMegabytes = *total;
    const size_t serialStart = typeEnd + kDriveTypeEnd.size();
    drive.serial = rest.substr(serialStart, rest.size() - serialStart - kDriveEnd.size());
    // The file system is whatever the system said; the type is one of the table's names.
    const size_t fsStart = totalEnd + kDriveTotalEnd.size();
    const std::string_view fsAndType = rest.substr(fsStart, typeEnd - fsStart);
    const size_t blank = fsAndType.find(' ') == std::string_view::npos ? fsAndType.size() : fsAndType.rfind(' ');
    drive.fileSystem = fsAndType.substr(0, blank);
    for (int32_t type = 0; type <= 5; ++type) {
        const std::string name = DriveTypeName(type);
        const size_t at = fsAndType.size() - std::min(fsAndType.size(), name.size() + 1);
        if (fsAndType.ends_with(name) && fsAndType.size() > name.size() && fsAndType[at] == ' ') {
            drive.type = name;
            drive.fileSystem = fsAndType.substr(0, at);
        }
    }
    return drive;
}

std::optional<ListingEntry> ParseEntry(std::string_view line) {
    if (!line.ends_with(kEntryEnd))
        return std::nullopt;
    line.remove_suffix(kEntryEnd.size());
    ListingEntry entry;
    const size_t longSize = line.rfind(kLongSize);
    const size_t created = longSize == std::string_view::npos ? longSize : line.rfind(kCreated, longSize);
    if (created != std::string_view::npos) {
        entry.name = line.substr(0, created);
        entry.created = line.substr(created + kCreated.size(), longSize - created - kCreated.size());
        entry.size = line.substr(longSize + kLongSize.size());
    } else if (const size_t shortSize = line.rfind(kShortSize); shortSize != std::string_view::npos) {
        entry.name = line.substr(0, shortSize);
        entry.size = line.substr(shortSize + kShortSize.size());
    } else {
        return std::nullopt;
    }
    if (entry.name.empty() || !SizeTextBytes(entry.size))
        return std::nullopt;
    return entry;
}

}  // namespace

std::optional<uint64_t> WholeNumber(std::string_view text) {
    if (text.empty() || text.size() > 19 || !std::all_of(text.begin(), text.end(), IsDigit))
        return std::nullopt;
    uint64_t n = 0;
    for (const char c : text)
        n = n * 10 + static_cast<uint64_t>(c - '0');
    return n;
}

std::optional<double> SizeTextBytes(std::string_view text) {
    if (text.ends_with(kBytesUnit)) {
        const std::string_view digits = text.substr(0, text.size() - kBytesUnit.size());
        if (digits.empty() || !std::all_of(digits.begin(), digits.end(), IsDigit))
            return std::nullopt;
        return Number(digits);
    }
    if (!text.ends_with(kKilobytesUnit))
        return std::nullopt;
    const auto kilobytes = Number(text.substr(0, text.size() - kKilobytesUnit.size()));
    if (!kilobytes)
        return std::nullopt;
    return *kilobytes * 1024;
}

void ReportReader::Feed(const uint8_t* data, size_t size) {
    pending_.append(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    for (size_t end; (end = pending_.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string_view line(pending_.data() + start, end - start);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (!skippingLine_ && line.size() > kMaxReportLine) {
            ++lines_;
            ++report_.longLines;
            lastLineEmpty_ = false;
        } else if (skippingLine_) {
            skippingLine_ = false;
        } else {
            Line(line);
        }
    }
    pending_.erase(0, start);
    if (pending_.size() > kMaxReportLine && !skippingLine_) {
        skippingLine_ = true;
        ++lines_;
        ++report_.longLines;
        lastLineEmpty_ = false;
    }
    if (skippingLine_)
        pending_.clear();
}

Report ReportReader::Finish() {
    const bool wholeLines = pending_.empty() && !skippingLine_;
    if (!pending_.empty())
        Line(pending_);
    pending_.clear();
    Report& r = report_;
    const bool ended = section_ == Section::kNone && lastLineEmpty_ && r.system.closed &&
                       (!r.pebblework.present || r.pebblework.closed);
    const bool summary = r.winName || r.winVersion || r.browser || r.processor || r.freeMemory || r.totalMemory;
    // The sections in the report's order. In a report that is cut short, those after the last one
    // it reached are not missing but cut off.
    const std::pair<bool, const char*> sections[] = {
        {r.title, "the report's title"},
        {summary, "the system summary"},
        {r.resolution.has_value(), "the screen resolution"},
        {r.drivesListed, "the drive listing"},
        {r.programsListed, "the list of programs"},
        {r.windows.present, "the Windows folder's listing"},
        {r.system.present, "the system folder's listing"},
    };
    size_t reached = std::size(sections);
    if (!ended || !wholeLines)
        while (reached > 0 && !sections[reached - 1].first)
            --reached;
    for (size_t i = 0; i < reached; ++i)
        if (!sections[i].first)
            r.problems.push_back(std::string(sections[i].second) + " is missing");
    if (lines_ == 0) {
        r.problems.push_back("it is empty");
        return std::move(report_);
    }
    r.complete = wholeLines && ended;
    // A section was read to its end when a later one began, or when the report ended whole.
    r.summaryWhole = summary && (r.complete || reached_ > 1);
    r.drivesWhole = r.drivesListed && (r.complete || reached_ > 3 || drivesEnded_);
    r.programsWhole = r.programsListed && (r.complete || reached_ > 4);
    if (!wholeLines) {
        r.problems.push_back("it is cut short in the middle of a line");
    } else if (!ended) {
        const char* where = section_ == Section::kSummary    ? "in the system summary"
                            : section_ == Section::kDrives   ? "in the drive listing"
                            : section_ == Section::kPrograms ? "in the list of programs"
                            : listing_ == &r.windows         ? "in the Windows folder's listing"
                            : listing_ == &r.system          ? "in the system folder's listing"
                            : listing_ == &r.pebblework      ? "in the Pebblework folder's listing"
                                                             : "before its last section";
        r.problems.push_back(std::string("it is cut short ") + where);
    }
    if (r.longLines > 0)
        r.problems.push_back(std::to_string(r.longLines) + (r.longLines == 1 ? " line is" : " lines are") +
                             " longer than " + std::to_string(kMaxReportLine >> 20) + " MB and not read");
    if (r.unreadableLines > 0)
        r.problems.push_back(std::to_string(r.unreadableLines) + (r.unreadableLines == 1 ? " line is" : " lines are") +
                             " not in the report's form");
    return std::move(report_);
}

bool ReportReader::Heading(std::string_view line) {
    Report& r = report_;
    auto enter = [&](Section section, int order) {
        section_ = section;
        reached_ = std::max(reached_, order);
        return true;
    };
    if (line == kTitle) {
        r.title = true;
        return enter(Section::kNone, 0);
    }
    if (line == kSystemHeading)
        return enter(Section::kSummary, 1);
    if (line == kDrivesHeading) {
        r.drivesListed = true;
        return enter(Section::kDrives, 3);
    }
    if (line == kProgramsHeading) {
        r.programsListed = true;
        return enter(Section::kPrograms, 4);
    }
    int order = 4;
    for (auto [heading, listing] : {std::pair{&kWindowsListing, &r.windows}, std::pair{&kSystemListing, &r.system},
                                    std::pair{&kPebbleworkListing, &r.pebblework}}) {
        ++order;
        if (line.starts_with(*heading) && line.ends_with(kListingEnd) &&
            line.size() >= heading->size() + kListingEnd.size()) {
            listing_ = listing;
            listing->present = true;
            listing->path = line.substr(heading->size(), line.size() - heading->size() - kListingEnd.size());
            part_ = Part::kHead;
            return enter(Section::kListing, order);
        }
    }
    return false;
}

void ReportReader::Line(std::string_view line) {
    Report& r = report_;
    ++lines_;
    lastLineEmpty_ = line.empty();
    if (Heading(line))
        return;
    if (line.starts_with(kResolutionLabel)) {
        r.resolution = line.substr(kResolutionLabel.size());
        reached_ = std::max(reached_, 2);
        return;
    }
    const bool rule = line == kLongRule || line == kShortRule;
    switch (section_) {
        case Section::kNone:
            if (!line.empty() && !rule)
                ++r.unreadableLines;
            return;
        case Section::kSummary: {
            for (auto [label, field] :
                 {std::pair{&kWinNameLabel, &r.winName}, std::pair{&kIeLabel, &r.browser},
                  std::pair{&kCpuLabel, &r.processor}, std::pair{&kFreeMemoryLabel, &r.freeMemory},
                  std::pair{&kTotalMemoryLabel, &r.totalMemory}}) {
                if (line.starts_with(*label)) {
                    *field = line.substr(label->size());
                    return;
                }
            }
            if (IsVersionLine(line))
                r.winVersion = line;
            else if (!line.empty() && !rule)
                ++r.unreadableLines;
            return;
        }
        case Section::kDrives:
            // The drive lines stand between the rule under the heading and an empty line.
            if (line.empty() && !r.drives.empty()) {
                section_ = Section::kNone;
                drivesEnded_ = true;
            }
            if (line.empty() || rule)
                return;
            if (auto drive = ParseDrive(line))
                r.drives.push_back(std::move(*drive));
            else
                ++r.unreadableLines;
            return;
        case Section::kPrograms:
            // One quoted name a line; the section's rules and empty lines frame them.
            if (line.size() >= 2 && line.front() == '"' && line.back() == '"')
                r.programs.emplace_back(line.substr(1, line.size() - 2));
            else if (!line.empty() && !rule)
                ++r.unreadableLines;
            return;
        case Section::kListing:
            break;
    }
    if (line == kFilesHeading && part_ == Part::kHead) {
        part_ = Part::kFiles;
        afterPartHeading_ = true;
    } else if (line == kFoldersHeading && part_ != Part::kFolders) {
        part_ = Part::kFolders;
        afterPartHeading_ = true;
    } else if (line == kShortRule) {
        if (!afterPartHeading_ && part_ == Part::kFiles)
            part_ = Part::kBetween;
        afterPartHeading_ = false;
    } else if (line == kLongRule) {
        // The rule under the heading, or the frame that follows the Folders part.
        if (part_ != Part::kHead) {
            listing_->closed = true;
            section_ = Section::kNone;
        }
    } else if (!line.empty()) {
        Entry(line);
    }
}

void ReportReader::Entry(std::string_view line) {
    auto entry = part_ == Part::kFiles || part_ == Part::kFolders ? ParseEntry(line) : std::nullopt;
    if (!entry) {
        ++report_.unreadableLines;
        return;
    }
    Listing& listing = *listing_;
    if (part_ == Part::kFiles) {
        ++listing.files;
        listing.fileBytes += *SizeTextBytes(entry->size);
        if (keepEntries_)
            listing.fileEntries.push_back(std::move(*entry));
    } else {
        ++listing.folders;
        if (keepEntries_)
            listing.folderEntries.push_back(std::move(*entry));
    }
}

}  // namespace ost::desk
