// modGeneral: the installed-programs list of the add/remove-programs uninstall key, and the
// registry text reader it uses.
#pragma once

#include <string>

#include "platform/filesystem.h"
#include "platform/locale.h"
#include "platform/registry.h"
#include "platform/ui.h"

namespace ost::modGeneral {

inline constexpr const char* kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline constexpr const char* kProgramListPath = "c:\\progs.txt";
inline constexpr const char* kKeyOpenFailure = "Registry key could Not be opened -- aborting.";

// Rewrites c:\progs.txt from empty with one quoted line per program whose "DisplayName" (REG_SZ)
// is not empty, in the registry's enumeration order, and shows each name on `list` (cleared
// before each name, so it ends holding the last one). The walk ends at the first enumeration
// result other than success. Failures (c:\progs.txt not writable, ...) reach the caller. When
// the uninstall key cannot be opened it shows kKeyOpenFailure, writes it quoted to
// c:\progs.txt and ends the program.
void ExportProgramList(IListBox& list, IFileSystem& fs, IRegistry& registry, ILocale& locale, IUi& ui);

// The REG_SZ value `valueName` of `keyPath` under `root`, cut at its first NUL, as the ANSI
// bytes the registry gives; `defaultText` when it cannot be read or is of another type. Never
// fails toward its caller.
std::string GetRegistryString(IRegistry& registry,
                              RegKey root,
                              const std::string& keyPath,
                              const std::string& valueName,
                              const std::string& defaultText);

}  // namespace ost::modGeneral
