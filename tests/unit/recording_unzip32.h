// An unzip library that reads no archive: it records what it receives and calls the callbacks
// back as scripted. The unit tests hand its functions out in-process; the tests under Wine load
// the same code as a fake unzip32.dll through the real loader. The recording is plain data, so it
// can be read across that DLL's boundary.
#pragma once

#include <cstdint>
#include <string>

#include "recording_zip32.h"
#include "ziplib/unzip32.h"

namespace ost::test {

// The callbacks a scripted run can call.
enum UnzipCallbackKind : int32_t {
    kUnzipCallPrint = 1,
    kUnzipCallReplace,
    kUnzipCallPassword,
    kUnzipCallMessage,
    kUnzipCallService,
};

inline constexpr int kMaxUnzipCallbacks = 8;

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
    char renameArchiveTo[kRecordedTextSize];  // written over the archive name's copy when not empty
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

// The library's one recording. ResetUnzipRecording() zeroes it, script included.
UnzipRecording& UnzipRecorded();
void ResetUnzipRecording();

int32_t ZIP32_API RecordingUzpVersion2(UnzipVersionInfo* version);
int32_t ZIP32_API RecordingWizSingleEntryUnzip(int32_t includeCount,
                                               char** include,
                                               int32_t excludeCount,
                                               char** exclude,
                                               DCL* options,
                                               USERFUNCTION* functions);

// Scripts a callback that the library calls during Wiz_SingleEntryUnzip.
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
