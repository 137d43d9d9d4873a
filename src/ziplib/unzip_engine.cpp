#include "ziplib/unzip_engine.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <new>
#include <set>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "ziplib/deflate_pipeline.h"
#include "ziplib/zip_crypto.h"
#include "ziplib/zip_result.h"

namespace ost::zip {

namespace {

// Reads, inflates and writes go in pieces of up to this size: few system calls for a large entry
// (under Wine each costs more), little to allocate for a small one.
constexpr uint64_t kChunk = 1 << 20;
constexpr uint16_t kHostUnix = 3;
constexpr uint32_t kUnixTypeMask = 0170000;
constexpr uint32_t kUnixLink = 0120000;
constexpr int kPasswordTries = 3;
constexpr const char* kDuplicate = "an earlier entry of the archive names the same file";

// Code page 437's upper half.
constexpr const char* kCp437[128] = {
    "Ç", "ü", "é", "â", "ä", "à", "å", "ç", "ê", "ë", "è", "ï", "î", "ì", "Ä", "Å", "É", "æ",      "Æ", "ô", "ö", "ò",
    "û", "ù", "ÿ", "Ö", "Ü", "¢", "£", "¥", "₧", "ƒ", "á", "í", "ó", "ú", "ñ", "Ñ", "ª", "º",      "¿", "⌐", "¬", "½",
    "¼", "¡", "«", "»", "░", "▒", "▓", "│", "┤", "╡", "╢", "╖", "╕", "╣", "║", "╗", "╝", "╜",      "╛", "┐", "└", "┴",
    "┬", "├", "─", "┼", "╞", "╟", "╚", "╔", "╩", "╦", "╠", "═", "╬", "╧", "╨", "╤", "╥", "╙",      "╘", "╒", "╓", "╫",
    "╪", "┘", "┌", "█", "▄", "▌", "▐", "▀", "α", "ß", "Γ", "π", "Σ", "σ", "µ", "τ", "Φ", "Θ",      "Ω", "δ", "∞", "φ",
    "ε", "∩", "≡", "±", "≥", "≤", "⌠", "⌡", "÷", "≈", "°", "∙", "·", "√", "ⁿ", "²", "■", "\u00a0",
};

bool IsUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size() || (n == 2 && c < 0xC2))
            return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2)
                return false;
        i += n;
    }
    return true;
}

// ASCII letters alone, whatever locale the program that loaded the library has set: a byte of a
// UTF-8 name is no letter of a single-byte code page.
std::string ToLower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// `a` + `b`, or UINT64_MAX when that does not fit.
uint64_t Add(uint64_t a, uint64_t b) {
    return a + std::min(b, UINT64_MAX - a);
}

bool IsDeviceName(std::string_view part) {
    // The device names count with any extension and with blanks before it.
    std::string base = ToLower(part.substr(0, part.find('.')));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    if (base == "con" || base == "nul" || base == "aux" || base == "prn" || base == "conin$" || base == "conout$")
        return true;
    if (base.compare(0, 3, "com") != 0 && base.compare(0, 3, "lpt") != 0)
        return false;
    // COM1 to COM9, and COM with a superscript 1, 2 or 3 (UTF-8 C2 B9, C2 B2, C2 B3); LPT alike.
    const std::string_view digit = std::string_view(base).substr(3);
    return (digit.size() == 1 && digit[0] >= '1' && digit[0] <= '9') || digit == "\u00b9" || digit == "\u00b2" ||
           digit == "\u00b3";
}

LocalTime FromDos(const DosDateTime& d) {
    LocalTime t;
    t.year = 1980 + (d.date >> 9);
    t.month = std::clamp((d.date >> 5) & 15, 1, 12);
    t.day = std::clamp(d.date & 31, 1, 31);
    t.hour = std::min(d.time >> 11, 23);
    t.minute = std::min((d.time >> 5) & 63, 59);
    t.second = std::min((d.time & 31) * 2, 59);
    return t;
}

std::string MethodName(const EntryHeader& e) {
    if (e.method == kMethodStored)
        return "Stored";
    if (e.method == kMethodDeflated) {
        static const char* const kLevels = "NXFS";  // normal, maximum, fast, super fast
        return std::string("Defl:") + kLevels[(e.flags >> 1) & 3];
    }
    return "Unk:" + std::to_string(e.method);
}

// A failure of one entry: its result and the line printed for it.
struct EntryFailure {
    int32_t code;
    std::string message;
};

// Streams one entry's data: decrypts, inflates, stops at the declared size and checks the
// CRC-32 and the exact size at the end.
class EntryDecoder {
  public:
    EntryDecoder(ByteSource& source, const ArchiveEntry& entry) : source_(source), entry_(entry) {}
    ~EntryDecoder() {
        if (inflating_)
            inflateEnd(&z_);
    }
    EntryDecoder(const EntryDecoder&) = delete;
    EntryDecoder& operator=(const EntryDecoder&) = delete;

