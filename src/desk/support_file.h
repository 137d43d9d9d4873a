// A support file as the desk receives it: a zip archive holding the support report and the
// registry editor's export. Everything is read as a stream straight out of the archive, with no
// temporary file and memory that does not grow with the export.
#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

#include "desk/registry_export.h"
#include "desk/report_reader.h"
#include "ziplib/streams.h"

namespace ost::desk {

// A support file that cannot be read (not a zip archive, a damaged entry, no report in it). The
// message names the file and what is wrong with it.
class DeskError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct ReadOptions {
    bool report = true;        // read the report (without it, only the export is read)
    bool keepEntries = false;  // keep the report's listing entries
    bool testAll = true;       // also inflate and check the entries that are neither report nor export
    // The export's keys whose lines are wanted, and where they go (see ExportScanner).
    std::function<bool(const std::string& key)> wantKey;
    std::function<void(const std::string& line)> keyLine;
    std::function<std::string(std::string_view)> decodeAnsi;  // for an export of Windows 98 or ME
};

struct SupportFile {
    std::string name;
    size_t entries = 0;
    std::optional<Report> report;         // read when asked for
    std::optional<ExportFacts> registry;  // nothing when the archive holds no export
};

// Reads the support file in `source`, named `name` in messages: every entry it reads is checked
// against its size and CRC-32. Raises DeskError when the archive cannot be read, an entry it reads
// is damaged, or the report (when asked for) is missing or is no support report at all.
SupportFile ReadSupportFile(zip::ByteSource& source, const std::string& name, const ReadOptions& options);

}  // namespace ost::desk
