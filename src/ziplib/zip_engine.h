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

// The zlib level used when the caller leaves the choice to the library. Measured on a 100 MB
// UTF-16 registry export on a 2-core machine (zlib 1.2.13; `zip -6` takes 2.91 s for 16.26 MB):
//   level 5: 1.21 s, 17.06 MB (+4.9 % against zip -6)    level 6: 2.77 s, 16.27 MB (+0.06 %)
//   level 7: 3.94 s, 16.07 MB                            level 9: 16.1 s, 15.50 MB
// An archive at most 0.5 % larger than zip -6's rules out level 5 and below; deflating blocks on
// both cores has to be at least 1.8 times faster than zip -6, which gives 2.91 s / 1.8 = 1.6 s
// for the two cores together, and only level 6 (about 1.4 s on two cores) fits that. Level 7
// would take about 2 s. bench/zip-bench measures the chosen level again against zip -6 and -9.
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
    unsigned threads = 0;                 // deflate threads; 0 = one per core
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
//  - when the path lies inside the root folder (compared without regard to ASCII letter case,
//    on whole folder names, and on the same drive when the root names one), the root's part is
//    cut off: root "C:\PW" and "c:\pw\data\a.txt" give "data/a.txt";
//  - otherwise the drive letter (or \\server\share) and the leading separators are cut off:
//    root "\" and "c:\ovsupport.txt" give "ovsupport.txt";
//  - ".." parts left at the front are dropped, so no stored name leaves the extraction folder.
std::string StoredName(const std::string& path, const std::string& rootFolder);

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
