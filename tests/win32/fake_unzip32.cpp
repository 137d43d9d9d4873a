// The recording unzip library as an unzip32.dll: the two entries of the real one, undecorated,
// and FakeUnzipRecording, which gives the tests the recording to script and to read.
#include "recording_libraries.h"

#define FAKE_UNZIP32_EXPORT extern "C" __declspec(dllexport)

FAKE_UNZIP32_EXPORT int32_t ZIP32_API UzpVersion2(UnzipVersionInfo* version) {
    return ost::test::RecordingUzpVersion2(version);
}

FAKE_UNZIP32_EXPORT int32_t ZIP32_API Wiz_SingleEntryUnzip(int32_t includeCount,
                                                           char** include,
                                                           int32_t excludeCount,
                                                           char** exclude,
                                                           DCL* options,
                                                           USERFUNCTION* functions) {
    return ost::test::RecordingWizSingleEntryUnzip(includeCount, include, excludeCount, exclude, options, functions);
}

FAKE_UNZIP32_EXPORT ost::test::UnzipRecording* ZIP32_API FakeUnzipRecording() {
    return &ost::test::UnzipRecorded();
}
