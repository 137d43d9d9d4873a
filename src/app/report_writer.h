// The support report c:\ovsupport.txt: what is written into it, in which order, and how each
// write is one operation of the run.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/operations.h"
#include "platform/filesystem.h"
#include "platform/locale.h"
#include "platform/ui.h"

namespace ost {

// Where the report's values come from; each is read inside the write that needs it.
struct ReportSources {
    std::function<std::string()> systemSummary;  // the caption of lblSysInfo
    std::function<ScreenMetrics()> screen;
    std::function<std::string()> driveListing;  // ExportDriveListings
    std::function<std::string()> winName;       // read again before every entry line
};

// The size text of a listing entry: bytes / 1024 rounded to hundredths (halves to even); the byte
// count and " bytes" when that rounds to 0, else the shortest decimal form and "kb"
// (0 -> "0 bytes", 6 -> "0.01kb", 128 -> "0.12kb", 1536 -> "1.5kb", 1048576 -> "1024kb").
std::string SizeText(uint64_t bytes, const std::string& decimalSeparator);

// "Screen Resolution: W X H": twips divided by twips per pixel in single precision, each in its
// shortest decimal form. A zero twips-per-pixel fails with error 11.
std::string ScreenResolutionLine(const ScreenMetrics& screen, const std::string& decimalSeparator);

class ReportWriter {
  public:
    ReportWriter(IFileSystem& fs, ILocale& locale, ReportSources sources);

    // The report writer and the programs reader the run opened; null where opening failed, in
    // which case every write that needs the stream fails on its own (error 91).
    void SetStreams(ITextStream* report, ITextStream* programs);

    // Each runs its writes as operations of `ops`, in the report's order. Entry lines go to the
    // file one by one as they are produced.
    void BasicInfo(IOperations& ops);         // the heading, system, screen, drives and programs
    void WindowsFolder(IOperations& ops);     // the Windows folder's listing block
    void SystemFolder(IOperations& ops);      // the system folder's listing block and its frame
    void PebbleworkFolder(IOperations& ops);  // c:\pwwin32's block, only when that folder exists

  private:
    void Line(const std::string& text);
    void ListingBlock(IOperations& ops,
                      const std::string& heading,
                      const std::function<std::unique_ptr<IFolder>()>& lookUp);
    void Entries(IOperations& ops, const std::function<std::unique_ptr<IFsCursor>()>& open);
    std::string EntryLine(IFsItem& item);

    IFileSystem& fs_;
    ILocale& locale_;
    ReportSources sources_;
    ITextStream* report_ = nullptr;
    ITextStream* programs_ = nullptr;
};

}  // namespace ost