    // Checks `password` against the encryption header; true when it fits (or the entry is plain).
    bool TryPassword(const std::string& password) {
        const EntryHeader& e = entry_.header;
        if (e.compressedSize < TraditionalCipher::kHeaderSize)
            throw EntryFailure{kUnzipBadArchive, "the encrypted data of " + e.name + " is too short"};
        std::array<uint8_t, TraditionalCipher::kHeaderSize> header{};
        source_.Seek(entry_.dataOffset);
        ReadExactly(source_, header.data(), header.size(), "the archive");
        TraditionalCipher cipher(password);
        cipher.Decrypt(header.data(), header.size());
        if (header.back() != entry_.passwordCheck)
            return false;
        cipher_.emplace(cipher);
        return true;
    }

    // Calls `sink` with the entry's data in chunks. Raises EntryFailure.
    template <typename Sink>
    void Run(Sink&& sink) {
        const EntryHeader& e = entry_.header;
        uint64_t offset = entry_.dataOffset, left = e.compressedSize;
        if (cipher_) {
            offset += TraditionalCipher::kHeaderSize;
            left -= TraditionalCipher::kHeaderSize;
        }
        source_.Seek(offset);
        // Not cleared: only what was read or inflated into them is used.
        const auto inSize = static_cast<size_t>(std::clamp<uint64_t>(left, 1, kChunk));
        const auto outSize = static_cast<size_t>(std::clamp<uint64_t>(e.size, 1, kChunk));
        const auto in = std::make_unique_for_overwrite<uint8_t[]>(inSize);
        const auto out = std::make_unique_for_overwrite<uint8_t[]>(outSize);
        uint32_t crc = 0;
        uint64_t produced = 0;
        auto deliver = [&](const uint8_t* data, size_t size) {
            if (size > e.size - produced)
                throw EntryFailure{kUnzipBadArchive, e.name + " inflates beyond its declared size of " +
                                                         std::to_string(e.size) + " bytes; stopped"};
            produced += size;
            crc = Crc32(crc, data, size);
            sink(data, size);
        };
        bool ended = e.method == kMethodStored;
        if (e.method == kMethodDeflated) {
            z_ = z_stream{};
            if (inflateInit2(&z_, -MAX_WBITS) != Z_OK)
                throw std::bad_alloc();
            inflating_ = true;
        }
        while (left > 0 || (e.method == kMethodDeflated && !ended)) {
            size_t n = 0;
            if (left > 0) {
                n = source_.Read(in.get(), static_cast<size_t>(std::min<uint64_t>(left, inSize)));
                if (n == 0)
                    throw EntryFailure{kUnzipEndOfFile, "the data of " + e.name + " is truncated"};
                left -= n;
                if (cipher_)
                    cipher_->Decrypt(in.get(), n);
            }
            if (e.method == kMethodStored) {
                deliver(in.get(), n);
                continue;
            }
            if (ended) {
                if (n > 0)
                    throw EntryFailure{kUnzipBadArchive, "the compressed data of " + e.name + " ends before its size"};
                continue;
            }
            z_.next_in = in.get();
            z_.avail_in = static_cast<uInt>(n);
            do {
                z_.next_out = out.get();
                z_.avail_out = static_cast<uInt>(outSize);
                const int rc = inflate(&z_, Z_NO_FLUSH);
                if (rc == Z_MEM_ERROR)
                    throw std::bad_alloc();
                // Without input to go on (this piece used up as the output filled), inflate asks for more.
                if (rc != Z_OK && rc != Z_STREAM_END && !(rc == Z_BUF_ERROR && z_.avail_in == 0))
                    throw EntryFailure{kUnzipBadArchive, "the compressed data of " + e.name + " is damaged"};
                deliver(out.get(), outSize - z_.avail_out);
                if (rc == Z_STREAM_END) {
                    ended = true;
                    if (z_.avail_in != 0 || left != 0)
                        throw EntryFailure{kUnzipBadArchive,
                                           "the compressed data of " + e.name + " ends before its size"};
                    break;
                }
                // Room left in the output means inflate took all there was and wants more.
                if (left == 0 && z_.avail_out != 0)
                    throw EntryFailure{kUnzipBadArchive, "the compressed data of " + e.name + " is truncated"};
            } while (z_.avail_in > 0);  // output still held back comes out on the next round
        }
        if (produced != e.size)
            throw EntryFailure{kUnzipBadArchive, e.name + " is shorter than its declared size"};
        if (crc != e.crc) {
            if (cipher_)
                throw EntryFailure{kUnzipBadPassword, "bad CRC-32 for " + e.name + " (incorrect password?)"};
            throw EntryFailure{kUnzipBadArchive, "bad CRC-32 for " + e.name};
        }
    }

  private:
    ByteSource& source_;
    const ArchiveEntry& entry_;
    std::optional<TraditionalCipher> cipher_;
    z_stream z_{};
    bool inflating_ = false;
};

// Lone LF (and a LF that begins a chunk without a CR before it) become CR LF.
class CrLfWriter {
  public:
    template <typename Sink>
    void Write(const uint8_t* data, size_t size, Sink&& sink) {
        buffer_.clear();
        for (size_t i = 0; i < size; ++i) {
            if (data[i] == '\n' && !lastCr_)
                buffer_.push_back('\r');
            buffer_.push_back(data[i]);
            lastCr_ = data[i] == '\r';
        }
        sink(buffer_.data(), buffer_.size());
    }

