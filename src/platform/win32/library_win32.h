// Libraries loaded by name through kernel32's LoadLibraryW and GetProcAddress.
#pragma once

#include <map>
#include <string>

#include "platform/library.h"
#include "platform/win32/unique_handle.h"

namespace ost::win {

// Loads each library once, on the first Entry() that names it, and frees them all when destroyed:
// entries handed out must not be called after that.
class Win32LibraryLoader final : public ILibraryLoader {
  public:
    LibraryEntry Entry(const std::string& library, const std::string& entry) override;

  private:
    std::map<std::string, UniqueHModule> loaded_;  // by the name the caller gave
};

}  // namespace ost::win
