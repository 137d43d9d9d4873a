#include "recording_zip32.h"

#include <cstring>

namespace ost::test {

namespace {

ZipRecording recording;

}  // namespace

ZipRecording& Recording() {
    return recording;
}

void ResetRecording() {
    std::memset(&recording, 0, sizeof(recording));
}

int32_t ZIP32_API RecordingZpInit(ZIPUSERFUNCTIONS* functions) {
    RecordCall(recording.calls, recording.callCount, "ZpInit");
    recording.functions = *functions;
    return recording.initResult;
}

int32_t ZIP32_API RecordingZpSetOptions(ZPOPT* options) {
    RecordCall(recording.calls, recording.callCount, "ZpSetOptions");
    recording.options = *options;
    Record(recording.date, options->Date);
    Record(recording.rootDir, options->szRootDir);
    return recording.optionsResult;
}

int32_t ZIP32_API RecordingZpArchive(int32_t count, char* zipFileName, ZIPNAMES* names) {
    RecordCall(recording.calls, recording.callCount, "ZpArchive");
    recording.count = count;
    Record(recording.zipFileName, zipFileName);
    for (int i = 0; i < kZipNameListSize; ++i)
        Record(recording.names[i], names->name[i]);
    Record(recording.rootDirLater, recording.options.szRootDir);

    const ZIPUSERFUNCTIONS& callbacks = recording.functions;
    static char buffer[kZipCallbackBufferSize];
    for (int i = 0; callbacks.print != nullptr && i < recording.messageCount && i < kMaxScriptedMessages; ++i) {
        std::memset(buffer, 0, sizeof(buffer));
        std::strncpy(buffer, recording.messages[i], kRecordedTextSize - 1);
        recording.printResults[i] = callbacks.print(buffer, static_cast<uint32_t>(std::strlen(buffer)));
    }
    if (callbacks.password != nullptr) {
        std::memset(buffer, 0, sizeof(buffer));
        recording.passwordResult = callbacks.password(buffer, kZipCallbackBufferSize, "Enter password: ", "x.txt");
    }
    if (callbacks.comment != nullptr) {
        std::memset(buffer, 0, sizeof(buffer));
        std::strcpy(buffer, "an archive comment");
        const char* back = callbacks.comment(buffer);
        recording.commentHandedBack = back != nullptr && std::strcmp(back, "an archive comment") == 0 ? 1 : 0;
    }
    if (recording.renameArchiveTo[0] != '\0' && zipFileName != nullptr &&
        std::strlen(recording.renameArchiveTo) <= std::strlen(zipFileName))
        std::strcpy(zipFileName, recording.renameArchiveTo);
    return recording.archiveResult;
}

}  // namespace ost::test
