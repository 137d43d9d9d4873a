// A support file as the desk receives it: a zip archive holding the support report and the
// registry editor's export. Everything is read as a stream straight out of the archive, with no
// temporary file and memory that does not grow with the export. A damaged entry costs only what
// it holds: the facts of the other entries are still read, and the damage is named.
#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "desk/registry_export.h"
#include "desk/report_reader.h"
#include "ziplib/streams.h"

namespace ost::desk {

// A support file that cannot be read at all (not a zip archive, unreadable, neither report nor
// export in it). The message names the file and what is wrong with it.
class DeskError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The code page the report's names (and a REGEDIT4 export) are read in, and where that choice
// came from.
struct CodePage {
    uint32_t number = 1252;
    std::string source;
    bool assumed = true;  // no --codepage and no readable ACP value: 1252 is a guess, said as such
    std::string Decode(const std::string& raw) const;
    std::optional<std::string> Decode(const std::optional<std::string>& raw) const;
};

// One of the two entries that make a support file.
struct EntryState {
    bool present = false;
    std::string problem;  // why its content cannot be trusted; empty when it was read whole
    bool Usable() const { return present && problem.empty(); }
};

struct ReadOptions {
    bool report = true;        // read the report (without it, only the export is read)
    bool keepEntries = false;  // keep the report's listing entries
    bool testAll = true;       // also inflate and check the entries that are neither report nor export
    std::optional<uint32_t> codePage;  // given by the user: the machine's ACP is not looked up
    ExportHandler exportHandler;       // the export's keys whose values are wanted, and where they go
};

struct SupportFile {
    std::string name;
    size_t entries = 0;
    EntryState reportEntry, exportEntry;
    std::optional<Report> report;         // when the report was read and is intact
    std::optional<ExportFacts> registry;  // when the export was read and is intact
    std::vector<std::string> otherDamage;  // the other entries that are damaged, with why
    CodePage codePage;
};

// Reads the support file in `source`, named `name` in messages: every entry it reads is checked
// against its size and CRC-32. Raises DeskError when the archive cannot be read, or holds neither
// a report nor an export. The export handler sees the values of a damaged export before the
// damage is found: its caller holds back what it makes of them until this returns.
SupportFile ReadSupportFile(zip::ByteSource& source, const std::string& name, const ReadOptions& options);

// Reads a support file given as its two entries' contents, either of which may be missing (the
// fixtures of rules are written so). A REGEDIT4 export is read in the given code page, or 1252.
SupportFile ReadSupportParts(const std::string& name, const std::optional<std::string>& report,
                             const std::optional<std::vector<uint8_t>>& exported, const ReadOptions& options);

}  // namespace ost::desk
