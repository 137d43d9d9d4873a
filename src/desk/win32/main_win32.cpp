// ovdesk as a Windows console program: arguments in UTF-16 whatever the code page, output to a
// console as UTF-16 (so every script shows on Windows 7's console too), and to a file or a pipe as
// UTF-8.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "desk/commands.h"
#include "platform/win32/text.h"
#include "ziplib/win32/file_system_win32.h"

namespace {

void Write(FILE* stream, DWORD handleId, std::string_view text) {
    const HANDLE handle = ::GetStdHandle(handleId);
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && handle != nullptr && ::GetConsoleMode(handle, &mode)) {
        // The console of Windows 7 takes some 64 KB a call at most: write in pieces, never
        // between the two halves of a surrogate pair.
        const std::wstring wide = ost::win::Widen(text);
        for (size_t at = 0; at < wide.size();) {
            size_t n = std::min<size_t>(wide.size() - at, 8192);
            if (at + n < wide.size() && wide[at + n - 1] >= 0xD800 && wide[at + n - 1] < 0xDC00)
                --n;
            DWORD written = 0;
            if (!::WriteConsoleW(handle, wide.data() + at, static_cast<DWORD>(n), &written, nullptr) || written == 0)
                return;
            at += written;
        }
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stream);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(ost::win::Narrow(argv[i]));
    ost::zip::Win32FileSystem fs;
    ost::desk::DeskIo io;
    io.files = &fs;
    io.out = [](std::string_view text) { Write(stdout, STD_OUTPUT_HANDLE, text); };
    io.err = [](std::string_view text) { Write(stderr, STD_ERROR_HANDLE, text); };
    const int code = ost::desk::RunDesk(args, io);
    if (std::fflush(stdout) != 0) {
        std::fputs("ovdesk: the output could not be written\n", stderr);
        return ost::desk::kUnreadable;
    }
    return code;
}