  private:
    std::vector<uint8_t> buffer_;
    bool lastCr_ = false;
};

class UnzipRun {
  public:
    UnzipRun(ByteSource& source,
             const std::string& archiveName,
             IFileSystem& fs,
             const UnzipOptions& options,
             const UnzipCallbacks& callbacks)
        : source_(source), archiveName_(archiveName), fs_(fs), o_(options), cb_(callbacks) {}

    int32_t Run(UnzipTotals* totals);

  private:
    void Print(const std::string& text, int level = 0) {
        if (cb_.print && level >= o_.quiet)
            cb_.print(text);
    }
    // A message is one line; the names in it are shown as Printable shows them.
    void Problem(int32_t code, const std::string& message) {
        Print(Printable(message) + "\n", 2);
        Failed(code);
    }
    void Failed(int32_t code) {
        if (result_ == kUnzipOk || result_ == kUnzipWarning)
            result_ = code;
    }
    void Warn(const std::string& message) {
        Print(Printable(message) + "\n", 2);
        if (result_ == kUnzipOk)
            result_ = kUnzipWarning;
    }
    // Whether the entry `name` is asked for; marks the include names it matches.
    bool Selected(const std::string& name) {
        auto matches = [&](const std::string& p) { return MatchesPattern(p, name, o_.caseSensitive); };
        bool included = o_.include.empty();
        for (size_t i = 0; i < o_.include.size(); ++i) {
            if (matches(o_.include[i])) {
                included = true;
                matched_[i] = true;
            }
        }
        return included && std::none_of(o_.exclude.begin(), o_.exclude.end(), matches);
    }
    // The file that an entry's name comes to, as the file system compares names: "./a" and "a",
    // "a\\b" and "a/b" come to one. A refused name stands for itself.
    std::string FileKey(const std::string& name) const {
        const SafeName safe = CheckEntryName(name);
        if (!safe.refusal.empty())
            return Folded(name);
        std::string key;
        for (const std::string& part : safe.parts)
            key += part + "/";
        return Folded(key);
    }
    // Whether the existing file `path` is one this run wrote, under any name.
    bool WrittenBefore(const std::string& path) {
        for (; identified_ < written_.size(); ++identified_)
            if (const std::optional<FileIdentity> id = fs_.Identity(written_[identified_]))
                writtenIds_.insert(*id);
        const std::optional<FileIdentity> id = fs_.Identity(path);
        return id && writtenIds_.count(*id) > 0;
    }
    void List(const std::vector<const ArchiveEntry*>& entries,
              const std::vector<std::string>& names,
              const std::vector<std::string>& notes);
    void Test(const ArchiveEntry& entry, const std::string& name);
    void Extract(const ArchiveEntry& entry, const std::string& name);
    // What extracting an entry does about the file at its target (none, or one that is neither a
    // link nor a folder): write it, pass the entry over quietly (freshening creates nothing,
    // updating keeps a file as new as the entry), keep the file with a warning, or ask.
    enum class Over { kWrite, kPass, kKeep, kAsk };
    Over Decide(const std::optional<FileInfo>& existing, const EntryHeader& e) const {
        if (!existing)
            return o_.freshen ? Over::kPass : Over::kWrite;
        if ((o_.update || o_.freshen) && ToDosTime(existing->modified).Key() >= e.modified.Key())
            return Over::kPass;
        if (o_.overwrite == UnzipOptions::Overwrite::kAsk)
            return Over::kAsk;
        // Update and freshen replace an older file without asking, unless asking was chosen.
        const bool replace = o_.overwrite == UnzipOptions::Overwrite::kAlways || o_.update || o_.freshen;
        return replace ? Over::kWrite : Over::kKeep;
    }
    // The parts of the path under the extraction folder that a safe name is extracted to.
    std::vector<std::string> Parts(const std::string& name, bool folder) const {
        SafeName safe = CheckEntryName(name);
        if (o_.spacesToUnderscores)
            for (std::string& part : safe.parts)
                std::replace(part.begin(), part.end(), ' ', '_');
        if (!folder && !o_.keepFolders)
            safe.parts.erase(safe.parts.begin(), safe.parts.end() - 1);
        return std::move(safe.parts);
    }
    // Whether extracting the entries to files stays within the run's limit of files and folders
    // created and within the disk's free space; when it does not, says why and fails the run.
    bool Fits(const std::vector<const ArchiveEntry*>& entries, const std::vector<std::string>& names);
    struct DiskNeeds {
        uint64_t created = 0;  // files and folders
        uint64_t bytes = 0;    // in whole clusters
    };
    DiskNeeds Measure(const std::vector<const ArchiveEntry*>& entries,
                      const std::vector<std::string>& names,
                      uint64_t cluster);
    // Stat, taking a file that cannot be examined for none: extracting says why when it gets there.
    std::optional<FileInfo> Look(const std::string& path) {
        try {
            return fs_.Stat(path);
        } catch (const ZipError&) {
            return std::nullopt;
        }
    }
    void Decode(EntryDecoder& decoder, const ArchiveEntry& entry, const std::string& name);
    // Adds `part` to the path `folder` in place: a chain of folders costs its length, not its square.
    static void Append(std::string& folder, const std::string& part) {
        if (!folder.empty() && folder.back() != '/' && folder.back() != '\\')
            folder += '/';
        folder += part;
    }
    // Creates the folders of `parts` under the extraction folder, refusing links; returns the path.
    std::string MakeFolders(const std::vector<std::string>& parts, size_t count);
    // A name as the file system compares it: as it is, or folded when names are folded.
    std::string Folded(const std::string& name) const {
        if (!o_.foldCase)
            return name;
        return o_.upperCase ? o_.upperCase(name) : ToLower(name);
    }
    void Describe(const ArchiveEntry& entry, const std::string& name) {
        if (!cb_.message)
            return;
        const EntryHeader& e = entry.header;
        cb_.message(UnzipEntryInfo{name, e.size, e.compressedSize, e.modified, MethodName(e), e.crc,
                                   (e.flags & kFlagEncrypted) != 0});
    }
    void CountEntry(const ArchiveEntry& entry) {
        ++totals_.entries;
        totals_.size += entry.header.size;
        totals_.compressedSize += entry.header.compressedSize;
    }

