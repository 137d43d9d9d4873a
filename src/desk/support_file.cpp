#include "desk/support_file.h"

#include "app/report_layout.h"
#include "ziplib/archive_reader.h"
#include "ziplib/unzip_engine.h"
#include "ziplib/zip_result.h"

namespace ost::desk {

namespace {

// Whether an entry's name is `file`, in any folder and any letter case.
bool Names(const std::string& entry, const std::string& file) {
    const size_t slash = entry.find_last_of("/\\");
    const std::string base = slash == std::string::npos ? entry : entry.substr(slash + 1);
    return FoldName(base) == FoldName(file);
}

}  // namespace

SupportFile ReadSupportFile(zip::ByteSource& source, const std::string& name, const ReadOptions& options) {
    SupportFile file;
    file.name = name;
    zip::ArchiveDirectory directory;
    try {
        directory = zip::ReadArchiveDirectory(source, name);
    } catch (const zip::ZipError& e) {
        throw DeskError(e.what());
    }
    file.entries = directory.entries.size();
    const zip::ArchiveEntry* report = nullptr;
    const zip::ArchiveEntry* registry = nullptr;
    for (const zip::ArchiveEntry& entry : directory.entries) {
        if (!report && Names(entry.header.name, report::kReportEntry))
            report = &entry;
        else if (!registry && Names(entry.header.name, report::kRegistryEntry))
            registry = &entry;
    }
    if (options.report && !report)
        throw DeskError(name + ": holds no support report (" + report::kReportEntry + ")");
    if (!options.report && !registry)
        throw DeskError(name + ": holds no registry export (" + report::kRegistryEntry + ")");
    try {
        for (const zip::ArchiveEntry& entry : directory.entries) {
            if (&entry == report && options.report) {
                ReportReader reader(options.keepEntries);
                zip::ReadEntryData(source, entry, [&](const uint8_t* data, size_t size) { reader.Feed(data, size); });
                file.report = reader.Finish();
            } else if (&entry == registry) {
                ExportScanner scanner(options.wantKey, options.keyLine, options.decodeAnsi);
                zip::ReadEntryData(source, entry, [&](const uint8_t* data, size_t size) { scanner.Feed(data, size); });
                file.registry = scanner.Finish();
            } else if (options.testAll) {
                zip::ReadEntryData(source, entry, [](const uint8_t*, size_t) {});
            }
        }
    } catch (const zip::ZipError& e) {
        throw DeskError(name + ": " + e.what());
    }
    if (file.report && !file.report->title && !file.report->drivesListed && !file.report->programsListed &&
        !file.report->windows.present && !file.report->system.present)
        throw DeskError(name + ": its " + report::kReportEntry + " is not a support report");
    return file;
}

}  // namespace ost::desk
