// Helpers for the zip engine's tests: reading back archives in memory, test data, and the
// independent readers on disk.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "ziplib/archive_reader.h"
#include "ziplib/zip32.h"
#include "ziplib/zip_engine.h"

namespace ost::zip::test {

struct ReadBack {
    std::map<std::string, std::vector<uint8_t>> files;  // name -> inflated bytes, CRC checked
    std::map<std::string, EntryHeader> headers;
};

// Reads an archive with the directory reader and inflates every entry with zlib; a CRC or size
// mismatch is a test failure.
ReadBack ReadArchive(const std::vector<uint8_t>& archive);

// Engine options with the given switches on.
template <typename... Fields>
ZipJobOptions With(Fields... fields) {
    ZipJobOptions options;
    ((options.*fields = true), ...);
    return options;
}
inline ZipJobOptions Lines(ZipJobOptions::LineEnds lineEnds) {
    ZipJobOptions options;
    options.lineEnds = lineEnds;
    return options;
}
inline ZipJobOptions Root(const std::string& root) {
    ZipJobOptions options;
    options.rootFolder = root;
    return options;
}
// An options record with the given switches set to 1.
template <typename... Fields>
ZPOPT Switches(Fields... fields) {
    ZPOPT options{};
    ((options.*fields = 1), ...);
    return options;
}
inline ZPOPT Level(uint8_t level) {
    ZPOPT options{};
    options.fLevel = level;
    return options;
}

// Text shaped like a registry export, in UTF-16LE with its byte-order mark.
std::vector<uint8_t> RegistryLikeText(size_t bytes, uint32_t seed = 1);
std::vector<uint8_t> RandomBytes(size_t bytes, uint32_t seed = 7);
std::vector<uint8_t> Bytes(const std::string& text);

// Writes `bytes` to `path`, creating folders.
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadFile(const std::string& path);

// A new empty folder under the test's temporary folder.
std::string ScratchFolder(const std::string& name);

// Runs tests/ziplib/check_archives.py (native builds only) on `archive` (with `archive`.expected beside it) and
// returns its output; `ok` is set when every reader passed. `testOnly` skips the extraction.
std::string CheckWithReaders(const std::string& archive, bool& ok, bool testOnly = false);

}  // namespace ost::zip::test
