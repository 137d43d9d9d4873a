#include "desk/commands.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <stdexcept>

#include "app/report_layout.h"
#include "desk/code_page.h"
#include "desk/registry_export.h"
#include "desk/support_file.h"

namespace ost::desk {

namespace {

constexpr const char* kUsage = R"(usage: ovdesk COMMAND [OPTIONS] ...

Reads the support files (.OVSupport) that the Orlavent Support Tool makes, without extracting them.

commands:
  show FILE        test every entry and print the machine's facts, with warnings
  reg FILE KEY     print a registry key of the support file's export as .reg text
  diff OLD NEW     print what changed between two support files of one machine

options of every command:
  --json           the same content as one JSON document
  --codepage N     read the report's names in code page N (default: the export's ACP value)
  --help           this text; "ovdesk COMMAND --help" tells about one command

exit status: 0 clean or identical, 1 warnings, differences or no such key, 2 a file cannot be read
)";

constexpr const char* kShowHelp = R"(usage: ovdesk show FILE [--json] [--codepage N]

Tests every entry of the support file (CRC-32 and sizes), then prints one screen of facts from its
report and registry export: Windows, browser, processor, memory, screen, drives, programs, the
three folder listings and the export. A "warning:" line flags what to look at first: a drive with
less than 10 % free (CD-ROMs aside), no c:\pwwin32, a missing, unreadable or cut registry export,
and a report that is cut short or lacks a section.
exit status: 0 no warning, 1 warnings, 2 the file cannot be read
)";

constexpr const char* kRegHelp = R"(usage: ovdesk reg FILE KEY [--depth N] [--json]

Prints KEY, its values and its subkeys (down to N levels below KEY; all by default) from the
registry export in the support file, as .reg text in UTF-8. KEY matches without regard to letter
case, and HKLM, HKCU, HKCR, HKU and HKCC stand for the roots:
  ovdesk reg x.OVSupport 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' --depth 1
The export is read as a stream: nothing is extracted, and memory does not grow with its size.
exit status: 0 the key was found, 1 it is not there, 2 the file cannot be read
)";

constexpr const char* kDiffHelp = R"(usage: ovdesk diff OLD NEW [--reg KEY] [--json] [--codepage N]

Prints what changed between two support files of one machine: Windows version and build, browser,
processor, total memory, drives (added, removed, renamed, resized, or their free space changed by
1 % of the drive or more), programs added and removed, and files and folders added, removed or
changed (size or creation date) in the listings of the Windows, system and c:\pwwin32 folders.
With --reg KEY, also the keys and values added, removed or changed under KEY; only that part of
each export is held in memory.
exit status: 0 identical, 1 differences, 2 a file cannot be read
)";

class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct Options {
    std::string command;
    std::vector<std::string> operands;
    bool json = false;
    bool help = false;
    std::optional<uint32_t> codePage;
    std::optional<size_t> depth;
    std::optional<std::string> regKey;
};

uint32_t Count(const std::string& option, const std::string& text) {
    uint32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        throw UsageError(option + " needs a whole number, not \"" + text + "\"");
    return value;
}

Options Parse(const std::vector<std::string>& args) {
    Options o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size())
                throw UsageError(a + " needs a value");
            return args[++i];
        };
        if (a == "--json") {
            o.json = true;
        } else if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--codepage") {
            o.codePage = Count(a, value());
            if (!IsKnownCodePage(*o.codePage))
                throw UsageError("code page " + std::to_string(*o.codePage) + " is not known on this system");
        } else if (a == "--depth") {
            o.depth = Count(a, value());
        } else if (a == "--reg") {
            o.regKey = value();
        } else if (a.size() > 1 && a[0] == '-') {
            throw UsageError("unknown option " + a);
        } else if (o.command.empty()) {
            o.command = a;
        } else {
            o.operands.push_back(a);
        }
    }
    if (o.help)
        return o;
    const size_t wanted = o.command == "show" ? 1 : o.command == "reg" || o.command == "diff" ? 2 : 0;
    if (wanted == 0)
        throw UsageError(o.command.empty() ? "no command given" : "unknown command " + o.command);
    if (o.operands.size() != wanted)
        throw UsageError(o.command + " takes " +
                         (wanted == 1          ? "one file"
                          : o.command == "reg" ? "a file and a key"
                                               : "two files"));
    if (o.depth && o.command != "reg")
        throw UsageError("--depth goes with reg");
    if (o.regKey && o.command != "diff")
        throw UsageError("--reg goes with diff");
    return o;
}

