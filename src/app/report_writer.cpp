#include "app/report_writer.h"

#include <charconv>

#include "app/report_layout.h"
#include "platform/error.h"
#include "platform/format.h"

namespace ost {

namespace {

using report::kCrLf;
using report::kLongRule;
using report::kShortRule;

std::string WithSeparator(std::string text, const std::string& decimalSeparator) {
    if (const size_t dot = text.find('.'); dot != std::string::npos)
        text.replace(dot, 1, decimalSeparator);
    return text;
}

std::string Shortest(float value, const std::string& decimalSeparator) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value, std::chars_format::fixed);
    return WithSeparator(std::string(buffer, result.ptr), decimalSeparator);
}

}  // namespace

std::string SizeText(uint64_t bytes, const std::string& decimalSeparator) {
    // bytes / 1024 has at most ten fractional bits, so times 100 it is exact and a half is a half.
    const double hundredths = RoundHalfEven(static_cast<double>(bytes) / 1024.0 * 100.0);
    if (hundredths == 0)
        return std::to_string(bytes) + report::kBytesUnit;
    const auto whole = static_cast<uint64_t>(hundredths / 100);
    auto cents = static_cast<unsigned>(hundredths - static_cast<double>(whole) * 100);
    std::string text = std::to_string(whole);
    if (cents != 0) {
        text += decimalSeparator;
        text += static_cast<char>('0' + cents / 10);
        if (cents % 10 != 0)
            text += static_cast<char>('0' + cents % 10);
    }
    return text + report::kKilobytesUnit;
}

std::string ScreenResolutionLine(const ScreenMetrics& screen, const std::string& decimalSeparator) {
    if (screen.twipsPerPixelX == 0 || screen.twipsPerPixelY == 0)
        throw MakeError(err::kDivisionByZero, {}, "screen resolution: zero twips per pixel");
    const float width = static_cast<float>(screen.widthTwips) / static_cast<float>(screen.twipsPerPixelX);
    const float height = static_cast<float>(screen.heightTwips) / static_cast<float>(screen.twipsPerPixelY);
    return report::kResolutionLabel + Shortest(width, decimalSeparator) + report::kResolutionBy +
           Shortest(height, decimalSeparator);
}

ReportWriter::ReportWriter(IFileSystem& fs, ILocale& locale, ReportSources sources)
    : fs_(fs), locale_(locale), sources_(std::move(sources)) {}

void ReportWriter::SetStreams(ITextStream* report, ITextStream* programs) {
    report_ = report;
    programs_ = programs;
}

void ReportWriter::Line(const std::string& text) {
    if (report_ == nullptr)
        throw MakeError(err::kObjectNotSet, {}, "the report c:\\ovsupport.txt is not open");
    report_->WriteLine(text);
}

void ReportWriter::BasicInfo(IOperations& ops) {
    ops.Run([&] { Line(report::kTitle + kCrLf); });
    ops.Run([&] { Line(kLongRule); });
    ops.Run([&] { Line(report::kSystemHeading); });
    ops.Run([&] { Line(kLongRule + kCrLf); });
    ops.Run([&] { Line(sources_.systemSummary()); });
    ops.Run([&] { Line(ScreenResolutionLine(sources_.screen(), locale_.DecimalSeparator()) + kCrLf); });
    ops.Run([&] { Line(kLongRule); });
    ops.Run([&] { Line(report::kDrivesHeading); });
    ops.Run([&] { Line(kLongRule); });
    ops.Run([&] { Line(sources_.driveListing()); });
    ops.Run([&] { Line(kLongRule); });
    ops.Run([&] { Line(report::kProgramsHeading); });
    ops.Run([&] { Line(kLongRule + kCrLf); });
    ops.Run([&] {
        if (programs_ == nullptr)
            throw MakeError(err::kObjectNotSet, {}, "c:\\progs.txt is not open");
        Line(programs_->ReadAll());
    });
    ops.Run([&] { Line(kLongRule + kCrLf); });
    ops.Run([&] { Line(kLongRule); });
}

void ReportWriter::WindowsFolder(IOperations& ops) {
    ListingBlock(ops, report::kWindowsListing, [&] { return fs_.GetSpecialFolder(SpecialFolder::Windows); });
}

void ReportWriter::SystemFolder(IOperations& ops) {
    ops.Run([&] { Line(kLongRule + kCrLf); });
    ops.Run([&] { Line(kLongRule); });
    ListingBlock(ops, report::kSystemListing, [&] { return fs_.GetSpecialFolder(SpecialFolder::System); });
    ops.Run([&] { Line(kLongRule + kCrLf); });
}

void ReportWriter::PebbleworkFolder(IOperations& ops) {
    if (!ops.Test([&] { return fs_.FolderExists(report::kPebbleworkFolder); }))
        return;
    ops.Run([&] { Line(kLongRule); });
    ListingBlock(ops, report::kPebbleworkListing, [&] { return fs_.GetFolder(report::kPebbleworkFolder); });
    ops.Run([&] { Line(kCrLf + kLongRule + kCrLf); });
}

void ReportWriter::ListingBlock(IOperations& ops,
                                const std::string& heading,
                                const std::function<std::unique_ptr<IFolder>()>& lookUp) {
    ops.Run([&] { Line(heading + lookUp()->Path() + report::kListingEnd); });
    ops.Run([&] { Line(kLongRule + kCrLf); });
    std::unique_ptr<IFolder> folder;
    ops.Run([&] { folder = lookUp(); });
    auto require = [&]() -> IFolder& {
        if (!folder)
            throw MakeError(err::kObjectNotSet, {}, "the folder to list could not be looked up");
        return *folder;
    };
    ops.Run([&] { Line(report::kFilesHeading + kCrLf + kShortRule + kCrLf); });
    Entries(ops, [&] { return require().Files(); });
    ops.Run([&] { Line(kShortRule + kCrLf); });
    ops.Run([&] { Line(report::kFoldersHeading + kCrLf + kShortRule + kCrLf); });
    Entries(ops, [&] { return require().SubFolders(); });
}

// Starting the walk is one operation and each entry line another. When the walk itself fails,
// no further entry can be read, so the listing goes on after the collection.
void ReportWriter::Entries(IOperations& ops, const std::function<std::unique_ptr<IFsCursor>()>& open) {
    std::unique_ptr<IFsCursor> cursor;
    ops.Run([&] { cursor = open(); });
    if (!cursor)
        return;
    for (bool more = true; more;) {
        bool walked = false;
        ops.Run([&] {
            IFsItem* item = cursor->Next();
            walked = true;
            if (item == nullptr) {
                more = false;
                return;
            }
            Line(EntryLine(*item));
        });
        if (!walked)
            more = false;
    }
}

std::string ReportWriter::EntryLine(IFsItem& item) {
    std::string line = item.Name();
    if (report::UsesShortEntries(sources_.winName()))
        return line + report::kShortSize + SizeText(item.Size(), locale_.DecimalSeparator()) + report::kEntryEnd;
    line += report::kCreated + locale_.GeneralDate(item.DateCreated());
    return line + report::kLongSize + SizeText(item.Size(), locale_.DecimalSeparator()) + report::kEntryEnd;
}

}  // namespace ost