    ByteSource& source_;
    const std::string& archiveName_;
    IFileSystem& fs_;
    const UnzipOptions& o_;
    const UnzipCallbacks& cb_;
    int32_t result_ = kUnzipOk;
    UnzipTotals totals_;
    std::optional<std::string> password_;  // the last password that fitted
    bool passwordDeclined_ = false;
    bool keepAll_ = false;                     // the replace callback answered "none"
    std::unordered_set<std::string> targets_;  // files written in this run (folded when foldCase)
    std::vector<std::string> written_;         // their paths, in order
    size_t identified_ = 0;                    // how many of them have been asked for their identity
    std::set<FileIdentity> writtenIds_;
    std::vector<bool> matched_ = std::vector<bool>(o_.include.size());  // per include name
};

// Why an extraction refuses an entry, whatever is on the disk; empty when it does not.
std::string Refusal(const ArchiveEntry& entry, const std::string& name) {
    const EntryHeader& e = entry.header;
    if ((e.versionMadeBy >> 8) == kHostUnix && ((e.externalAttributes >> 16) & kUnixTypeMask) == kUnixLink)
        return "symbolic links are not created";
    return CheckEntryName(name).refusal;
}

// Whether an entry is a folder: its name ends in a separator, or (a safe name of "." parts alone)
// it is the extraction folder itself, with nothing to create.
bool IsFolderName(std::string_view name) {
    if (name.ends_with('/') || name.ends_with('\\'))
        return true;
    const SafeName safe = CheckEntryName(name);
    return safe.refusal.empty() && safe.parts.empty();
}