std::string Quote(std::string_view s) {
    std::string out = "\"";
    for (const char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n' || c == '\r' || c == '\t') {
            out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof(escape), "\\u%04x", static_cast<unsigned>(c));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string QuoteOrNull(const std::optional<std::string>& s) {
    return s ? Quote(*s) : "null";
}

// A count as a JSON number when the report holds one, else as the text it holds.
std::string CountOrText(const std::optional<std::string>& s) {
    const bool digits = s && !s->empty() && s->size() < 16 &&
                        std::all_of(s->begin(), s->end(), [](char c) { return c >= '0' && c <= '9'; });
    return digits ? *s : QuoteOrNull(s);
}

std::string Count(uint64_t n, const std::string& noun) {
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

std::string Decimal(double value, int places) {
    char text[64];
    std::snprintf(text, sizeof(text), "%.*f", places, value);
    return text;
}

// The members of one JSON object, in order.
class JsonObject {
  public:
    JsonObject& Add(std::string_view key, const std::string& json) {
        if (!text_.empty())
            text_ += ',';
        text_ += Quote(key);
        text_ += ':';
        text_ += json;
        return *this;
    }
    std::string Text() const { return "{" + text_ + "}"; }

  private:
    std::string text_;
};

std::string JsonArray(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i)
        out += (i == 0 ? "" : ",") + items[i];
    return out + "]";
}

// The code page the report's names are read in, and where that choice came from.
struct CodePage {
    uint32_t number = 1252;
    std::string source;
    std::string Decode(const std::string& raw) const { return CodePageToUtf8(number, raw); }
    std::optional<std::string> Decode(const std::optional<std::string>& raw) const {
        return raw ? std::optional(Decode(*raw)) : std::nullopt;
    }
};

CodePage ChooseCodePage(const Options& o, const SupportFile& file, std::vector<std::string>& warnings) {
    if (o.codePage)
        return {*o.codePage, "given with --codepage"};
    const std::optional<uint32_t> named = file.registry ? file.registry->ansiCodePage : std::nullopt;
    if (named && IsKnownCodePage(*named))
        return {*named, "the registry export's ACP value"};
    if (named)
        warnings.push_back("the registry export names code page " + std::to_string(*named) +
                           ", which this system cannot read; names are read in code page 1252");
    return {1252, named ? "assumed" : "assumed: the registry export names none"};
}

// An export of Windows 98 or ME is in the ANSI code page: the one given, or 1252.
std::function<std::string(std::string_view)> AnsiDecoder(const Options& o) {
    const uint32_t number = o.codePage.value_or(1252);
    return [number](std::string_view raw) { return CodePageToUtf8(number, raw); };
}

// "5.1 (Build 2600)" as its version and build.
std::pair<std::string, std::string> VersionAndBuild(const std::string& line) {
    const size_t at = line.find(" (Build ");
    if (at == std::string::npos)
        return {line, ""};
    return {line.substr(0, at), line.substr(at + 8, line.size() - at - 9)};
}

bool LowOnSpace(const DriveLine& d) {
    return d.readable && d.totalMegabytes > 0 && d.type != "CD-ROM" && d.freeMegabytes < d.totalMegabytes / 10;
}

std::string Percent(const DriveLine& d) {
    return Decimal(d.totalMegabytes > 0 ? 100 * d.freeMegabytes / d.totalMegabytes : 0, 1) + " %";
}

std::vector<std::string> Warnings(const SupportFile& file, const CodePage& cp) {
    std::vector<std::string> out;
    const Report& r = *file.report;
    for (const DriveLine& d : r.drives)
        if (LowOnSpace(d))
            out.push_back("drive " + cp.Decode(d.letter) + ": has " + Percent(d) + " free (" +
                          Decimal(d.freeMegabytes, 2) + " of " + Decimal(d.totalMegabytes, 2) + " MB)");
    // A report cut short says nothing of the folders it did not reach.
    if (!r.pebblework.present && r.complete)
        out.push_back("the report lists no " + report::kPebbleworkFolder + ": the folder is not on the machine");
    if (!file.registry)
        out.push_back("the support file holds no registry export");
    else if (file.registry->form == ExportFacts::Form::kUnreadable)
        out.push_back("the registry export " + file.registry->problem);
    else if (!file.registry->wholeLines)
        out.push_back("the registry export is cut short in the middle of a line");
    else if (file.registry->keys == 0)
        out.push_back("the registry export holds no keys");
    for (const std::string& problem : r.problems)
        out.push_back("the report: " + problem);
    return out;
}

std::string ListingJson(const Listing& l, const CodePage& cp) {
    if (!l.present)
        return "null";
    return JsonObject()
        .Add("path", Quote(cp.Decode(l.path)))
        .Add("files", std::to_string(l.files))
        .Add("folders", std::to_string(l.folders))
        .Add("fileBytes", Decimal(l.fileBytes, 0))
        .Add("complete", l.closed ? "true" : "false")
        .Text();
}

std::string ListingText(const Listing& l, const CodePage& cp) {
    if (!l.present)
        return "not listed\n";
    return cp.Decode(l.path) + ": " + Count(l.files, "file") + " (" + Decimal(l.fileBytes / 1048576, 2) + " MB), " +
           Count(l.folders, "folder") + (l.closed ? "" : " (listing cut short)") + "\n";
}

std::string ExportText(const SupportFile& file) {
    if (!file.registry)
        return "missing\n";
    const ExportFacts& e = *file.registry;
    if (e.form == ExportFacts::Form::kUnreadable)
        return std::to_string(e.bytes) + " bytes, unreadable: it " + e.problem + "\n";
    return std::to_string(e.bytes) + " bytes, " + Count(e.keys, "key") + ", " +
           (e.wholeLines && e.keys > 0 ? "complete" : "incomplete") +
           (e.form == ExportFacts::Form::kAnsi ? " (REGEDIT4)" : "") + "\n";
}

int Show(const Options& o, const DeskIo& io) {
    const std::string& name = o.operands[0];
    const auto source = io.open(name);
    ReadOptions read;
    read.decodeAnsi = AnsiDecoder(o);
    const SupportFile file = ReadSupportFile(*source, name, read);
    const Report& r = *file.report;
    std::vector<std::string> warnings;
    const CodePage cp = ChooseCodePage(o, file, warnings);
    for (std::string& w : Warnings(file, cp))
        warnings.push_back(std::move(w));
    const auto [version, build] = VersionAndBuild(r.winVersion.value_or(""));
    const auto missing = [](const std::optional<std::string>& s) { return s.value_or("(missing)"); };
    if (o.json) {
        std::vector<std::string> drives, warningItems;
        for (const DriveLine& d : r.drives)
            drives.push_back(JsonObject()
                                 .Add("letter", Quote(cp.Decode(d.letter)))
                                 .Add("readable", d.readable ? "true" : "false")
                                 .Add("name", Quote(cp.Decode(d.name)))
                                 .Add("type", Quote(d.type))
                                 .Add("fileSystem", Quote(cp.Decode(d.fileSystem)))
                                 .Add("freeMB", Decimal(d.freeMegabytes, 2))
                                 .Add("totalMB", Decimal(d.totalMegabytes, 2))
                                 .Add("serial", Quote(d.serial))
                                 .Text());
        for (const std::string& w : warnings)
            warningItems.push_back(Quote(w));
        const ExportFacts* e = file.registry ? &*file.registry : nullptr;
        const std::string registry =
            e == nullptr
                ? "null"
                : JsonObject()
                      .Add("bytes", std::to_string(e->bytes))
                      .Add("keys", std::to_string(e->keys))
                      .Add("complete",
                           e->form != ExportFacts::Form::kUnreadable && e->wholeLines && e->keys > 0 ? "true" : "false")
                      .Add("problem", e->problem.empty() ? "null" : Quote(e->problem))
                      .Text();
        io.out(JsonObject()
                   .Add("file", Quote(name))
                   .Add("entries", std::to_string(file.entries))
                   .Add("windows", JsonObject()
                                       .Add("name", QuoteOrNull(cp.Decode(r.winName)))
                                       .Add("version", r.winVersion ? Quote(version) : "null")
                                       .Add("build", r.winVersion ? CountOrText(build) : "null")
                                       .Text())
                   .Add("browser", QuoteOrNull(cp.Decode(r.browser)))
                   .Add("processor", QuoteOrNull(cp.Decode(r.processor)))
                   .Add("memory", JsonObject()
                                      .Add("freeKB", CountOrText(r.freeMemory))
                                      .Add("totalKB", CountOrText(r.totalMemory))
                                      .Text())
                   .Add("screen", QuoteOrNull(r.resolution))
                   .Add("drives", JsonArray(drives))
                   .Add("programs", std::to_string(r.programs.size()))
                   .Add("folders", JsonObject()
                                       .Add("windows", ListingJson(r.windows, cp))
                                       .Add("system", ListingJson(r.system, cp))
                                       .Add("pebblework", ListingJson(r.pebblework, cp))
                                       .Text())
                   .Add("registryExport", registry)
                   .Add("codePage",
                        JsonObject().Add("number", std::to_string(cp.number)).Add("source", Quote(cp.source)).Text())
                   .Add("reportComplete", r.complete ? "true" : "false")
                   .Add("warnings", JsonArray(warningItems))
                   .Text() +
               "\n");
        return warnings.empty() ? kClean : kFindings;
    }
    std::string text = "Support file:     " + name + " (" + std::to_string(file.entries) + " entries, all intact)\n";
    text += "Windows:          " + missing(cp.Decode(r.winName)) +
            (r.winVersion ? ", version " + version + ", build " + build : "") + "\n";
    text += "Browser:          " + missing(cp.Decode(r.browser)) + "\n";
    text += "Processor:        " + missing(cp.Decode(r.processor)) + "\n";
    text += "Memory:           " + missing(r.freeMemory) + " KB free of " + missing(r.totalMemory) + " KB\n";
    text += "Screen:           " + missing(r.resolution) + "\n";
    text += "Drives:           " + std::to_string(r.drives.size()) + "\n";
    for (const DriveLine& d : r.drives) {
        text += "  " + cp.Decode(d.letter) + ":  ";
        text += d.readable ? "\"" + cp.Decode(d.name) + "\", " + d.type + ", " + cp.Decode(d.fileSystem) + ", " +
                                 Decimal(d.freeMegabytes, 2) + " MB free of " + Decimal(d.totalMegabytes, 2) + " MB (" +
                                 Percent(d) + ")\n"
                           : "not readable (no medium, or not reachable)\n";
    }
    text += "Programs:         " + std::to_string(r.programs.size()) + " installed\n";
    text += "Windows folder:   " + ListingText(r.windows, cp);
    text += "System folder:    " + ListingText(r.system, cp);
    text += "c:\\pwwin32:       " + ListingText(r.pebblework, cp);
    text += "Registry export:  " + ExportText(file);
    text += "Code page:        " + std::to_string(cp.number) + " (" + cp.source + ")\n";
    for (const std::string& w : warnings)
        text += "warning: " + w + "\n";
    io.out(text);
    return warnings.empty() ? kClean : kFindings;
}

// A key's values as the export has them: a value's first line gives its name, and any further
// lines (a long value wrapped by the registry editor) belong to the value before them.
struct RegKey {
    std::string path;
    std::vector<std::pair<std::string, std::string>> values;  // name ("@" for the default), data
    void Line(const std::string& line) {
        if (line.empty())
            return;
        if (const auto name = ValueName(line); name || values.empty()) {
            const size_t equals = name ? line.find("=", line[0] == '@' ? 0 : name->size()) : std::string::npos;
            values.emplace_back(name.value_or(""), equals == std::string::npos ? line : line.substr(equals + 1));
        } else {
            values.back().second += "\n" + line;
        }
    }
};

std::string RegKeyJson(const RegKey& key) {
    std::vector<std::string> values;
    for (const auto& [name, data] : key.values)
        values.push_back(JsonObject().Add("name", Quote(name)).Add("data", Quote(data)).Text());
    return JsonObject().Add("path", Quote(key.path)).Add("values", JsonArray(values)).Text();
}

int Reg(const Options& o, const DeskIo& io) {
    const std::string& name = o.operands[0];
    const std::string top = ExpandKeyPath(o.operands[1]);
    if (top.empty())
        throw UsageError("reg needs a key");
    const std::string folded = FoldName(top);
    const auto source = io.open(name);
    std::string held;
    bool shown = false;
    auto emit = [&](const std::string& text) {
        held += text;
        if (held.size() > io.heldOutput) {
            io.out(held);
            held.clear();
            shown = true;
        }
    };
    if (o.json)
        held = "{\"file\":" + Quote(name) + ",\"key\":" + Quote(top) + ",\"keys\":[";
    uint64_t found = 0;
    std::optional<RegKey> current;  // the key being read, for --json
    auto flush = [&] {
        if (current)
            emit((found > 1 ? "," : "") + RegKeyJson(*current));
        current.reset();
    };
    ReadOptions read;
    read.report = false;
    read.testAll = false;
    read.decodeAnsi = AnsiDecoder(o);
    read.wantKey = [&](const std::string& key) {
        flush();
        const std::optional<size_t> depth = DepthBelow(FoldName(key), folded);
        if (!depth || (o.depth && *depth > *o.depth))
            return false;
        ++found;
        if (o.json)
            current = RegKey{key, {}};
        else
            emit((found == 1 ? kUnicodeHeader + "\n" : "") + "\n[" + key + "]\n");
        return true;
    };
    read.keyLine = [&](const std::string& line) {
        if (o.json)
            current->Line(line);
        else if (!line.empty())
            emit(line + "\n");
    };
    SupportFile file;
    try {
        file = ReadSupportFile(*source, name, read);
        flush();
    } catch (const DeskError& e) {
        if (shown)
            throw DeskError(std::string(e.what()) + "; the output above is incomplete");
        throw;
    }
    const ExportFacts& e = *file.registry;
    if (e.form == ExportFacts::Form::kUnreadable)
        throw DeskError(name + ": its registry export " + e.problem);
    if (o.json)
        io.out(held + "]}\n");
    else if (found > 0)
        io.out(held + "\n");
    if (found == 0) {
        io.err("ovdesk: " + name + ": the registry export has no key " + top + "\n");
        return kFindings;
    }
    if (!e.wholeLines) {
        io.err("ovdesk: warning: " + name + ": the registry export is cut short; its last key may be incomplete\n");
        return kFindings;
    }
    return kClean;
}

// One difference between two support files.
struct Change {
    std::string section;  // "Windows", "drive", "program", "Windows folder", "registry", ...
    std::string change;   // "added", "removed", "changed"
    std::string name;
    std::optional<std::string> before, after;
};

// One side of a comparison: the support file, its code page and, with --reg, the keys under KEY.
struct Side {
    SupportFile file;
    CodePage cp;
    std::map<std::string, RegKey> keys;  // by folded path
};

Side ReadSide(const Options& o, const DeskIo& io, const std::string& name) {
    const auto source = io.open(name);
    Side side;
    const std::string top = o.regKey ? FoldName(ExpandKeyPath(*o.regKey)) : "";
    RegKey* current = nullptr;
    ReadOptions read;
    read.keepEntries = true;
    read.decodeAnsi = AnsiDecoder(o);
    if (o.regKey) {
        read.wantKey = [&](const std::string& key) {
            std::string folded = FoldName(key);
            current = nullptr;
            if (!DepthBelow(folded, top))
                return false;
            current = &side.keys.try_emplace(std::move(folded), RegKey{key, {}}).first->second;
            return true;
        };
        read.keyLine = [&](const std::string& line) { current->Line(line); };
    }
    side.file = ReadSupportFile(*source, name, read);
    if (o.regKey && (!side.file.registry || side.file.registry->form == ExportFacts::Form::kUnreadable))
        throw DeskError(name + ": its registry export " +
                        (side.file.registry ? side.file.registry->problem : std::string("is missing")));
    std::vector<std::string> ignored;
    side.cp = ChooseCodePage(o, side.file, ignored);
    return side;
}

// Compares two keyed collections: what only the old one has is removed, what only the new one has
// is added, and what both have with other details is changed.
template <typename Item>
void Compare(std::vector<Change>& changes,
             const std::string& section,
             const std::vector<std::pair<std::string, Item>>& before,
             const std::vector<std::pair<std::string, Item>>& after,
             const std::function<std::string(const Item&)>& name,
             const std::function<std::string(const Item&)>& details) {
    std::map<std::string, const Item*> old, now;
    for (const auto& [key, item] : before)
        old.try_emplace(key, &item);
    for (const auto& [key, item] : after)
        now.try_emplace(key, &item);
    for (const auto& [key, item] : before) {
        const auto there = now.find(key);
        if (old.at(key) != &item)
            continue;
        if (there == now.end())
            changes.push_back({section, "removed", name(item), details(item), std::nullopt});
        else if (details(item) != details(*there->second))
            changes.push_back({section, "changed", name(item), details(item), details(*there->second)});
    }
    for (const auto& [key, item] : after)
        if (!old.count(key) && now.at(key) == &item)
            changes.push_back({section, "added", name(item), std::nullopt, details(item)});
}

std::string AsciiUpper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 0x20);
    return s;
}

