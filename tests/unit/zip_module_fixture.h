// The bridge module set up with in-memory services and the recording libraries as zip32.dll and
// unzip32.dll.
#pragma once

#include <gtest/gtest.h>

#include "archive/xw_un_zip_module.h"
#include "fake_library.h"
#include "fake_locale.h"
#include "fake_ui.h"
#include "raised_by.h"
#include "recording_libraries.h"

namespace ost::test {

class ZipModuleTest : public ::testing::Test {
  protected:
    ZipModuleTest() {
        ResetRecording();
        ResetUnzipRecording();
        libraries.libraries[kZipLibrary] = {{"ZpInit", AsEntry(&RecordingZpInit)},
                                            {"ZpSetOptions", AsEntry(&RecordingZpSetOptions)},
                                            {"ZpArchive", AsEntry(&RecordingZpArchive)}};
        libraries.libraries[kUnzipLibrary] = {{"UzpVersion2", AsEntry(&RecordingUzpVersion2)},
                                              {"Wiz_SingleEntryUnzip", AsEntry(&RecordingWizSingleEntryUnzip)}};
    }

    // Scripts a message that the library prints during ZpArchive.
    void LibraryPrints(const std::string& message) {
        ZipRecording& r = Recording();
        message.copy(r.messages[r.messageCount], kRecordedTextSize - 1);
        ++r.messageCount;
    }

    ZipRecording& recorded = Recording();
    UnzipRecording& unzipRecorded = UnzipRecorded();
    FakeUi ui;
    FakeLocale locale;
    FakeLibraryLoader libraries;
    XW_UN_ZIP_Module module{ui, locale, libraries};
};

}  // namespace ost::test
