// ovdesk find: the keys, value names and data of the registry export that match a pattern.
#include <CLI/CLI.hpp>

#include "desk/commands/command.h"
#include "desk/glob.h"
#include "desk/output.h"
#include "desk/text.h"

namespace ost::desk {

namespace {

using nlohmann::json;

int Run(const Options& o, const DeskIo& io) {
    const bool everywhere = !o.keys && !o.names && !o.data;
    const bool inKeys = o.keys || everywhere, inNames = o.names || everywhere, inData = o.data || everywhere;
    // A pattern with a '\' is matched against a key's whole path, one without against its name.
    const bool wholePath = o.pattern.find('\\') != std::string::npos;
    const Glob glob(wholePath ? ExpandKeyPath(o.pattern) : o.pattern);
    const std::string& name = o.file;

    HeldOutput out(io);
    uint64_t hits = 0;
    bool stopped = false;
    std::string key;
    bool keyShown = false;
    auto take = [&] {
        if (o.max && hits >= *o.max) {
            stopped = true;
            return false;
        }
        ++hits;
        return true;
    };
    auto showKey = [&] {
        if (!keyShown && !o.json)
            out.Add((hits > 1 ? "\n" : "") + Printable(key) + "\n");
        keyShown = true;
    };
    if (o.json) {
        json head = JsonDocument("find");
        head["file"] = name;
        head["pattern"] = o.pattern;
        std::string text = JsonText(head);
        text.pop_back();
        out.Add(text + ",\"hits\":[");
    }
    ReadOptions read;
    read.report = false;
    read.testAll = false;
    read.codePage = o.codePage;
    // After --max hits the export is still read to its end: the hits shown are only those of an
    // export found sound.
    read.exportHandler.key = [&](const std::string& path) {
        if (stopped)
            return false;
        key = path;
        keyShown = false;
        const std::string_view leaf = wholePath ? std::string_view(path) : std::string_view(path).substr(path.rfind('\\') + 1);
        if (inKeys && glob.Matches(leaf) && take()) {
            if (o.json)
                out.Add((hits > 1 ? "," : "") + JsonText({{"key", key}, {"in", "key"}}));
            showKey();
        }
        return (inNames || inData) && !stopped;
    };
    read.exportHandler.value = [&](const RegValue& v) {
        if (stopped)
            return;
        const char* in = nullptr;
        if (inNames && !v.name.empty() && glob.Matches(v.name)) {
            in = "name";
        } else if (inData) {
            const std::vector<std::string> texts = ValueSearchTexts(v);
            if (std::any_of(texts.begin(), texts.end(), [&](const std::string& t) { return glob.Matches(t); }))
                in = "data";
        }
        if (in == nullptr || !take())
            return;
        if (o.json) {
            out.Add((hits > 1 ? "," : "") + JsonText({{"key", key}, {"in", in}, {"value", ValueJson(v)}}));
        } else {
            showKey();
            out.Add(ValueLine(v));
        }
    };
    const SupportFile support = ReadExport(io, name, read, out);
    const std::vector<std::string> warnings = ExportWarnings(*support.registry);
    if (o.json) {
        out.Add("],\"stopped\":" + std::string(stopped ? "true" : "false") + ",\"warnings\":" + JsonText(warnings) + "}\n");
    } else {
        out.Add(std::string(hits > 0 ? "\n" : "") + (hits == 0 ? "no match" : std::to_string(hits) + (hits == 1 ? " match" : " matches")) +
                (stopped ? " (stopped at --max " + std::to_string(*o.max) + ")" : "") + "\n");
    }
    out.Flush();
    for (const std::string& w : warnings)
        io.err("ovdesk: warning: " + Printable(name) + ": " + Printable(w) + "\n");
    return hits > 0 && warnings.empty() ? kClean : kFindings;
}

void Define(CLI::App& command, Options& o) {
    AddFileOperand(command, o);
    command.add_option("PATTERN", o.pattern, "a glob, without regard to letter case: * ? [abc] [!abc]")->required();
    command.add_flag("--keys", o.keys, "look at keys' names (with a '\\' in PATTERN: their whole paths)");
    command.add_flag("--names", o.names, "look at values' names");
    command.add_flag("--data", o.data, "look at values' data: text, list items, numbers in decimal and hex");
    command.add_option("--max", o.max, "stop after N matches")->type_name("N");
    AddJsonOption(command, o);
    AddCodePageOption(command, o);
}

}  // namespace

const Command kFindCommand = {
    "find",
    "find keys, value names or data that match a pattern",
    "Reads the registry export as a stream and prints each key that matches PATTERN, and each value\n"
    "whose name or data matches, under its key, typed as reg prints it. Without --keys, --names or\n"
    "--data it looks everywhere; binary data is not searched.\n"
    "  ovdesk find x.OVSupport 'Zeta*'            names and data that begin with Zeta\n"
    "  ovdesk find x.OVSupport 'HKLM\\*\\Uninstall\\*' --keys\n"
    "exit status: 0 something matched, 1 nothing did or the export is incomplete, 2 the file cannot be\n"
    "read",
    Define,
    Run,
};

}  // namespace ost::desk