void CompareListings(std::vector<Change>& changes,
                     const std::string& section,
                     const Listing& a,
                     const Listing& b,
                     const CodePage& cpA,
                     const CodePage& cpB) {
    if (a.present != b.present) {
        changes.push_back({section, a.present ? "removed" : "added", "the folder's listing",
                           a.present ? std::optional(cpA.Decode(a.path)) : std::nullopt,
                           b.present ? std::optional(cpB.Decode(b.path)) : std::nullopt});
        return;
    }
    if (a.path != b.path)
        changes.push_back({section, "changed", "path", cpA.Decode(a.path), cpB.Decode(b.path)});
    // Entries by name, in the letter case Windows ignores; folders marked by a closing '\'.
    auto keyed = [](const Listing& l, const CodePage& cp) {
        std::vector<std::pair<std::string, ListingEntry>> out;
        for (const auto* entries : {&l.fileEntries, &l.folderEntries})
            for (ListingEntry e : *entries) {
                e.name = cp.Decode(e.name) + (entries == &l.folderEntries ? "\\" : "");
                e.created = cp.Decode(e.created);
                out.emplace_back(AsciiUpper(e.name), std::move(e));
            }
        return out;
    };
    Compare<ListingEntry>(
        changes, section, keyed(a, cpA), keyed(b, cpB), [](const ListingEntry& e) { return e.name; },
        [](const ListingEntry& e) { return e.size + (e.created.empty() ? "" : ", created " + e.created); });
}

