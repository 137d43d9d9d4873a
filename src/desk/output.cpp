#include "desk/output.h"

#include <algorithm>

#include "desk/text.h"

namespace ost::desk {

nlohmann::json JsonDocument(std::string_view command) {
    return {{"schema", kJsonSchema}, {"command", command}};
}

std::string JsonText(const nlohmann::json& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

void HeldOutput::Add(std::string_view text) {
    held_ += text;
    if (held_.size() > io_.heldOutput) {
        io_.out(held_);
        held_.clear();
        shown_ = true;
    }
}

void HeldOutput::Flush() {
    if (!held_.empty())
        io_.out(held_);
    held_.clear();
}

std::string Columns(const std::vector<std::vector<std::string>>& rows) {
    std::vector<size_t> widths;
    for (const auto& row : rows)
        for (size_t i = 0; i < row.size(); ++i) {
            widths.resize(std::max(widths.size(), i + 1));
            widths[i] = std::max(widths[i], DisplayWidth(Printable(row[i])));
        }
    std::string out;
    for (const auto& row : rows) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i) {
            const std::string cell = Printable(row[i]);
            line += cell + std::string(widths[i] - DisplayWidth(cell) + 2, ' ');
        }
        while (line.ends_with(' '))
            line.pop_back();
        out += line + "\n";
    }
    return out;
}

}  // namespace ost::desk
