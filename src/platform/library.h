// Libraries loaded at run time by name, as the archive bridge uses the two zip libraries.
#pragma once

#include <string>

namespace ost {

// The address of a library's entry, of no particular function type. The caller converts it to
// the entry's declared type with EntryAs; calling it through any other type is undefined.
using LibraryEntry = void (*)();

class ILibraryLoader {
  public:
    virtual ~ILibraryLoader() = default;

    // The address of `entry` in `library`, a bare file name ("zip32.dll") that the system's normal
    // search for libraries resolves. The first call that names a library loads it, and it stays
    // loaded as long as the loader lives.
    // Raises AppError 53 "File not found" when the library cannot be found or loaded; the context
    // names the library and gives the system's reason. Nothing is kept from a failed load, so the
    // next call tries again. Raises AppError 453 "Specified DLL function not found" when the
    // library has no such entry; the context names both.
    virtual LibraryEntry Entry(const std::string& library, const std::string& entry) = 0;
};

// Entry() converted to the entry's declared function type `Fn`.
template <typename Fn>
Fn EntryAs(ILibraryLoader& loader, const std::string& library, const std::string& entry) {
    return reinterpret_cast<Fn>(loader.Entry(library, entry));
}

}  // namespace ost
