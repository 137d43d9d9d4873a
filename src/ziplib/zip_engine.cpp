#include "ziplib/zip_engine.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <memory>
#include <new>
#include <random>
#include <unordered_map>

#include "ziplib/archive_reader.h"
#include "ziplib/deflate_pipeline.h"
#include "ziplib/zip_crypto.h"

namespace ost::zip {

namespace {

constexpr size_t kCopyChunk = 1 << 20;
constexpr size_t kTextProbe = 64 * 1024;

std::string Fold(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && Fold(a) == Fold(b);
}

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

struct SplitPath {
    std::string prefix;  // "C:" or "//server/share", or empty
    bool absolute = false;
    std::vector<std::string> parts;
};

SplitPath Split(const std::string& path) {
    SplitPath out;
    size_t pos = 0;
    if (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':') {
        out.prefix = path.substr(0, 2);
        pos = 2;
    } else if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        // \\server\share: the first two names belong to the prefix.
        pos = 2;
        for (int part = 0; part < 2 && pos < path.size(); ++part) {
            const size_t end =
                std::find_if(path.begin() + static_cast<ptrdiff_t>(pos), path.end(), IsSeparator) - path.begin();
            out.prefix += "//" + path.substr(pos, end - pos);
            pos = end + (end < path.size() ? 1 : 0);
        }
        out.absolute = true;
    }
    if (pos < path.size() && IsSeparator(path[pos]))
        out.absolute = true;
    std::string part;
    auto flush = [&] {
        if (part == "..") {
            if (!out.parts.empty() && out.parts.back() != "..")
                out.parts.pop_back();
            else
                out.parts.push_back(part);
        } else if (!part.empty() && part != ".") {
            out.parts.push_back(part);
        }
        part.clear();
    };
    for (; pos < path.size(); ++pos) {
        if (IsSeparator(path[pos]))
            flush();
        else
            part += path[pos];
    }
    flush();
    return out;
}

bool IsAbsoluteName(const std::string& name) {
    const SplitPath s = Split(name);
    return s.absolute || !s.prefix.empty();
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    return IsSeparator(folder.back()) ? folder + name : folder + "/" + name;
}

bool HasWildcard(std::string_view s) {
    return s.find_first_of("*?") != std::string_view::npos;
}

int Percent(uint64_t size, uint64_t compressed) {
    if (size == 0 || compressed >= size)
        return 0;
    return static_cast<int>((size - compressed) * 100 / size);
}

// A file or folder found for the listed names.
struct NewItem {
    std::string path;
    std::string stored;  // folders end in '/'
    FileInfo info;
};

// One entry of the archive being written: carried over from the old archive, or new.
struct PlanItem {
    enum class Kind { kCarry, kAdd, kReplace } kind;
    size_t index;  // into the old entries for kCarry, into the new items otherwise
};

class ZipJob {
  public:
    ZipJob(IFileSystem& fs,
           const std::string& archive,
           const std::vector<std::string>& names,
           const ZipJobOptions& options,
           const ZipCallbacks& callbacks)
        : fs_(fs), names_(names), o_(options), cb_(callbacks) {
        archive_ = ReadPath(archive, o_.rootFolder);
    }

    void Run();

  private:
    void Print(const std::string& line) {
        if (cb_.print)
            cb_.print(line + "\n");
    }
    void Progress(const std::string& line) {
        if (!o_.quiet)
            Print(line);
    }
    void Warn(const std::string& line) { Print(" zip warning: " + line); }

    void Collect();
    void AddPath(const std::string& path, const FileInfo& info, bool named);
    void AddItem(NewItem item);
    void ReadOldArchive();
    void Plan();
    void PlanDeletions();
    void Write();
    EntryHeader WriteNewEntry(const NewItem& item, bool replacing);
    void DeflateEntry(ByteSource& in, EntryHeader& h, uint64_t dataStart);
    void StoreEntry(ByteSource& in, EntryHeader& h, uint64_t dataStart);
    void StartCipher(uint32_t crc);
    void WriteData(const uint8_t* data, size_t size);
    EntryHeader CarryEntry(size_t index);
    void MoveAddedFiles();

    IFileSystem& fs_;
    std::string archive_;
    const std::vector<std::string>& names_;
    const ZipJobOptions& o_;
    const ZipCallbacks& cb_;