std::vector<Change> Differences(const Side& a, const Side& b) {
    std::vector<Change> changes;
    const Report& ra = *a.file.report;
    const Report& rb = *b.file.report;
    auto field = [&](const std::string& section, const std::string& what, const std::optional<std::string>& x,
                     const std::optional<std::string>& y) {
        if (x != y)
            changes.push_back({section, "changed", what, x, y});
    };
    auto windows = [](const Report& r, const CodePage& cp) -> std::optional<std::string> {
        if (!r.winName && !r.winVersion)
            return std::nullopt;
        return cp.Decode(r.winName.value_or("")) + " " + r.winVersion.value_or("");
    };
    field("Windows", "version", windows(ra, a.cp), windows(rb, b.cp));
    field("browser", "version", a.cp.Decode(ra.browser), b.cp.Decode(rb.browser));
    field("processor", "type", a.cp.Decode(ra.processor), b.cp.Decode(rb.processor));
    field("memory", "total KB", ra.totalMemory, rb.totalMemory);

    auto drives = [](const Report& r, const CodePage& cp) {
        std::vector<std::pair<std::string, DriveLine>> out;
        for (DriveLine d : r.drives) {
            d.letter = cp.Decode(d.letter);
            d.name = cp.Decode(d.name);
            d.fileSystem = cp.Decode(d.fileSystem);
            out.emplace_back(AsciiUpper(d.letter), std::move(d));
        }
        return out;
    };
    const auto drivesA = drives(ra, a.cp), drivesB = drives(rb, b.cp);
    Compare<DriveLine>(
        changes, "drive", drivesA, drivesB, [](const DriveLine& d) { return d.letter + ":"; },
        [](const DriveLine& d) {
            return d.readable ? "\"" + d.name + "\", " + d.type + ", " + d.fileSystem + ", " +
                                    Decimal(d.totalMegabytes, 2) + " MB"
                              : std::string("not readable");
        });
    // Free space moves with every file written; a change of 1 % of the drive or more is news.
    for (const auto& [letter, d] : drivesA)
        for (const auto& [other, e] : drivesB)
            if (letter == other && d.readable && e.readable && d.totalMegabytes == e.totalMegabytes &&
                std::abs(d.freeMegabytes - e.freeMegabytes) >= d.totalMegabytes / 100 && d.totalMegabytes > 0)
                changes.push_back({"drive", "changed", d.letter + ": free space", Decimal(d.freeMegabytes, 2) + " MB",
                                   Decimal(e.freeMegabytes, 2) + " MB"});

    // Programs by name; a name listed twice counts twice.
    auto programs = [](const Report& r, const CodePage& cp) {
        std::vector<std::pair<std::string, std::string>> out;
        std::map<std::string, int> seen;
        for (const std::string& p : r.programs) {
            std::string name = cp.Decode(p);
            out.emplace_back(name + "#" + std::to_string(seen[name]++), name);
        }
        return out;
    };
    Compare<std::string>(
        changes, "program", programs(ra, a.cp), programs(rb, b.cp), [](const std::string& p) { return p; },
        [](const std::string&) { return std::string(); });

    CompareListings(changes, "Windows folder", ra.windows, rb.windows, a.cp, b.cp);
    CompareListings(changes, "system folder", ra.system, rb.system, a.cp, b.cp);
    CompareListings(changes, report::kPebbleworkFolder, ra.pebblework, rb.pebblework, a.cp, b.cp);

    auto keys = [](const Side& s) {
        std::vector<std::pair<std::string, RegKey>> out(s.keys.begin(), s.keys.end());
        return out;
    };
    const auto keysA = keys(a), keysB = keys(b);
    Compare<RegKey>(
        changes, "registry", keysA, keysB, [](const RegKey& k) { return "[" + k.path + "]"; },
        [](const RegKey&) { return std::string(); });
    for (const auto& pair : a.keys) {
        const RegKey& key = pair.second;
        const auto there = b.keys.find(pair.first);
        if (there == b.keys.end())
            continue;
        auto values = [](const RegKey& k) {
            std::vector<std::pair<std::string, std::pair<std::string, std::string>>> out;
            for (const auto& value : k.values)
                out.emplace_back(FoldName(value.first), value);
            return out;
        };
        Compare<std::pair<std::string, std::string>>(
            changes, "registry", values(key), values(there->second),
            [&](const std::pair<std::string, std::string>& v) {
                return "[" + key.path + "] " + (v.first == "@" ? "@" : "\"" + v.first + "\"");
            },
            [](const std::pair<std::string, std::string>& v) { return v.second; });
    }
    return changes;
}

