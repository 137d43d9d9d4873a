// The zip engine: one archive operation (create, grow, update, freshen or delete entries) over
// a file system, reporting through callbacks. zip32.dll is a thin edge over it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ziplib/file_system.h"
#include "ziplib/zip_result.h"

namespace ost::zip {

// The zlib level used when the caller leaves the choice to the library. The goal: at least 1.8
// times faster than `zip -6` on a 2-core machine, with an archive at most 0.5 % larger. Measured
// on a 200 MB UTF-16 registry export made by bench/make_registry_export.py (zlib 1.2.13, one
// thread, CPU seconds; `zip -6` takes 6.65 s for 35,972,132 bytes):
//   level 5: 2.73 s, +4.04 %     level 6: 5.42 s, +0.11 %     level 7: 8.76 s, -1.34 %
// (a 100 MB export on another machine gave the same picture: level 5 +4.9 %, level 6 +0.06 %).
// Level 5 and below make archives too large. Deflating on both cores halves the time, so level
// 6 takes about 2.7 s (2.4 times faster than zip -6) and level 7 about 4.4 s (only 1.5 times).
// Level 6 is the one level that meets both; bench/zip-bench measures it again.
inline constexpr int kDefaultLevel = 6;

struct ZipJobOptions {
    enum class LineEnds { kAsIs, kCrLfToLf, kLfToCrLf };

    int level = kDefaultLevel;            // 0 stores every entry; 1-9 are zlib's levels
    bool encrypt = false;                 // traditional encryption, password from the password callback
    bool includeSystem = false;           // include hidden and system files
    bool noFolderEntries = false;         // store no entries for folders
    bool verbose = false;                 // sizes per entry and a total at the end
    bool quiet = false;                   // no progress lines; warnings and errors are still printed
    LineEnds lineEnds = LineEnds::kAsIs;  // applied to text files only (no zero byte in their first 64 KiB)
    bool junkFolders = false;             // store names without their folders
    bool recurse = false;                 // add the contents of named folders, all the way down
    bool grow = false;                    // keep the existing archive's entries and add the named files
    bool update = false;                  // grow, but replace an entry only with a newer file
    bool freshen = false;                 // replace existing entries with newer files; add no new ones
    bool move = false;                    // delete each added file (and emptied folder) once the archive is in place
    bool deleteEntries = false;           // delete the named entries from the existing archive
    bool askComment = false;              // ask the comment callback for the archive comment
    std::string rootFolder;               // UTF-8; see StoredName
    // The upper-casing that decides which names are one name to the file system (the DLL gives
    // Windows' own); none compares ASCII letters without case and every other character as it is.
    NameUpperCase upperCase;
    unsigned threads = 0;  // deflate threads; 0 = one per core
};

struct ZipCallbacks {
    // One message: a line of text ending in '\n', UTF-8.
    std::function<void(std::string_view message)> print;
    // The password for encryption, or nothing when none was given.
    std::function<std::optional<std::string>()> password;
    // The archive comment, given the existing one; nothing keeps the existing comment.
    std::function<std::optional<std::string>(const std::string& current)> comment;
    // Called before each file is packed; false stops the run.
    std::function<bool(const std::string& name, uint64_t size)> service;
};

// The name under which the file at `path` is stored, relative to `rootFolder`:
//  - separators become '/', "." parts are dropped and ".." parts resolved;
//  - when the path lies inside the root folder (compared after `upperCase`, or without regard to
//    ASCII letter case when there is none, on whole folder names, and on the same drive when the
//    root names one), the root's part is
//    cut off: root "C:\PW" and "c:\pw\data\a.txt" give "data/a.txt";
//  - otherwise the drive letter (or \\server\share) and the leading separators are cut off:
//    root "\" and "c:\ovsupport.txt" give "ovsupport.txt";
//  - ".." parts left at the front are dropped, so no stored name leaves the extraction folder.
std::string StoredName(const std::string& path, const std::string& rootFolder, const NameUpperCase& upperCase = {});

// The path a listed name is read from: an absolute name (a drive letter, a leading separator or
// a UNC name) as it is, a relative one inside the root folder (or the current folder when the
// root is empty). A relative archive name is placed the same way.
std::string ReadPath(const std::string& name, const std::string& rootFolder);

// Runs one archive operation on `archive` with the listed names (UTF-8; empty ones are
// skipped). The archive is written to a new file beside the target and put in its place only
// when complete, so a failed or stopped run leaves an existing archive untouched and no new file
// behind. Every outcome is printed through callbacks.print; the result is kOk exactly when the
// archive was written. Never throws.
//
// A listed name that matches no file is not an error: the run prints
// " zip warning: name not matched: <name>" and goes on (the bridge's placeholder "querty" is such
// a name). A run in which nothing matched at all ends with kNothingToDo and writes nothing. A
// file that exists but cannot be read (locked, unreadable) ends the run with kReadFailed.
Result RunZipJob(IFileSystem& fs,
                 const std::string& archive,
                 const std::vector<std::string>& names,
                 const ZipJobOptions& options,
                 const ZipCallbacks& callbacks);

}  // namespace ost::zip