int32_t UnzipRun::Run(UnzipTotals* totals) {
    ArchiveDirectory directory;
    try {
        directory = ReadArchiveDirectory(source_, archiveName_);
    } catch (const NotAnArchive& e) {
        Problem(kUnzipNoArchive, e.what());
        return result_;
    } catch (const ZipError& e) {
        Problem(e.Code() == kBadArchive ? kUnzipBadArchive : kUnzipNoArchive, e.what());
        return result_;
    }
    const std::string holds = "warning: " + archiveName_ + " holds ";
    if (directory.prefix > 0)
        Warn(holds + std::to_string(directory.prefix) +
             " bytes before the archive that its offsets do not count (a self-extractor?); they were passed over");
    if (directory.gap > 0)
        Warn(holds + std::to_string(directory.gap) +
             " bytes between its entries and its central directory that its offsets do not count; they were "
             "passed over");
    if (directory.countWrapped)
        Warn(holds + std::to_string(directory.entries.size()) +
             " entries, which its end record counts modulo 65,536 (an old writer's count); all were read");
    if (directory.entries.empty())
        Warn(holds + "no entries");
    // Bytes after the archive are only mentioned, as the usual reader does: no warning.
    if (directory.trailing > 0)
        Print(
            holds + std::to_string(directory.trailing) + " bytes after the end of the archive; they were passed over\n",
            2);
    totals_.commentLength = directory.comment.size();
    if (o_.showComment && !directory.comment.empty()) {
        // A comment is UTF-8 when it reads as UTF-8, and in the names' code page otherwise.
        EntryHeader asText;
        asText.name.assign(directory.comment.begin(), directory.comment.end());
        if (cb_.print)
            cb_.print((IsUtf8(asText.name) ? asText.name : DecodeEntryName(asText, o_.codePage)) + "\n");
    }
    const bool listing = o_.action == UnzipOptions::Action::kList;
    std::vector<const ArchiveEntry*> selected;
    std::vector<std::string> names, notes;       // notes: why an extraction would refuse a listed entry
    std::unordered_map<std::string, bool> seen;  // the files the entries come to: whether a folder
    for (size_t i = 0; i < directory.entries.size(); ++i) {
        const ArchiveEntry& entry = directory.entries[i];
        std::string name = DecodeEntryName(entry.header, o_.codePage);
        // The first entry of a file is the one read; readers differ on which of several wins. A
        // folder given twice is no conflict (jar files repeat META-INF/); a file and a folder are.
        const bool folder = IsFolderName(name);
        const auto [first, added] = seen.try_emplace(FileKey(name), folder);
        const bool repeated = !added && !(folder && first->second);
        if (!Selected(name))
            continue;
        std::string fault = !entry.fault.empty() ? entry.fault : repeated ? kDuplicate : "";
        if (fault.empty() && entry.header.size != 0 && folder)
            fault = "it is a folder entry that holds data";
        if (name.empty() || name.find('\0') != std::string::npos)
            name = "entry " + std::to_string(i + 1) + " of the directory";
        if (!fault.empty() && !listing) {
            Problem(kUnzipBadArchive, "skipping: " + name + "  (" + fault + ")");
            continue;
        }
        if (!fault.empty())
            Failed(kUnzipBadArchive);  // the listing's line says why
        if (listing)
            notes.push_back(fault.empty() ? Refusal(entry, name) : fault);
        selected.push_back(&entry);
        names.push_back(std::move(name));
    }
    bool unmatched = false;
    for (size_t i = 0; i < o_.include.size() && !directory.entries.empty(); ++i) {
        if (!matched_[i]) {
            Print("caution: no entry of " + archiveName_ + " matches " + o_.include[i] + "\n", 2);
            unmatched = true;
        }
    }
    if (listing) {
        List(selected, names, notes);
    } else if (o_.action == UnzipOptions::Action::kTest || o_.toOutput || Fits(selected, names)) {
        if (!o_.toOutput)
            Print("Archive:  " + archiveName_ + "\n", 1);
        for (size_t i = 0; i < selected.size(); ++i) {
            const ArchiveEntry& entry = *selected[i];
            if (cb_.service && !cb_.service(names[i], entry.header.size)) {
                Problem(kUnzipCancelled, "the run was stopped before " + names[i]);
                break;
            }
            Describe(entry, names[i]);
            try {
                if (o_.action == UnzipOptions::Action::kTest)
                    Test(entry, names[i]);
                else
                    Extract(entry, names[i]);
            } catch (const EntryFailure& f) {
                Problem(f.code, f.message);
            } catch (const ZipError& e) {
                const int32_t code = e.Code() == kReadFailed ? kUnzipBadArchive : kUnzipDiskFailure;
                Problem(code, std::string(e.what()));
            }
        }
        if (o_.action == UnzipOptions::Action::kTest) {
            if (result_ == kUnzipOk || result_ == kUnzipWarning)
                Print("No errors detected in compressed data of " + archiveName_ + ".\n", 2);
            else
                Print("At least one problem was found in " + archiveName_ + ".\n", 2);
        } else if (!o_.toOutput) {
            Print(std::to_string(totals_.entries) + (totals_.entries == 1 ? " entry" : " entries") +
                      " extracted from " + archiveName_ + "\n",
                  1);
        }
    }
    if (unmatched)
        Failed(kUnzipNoMatch);
    if (totals)
        *totals = totals_;
    return result_;
}

void UnzipRun::List(const std::vector<const ArchiveEntry*>& entries,
                    const std::vector<std::string>& names,
                    const std::vector<std::string>& notes) {
    char line[512];
    std::string text = "Archive:  " + archiveName_ + "\n";
    text += o_.verbose ? " Length   Method    Size  Cmpr    Date    Time   CRC-32   Name\n"
                         "--------  ------  ------- ---- ---------- ----- --------  ----\n"
                       : "  Length      Date    Time    Name\n"
                         "---------  ---------- -----   ----\n";
    for (size_t i = 0; i < entries.size(); ++i) {
        const EntryHeader& e = entries[i]->header;
        Describe(*entries[i], names[i]);
        CountEntry(*entries[i]);
        const LocalTime t = FromDos(e.modified);
        if (o_.verbose) {
            const int ratio =
                e.size == 0 ? 0 : static_cast<int>(100 - std::min<uint64_t>(100 * e.compressedSize / e.size, 100));
            std::snprintf(line, sizeof(line), "%8llu  %-6s %8llu %3d%% %04d-%02d-%02d %02d:%02d %08x  ",
                          static_cast<unsigned long long>(e.size), MethodName(e).c_str(),
                          static_cast<unsigned long long>(e.compressedSize), ratio, t.year, t.month, t.day, t.hour,
                          t.minute, e.crc);
        } else {
            std::snprintf(line, sizeof(line), "%9llu  %04d-%02d-%02d %02d:%02d   ",
                          static_cast<unsigned long long>(e.size), t.year, t.month, t.day, t.hour, t.minute);
        }
        text += line + Printable(names[i]) + (notes[i].empty() ? "" : "  (" + notes[i] + "; not extracted)") + "\n";
        if (text.size() > 16 * 1024) {
            if (cb_.print)
                cb_.print(text);
            text.clear();
        }
    }
    std::snprintf(line, sizeof(line), "---------                     -------\n%9llu                     %llu file%s\n",
                  static_cast<unsigned long long>(totals_.size), static_cast<unsigned long long>(totals_.entries),
                  totals_.entries == 1 ? "" : "s");
    text += line;
    if (cb_.print)
        cb_.print(text);
}

