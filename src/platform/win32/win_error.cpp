#include "platform/win32/win_error.h"

#include <string>

#include "platform/win32/text.h"

namespace ost::win {

int32_t ClassicNumberFor(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_MOD_NOT_FOUND:
            return err::kFileNotFound;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
        case ERROR_DIRECTORY:
            return err::kPathNotFound;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
        case ERROR_CURRENT_DIRECTORY:
            return err::kPermissionDenied;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return err::kFileExists;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return err::kDiskFull;
        case ERROR_NOT_READY:
        case ERROR_NO_MEDIA_IN_DRIVE:
            return err::kDiskNotReady;
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_FILENAME_EXCED_RANGE:
            return err::kBadFileName;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return err::kOutOfMemory;
        case ERROR_CRC:
        case ERROR_IO_DEVICE:
        case ERROR_GEN_FAILURE:
            return err::kDeviceIo;
        case ERROR_PROC_NOT_FOUND:
            return err::kEntryPointMissing;
        case ERROR_INVALID_PARAMETER:
            return err::kInvalidCall;
        default:
            return err::kPathFileAccess;
    }
}

AppError Win32Error(DWORD code, std::string_view call, std::string_view object) {
    return Win32ErrorAs(ClassicNumberFor(code), code, call, object);
}

std::string SystemMessage(DWORD code) {
    wchar_t* message = nullptr;
    const DWORD n =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, code, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    std::wstring text(message != nullptr ? message : L"", message != nullptr ? n : 0);
    if (message != nullptr)
        ::LocalFree(message);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return Narrow(text);
}

AppError Win32ErrorAs(int32_t number, DWORD code, std::string_view call, std::string_view object) {
    std::string context(call);
    if (!object.empty())
        context += " '" + std::string(object) + "'";
    context += ": error " + std::to_string(code);
    const std::string message = SystemMessage(code);
    if (!message.empty())
        context += ": " + message;
    return MakeError(number, {}, std::move(context));
}

void ThrowLastError(std::string_view call, std::string_view object) {
    const DWORD code = ::GetLastError();
    throw Win32Error(code, call, object);
}

}  // namespace ost::win
