// The one place that writes ovdesk's output forms: JSON documents, text held back until what it
// comes from is known to be sound, and aligned columns. Commands gather what they show; how it
// is written is decided here.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "desk/commands.h"

namespace ost::desk {

// The version of the JSON documents' layout, given in each as "schema". It changes only when a
// field changes its meaning or type or goes away; new fields may come without a change.
inline constexpr int kJsonSchema = 1;

// A new JSON document of `command`: {"schema": ..., "command": ...}.
nlohmann::json JsonDocument(std::string_view command);

// A JSON value as one line of UTF-8 text: bytes of its strings that are no UTF-8 become U+FFFD.
std::string JsonText(const nlohmann::json& value);

// Output that depends on an entry whose CRC-32 is checked only at its end: held back up to
// DeskIo::heldOutput, then shown as it comes.
class HeldOutput {
  public:
    explicit HeldOutput(const DeskIo& io) : io_(io) {}
    void Add(std::string_view text);
    // Shows what is held.
    void Flush();
    // Some of the output was shown before the end.
    bool Shown() const { return shown_; }
    // Forgets what is held, unshown.
    void Drop() { held_.clear(); }

  private:
    const DeskIo& io_;
    std::string held_;
    bool shown_ = false;
};

// Rows of cells as text: each column as wide as its widest cell, two blanks between columns, the
// last column unpadded. Cells are made printable.
std::string Columns(const std::vector<std::vector<std::string>>& rows);

}  // namespace ost::desk