void UnzipRun::Decode(EntryDecoder& decoder, const ArchiveEntry& entry, const std::string& name) {
    const EntryHeader& e = entry.header;
    if (e.flags & kFlagStrongEncryption)
        throw EntryFailure{kUnzipUnsupported, "skipping: " + name + "  (strong encryption is not supported)"};
    if (e.method != kMethodStored && e.method != kMethodDeflated)
        throw EntryFailure{kUnzipUnsupported, "skipping: " + name + "  (compression method " +
                                                  std::to_string(e.method) + " is not supported)"};
    // A stored entry's data is its content, after the encryption header when there is one.
    const uint64_t header = (e.flags & kFlagEncrypted) ? TraditionalCipher::kHeaderSize : 0;
    if (e.method == kMethodStored && (e.compressedSize < header || e.compressedSize - header != e.size))
        throw EntryFailure{kUnzipBadArchive, "the sizes of the stored entry " + name + " disagree"};
    if (!(e.flags & kFlagEncrypted))
        return;
    if (password_ && decoder.TryPassword(*password_))
        return;
    for (int attempt = 0; attempt < kPasswordTries && !passwordDeclined_ && cb_.password; ++attempt) {
        std::optional<std::string> given = cb_.password(name);
        if (!given || given->empty()) {
            passwordDeclined_ = true;
            break;
        }
        if (decoder.TryPassword(*given)) {
            password_ = std::move(given);
            return;
        }
    }
    throw EntryFailure{kUnzipBadPassword, "skipping: " + name + "  " +
                                              (passwordDeclined_ ? "(no password given)" : "(incorrect password)")};
}

// A folder counts as handled, with no data to test.
void UnzipRun::Test(const ArchiveEntry& entry, const std::string& name) {
    const bool folder = IsFolderName(name);
    if (!folder) {
        EntryDecoder decoder(source_, entry);
        Decode(decoder, entry, name);
        decoder.Run([](const uint8_t*, size_t) {});
    }
    CountEntry(entry);
    if (!folder)
        Print("    testing: " + Printable(name) + "   OK\n", 0);
}

std::string UnzipRun::MakeFolders(const std::vector<std::string>& parts, size_t count) {
    std::string path = o_.extractFolder;
    if (!path.empty() && !fs_.Stat(path))
        fs_.MakeFolder(path);
    for (size_t i = 0; i < count; ++i) {
        Append(path, parts[i]);
        const std::optional<FileInfo> info = fs_.Stat(path);
        if (info && info->isLink)
            throw EntryFailure{kUnzipUnsafeEntry, "refusing to pass through the link " + path};
        if (info && !info->isFolder)
            throw EntryFailure{kUnzipDiskFailure, "cannot create the folder " + path + ": a file has its name"};
        if (!info)
            fs_.MakeFolder(path);
    }
    return path;
}

bool UnzipRun::Fits(const std::vector<const ArchiveEntry*>& entries, const std::vector<std::string>& names) {
    const std::string folder = o_.extractFolder.empty() ? "." : o_.extractFolder;
    const std::optional<VolumeSpace> space = fs_.FreeSpace(folder);
    const DiskNeeds needs = Measure(entries, names, space ? space->cluster : 1);
    if (needs.created > o_.createLimit) {
        Problem(kUnzipDiskFailure, "unzip error: extracting would create " + std::to_string(needs.created) +
                                       " files and folders, and one run may create " + std::to_string(o_.createLimit) +
                                       "; nothing was extracted");
        return false;
    }
    if (space && needs.bytes > space->free) {
        Problem(kUnzipDiskFailure, "unzip error: the files and folders to extract take " + std::to_string(needs.bytes) +
                                       " bytes in clusters of " + std::to_string(space->cluster) +
                                       " bytes, and the disk of " + folder + " has " + std::to_string(space->free) +
                                       " bytes free; nothing was extracted");
        return false;
    }
    return true;
}

