// Helpers for the zip engines' tests: reading archives back, test data, files on disk, and the
// readers users have.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "ziplib/archive_reader.h"
#include "ziplib/zip_engine.h"

namespace ost::zip::test {

struct ReadBack {
    std::map<std::string, std::vector<uint8_t>> files;  // name -> inflated bytes, CRC checked
    std::map<std::string, EntryHeader> headers;
};

// Reads an archive with the directory reader, which must find it whole, and inflates every entry
// with zlib; a CRC or size mismatch is a test failure.
ReadBack ReadArchive(const std::vector<uint8_t>& archive);
// Inflates raw deflate data with zlib; data after the final block is a test failure.
std::vector<uint8_t> Inflate(const uint8_t* data, size_t size, size_t expected);

// Engine options with the given switches on.
template <typename... Fields>
ZipJobOptions With(Fields... fields) {
    ZipJobOptions options;
    ((options.*fields = true), ...);
    return options;
}

// Text shaped like a registry export, in UTF-16LE with its byte-order mark.
std::vector<uint8_t> RegistryLikeText(size_t bytes, uint32_t seed = 1);
std::vector<uint8_t> RandomBytes(size_t bytes, uint32_t seed = 7);
std::vector<uint8_t> Bytes(const std::string& text);

// Writes `bytes` to `path` (UTF-8), creating folders.
void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadFile(const std::string& path);
// A new empty folder named after the running test, under `base` or else the process's temporary
// folder (which goes at exit), with the system's separators.
std::string ScratchFolder(const std::string& name, const std::string& base = "");

// Runs tests/ziplib/check_archives.py on `archive` (with `archive`.expected beside it) and returns
// its output when a reader failed; `testOnly` skips the extraction. Without OST_CHECK_ARCHIVES
// (under Wine) it returns nothing: the test zip32_archives_open_in_every_reader checks later.
std::string CheckWithReaders(const std::string& archive, bool testOnly = false);

}  // namespace ost::zip::test
