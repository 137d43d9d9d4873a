// The recording zip library as a zip32.dll: the three entries of the real one, undecorated, and
// FakeZipRecording, which gives the tests the recording to script and to read.
#include "recording_libraries.h"

#define FAKE_ZIP32_EXPORT extern "C" __declspec(dllexport)

FAKE_ZIP32_EXPORT int32_t ZIP32_API ZpInit(ZIPUSERFUNCTIONS* functions) {
    return ost::test::RecordingZpInit(functions);
}

FAKE_ZIP32_EXPORT int32_t ZIP32_API ZpSetOptions(ZPOPT* options) {
    return ost::test::RecordingZpSetOptions(options);
}

FAKE_ZIP32_EXPORT int32_t ZIP32_API ZpArchive(int32_t count, char* zipFileName, ZIPNAMES* names) {
    return ost::test::RecordingZpArchive(count, zipFileName, names);
}

FAKE_ZIP32_EXPORT ost::test::ZipRecording* ZIP32_API FakeZipRecording() {
    return &ost::test::Recording();
}
