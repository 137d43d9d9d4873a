// ovdesk, the support desk's reader of support files: its commands over support files, in text or
// JSON, and their help. The programs' main functions only connect it to their system.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ziplib/file_system.h"

namespace ost::desk {

// Exit codes, as diff and unzip have them.
inline constexpr int kClean = 0;       // nothing to report: no warning, no difference, all found
inline constexpr int kFindings = 1;    // warnings, differences, something not found or not read
inline constexpr int kUnreadable = 2;  // a file that cannot be read, or a command line that is wrong

struct DeskIo {
    // Opens the support files, and writes the files that --export asks for.
    zip::IFileSystem* files = nullptr;
    std::function<void(std::string_view utf8)> out;
    std::function<void(std::string_view utf8)> err;
    // Output that a damaged support file could still make wrong is held back up to this size, so
    // that the damage is reported before any of it is shown; a larger result is shown as it comes.
    size_t heldOutput = 16u << 20;
};

// Runs the command line `args` (without the program's name; UTF-8) and returns the exit code.
// Never raises: every failure is a message on `err` that names the file and what is wrong.
int RunDesk(const std::vector<std::string>& args, const DeskIo& io);

}  // namespace ost::desk
