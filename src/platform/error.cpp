#include "platform/error.h"

#include <exception>
#include <new>
#include <utility>

namespace ost {

std::string_view ClassicDescription(int32_t number) {
    switch (number) {
        case err::kInvalidCall:
            return "Invalid procedure call or argument";
        case err::kOverflow:
            return "Overflow";
        case err::kOutOfMemory:
            return "Out of memory";
        case err::kSubscript:
            return "Subscript out of range";
        case err::kDivisionByZero:
            return "Division by zero";
        case err::kFileNotFoundDll:
            return "Error in loading DLL";
        case err::kBadFileName:
            return "Bad file name or number";
        case err::kFileNotFound:
            return "File not found";
        case err::kBadFileMode:
            return "Bad file mode";
        case err::kFileAlreadyOpen:
            return "File already open";
        case err::kDeviceIo:
            return "Device I/O error";
        case err::kFileExists:
            return "File already exists";
        case err::kDiskFull:
            return "Disk full";
        case err::kInputPastEnd:
            return "Input past end of file";
        case err::kPermissionDenied:
            return "Permission denied";
        case err::kDiskNotReady:
            return "Disk not ready";
        case err::kPathFileAccess:
            return "Path/File access error";
        case err::kPathNotFound:
            return "Path not found";
        case err::kObjectNotSet:
            return "Object variable or With block variable not set";
        case err::kCantCreateObject:
            return "ActiveX component can't create object";
        case err::kEntryPointMissing:
            return "Specified DLL function not found";
        default:
            return "Application-defined or object-defined error";
    }
}

AppError::AppError(int32_t number, std::string description, std::string source, std::string context)
    : std::runtime_error(context.empty() ? description : context),
      number_(number),
      description_(std::move(description)),
      source_(std::move(source)),
      context_(std::move(context)) {}

AppError AppError::WithSource(std::string source) const {
    return AppError(number_, description_, std::move(source), context_);
}

AppError MakeError(int32_t number, std::string source, std::string context) {
    return AppError(number, std::string(ClassicDescription(number)), std::move(source), std::move(context));
}

AppError CurrentError() {
    try {
        throw;
    } catch (const AppError& e) {
        return e;
    } catch (const std::bad_alloc&) {
        return MakeError(err::kOutOfMemory);
    } catch (const std::exception& e) {
        return MakeError(err::kInvalidCall, {}, e.what());
    } catch (...) {
        return MakeError(err::kInvalidCall);
    }
}

}  // namespace ost