// Every file written takes its size in whole clusters, at least one, and twice its size when it may
// be converted to CR LF; every folder made takes one. A file replaced counts in bytes (the new one is
// written beside it first) but is not created. Entries that will not be written take nothing:
// refused ones, files kept or not newer. One asked about counts as written. The folders on the way
// to a file are made whether or not the file is then written, as extracting makes them.
UnzipRun::DiskNeeds UnzipRun::Measure(const std::vector<const ArchiveEntry*>& entries,
                                      const std::vector<std::string>& names,
                                      uint64_t cluster) {
    DiskNeeds needs;
    auto take = [&](uint64_t bytes) {
        const uint64_t clusters = std::max<uint64_t>(bytes / cluster + (bytes % cluster != 0), 1);
        needs.bytes = Add(needs.bytes, clusters > UINT64_MAX / cluster ? UINT64_MAX : clusters * cluster);
    };
    // Each folder met, keyed by the number of the folder that holds it and its folded name, so that
    // the keys take no more memory than the names: its own number, and whether it is there. One
    // that is not is made.
    std::unordered_map<std::string, std::pair<size_t, bool>> folders;
    auto enter = [&](size_t parent, const std::string& part, bool parentThere, const std::string& path) {
        const auto [at, added] =
            folders.try_emplace(std::to_string(parent) + "/" + Folded(part), folders.size() + 1, false);
        if (added) {
            at->second.second = parentThere && Look(path).has_value();
            if (!at->second.second) {
                ++needs.created;
                take(0);
            }
        }
        return at->second;
    };
    std::unordered_set<std::string> targets;
    for (size_t i = 0; i < entries.size(); ++i) {
        const bool folder = IsFolderName(names[i]);
        if (!Refusal(*entries[i], names[i]).empty() || (folder && !o_.keepFolders))
            continue;
        const std::vector<std::string> parts = Parts(names[i], folder);
        std::string path = o_.extractFolder;  // as far as the folders on the way are there
        auto [id, there] = path.empty() ? std::pair<size_t, bool>(0, true) : enter(0, path, true, path);
        const size_t folderParts = folder ? parts.size() : parts.size() - 1;
        for (size_t k = 0; k < folderParts; ++k) {
            const bool parentThere = there;
            if (parentThere)
                Append(path, parts[k]);
            std::tie(id, there) = enter(id, parts[k], parentThere, path);
        }
        if (folder || !targets.insert(std::to_string(id) + "/" + Folded(parts.back())).second)
            continue;
        if (there)
            Append(path, parts.back());
        const std::optional<FileInfo> existing = there ? Look(path) : std::nullopt;
        if (existing && (existing->isLink || existing->isFolder))
            continue;
        const Over over = Decide(existing, entries[i]->header);
        if (over == Over::kWrite || over == Over::kAsk) {
            needs.created += !existing;
            const uint64_t size = entries[i]->header.size;
            take(o_.crlf ? Add(size, size) : size);
        }
    }
    return needs;
}

void UnzipRun::Extract(const ArchiveEntry& entry, const std::string& name) {
    const EntryHeader& e = entry.header;
    if (const std::string why = Refusal(entry, name); !why.empty())
        throw EntryFailure{kUnzipUnsafeEntry, "skipping: " + name + "  (" + why + ")"};
    const bool folder = IsFolderName(name);
    const std::vector<std::string> parts = Parts(name, folder);
    if (folder) {  // nothing to write; made where folders are kept
        if (!o_.toOutput && o_.keepFolders && !parts.empty())
            MakeFolders(parts, parts.size());
        CountEntry(entry);
        return;
    }
    if (o_.toOutput) {
        EntryDecoder decoder(source_, entry);
        Decode(decoder, entry, name);
        CrLfWriter crlf;
        bool text = false, decided = !o_.crlf;
        decoder.Run([&](const uint8_t* data, size_t size) {
            if (!decided) {
                text = (e.internalAttributes & 1) || std::find(data, data + size, 0) == data + size;
                decided = true;
            }
            if (!cb_.output)
                return;
            if (text)
                crlf.Write(data, size, cb_.output);
            else
                cb_.output(data, size);
        });
        CountEntry(entry);
        return;
    }
    const std::string parent = MakeFolders(parts, parts.size() - 1);
    std::string target = parent;
    Append(target, parts.back());
    const EntryFailure duplicate{kUnzipBadArchive, "skipping: " + name + "  (" + kDuplicate + ")"};
    if (!targets_.insert(Folded(target)).second)
        throw duplicate;

    const std::optional<FileInfo> existing = fs_.Stat(target);
    if (existing && existing->isLink)
        throw EntryFailure{kUnzipUnsafeEntry, "skipping: " + name + "  (" + target + " is a link)"};
    if (existing && existing->isFolder)
        throw EntryFailure{kUnzipDiskFailure, "skipping: " + name + "  (" + target + " is a folder)"};
    // Another name of a file written before (an 8.3 alias of a long name) is a duplicate too.
    if (existing && WrittenBefore(target))
        throw duplicate;
    Over over = Decide(existing, e);
    if (over == Over::kAsk) {
        const int32_t answer = keepAll_ || !cb_.replace ? kUnzipReplaceNo : cb_.replace(target);
        keepAll_ = keepAll_ || answer == kUnzipReplaceNone;
        over = answer == kUnzipReplaceYes ? Over::kWrite : Over::kKeep;
    }
    if (over == Over::kPass)
        return;
    if (over == Over::kKeep) {
        Warn("skipping: " + name + "  (" + target + " exists and is kept)");
        return;
    }

    EntryDecoder decoder(source_, entry);
    Decode(decoder, entry, name);
    std::unique_ptr<OutputFile> out = fs_.CreateBeside(target);
    out->SetWriteThrough(false);  // as every unzip program; the rename still comes after the check
    CrLfWriter crlf;
    bool text = false, decided = !o_.crlf;
    uint64_t written = 0;
    auto write = [&](const uint8_t* data, size_t size) {
        out->Write(data, size);
        written += size;
    };
    decoder.Run([&](const uint8_t* data, size_t size) {
        if (!decided) {
            text = (e.internalAttributes & 1) || std::find(data, data + size, 0) == data + size;
            decided = true;
        }
        if (text)
            crlf.Write(data, size, write);
        else
            write(data, size);
    });
    out->Truncate();
    out->SetModified(FromDos(e.modified));
    fs_.Replace(std::move(out), target);
    written_.push_back(target);
    CountEntry(entry);
    Print(std::string(e.method == kMethodStored ? " extracting: " : "  inflating: ") + Printable(target) + "\n", 0);
}

}  // namespace

