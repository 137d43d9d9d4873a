#include "desk/support_file.h"

#include "app/report_layout.h"
#include "desk/code_page.h"
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

// Reads an entry's data into `sink`. A damaged entry is no failure of the whole file: its
// problem is returned. A failure to read the file itself is.
std::string ReadEntry(zip::ByteSource& source,
                      const std::string& name,
                      const zip::ArchiveEntry& entry,
                      const std::function<void(const uint8_t*, size_t)>& sink) {
    try {
        zip::ReadEntryData(source, entry, sink);
        return "";
    } catch (const zip::ZipError& e) {
        if (e.Code() != zip::kBadArchive)
            throw DeskError(name + ": " + e.what());
        return e.what();
    }
}

// Whether the export is a REGEDIT4 one, from its first bytes.
bool IsAnsiExport(zip::ByteSource& source, const std::string& name, const zip::ArchiveEntry& entry) {
    struct Enough {};
    std::string start;
    try {
        ReadEntry(source, name, entry, [&](const uint8_t* data, size_t size) {
            start.append(reinterpret_cast<const char*>(data), std::min<size_t>(size, 16));
            if (start.size() >= kAnsiHeader.size())
                throw Enough{};
        });
    } catch (const Enough&) {
    }
    return start.starts_with(kAnsiHeader);
}

// What is settled once the entries are read: whether the report is one, and the code page.
void Settle(SupportFile& file, const ReadOptions& options) {
    const Report* r = file.report ? &*file.report : nullptr;
    if (r && !r->title && !r->drivesListed && !r->programsListed && !r->windows.present && !r->system.present) {
        file.reportEntry.problem = "its " + report::kReportEntry + " is not a support report";
        file.report.reset();
    }

    CodePage& cp = file.codePage;
    const std::optional<uint32_t> named = file.registry ? file.registry->ansiCodePage : std::nullopt;
    if (options.codePage) {
        cp = {*options.codePage, "given with --codepage", false};
    } else if (named && IsKnownCodePage(*named)) {
        cp = {*named, "the registry export's ACP value", false};
    } else if (named) {
        cp.source = "assumed: the registry export names code page " + std::to_string(*named) +
                    ", which this system cannot read";
    } else {
        cp.source = file.registry ? "assumed: the registry export names none" : "assumed: no registry export could be read";
    }
}

}  // namespace

std::string CodePage::Decode(const std::string& raw) const {
    return CodePageToUtf8(number, raw);
}

std::optional<std::string> CodePage::Decode(const std::optional<std::string>& raw) const {
    return raw ? std::optional(Decode(*raw)) : std::nullopt;
}

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
    file.reportEntry.present = report != nullptr;
    file.exportEntry.present = registry != nullptr;
    if (!report && !registry)
        throw DeskError(name + ": holds no support report (" + report::kReportEntry + ") and no registry export (" +
                        report::kRegistryEntry + ")");

    // A REGEDIT4 export is in the machine's code page, which only its own code page key names: that
    // key is looked up first, so that every line is read in the right one.
    uint32_t ansiCodePage = options.codePage.value_or(1252);
    if (registry && !options.codePage && IsAnsiExport(source, name, *registry)) {
        ExportReader probe;
        const std::string problem =
            ReadEntry(source, name, *registry, [&](const uint8_t* data, size_t size) { probe.Feed(data, size); });
        const std::optional<uint32_t> named = problem.empty() ? probe.Finish().ansiCodePage : std::nullopt;
        if (named && IsKnownCodePage(*named))
            ansiCodePage = *named;
    }

    for (const zip::ArchiveEntry& entry : directory.entries) {
        if (&entry == report && options.report) {
            ReportReader reader(options.keepEntries);
            file.reportEntry.problem =
                ReadEntry(source, name, entry, [&](const uint8_t* data, size_t size) { reader.Feed(data, size); });
            if (file.reportEntry.problem.empty())
                file.report = reader.Finish();
        } else if (&entry == registry) {
            ExportReader reader(options.exportHandler,
                                [ansiCodePage](std::string_view raw) { return CodePageToUtf8(ansiCodePage, raw); });
            file.exportEntry.problem =
                ReadEntry(source, name, entry, [&](const uint8_t* data, size_t size) { reader.Feed(data, size); });
            if (file.exportEntry.problem.empty())
                file.registry = reader.Finish();
        } else if (options.testAll && &entry != report) {
            const std::string problem = ReadEntry(source, name, entry, [](const uint8_t*, size_t) {});
            if (!problem.empty())
                file.otherDamage.push_back(problem);
        }
    }
    Settle(file, options);
    return file;
}

SupportFile ReadSupportParts(const std::string& name, const std::optional<std::string>& report,
                             const std::optional<std::vector<uint8_t>>& exported, const ReadOptions& options) {
    SupportFile file;
    file.name = name;
    file.entries = (report ? 1 : 0) + (exported ? 1 : 0);
    file.reportEntry.present = report.has_value();
    file.exportEntry.present = exported.has_value();
    if (report && options.report) {
        ReportReader reader(options.keepEntries);
        reader.Feed(reinterpret_cast<const uint8_t*>(report->data()), report->size());
        file.report = reader.Finish();
    }
    if (exported) {
        const uint32_t ansiCodePage = options.codePage.value_or(1252);
        ExportReader reader(options.exportHandler, [ansiCodePage](std::string_view raw) { return CodePageToUtf8(ansiCodePage, raw); });
        reader.Feed(exported->data(), exported->size());
        file.registry = reader.Finish();
    }
    Settle(file, options);
    return file;
}

}  // namespace ost::desk
