// A locale with a chosen decimal separator, an en-US style general date, and Latin-1 standing in
// for the ANSI code page (code points above 255 become '?').
#pragma once

#include <cstdio>
#include <string>

#include "platform/error.h"
#include "platform/locale.h"

namespace ost::test {

class FakeLocale : public ILocale {
  public:
    std::string decimalSeparator = ".";
    bool failDates = false;

    std::string DecimalSeparator() override { return decimalSeparator; }
    std::string GeneralDate(const DateTime& when) override {
        if (failDates)
            throw MakeError(err::kInvalidCall, {}, "GeneralDate");
        char text[64];
        std::snprintf(text, sizeof(text), "%d/%d/%04d", when.month, when.day, when.year);
        if (when.hour == 0 && when.minute == 0 && when.second == 0)
            return text;
        char time[32];
        const int hour12 = when.hour % 12 == 0 ? 12 : when.hour % 12;
        std::snprintf(time, sizeof(time), " %d:%02d:%02d %s", hour12, when.minute, when.second,
                      when.hour < 12 ? "AM" : "PM");
        return std::string(text) + time;
    }
    std::string ToAnsi(std::string_view utf8) override {
        std::string out;
        for (size_t i = 0; i < utf8.size();) {
            const auto lead = static_cast<unsigned char>(utf8[i]);
            const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            uint32_t code = length == 1 ? lead : lead & (0x3F >> (length - 1));
            for (int k = 1; k < length && i + k < utf8.size(); ++k)
                code = (code << 6) | (utf8[i + k] & 0x3F);
            out += code <= 0xFF ? static_cast<char>(code) : '?';
            i += length;
        }
        return out;
    }
    std::string FromAnsi(std::string_view ansi) override {
        std::string out;
        for (const char c : ansi) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x80) {
                out += c;
            } else {
                out += static_cast<char>(0xC0 | (byte >> 6));
                out += static_cast<char>(0x80 | (byte & 0x3F));
            }
        }
        return out;
    }
};

}  // namespace ost::test
