// The three entries of zip32.dll over the zip engine, with no Windows in them: the DLL's edge
// gives them the Win32 file system and the ANSI code page; tests give them the native file
// system and fakes.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "ziplib/file_system.h"
#include "ziplib/zip32.h"
#include "ziplib/zip_engine.h"

namespace ost::zip {

// The 8-bit text the callers speak (the ANSI code page on Windows) and UTF-8, which the engine speaks.
class ITextCodec {
  public:
    virtual ~ITextCodec() = default;
    virtual std::string ToUtf8(std::string_view ansi) = 0;
    // A character the 8-bit code page cannot hold becomes '?'.
    virtual std::string FromUtf8(std::string_view utf8) = 0;
    // A UTF-8 name in upper case as the file system compares names; nothing when only ASCII
    // letters are compared without case.
    virtual NameUpperCase UpperCase() { return {}; }
};

// Callers that speak UTF-8 already (the native command line and tests).
class Utf8Codec : public ITextCodec {
  public:
    std::string ToUtf8(std::string_view text) override { return std::string(text); }
    std::string FromUtf8(std::string_view utf8) override { return std::string(utf8); }
};

// Turns the options record into the engine's options. Every switch of the record either maps to
// an engine option or is refused: each refusal is one message naming the switch, and a run with
// any refusal does nothing but print them and return kBadOptions. `root` is szRootDir in UTF-8.
ZipJobOptions InterpretOptions(const ZPOPT& record, const std::string& root, std::vector<std::string>& refusals);

class Zip32Library {
  public:
    Zip32Library(IFileSystem& fs, ITextCodec& codec) : fs_(fs), codec_(codec) {}

    // Keeps a copy of the callback addresses for the runs that follow. Returns 1, or 0 for a null record.
    int32_t Init(const ZIPUSERFUNCTIONS* functions) noexcept;
    // Keeps a copy of the options and of the texts they point to (the caller may release them
    // when this returns). Sets fEncryption to 1 in the caller's record: encryption is available.
    // Returns 1, or 0 for a null record.
    int32_t SetOptions(ZPOPT* options) noexcept;
    // Runs one archive operation with entries 0 to count-1 of the name list (null entries are
    // skipped) and returns a Result. Every message goes to the print callback.
    int32_t Archive(int32_t count, const char* zipFileName, const ZIPNAMES* names) noexcept;

    // Deflate threads for the runs that follow; 0 = one per core.
    void SetThreads(unsigned threads) { threads_ = threads; }

  private:
    void Print(std::string_view utf8);

    IFileSystem& fs_;
    ITextCodec& codec_;
    std::mutex mutex_;
    ZIPUSERFUNCTIONS functions_{};
    ZPOPT options_{};
    std::string root_;  // UTF-8
    unsigned threads_ = 0;
};

}  // namespace ost::zip
