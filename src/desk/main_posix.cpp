// ovdesk on POSIX systems: arguments and output in UTF-8 as they are.
#include <cstdio>
#include <string>
#include <vector>

#include "desk/commands.h"
#include "ziplib/posix_file_system.h"

int main(int argc, char** argv) {
    ost::zip::PosixFileSystem fs;
    ost::desk::DeskIo io;
    io.files = &fs;
    io.out = [](std::string_view text) { std::fwrite(text.data(), 1, text.size(), stdout); };
    io.err = [](std::string_view text) { std::fwrite(text.data(), 1, text.size(), stderr); };
    const int code = ost::desk::RunDesk(std::vector<std::string>(argv + 1, argv + argc), io);
    if (std::fflush(stdout) != 0) {
        std::fputs("ovdesk: the output could not be written\n", stderr);
        return ost::desk::kUnreadable;
    }
    return code;
}
