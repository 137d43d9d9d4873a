// A zip and an unzip library that pack and read nothing: they record what they receive and call
// the callbacks back as scripted. The unit tests hand their functions out in-process; the tests
// under Wine load the same code as a fake zip32.dll and unzip32.dll through the real loader. The
// recordings are plain data, so they can be read across those DLLs' boundary.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ziplib/unzip32.h"
#include "ziplib/zip32.h"

namespace ost::test {

inline constexpr int kRecordedTextSize = 512;
inline constexpr int kMaxScriptedMessages = 4;
inline constexpr int kMaxRecordedCalls = 8;
inline constexpr int kMaxUnzipCallbacks = 8;

// A text the library received through a pointer.
struct RecordedText {
    int32_t present;  // 0 for a null pointer
    int32_t length;   // the whole text's length; `text` holds at most kRecordedTextSize - 1 bytes of it
    char text[kRecordedTextSize];
};

struct ZipRecording {
    // Set before the run: the results, the messages printed during ZpArchive (each in a 4097-byte
    // callback buffer), and a name written over the archive name's copy when not empty.
    int32_t initResult, optionsResult, archiveResult;
    int32_t messageCount;
    char messages[kMaxScriptedMessages][kRecordedTextSize];
    char renameArchiveTo[kRecordedTextSize];
    // What the library received: the entries called in order, the records as received (the options'
    // two pointers as the texts below, the root folder's read again during ZpArchive), and the
    // callbacks' answers (commentHandedBack is 1 when the buffer came back unchanged).
    int32_t callCount;
    char calls[kMaxRecordedCalls][16];
    ZIPUSERFUNCTIONS functions;
    ZPOPT options;
    RecordedText date, rootDir, rootDirLater;
    int32_t count;
    RecordedText zipFileName;
    RecordedText names[kZipNameListSize];
    int32_t passwordResult, commentHandedBack;
};

// The unzip callbacks a scripted run can call.
enum UnzipCallbackKind {
    kUnzipCallPrint = 1,
    kUnzipCallReplace,
    kUnzipCallPassword,
    kUnzipCallMessage,
    kUnzipCallService
};

// One callback made during Wiz_SingleEntryUnzip: set before the run, the text put at index 0 of the
// buffer and the length or size argument; afterwards, the answer and a password call's buffer (all
// 0x7F before) as it was left.
struct UnzipCallbackCall {
    int32_t kind;
    char text[kRecordedTextSize];
    int32_t length;
    int32_t result;
    char password[kUnzipNameBufferSize];
};

struct UnzipRecording {
    // Set before the run: the result, names written over the copies of the archive name and the
    // extraction folder when not empty, and the callbacks to make.
    int32_t unzipResult;
    char renameArchiveTo[kRecordedTextSize];
    char renameExtractDirTo[kRecordedTextSize];
    int32_t callbackCount;
    UnzipCallbackCall callbacks[kMaxUnzipCallbacks];
    // What the library received: the entries called in order, the version record before the library
    // fills it, the two lists' counts and their entries that are not null (-1 for a null list), and
    // the records, the options' two pointers as the texts below.
    int32_t callCount;
    char calls[kMaxRecordedCalls][24];
    UnzipVersionInfo version;
    int32_t includeCount, excludeCount, includeNonNull, excludeNonNull;
    DCL options;
    RecordedText zipFileName, extractDir;
    USERFUNCTION functions;
};

// Each library's one recording in each program or library that uses them. The resets zero it,
// script included.
inline ZipRecording& Recording() {
    static ZipRecording recording;
    return recording;
}
inline UnzipRecording& UnzipRecorded() {
    static UnzipRecording recording;
    return recording;
}
inline void ResetRecording() {
    Recording() = {};
}
inline void ResetUnzipRecording() {
    UnzipRecorded() = {};
}

int32_t ZIP32_API RecordingZpInit(ZIPUSERFUNCTIONS* functions);
int32_t ZIP32_API RecordingZpSetOptions(ZPOPT* options);
int32_t ZIP32_API RecordingZpArchive(int32_t count, char* zipFileName, ZIPNAMES* names);
int32_t ZIP32_API RecordingUzpVersion2(UnzipVersionInfo* version);
int32_t ZIP32_API RecordingWizSingleEntryUnzip(int32_t, char**, int32_t, char**, DCL*, USERFUNCTION*);

// A recorded text as a string, "<null>" for a null pointer; "<truncated>" marks one too long to record.
inline std::string Text(const RecordedText& recorded) {
    if (recorded.present == 0)
        return "<null>";
    return recorded.length >= kRecordedTextSize ? "<truncated>"
                                                : std::string(recorded.text, static_cast<size_t>(recorded.length));
}

// The entries a recording says were called, in order.
template <typename Recorded>
std::vector<std::string> Calls(const Recorded& r) {
    return std::vector<std::string>(r.calls, r.calls + r.callCount);
}

// The name list the support-file workflow's two files make.
inline const std::vector<std::string> kWorkflowNames = {"querty", "c:\\ovsupport.txt", "c:\\regbackup.reg"};

// The name list as received, up to its last entry that is not null; "<null>" for a null one.
inline std::vector<std::string> ReceivedNames(const ZipRecording& recording) {
    std::vector<std::string> names;
    for (const RecordedText& name : recording.names)
        names.push_back(Text(name));
    while (!names.empty() && names.back() == "<null>")
        names.pop_back();
    return names;
}

// Scripts a callback that the unzip library calls during Wiz_SingleEntryUnzip.
inline void ScriptCallback(UnzipRecording& r, int32_t kind, const std::string& text = {}, int32_t length = 0) {
    UnzipCallbackCall& call = r.callbacks[r.callbackCount++];
    call.kind = kind;
    text.copy(call.text, kRecordedTextSize - 1);
    call.length = length;
}

// A print call of the whole of `text`.
inline void ScriptPrint(UnzipRecording& r, const std::string& text) {
    ScriptCallback(r, kUnzipCallPrint, text, static_cast<int32_t>(text.size()));
}

}  // namespace ost::test