SafeName CheckEntryName(std::string_view name) {
    SafeName result;
    auto refuse = [](const std::string& why) { return SafeName{{}, why}; };
    if (name.empty())
        return refuse("an empty name");
    if (name[0] == '/' || name[0] == '\\')
        return refuse("an absolute path");
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F)
            return refuse("a control character in the name");
        if (c == ':')
            return refuse("a drive letter or stream name (':')");
        if (c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*')
            return refuse("a character Windows forbids in names");
    }
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("/\\", start);
        if (end == std::string_view::npos)
            end = name.size();
        const std::string_view part = name.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..")
            return refuse("a \"..\" part leaves the extraction folder");
        if (part.back() == '.' || part.back() == ' ')
            return refuse("a name part ending in a dot or a blank");
        if (IsDeviceName(part))
            return refuse("a device name");
        result.parts.emplace_back(part);
    }
    return result;
}

std::string DecodeEntryName(const EntryHeader& e, const NameCodePage& codePage) {
    if (e.flags & kFlagUtf8)
        return e.name;
    // The Unicode Path field counts only when it was made for this very name.
    const std::vector<uint8_t>& extra = e.centralExtra;
    for (size_t p = 0; p + 4 <= extra.size();) {
        const uint16_t id = GetU16(&extra[p]);
        const size_t length = GetU16(&extra[p + 2]);
        if (p + 4 + length > extra.size())
            break;
        if (id == kExtraUnicodePath && length >= 5 && extra[p + 4] == 1 &&
            GetU32(&extra[p + 5]) == Crc32(0, reinterpret_cast<const uint8_t*>(e.name.data()), e.name.size())) {
            std::string utf8(extra.begin() + static_cast<ptrdiff_t>(p + 9),
                             extra.begin() + static_cast<ptrdiff_t>(p + 4 + length));
            if (!utf8.empty() && IsUtf8(utf8) && utf8.find('\0') == std::string::npos)
                return utf8;
        }
        p += 4 + length;
    }
    if (IsAscii(e.name) || ((e.versionMadeBy >> 8) == kHostUnix && IsUtf8(e.name)))
        return e.name;
    if (codePage.number != 437 && codePage.decode) {
        std::optional<std::string> decoded = codePage.decode(e.name);
        if (decoded && !decoded->empty() && IsUtf8(*decoded) && decoded->find('\0') == std::string::npos)
            return std::move(*decoded);
    }
    std::string out;
    for (const char c : e.name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80)
            out += c;
        else
            out += kCp437[u - 0x80];
    }
    return out;
}

int32_t RunUnzip(ByteSource& archive,
                 const std::string& archiveName,
                 IFileSystem& fs,
                 const UnzipOptions& options,
                 const UnzipCallbacks& callbacks,
                 UnzipTotals* totals) {
    try {
        return UnzipRun(archive, archiveName, fs, options, callbacks).Run(totals);
    } catch (const std::bad_alloc&) {
        if (callbacks.print)
            callbacks.print("unzip error: out of memory\n");
        return kUnzipOutOfMemory;
    } catch (const std::exception& e) {
        if (callbacks.print)
            callbacks.print(std::string("unzip error: ") + e.what() + "\n");
        return kUnzipSevere;
    }
}

void ReadEntryData(ByteSource& archive,
                   const ArchiveEntry& entry,
                   const std::function<void(const uint8_t* data, size_t size)>& sink) {
    const EntryHeader& e = entry.header;
    if (!entry.fault.empty())
        throw ZipError(kBadArchive, Printable(e.name) + " cannot be read: " + entry.fault);
    if (e.flags & (kFlagEncrypted | kFlagStrongEncryption))
        throw ZipError(kBadArchive, Printable(e.name) + " is encrypted");
    if (e.method != kMethodStored && e.method != kMethodDeflated)
        throw ZipError(kBadArchive, Printable(e.name) + " uses compression method " + std::to_string(e.method) +
                                        ", which this reader does not have");
    if (e.method == kMethodStored && e.compressedSize != e.size)
        throw ZipError(kBadArchive, "the sizes of the stored entry " + Printable(e.name) + " disagree");
    try {
        EntryDecoder(archive, entry).Run(sink);
    } catch (const EntryFailure& f) {
        throw ZipError(kBadArchive, Printable(f.message));
    }
}

}  // namespace ost::zip
