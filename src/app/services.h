// The platform services the window and the support-file workflow use, set up once by the program.
#pragma once

#include "platform/filesystem.h"
#include "platform/locale.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/system_info.h"
#include "platform/ui.h"

namespace ost {

struct AppServices {
    IUi& ui;
    IFileSystem& fs;  // the program's one file system object
    IRegistry& registry;
    ILocale& locale;
    IProcessLauncher& processes;
    ISystemInfoSource& systemInfo;
};

}  // namespace ost
