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
    // What the library does, set before the run.
    int32_t initResult;
    int32_t optionsResult;
    int32_t archiveResult;
    int32_t messageCount;  // messages printed during ZpArchive, each in a 4097-byte callback buffer
    char messages[kMaxScriptedMessages][kRecordedTextSize];
    char renameArchiveTo[kRecordedTextSize];  // written over the archive name's copy when not empty

    // What it received.
    int32_t callCount;
    char calls[kMaxRecordedCalls][16];  // the entries called, in order
    ZIPUSERFUNCTIONS functions;
    ZPOPT options;              // as received; its two pointers are recorded as texts below
    RecordedText date;          // read during ZpSetOptions
    RecordedText rootDir;       // read during ZpSetOptions
    RecordedText rootDirLater;  // the same pointer read again during ZpArchive
    int32_t count;
    RecordedText zipFileName;
    RecordedText names[kZipNameListSize];
    int32_t printResults[kMaxScriptedMessages];
    int32_t passwordResult;
    int32_t commentHandedBack;  // 1 when the comment callback returned the buffer unchanged
};

// The unzip callbacks a scripted run can call.
enum UnzipCallbackKind : int32_t {
    kUnzipCallPrint = 1,
    kUnzipCallReplace,
    kUnzipCallPassword,
    kUnzipCallMessage,
    kUnzipCallService,
};

// One callback made during Wiz_SingleEntryUnzip.
struct UnzipCallbackCall {
    // Set before the run.
    int32_t kind;
    char text[kRecordedTextSize];  // put at index 0 of the buffer: printed text, a file or entry name
    int32_t length;                // the length or size argument of a print, service or password call
    // What happened.
    int32_t result;                       // the callback's answer (none for a message)
    char password[kUnzipNameBufferSize];  // a password call's buffer, all 0x7F before, as it was left
};

struct UnzipRecording {
    // What the library does, set before the run.
    int32_t unzipResult;
    char renameArchiveTo[kRecordedTextSize];     // written over the archive name's copy when not empty
    char renameExtractDirTo[kRecordedTextSize];  // written over the extraction folder's copy when not empty
    int32_t callbackCount;
    UnzipCallbackCall callbacks[kMaxUnzipCallbacks];

    // What it received.
    int32_t callCount;
    char calls[kMaxRecordedCalls][24];  // the entries called, in order
    UnzipVersionInfo version;           // as received, before the library fills it
    int32_t includeCount;
    int32_t excludeCount;
    int32_t includeNonNull;  // entries of the 100 that are not null; -1 for a null list
    int32_t excludeNonNull;
    DCL options;  // as received; its two pointers are recorded as texts below
    RecordedText zipFileName;
    RecordedText extractDir;
    USERFUNCTION functions;
};

// Each library's one recording. The resets zero it, script included.
ZipRecording& Recording();
void ResetRecording();
UnzipRecording& UnzipRecorded();
void ResetUnzipRecording();

int32_t ZIP32_API RecordingZpInit(ZIPUSERFUNCTIONS* functions);
int32_t ZIP32_API RecordingZpSetOptions(ZPOPT* options);
int32_t ZIP32_API RecordingZpArchive(int32_t count, char* zipFileName, ZIPNAMES* names);
int32_t ZIP32_API RecordingUzpVersion2(UnzipVersionInfo* version);
int32_t ZIP32_API RecordingWizSingleEntryUnzip(int32_t includeCount,
                                               char** include,
                                               int32_t excludeCount,
                                               char** exclude,
                                               DCL* options,
                                               USERFUNCTION* functions);

// A recorded text as a string, "<null>" for a null pointer; "<truncated>" marks one too long to record.
inline std::string Text(const RecordedText& recorded) {
    if (recorded.present == 0)
        return "<null>";
    if (recorded.length >= kRecordedTextSize)
        return "<truncated>";
    return std::string(recorded.text, static_cast<size_t>(recorded.length));
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
    int end = kZipNameListSize;
    while (end > 0 && recording.names[end - 1].present == 0)
        --end;
    std::vector<std::string> names;
    for (int i = 0; i < end; ++i)
        names.push_back(Text(recording.names[i]));
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
