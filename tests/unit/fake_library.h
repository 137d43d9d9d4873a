// Libraries in memory: each is a table of in-process functions handed out by entry name.
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/library.h"

namespace ost::test {

// A function as a library entry.
template <typename Fn>
LibraryEntry AsEntry(Fn function) {
    return reinterpret_cast<LibraryEntry>(function);
}

// A library missing from `libraries` cannot be loaded (AppError 53), an entry missing from its
// table is not found (AppError 453): erase either to make a call fail.
class FakeLibraryLoader : public ILibraryLoader {
  public:
    std::map<std::string, std::map<std::string, LibraryEntry>> libraries;
    std::vector<std::string> loaded;  // the libraries loaded so far, in order, each once

    LibraryEntry Entry(const std::string& library, const std::string& entry) override {
        const auto found = libraries.find(library);
        if (found == libraries.end())
            throw MakeError(err::kFileNotFound, {}, "LoadLibraryW '" + library + "': not found");
        if (std::find(loaded.begin(), loaded.end(), library) == loaded.end())
            loaded.push_back(library);
        const auto address = found->second.find(entry);
        if (address == found->second.end())
            throw MakeError(err::kEntryPointMissing, {}, "GetProcAddress '" + library + "!" + entry + "'");
        return address->second;
    }
};

}  // namespace ost::test
