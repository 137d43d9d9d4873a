// ovdesk's commands: show, reg and diff over support files, in text or JSON, and their help.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ziplib/streams.h"

namespace ost::desk {

// Exit codes, as diff and unzip have them.
inline constexpr int kClean = 0;       // nothing to report: no warning, no difference
inline constexpr int kFindings = 1;    // warnings, differences, or a key that is not there
inline constexpr int kUnreadable = 2;  // a file that cannot be read, or a command line that is wrong

struct DeskIo {
    // Opens a file for reading; raises a std::exception whose message names the file and the reason.
    std::function<std::unique_ptr<zip::ByteSource>(const std::string& path)> open;
    std::function<void(std::string_view utf8)> out;
    std::function<void(std::string_view utf8)> err;
    // Output that a damaged export could still make incomplete is held back up to this size, so
    // that a failure is reported before any of it is shown; a larger result is shown as it comes.
    size_t heldOutput = 16u << 20;
};

// Runs the command line `args` (without the program's name; UTF-8) and returns the exit code.
// Never raises: every failure is a message on `err` that names the file and what is wrong.
int RunDesk(const std::vector<std::string>& args, const DeskIo& io);

}  // namespace ost::desk