int Diff(const Options& o, const DeskIo& io) {
    const Side a = ReadSide(o, io, o.operands[0]);
    const Side b = ReadSide(o, io, o.operands[1]);
    const std::vector<Change> changes = Differences(a, b);
    if (o.json) {
        std::vector<std::string> items;
        for (const Change& c : changes)
            items.push_back(JsonObject()
                                .Add("section", Quote(c.section))
                                .Add("change", Quote(c.change))
                                .Add("name", Quote(c.name))
                                .Add("old", QuoteOrNull(c.before))
                                .Add("new", QuoteOrNull(c.after))
                                .Text());
        io.out(JsonObject()
                   .Add("old", Quote(o.operands[0]))
                   .Add("new", Quote(o.operands[1]))
                   .Add("changes", JsonArray(items))
                   .Text() +
               "\n");
    } else {
        std::string text = "--- " + o.operands[0] + "\n+++ " + o.operands[1] + "\n";
        for (const Change& c : changes) {
            text += c.section + ": " + c.change + ": " + c.name;
            if (c.change == "changed")
                text += ": " + c.before.value_or("(none)") + " -> " + c.after.value_or("(none)");
            else if (const std::string& detail = c.change == "added" ? *c.after : *c.before; !detail.empty())
                text += " (" + detail + ")";
            text += "\n";
        }
        text += changes.empty()
                    ? "no differences\n"
                    : std::to_string(changes.size()) + (changes.size() == 1 ? " difference\n" : " differences\n");
        io.out(text);
    }
    return changes.empty() ? kClean : kFindings;
}

}  // namespace

int RunDesk(const std::vector<std::string>& args, const DeskIo& io) {
    try {
        const Options o = Parse(args);
        if (o.help) {
            io.out(o.command == "show"   ? kShowHelp
                   : o.command == "reg"  ? kRegHelp
                   : o.command == "diff" ? kDiffHelp
                                         : kUsage);
            return kClean;
        }
        if (o.command == "show")
            return Show(o, io);
        if (o.command == "reg")
            return Reg(o, io);
        return Diff(o, io);
    } catch (const UsageError& e) {
        io.err(std::string("ovdesk: ") + e.what() + "\n(ovdesk --help tells how to use it)\n");
    } catch (const std::bad_alloc&) {
        io.err("ovdesk: out of memory\n");
    } catch (const std::exception& e) {
        io.err(std::string("ovdesk: ") + e.what() + "\n");
    }
    return kUnreadable;
}

}  // namespace ost::desk
