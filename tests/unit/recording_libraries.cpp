#include "recording_libraries.h"

#include <algorithm>

namespace ost::test {

namespace {

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
    return list == nullptr
               ? -1
               : static_cast<int32_t>(kUnzipNameListSize - std::count(list, list + kUnzipNameListSize, nullptr));
}

void CallBack(const USERFUNCTION& f, UnzipCallbackCall& call) {
    static char buffer[kUnzipCallbackBufferSize];
    std::memset(buffer, 0, sizeof(buffer));
    std::memcpy(buffer, call.text, sizeof(call.text));
    std::memset(call.password, 0x7F, sizeof(call.password));
    if (call.kind == kUnzipCallPrint)
        call.result = f.print(buffer, call.length);
    else if (call.kind == kUnzipCallReplace)
        call.result = f.replace(buffer);
    else if (call.kind == kUnzipCallPassword)
        call.result = f.password(call.password, call.length, "Enter password: ", "secret.txt");
    else if (call.kind == kUnzipCallService)
        call.result = f.service(buffer, call.length);
    else if (call.kind == kUnzipCallMessage)
        f.message(1000, 400, 60, 12, 31, 2023, 23, 59, ' ', buffer, "Defl:N", 0x12345678u, 0);
}

}  // namespace

int32_t ZIP32_API RecordingZpInit(ZIPUSERFUNCTIONS* functions) {
    RecordCall(Recording(), "ZpInit");
    Recording().functions = *functions;
    return Recording().initResult;
}

int32_t ZIP32_API RecordingZpSetOptions(ZPOPT* options) {
    RecordCall(Recording(), "ZpSetOptions");
    Recording().options = *options;
    Record(Recording().date, options->Date);
    Record(Recording().rootDir, options->szRootDir);
    return Recording().optionsResult;
}

int32_t ZIP32_API RecordingZpArchive(int32_t count, char* zipFileName, ZIPNAMES* names) {
    ZipRecording& r = Recording();
    RecordCall(r, "ZpArchive");
    r.count = count;
    Record(r.zipFileName, zipFileName);
    for (int i = 0; i < kZipNameListSize; ++i)
        Record(r.names[i], names->name[i]);
    Record(r.rootDirLater, r.options.szRootDir);

    const ZIPUSERFUNCTIONS& callbacks = r.functions;
    static char buffer[kZipCallbackBufferSize];
    const auto fresh = [](const char* text) { return std::strncpy(buffer, text, sizeof(buffer) - 1); };
    for (int i = 0; callbacks.print != nullptr && i < r.messageCount && i < kMaxScriptedMessages; ++i)
        callbacks.print(fresh(r.messages[i]), static_cast<uint32_t>(std::strlen(r.messages[i])));
    if (callbacks.password != nullptr)
        r.passwordResult = callbacks.password(fresh(""), kZipCallbackBufferSize, "Enter password: ", "x.txt");
    const char* back = callbacks.comment != nullptr ? callbacks.comment(fresh("an archive comment")) : nullptr;
    r.commentHandedBack = back != nullptr && std::strcmp(back, "an archive comment") == 0 ? 1 : 0;
    Rename(r.renameArchiveTo, zipFileName);
    return r.archiveResult;
}

int32_t ZIP32_API RecordingUzpVersion2(UnzipVersionInfo* version) {
    RecordCall(UnzipRecorded(), "UzpVersion2");
    UnzipRecorded().version = *version;
    version->unzip = {6, 0, 0, 0};
    return 0;
}

int32_t ZIP32_API RecordingWizSingleEntryUnzip(int32_t includeCount,
                                               char** include,
                                               int32_t excludeCount,
                                               char** exclude,
                                               DCL* options,
                                               USERFUNCTION* functions) {
    UnzipRecording& r = UnzipRecorded();
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
