// A zip library that packs nothing: it records what it receives and calls the callbacks back.
// The unit tests hand its functions out in-process; the tests under Wine load the same code as
// a fake zip32.dll through the real loader. The recording is plain data, so it can be read across
// that DLL's boundary.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ziplib/zip32.h"

namespace ost::test {

inline constexpr int kRecordedTextSize = 512;

// A text the library received through a pointer.
struct RecordedText {
    int32_t present;  // 0 for a null pointer
    int32_t length;   // the whole text's length; `text` holds at most kRecordedTextSize - 1 bytes of it
    char text[kRecordedTextSize];
};

// Records `text` as received: its presence, its length and as much of it as fits.
inline void Record(RecordedText& out, const char* text) {
    out = {};
    if (text == nullptr)
        return;
    out.present = 1;
    const size_t length = std::strlen(text);
    out.length = static_cast<int32_t>(length);
    std::memcpy(out.text, text, length < kRecordedTextSize ? length : kRecordedTextSize - 1);
}

inline constexpr int kMaxScriptedMessages = 4;
inline constexpr int kMaxRecordedCalls = 8;

// Adds the entry `name` to a recording's list of the entries called, as far as the list holds.
template <size_t Width>
void RecordCall(char (&calls)[kMaxRecordedCalls][Width], int32_t& callCount, const char* name) {
    if (callCount < kMaxRecordedCalls)
        std::strncpy(calls[callCount], name, Width - 1);
    ++callCount;
}

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

// The library's one recording. Reset() zeroes it, script included.
ZipRecording& Recording();
void ResetRecording();

int32_t ZIP32_API RecordingZpInit(ZIPUSERFUNCTIONS* functions);
int32_t ZIP32_API RecordingZpSetOptions(ZPOPT* options);
int32_t ZIP32_API RecordingZpArchive(int32_t count, char* zipFileName, ZIPNAMES* names);

// A recorded text as a string, "<null>" for a null pointer; "<truncated>" marks one too long to record.
inline std::string Text(const RecordedText& recorded) {
    if (recorded.present == 0)
        return "<null>";
    if (recorded.length >= kRecordedTextSize)
        return "<truncated>";
    return std::string(recorded.text, static_cast<size_t>(recorded.length));
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

}  // namespace ost::test
