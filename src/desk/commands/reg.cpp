// ovdesk reg: a key of the registry export with its values and subkeys, typed, as .reg text, in
// JSON, or written as a file that the registry editor imports.
#include <CLI/CLI.hpp>

#include "desk/commands/command.h"
#include "desk/output.h"
#include "desk/text.h"

namespace ost::desk {

namespace {

using nlohmann::json;


// The file --export writes: UTF-16LE with its byte-order mark, CR LF, the version 5 header. It is
// put in place only when the whole export was read and found sound.
class RegFile {
  public:
    RegFile(zip::IFileSystem& files, std::string path) : files_(files), path_(std::move(path)) {
        file_ = files_.CreateBeside(path_);
        const uint8_t mark[] = {0xFF, 0xFE};
        file_->Write(mark, 2);
        Write(kUnicodeHeader + "\r\n\r\n");
    }
    void Key(const std::string& key) {
        EndKey();
        Write("[" + key + "]\r\n");
        open_ = true;
    }
    // Whether the value could be written: one whose data cannot be read is left out.
    bool Value(const RegValue& value) {
        const std::string lines = RegFileLines(value);
        if (!lines.empty())
            Write(lines + "\r\n");
        return !lines.empty();
    }
    void Commit() {
        EndKey();
        files_.Replace(std::move(file_), path_);
    }

  private:
    void EndKey() {
        if (open_)
            Write("\r\n");
        open_ = false;
    }
    void Write(const std::string& utf8) {
        const std::string wide = Utf8ToUtf16Le(utf8);
        file_->Write(reinterpret_cast<const uint8_t*>(wide.data()), wide.size());
    }
    zip::IFileSystem& files_;
    std::string path_;
    std::unique_ptr<zip::OutputFile> file_;
    bool open_ = false;
};

int Run(const Options& o, const DeskIo& io) {
    const std::string top = ExpandKeyPath(o.key);
    if (top.empty())
        throw UsageError("reg needs a key");
    if (!o.exportPath.empty() && (o.json || o.raw))
        throw UsageError("--export writes a file: it goes with neither --json nor --raw");
    if (!o.exportPath.empty() && io.files->Stat(o.exportPath) && !o.force)
        throw UsageError(o.exportPath + " exists already; --force replaces it");
    const std::string folded = FoldName(top);
    const std::string& name = o.file;
    std::optional<RegFile> file;
    if (!o.exportPath.empty())
        file.emplace(*io.files, o.exportPath);

    HeldOutput out(io);
    uint64_t keys = 0, values = 0, unwritten = 0;
    std::optional<json> key;  // the key being read, for --json
    auto endKey = [&] {
        if (key)
            out.Add((keys > 1 ? "," : "") + JsonText(*key));
        key.reset();
    };
    if (o.json) {
        json head = JsonDocument("reg");
        head["file"] = name;
        head["key"] = top;
        std::string text = JsonText(head);
        text.pop_back();
        out.Add(text + ",\"keys\":[");
    }
    ReadOptions read;
    read.report = false;
    read.testAll = false;
    read.codePage = o.codePage;
    read.exportHandler.key = [&](const std::string& path) {
        endKey();
        const std::optional<size_t> depth = DepthBelow(FoldName(path), folded);
        if (!depth || (o.depth && *depth > *o.depth))
            return false;
        ++keys;
        if (file)
            file->Key(path);
        else if (o.json)
            key = json{{"path", path}, {"values", json::array()}};
        else if (o.raw)
            out.Add((keys == 1 ? kUnicodeHeader + "\n" : "") + "\n[" + Printable(path) + "]\n");
        else
            out.Add((keys == 1 ? "" : "\n") + Printable(path) + "\n");
        return true;
    };
    read.exportHandler.value = [&](const RegValue& v) {
        ++values;
        if (file) {
            unwritten += file->Value(v) ? 0 : 1;
        } else if (o.json) {
            json value = ValueJson(v);
            if (o.raw)
                value["raw"] = v.raw;
            (*key)["values"].push_back(std::move(value));
        } else if (o.raw) {
            out.Add(PrintableLines(v.raw));
        } else {
            out.Add(ValueLine(v));
        }
    };
    const SupportFile support = ReadExport(io, name, read, out);
    endKey();
    const std::vector<std::string> warnings = ExportWarnings(*support.registry);
    if (keys == 0) {
        out.Drop();
        io.err("ovdesk: " + Printable(name) + ": the registry export has no key " + Printable(top) + "\n");
        return kFindings;
    }
    if (file) {
        file->Commit();
        out.Add(std::to_string(keys) + (keys == 1 ? " key and " : " keys and ") + std::to_string(values - unwritten) +
                (values - unwritten == 1 ? " value" : " values") + " written to " + Printable(o.exportPath) + "\n");
    } else if (o.json) {
        out.Add("],\"complete\":" + std::string(warnings.empty() ? "true" : "false") + ",\"warnings\":" +
                JsonText(warnings) + "}\n");
    }
    out.Flush();
    for (const std::string& w : warnings)
        io.err("ovdesk: warning: " + Printable(name) + ": " + Printable(w) + "\n");
    if (unwritten > 0)
        io.err("ovdesk: warning: " + std::to_string(unwritten) +
               (unwritten == 1 ? " value whose data cannot be read was" : " values whose data cannot be read were") +
               " left out of " + Printable(o.exportPath) + "\n");
    return warnings.empty() && unwritten == 0 ? kClean : kFindings;
}

void Define(CLI::App& command, Options& o) {
    AddFileOperand(command, o);
    command.add_option("KEY", o.key, "the key, e.g. 'HKLM\\Software\\Pebblework'")->required();
    command.add_option("--depth", o.depth, "only subkeys down to N levels below KEY (0: KEY alone)")->type_name("N");
    command.add_flag("--raw", o.raw, "the values as the export writes them (.reg text), not typed");
    command.add_option("--export", o.exportPath, "write KEY and its subkeys as a file the registry editor imports")
        ->type_name("OUT.reg");
    command.add_flag("--force", o.force, "let --export replace an existing file");
    AddJsonOption(command, o);
    AddCodePageOption(command, o);
}

}  // namespace

const Command kRegCommand = {
    "reg",
    "print a registry key of the support file's export, typed",
    "Prints KEY, its values and its subkeys (down to --depth N levels below KEY; all by default) from\n"
    "the registry export: each value with its type and what it means (text, a list for REG_MULTI_SZ,\n"
    "decimal and hex for numbers, one hex line for binary data). KEY matches without regard to letter\n"
    "case, and HKLM, HKCU, HKCR, HKU and HKCC stand for the roots:\n"
    "  ovdesk reg x.OVSupport 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall' --depth 1\n"
    "--export OUT.reg writes the same keys as a file (UTF-16LE, version 5) that the registry editor\n"
    "imports, to load a customer's settings on a test machine; the file appears only when the whole\n"
    "export was read and found sound.\n"
    "exit status: 0 the key was found, 1 it is not there or the export is incomplete, 2 the file cannot\n"
    "be read",
    Define,
    Run,
};

}  // namespace ost::desk
