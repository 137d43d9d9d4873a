#include "recording_libraries.h"

namespace ost::test {

namespace {

ZipRecording zipRecording;
UnzipRecording unzipRecording;

// Records `text` as received: its presence, its length and as much of it as fits.
void Record(RecordedText& out, const char* text) {
    out = {};
    if (text == nullptr)
        return;
    out.present = 1;
    const size_t length = std::strlen(text);
    out.length = static_cast<int32_t>(length);
    std::memcpy(out.text, text, length < kRecordedTextSize ? length : kRecordedTextSize - 1);
}

// Adds the entry `name` to a recording's list of the entries called, as far as the list holds.
template <typename Recorded>
void RecordCall(Recorded& r, const char* name) {
    if (r.callCount < kMaxRecordedCalls)
        std::strncpy(r.calls[r.callCount], name, sizeof(r.calls[0]) - 1);
    ++r.callCount;
}

// Writes the scripted new name over the library's copy of a name, as far as it fits.
void Rename(const char* renameTo, char* name) {
    if (renameTo[0] != '\0' && name != nullptr && std::strlen(renameTo) <= std::strlen(name))
        std::strcpy(name, renameTo);
}

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

ZipRecording& Recording() {
    return zipRecording;
}

void ResetRecording() {
    std::memset(&zipRecording, 0, sizeof(zipRecording));
}

UnzipRecording& UnzipRecorded() {
    return unzipRecording;
}

void ResetUnzipRecording() {
    std::memset(&unzipRecording, 0, sizeof(unzipRecording));
}

int32_t ZIP32_API RecordingZpInit(ZIPUSERFUNCTIONS* functions) {
    RecordCall(zipRecording, "ZpInit");
    zipRecording.functions = *functions;
    return zipRecording.initResult;
}

int32_t ZIP32_API RecordingZpSetOptions(ZPOPT* options) {
    RecordCall(zipRecording, "ZpSetOptions");
    zipRecording.options = *options;
    Record(zipRecording.date, options->Date);
    Record(zipRecording.rootDir, options->szRootDir);
    return zipRecording.optionsResult;
}

int32_t ZIP32_API RecordingZpArchive(int32_t count, char* zipFileName, ZIPNAMES* names) {
    ZipRecording& r = zipRecording;
    RecordCall(r, "ZpArchive");
    r.count = count;
    Record(r.zipFileName, zipFileName);
    for (int i = 0; i < kZipNameListSize; ++i)
        Record(r.names[i], names->name[i]);
    Record(r.rootDirLater, r.options.szRootDir);

    const ZIPUSERFUNCTIONS& callbacks = r.functions;
    static char buffer[kZipCallbackBufferSize];
    for (int i = 0; callbacks.print != nullptr && i < r.messageCount && i < kMaxScriptedMessages; ++i) {
        std::memset(buffer, 0, sizeof(buffer));
        std::strncpy(buffer, r.messages[i], kRecordedTextSize - 1);
        r.printResults[i] = callbacks.print(buffer, static_cast<uint32_t>(std::strlen(buffer)));
    }
    if (callbacks.password != nullptr) {
        std::memset(buffer, 0, sizeof(buffer));
        r.passwordResult = callbacks.password(buffer, kZipCallbackBufferSize, "Enter password: ", "x.txt");
    }
    if (callbacks.comment != nullptr) {
        std::memset(buffer, 0, sizeof(buffer));
        std::strcpy(buffer, "an archive comment");
        const char* back = callbacks.comment(buffer);
        r.commentHandedBack = back != nullptr && std::strcmp(back, "an archive comment") == 0 ? 1 : 0;
    }
    Rename(r.renameArchiveTo, zipFileName);
    return r.archiveResult;
}

int32_t ZIP32_API RecordingUzpVersion2(UnzipVersionInfo* version) {
    RecordCall(unzipRecording, "UzpVersion2");
    unzipRecording.version = *version;
    version->unzip = {6, 0, 0, 0};
    return 0;
}

int32_t ZIP32_API RecordingWizSingleEntryUnzip(int32_t includeCount,
                                               char** include,
                                               int32_t excludeCount,
                                               char** exclude,
                                               DCL* options,
                                               USERFUNCTION* functions) {
    UnzipRecording& r = unzipRecording;
    RecordCall(r, "Wiz_SingleEntryUnzip");
    r.includeCount = includeCount;
    r.excludeCount = excludeCount;
    r.includeNonNull = NonNull(include);
    r.excludeNonNull = NonNull(exclude);
    r.options = *options;
    Record(r.zipFileName, options->ZipFileName);
    Record(r.extractDir, options->ExtractDir);
    r.functions = *functions;
    for (int i = 0; i < r.callbackCount && i < kMaxUnzipCallbacks; ++i)
        CallBack(*functions, r.callbacks[i]);
    Rename(r.renameArchiveTo, options->ZipFileName);
    Rename(r.renameExtractDirTo, options->ExtractDir);
    return r.unzipResult;
}

}  // namespace ost::test