    std::string archiveKey_;  // the archive's absolute path, folded
    std::vector<NewItem> items_;
    std::unordered_map<std::string, size_t> itemByName_;  // folded stored name -> items_
    bool haveOld_ = false;
    std::unique_ptr<ByteSource> oldSource_;
    ArchiveDirectory old_;
    std::vector<PlanItem> plan_;
    size_t changes_ = 0;

    std::unique_ptr<OutputFile> out_;
    std::unique_ptr<ParallelDeflater> deflater_;
    std::optional<std::string> password_;
    std::optional<TraditionalCipher> cipher_;
    std::vector<uint8_t> scratch_;
    uint64_t totalIn_ = 0, totalOut_ = 0;
};

void ZipJob::Run() {
    archiveKey_ = Fold(fs_.Absolute(archive_));
    if (o_.deleteEntries) {
        ReadOldArchive();
        if (!haveOld_)
            throw ZipError(kNothingToDo, "nothing to do: the archive " + archive_ + " does not exist");
        PlanDeletions();
    } else {
        Collect();
        if (o_.grow || o_.update || o_.freshen)
            ReadOldArchive();
        if (o_.freshen && !haveOld_)
            throw ZipError(kNothingToDo, "nothing to do: the archive " + archive_ + " does not exist to freshen");
        Plan();
    }
    if (changes_ == 0)
        throw ZipError(kNothingToDo, haveOld_ ? "nothing to do: the archive " + archive_ + " is up to date"
                                              : "nothing to do: no file matched the names given");
    // A read-only archive is never replaced (Windows refuses it, and so does this library on
    // every platform); this is found out before any work is done.
    if (const auto target = fs_.Stat(archive_); target && target->readOnly && !target->isFolder)
        throw ZipError(kReplaceFailed, "cannot put the new archive in place of " + archive_ + ": it is read-only");
    if (o_.encrypt) {
        if (cb_.password)
            password_ = cb_.password();
        if (!password_ || password_->empty())
            throw ZipError(kCancelled, "fEncrypt is on but no password was given");
    }
    Write();
    if (o_.move)
        MoveAddedFiles();
}

void ZipJob::Collect() {
    for (const std::string& name : names_) {
        if (name.empty())
            continue;
        const std::string path = ReadPath(name, o_.rootFolder);
        const size_t cut = path.find_last_of("/\\");
        const std::string last = cut == std::string::npos ? path : path.substr(cut + 1);
        if (HasWildcard(last)) {
            std::string folder = cut == std::string::npos ? "." : path.substr(0, cut);
            if (cut != std::string::npos && (folder.empty() || folder.back() == ':'))
                folder += path[cut];  // the root of a drive, not its current folder
            bool matched = false;
            const auto folderInfo = fs_.Stat(folder);
            if (folderInfo && folderInfo->isFolder) {
                std::vector<std::string> children = fs_.List(folder);
                std::sort(children.begin(), children.end());
                for (const std::string& child : children) {
                    if (!MatchesPattern(last, child, false))
                        continue;
                    const std::string childPath = cut == std::string::npos ? child : JoinPath(folder, child);
                    if (const auto info = fs_.Stat(childPath)) {
                        AddPath(childPath, *info, false);
                        matched = true;
                    }
                }
            }
            if (!matched)
                Warn("name not matched: " + name);
            continue;
        }
        const auto info = fs_.Stat(path);
        if (!info) {
            Warn("name not matched: " + name);
            continue;
        }
        AddPath(path, *info, true);
    }
}

void ZipJob::AddPath(const std::string& path, const FileInfo& info, bool named) {
    if (Fold(fs_.Absolute(path)) == archiveKey_)
        return;  // the archive never packs itself
    if ((info.hidden || info.system) && !o_.includeSystem) {
        if (named)
            Warn("skipped hidden or system file: " + path + " (fSystem is off)");
        else if (o_.verbose && !o_.quiet)
            Print("  skipping hidden or system file: " + path);
        return;
    }
    std::string stored = StoredName(path, o_.rootFolder, o_.upperCase);
    if (!info.isFolder) {
        if (o_.junkFolders)
            stored = stored.substr(stored.find_last_of('/') + 1);
        AddItem(NewItem{path, stored, info});
        return;
    }
    if (!o_.noFolderEntries && !o_.junkFolders && !stored.empty())
        AddItem(NewItem{path, stored + "/", info});
    if (!o_.recurse) {
        if (named && (o_.noFolderEntries || o_.junkFolders))
            Warn(path + " is a folder and fRecurse is off: nothing added for it");
        return;
    }
    if (info.isLink)
        return;  // never followed: a link can lead outside the tree or round in a circle
    std::vector<std::string> children = fs_.List(path);
    std::sort(children.begin(), children.end());
    for (const std::string& child : children) {
        const std::string childPath = JoinPath(path, child);
        if (const auto childInfo = fs_.Stat(childPath))
            AddPath(childPath, *childInfo, false);
    }
}

void ZipJob::AddItem(NewItem item) {
    const std::string key = Fold(item.stored);
    const auto found = itemByName_.find(key);
    if (found == itemByName_.end()) {
        itemByName_.emplace(key, items_.size());
        items_.push_back(std::move(item));
        return;
    }
    const NewItem& first = items_[found->second];
    if (Fold(fs_.Absolute(first.path)) == Fold(fs_.Absolute(item.path)))
        return;  // the same file named twice
    throw ZipError(kNameConflict,
                   "two files would be stored as " + item.stored + ": " + first.path + " and " + item.path);
}

void ZipJob::ReadOldArchive() {
    const auto info = fs_.Stat(archive_);
    if (!info)
        return;
    if (info->isFolder)
        throw ZipError(kBadOptions, "the archive name " + archive_ + " names a folder");
    try {
        oldSource_ = fs_.OpenRead(archive_);
    } catch (const ZipError& e) {
        throw ZipError(kBadArchive, e.what());
    }
    old_ = ReadArchiveDirectory(*oldSource_, archive_);
    RequireWholeArchive(old_, archive_);
    haveOld_ = true;
}

void ZipJob::Plan() {
    std::vector<bool> consumed(items_.size(), false);
    for (size_t i = 0; i < old_.entries.size(); ++i) {
        const EntryHeader& entry = old_.entries[i].header;
        const auto found = itemByName_.find(Fold(entry.name));
        if (found == itemByName_.end()) {
            plan_.push_back({PlanItem::Kind::kCarry, i});
            continue;
        }
        consumed[found->second] = true;
        const NewItem& item = items_[found->second];
        if ((o_.update || o_.freshen) && ToDosTime(item.info.modified).Key() <= entry.modified.Key()) {
            Progress("unchanged: " + entry.name);
            plan_.push_back({PlanItem::Kind::kCarry, i});
            continue;
        }
        plan_.push_back({PlanItem::Kind::kReplace, found->second});
        ++changes_;
    }
    for (size_t j = 0; j < items_.size(); ++j) {
        if (consumed[j])
            continue;
        if (o_.freshen) {
            Progress("  skipped: " + items_[j].stored + " (not in the archive, and fFreshen adds no new entries)");
            continue;
        }
        plan_.push_back({PlanItem::Kind::kAdd, j});
        ++changes_;
    }
}

void ZipJob::PlanDeletions() {
    std::vector<std::string> patterns;
    for (const std::string& name : names_)
        if (!name.empty())
            patterns.push_back(StoredName(ReadPath(name, o_.rootFolder), o_.rootFolder, o_.upperCase));
    std::vector<bool> used(patterns.size(), false);
    for (size_t i = 0; i < old_.entries.size(); ++i) {
        const std::string& entry = old_.entries[i].header.name;
        bool hit = false;
        for (size_t p = 0; p < patterns.size(); ++p) {
            if (!patterns[p].empty() &&
                (MatchesPattern(patterns[p], entry, false) || MatchesPattern(patterns[p] + "/", entry, false))) {
                used[p] = true;
                hit = true;
            }
        }
        if (hit) {
            Progress("deleting: " + entry);
            ++changes_;
        } else {
            plan_.push_back({PlanItem::Kind::kCarry, i});
        }
    }
    for (size_t p = 0; p < patterns.size(); ++p)
        if (!used[p])
            Warn("name not matched: " + patterns[p]);
}

void ZipJob::Write() {
    out_ = fs_.CreateBeside(archive_);
    const std::string tempKey = Fold(fs_.Absolute(out_->Path()));
    std::vector<EntryHeader> written;
    written.reserve(plan_.size());
    for (const PlanItem& step : plan_) {
        if (step.kind == PlanItem::Kind::kCarry) {
            written.push_back(CarryEntry(step.index));
            continue;
        }
        const NewItem& item = items_[step.index];
        if (Fold(fs_.Absolute(item.path)) == tempKey)
            continue;
        if (cb_.service && !cb_.service(item.stored, item.info.size))
            throw ZipError(kCancelled, "stopped by the caller before " + item.stored);
        written.push_back(WriteNewEntry(item, step.kind == PlanItem::Kind::kReplace));
    }

    std::vector<uint8_t> comment = old_.comment;
    if (o_.askComment && cb_.comment) {
        if (auto text = cb_.comment(std::string(comment.begin(), comment.end())))
            comment.assign(text->begin(),
                           text->begin() + static_cast<ptrdiff_t>(std::min<size_t>(text->size(), 0xFFFF)));
    }
    const uint64_t directoryOffset = out_->Position();
    std::vector<uint8_t> directory;
    for (const EntryHeader& h : written) {
        const std::vector<uint8_t> header = CentralHeader(h);
        directory.insert(directory.end(), header.begin(), header.end());
        if (directory.size() >= kCopyChunk) {
            out_->Write(directory.data(), directory.size());
            directory.clear();
        }
    }
    out_->Write(directory.data(), directory.size());
    const uint64_t directorySize = out_->Position() - directoryOffset;
    const std::vector<uint8_t> end =
        EndOfCentralDirectory(written.size(), directoryOffset, directorySize, out_->Position(), comment);
    out_->Write(end.data(), end.size());
    oldSource_.reset();  // the old archive is closed before it is replaced
    fs_.Replace(std::move(out_), archive_);
    if (o_.verbose && !o_.quiet)
        Print("total bytes=" + std::to_string(totalIn_) + ", compressed=" + std::to_string(totalOut_) + " -> " +
              std::to_string(Percent(totalIn_, totalOut_)) + "% savings");
}

EntryHeader ZipJob::WriteNewEntry(const NewItem& item, bool replacing) {
    EntryHeader h;
    h.name = item.stored;
    if (!IsAscii(h.name)) {
        h.flags |= kFlagUtf8;
        h.localExtra = h.centralExtra = UnicodePathExtra(h.name);
    }
    h.modified = ToDosTime(item.info.modified);
    h.externalAttributes = (item.info.isFolder ? kDosFolder : kDosArchive) | (item.info.readOnly ? kDosReadOnly : 0) |
                           (item.info.hidden ? kDosHidden : 0) | (item.info.system ? kDosSystem : 0);
    h.localOffset = out_->Position();
    if (h.localOffset >= kZip64Limit)
        h.versionNeeded = kVersionZip64;
    const std::string verb = replacing ? "updating: " : "  adding: ";
    if (item.info.isFolder) {
        const std::vector<uint8_t> local = LocalHeader(h);
        out_->Write(local.data(), local.size());
        Progress(verb + h.name + " (stored 0%)");
        return h;
    }

    std::unique_ptr<ByteSource> file = fs_.OpenRead(item.path);
    ByteSource* in = file.get();
    std::optional<LineEndSource> translated;
    if (o_.lineEnds != ZipJobOptions::LineEnds::kAsIs) {
        // Only text is translated: a zero byte (binary data, UTF-16) in the first 64 KiB leaves the file as it is.
        scratch_.resize(kTextProbe);
        size_t got = 0, n = 0;
        while (got < scratch_.size() && (n = in->Read(scratch_.data() + got, scratch_.size() - got)) > 0)
            got += n;
        in->Seek(0);
        if (std::find(scratch_.begin(), scratch_.begin() + static_cast<ptrdiff_t>(got), 0) ==
            scratch_.begin() + static_cast<ptrdiff_t>(got)) {
            translated.emplace(*file, o_.lineEnds == ZipJobOptions::LineEnds::kCrLfToLf
                                          ? LineEndSource::Mode::kCrLfToLf
                                          : LineEndSource::Mode::kLfToCrLf);
            in = &*translated;
        }
    }
    h.zip64Sizes = NeedsZip64Sizes(in->Size(), o_.encrypt);
    if (h.zip64Sizes)
        h.versionNeeded = kVersionZip64;
    if (o_.encrypt)
        h.flags |= kFlagEncrypted;
    h.method = o_.level == 0 ? kMethodStored : kMethodDeflated;

    const std::vector<uint8_t> placeholder = LocalHeader(h);
    out_->Write(placeholder.data(), placeholder.size());
    const uint64_t dataStart = out_->Position();
    if (o_.encrypt) {
        // The encryption header ends with the CRC's high byte, so the CRC is known first.
        scratch_.resize(kCopyChunk);
        uint32_t crc = 0;
        for (size_t n; (n = in->Read(scratch_.data(), scratch_.size())) > 0;)
            crc = Crc32(crc, scratch_.data(), n);
        in->Seek(0);
        h.crc = crc;
    }
    if (h.method == kMethodDeflated)
        DeflateEntry(*in, h, dataStart);
    if (h.method == kMethodStored)
        StoreEntry(*in, h, dataStart);
    if (!h.zip64Sizes && (h.size >= kZip64Limit || h.compressedSize >= kZip64Limit))
        throw ZipError(kReadFailed, item.path + " grew while it was being read");

    const uint64_t end = out_->Position();
    const std::vector<uint8_t> local = LocalHeader(h);
    out_->Seek(h.localOffset);
    out_->Write(local.data(), local.size());
    out_->Seek(end);
    const uint64_t data = h.compressedSize - (o_.encrypt ? TraditionalCipher::kHeaderSize : 0);
    totalIn_ += h.size;
    totalOut_ += h.compressedSize;
    const std::string how = h.method == kMethodDeflated ? "deflated" : "stored";
    if (o_.verbose)
        Progress(verb + h.name + " (in=" + std::to_string(h.size) + ") (out=" + std::to_string(h.compressedSize) +
                 ") (" + how + " " + std::to_string(Percent(h.size, data)) + "%)");
    else
        Progress(verb + h.name + " (" + how + " " + std::to_string(Percent(h.size, data)) + "%)");
    return h;
}

void ZipJob::StartCipher(uint32_t crc) {
    if (!o_.encrypt)
        return;
    cipher_.emplace(*password_);
    std::array<uint8_t, TraditionalCipher::kHeaderSize - 1> random{};
    std::random_device device;
    for (uint8_t& b : random)
        b = static_cast<uint8_t>(device());
    const auto header = cipher_->MakeHeader(random, crc);
    out_->Write(header.data(), header.size());
}

void ZipJob::WriteData(const uint8_t* data, size_t size) {
    if (!cipher_) {
        out_->Write(data, size);
        return;
    }
    std::vector<uint8_t> copy(data, data + size);
    cipher_->Encrypt(copy.data(), copy.size());
    out_->Write(copy.data(), copy.size());
}

void ZipJob::DeflateEntry(ByteSource& in, EntryHeader& h, uint64_t dataStart) {
    if (!deflater_) {
        ParallelDeflater::Settings settings;
        settings.level = o_.level;
        settings.threads = o_.threads;
        deflater_ = std::make_unique<ParallelDeflater>(settings);
    }
    StartCipher(h.crc);
    const DeflateResult r = deflater_->Deflate(in, [this](const uint8_t* d, size_t n) { WriteData(d, n); });
    if (o_.encrypt && r.crc != h.crc)
        throw ZipError(kReadFailed, h.name + " changed while it was being read");
    h.crc = r.crc;
    h.size = r.inputSize;
    h.compressedSize = out_->Position() - dataStart;
    if (r.outputSize < r.inputSize)
        return;
    // Deflate did not shrink it: the entry is written again, stored, over the same place.
    in.Seek(0);
    out_->Seek(dataStart);
    out_->Truncate();
    h.method = kMethodStored;
}

void ZipJob::StoreEntry(ByteSource& in, EntryHeader& h, uint64_t dataStart) {
    const uint32_t expected = h.crc;
    const bool knownCrc = o_.encrypt;
    StartCipher(h.crc);
    scratch_.resize(kCopyChunk);
    uint32_t crc = 0;
    uint64_t size = 0;
    for (size_t n; (n = in.Read(scratch_.data(), scratch_.size())) > 0;) {
        crc = Crc32(crc, scratch_.data(), n);
        size += n;
        WriteData(scratch_.data(), n);
    }
    if (knownCrc && crc != expected)
        throw ZipError(kReadFailed, h.name + " changed while it was being read");
    h.crc = crc;
    h.size = size;
    h.compressedSize = out_->Position() - dataStart;
}

EntryHeader ZipJob::CarryEntry(size_t index) {
    const ArchiveEntry& entry = old_.entries[index];
    EntryHeader h = entry.header;
    if ((h.flags & kFlagDataDescriptor) && (h.flags & kFlagEncrypted))
        throw ZipError(kBadArchive, "the entry " + h.name + " of " + archive_ +
                                        " is encrypted with a data descriptor and cannot be carried over");
    h.flags &= static_cast<uint16_t>(~kFlagDataDescriptor);
    h.localOffset = out_->Position();
    h.zip64Sizes = h.size >= kZip64Limit || h.compressedSize >= kZip64Limit;
    if (h.zip64Sizes || h.localOffset >= kZip64Limit)
        h.versionNeeded = std::max(h.versionNeeded, kVersionZip64);
    const std::vector<uint8_t> local = LocalHeader(h);
    out_->Write(local.data(), local.size());
    oldSource_->Seek(entry.dataOffset);
    scratch_.resize(kCopyChunk);
    for (uint64_t left = h.compressedSize; left > 0;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(left, scratch_.size()));
        try {
            ReadExactly(*oldSource_, scratch_.data(), n, "the entry " + h.name + " of " + archive_);
        } catch (const ZipError& e) {
            throw ZipError(kBadArchive, e.what());
        }
        out_->Write(scratch_.data(), n);
        left -= n;
    }
    return h;
}

