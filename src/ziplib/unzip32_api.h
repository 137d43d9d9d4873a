// The entries of unzip32.dll over the unzip engine, with no Windows in them: the DLL's edge
// gives them the Win32 file system, the ANSI code page and the OEM code page that names without
// the UTF-8 flag are read in; tests give them the native file system.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "ziplib/file_system.h"
#include "ziplib/unzip32.h"
#include "ziplib/unzip_engine.h"
#include "ziplib/zip32_api.h"

namespace ost::zip {

// Turns the options record into the engine's options. A field value this library does not know is
// one refusal naming the field (a run with any does nothing but print them and return
// kUnzipBadOptions); a value it knows but does not carry out is one line in `unsupported` (the run
// returns kUnzipUnsupported). Texts are not read here.
UnzipOptions InterpretUnzipOptions(const DCL& record,
                                   std::vector<std::string>& refusals,
                                   std::vector<std::string>& unsupported);

class Unzip32Library {
  public:
    // `foldCase`: the file system takes names that differ only in letter case as one name.
    // `names`: the code page of entry names stored without the UTF-8 flag.
    Unzip32Library(IFileSystem& fs, ITextCodec& codec, bool foldCase, NameCodePage names = {})
        : fs_(fs), codec_(codec), foldCase_(foldCase), names_(std::move(names)) {}

    // Fills the version record (whose `length` must be at least its size) and returns 0; 1 for a
    // null or short record.
    int32_t Version(UnzipVersionInfo* version) noexcept;
    // As UzpSetCreateLimit describes it in unzip32.h.
    uint32_t SetCreateLimit(uint32_t limit) noexcept;
    // One run, as Wiz_SingleEntryUnzip describes it in unzip32.h.
    int32_t SingleEntryUnzip(int32_t includeCount,
                             char** include,
                             int32_t excludeCount,
                             char** exclude,
                             DCL* options,
                             USERFUNCTION* functions) noexcept;

  private:
    void Print(const USERFUNCTION& f, std::string_view ansi);

    IFileSystem& fs_;
    ITextCodec& codec_;
    bool foldCase_;
    NameCodePage names_;
    uint32_t createLimit_ = kUnzipDefaultCreateLimit;
    std::mutex mutex_;  // one run at a time; guards createLimit_
};

}  // namespace ost::zip
