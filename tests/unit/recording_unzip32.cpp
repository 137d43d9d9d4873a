#include "recording_unzip32.h"

#include <cstring>

namespace ost::test {

namespace {

UnzipRecording recording;

int32_t NonNull(char** list) {
    if (list == nullptr)
        return -1;
    int32_t count = 0;
    for (int i = 0; i < kUnzipNameListSize; ++i)
        count += list[i] != nullptr ? 1 : 0;
    return count;
}

void CallBack(const USERFUNCTION& f, UnzipCallbackCall& call) {
    static char buffer[kUnzipCallbackBufferSize];
    std::memset(buffer, 0, sizeof(buffer));
    std::memcpy(buffer, call.text, sizeof(call.text));
    switch (call.kind) {
        case kUnzipCallPrint:
            call.result = f.print(buffer, call.length);
            break;
        case kUnzipCallReplace:
            call.result = f.replace(buffer);
            break;
        case kUnzipCallPassword:
            std::memset(call.password, 0x7F, sizeof(call.password));
            call.result = f.password(call.password, call.length, "Enter password: ", "secret.txt");
            break;
        case kUnzipCallMessage:
            f.message(1000, 400, 60, 12, 31, 2023, 23, 59, ' ', buffer, "Defl:N", 0x12345678u, 0);
            break;
        case kUnzipCallService:
            call.result = f.service(buffer, call.length);
            break;
        default:
            break;
    }
}

}  // namespace

UnzipRecording& UnzipRecorded() {
    return recording;
}

void ResetUnzipRecording() {
    std::memset(&recording, 0, sizeof(recording));
}

int32_t ZIP32_API RecordingUzpVersion2(UnzipVersionInfo* version) {
    RecordCall(recording.calls, recording.callCount, "UzpVersion2");
    recording.version = *version;
    version->unzip = {6, 0, 0, 0};
    return 0;
}

int32_t ZIP32_API RecordingWizSingleEntryUnzip(int32_t includeCount,
                                               char** include,
                                               int32_t excludeCount,
                                               char** exclude,
                                               DCL* options,
                                               USERFUNCTION* functions) {
    RecordCall(recording.calls, recording.callCount, "Wiz_SingleEntryUnzip");
    recording.includeCount = includeCount;
    recording.excludeCount = excludeCount;
    recording.includeNonNull = NonNull(include);
    recording.excludeNonNull = NonNull(exclude);
    recording.options = *options;
    Record(recording.zipFileName, options->ZipFileName);
    Record(recording.extractDir, options->ExtractDir);
    recording.functions = *functions;
    for (int i = 0; i < recording.callbackCount && i < kMaxUnzipCallbacks; ++i)
        CallBack(*functions, recording.callbacks[i]);
    if (recording.renameArchiveTo[0] != '\0' && options->ZipFileName != nullptr &&
        std::strlen(recording.renameArchiveTo) <= std::strlen(options->ZipFileName))
        std::strcpy(options->ZipFileName, recording.renameArchiveTo);
    return recording.unzipResult;
}

}  // namespace ost::test