void ZipJob::MoveAddedFiles() {
    std::vector<const NewItem*> folders;
    for (const PlanItem& step : plan_) {
        if (step.kind == PlanItem::Kind::kCarry)
            continue;
        const NewItem& item = items_[step.index];
        if (item.info.isFolder) {
            folders.push_back(&item);
        } else if (const std::string why = fs_.Remove(item.path); !why.empty()) {
            Warn("could not delete " + item.path + " after packing it (fMove): " + why);
        }
    }
    // Deepest first, so that a folder is empty when its turn comes.
    for (auto it = folders.rbegin(); it != folders.rend(); ++it)
        if (const std::string why = fs_.Remove((*it)->path); !why.empty())
            Warn("could not delete the folder " + (*it)->path + " after packing it (fMove): " + why);
}

}  // namespace

std::string StoredName(const std::string& path, const std::string& rootFolder, const NameUpperCase& upperCase) {
    const SplitPath p = Split(path);
    std::vector<std::string> parts = p.parts;
    if (!rootFolder.empty()) {
        const SplitPath r = Split(rootFolder);
        auto same = [&](const std::string& a, const std::string& b) {
            return upperCase ? upperCase(a) == upperCase(b) : SameText(a, b);
        };
        const bool sameDrive = r.prefix.empty() || same(r.prefix, p.prefix);
        const bool sameKind = r.absolute == p.absolute || r.parts.empty();
        if (sameDrive && sameKind && r.parts.size() <= p.parts.size() &&
            std::equal(r.parts.begin(), r.parts.end(), p.parts.begin(), same))
            parts.erase(parts.begin(), parts.begin() + static_cast<ptrdiff_t>(r.parts.size()));
    }
    std::string out;
    for (const std::string& part : parts) {
        if (part == ".." && out.empty())
            continue;
        if (!out.empty())
            out += '/';
        out += part;
    }
    return out;
}

std::string ReadPath(const std::string& name, const std::string& rootFolder) {
    if (rootFolder.empty() || IsAbsoluteName(name))
        return name;
    return JoinPath(rootFolder, name);
}

Result RunZipJob(IFileSystem& fs,
                 const std::string& archive,
                 const std::vector<std::string>& names,
                 const ZipJobOptions& options,
                 const ZipCallbacks& callbacks) {
    auto fail = [&](Result code, const std::string& message) {
        if (callbacks.print) {
            try {
                callbacks.print(" zip error: " + message + "\n");
            } catch (...) {
                // A caller's print that fails cannot be told; the result still says what happened.
            }
        }
        return code;
    };
    try {
        ZipJob(fs, archive, names, options, callbacks).Run();
        return kOk;
    } catch (const ZipError& e) {
        return fail(e.Code(), e.what());
    } catch (const std::bad_alloc&) {
        return fail(kOutOfMemory, "out of memory");
    } catch (const std::exception& e) {
        return fail(kInternal, std::string("internal error: ") + e.what());
    } catch (...) {
        return fail(kInternal, "internal error");
    }
}

}  // namespace ost::zip
