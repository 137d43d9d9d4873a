// A locale with a chosen decimal separator, an en-US style general date, and Latin-1 standing in
// for the ANSI code page (code points above 255 become '?'). Its upper-casing covers the ASCII,
// Latin-1 and Cyrillic letters.
#pragma once

#include <cstdint>
#include <cstdio>
#include <set>
#include <string>

#include "platform/error.h"
#include "platform/locale.h"

namespace ost::test {

class FakeLocale : public ILocale {
  public:
    std::string decimalSeparator = ".";
    bool failDates = false;
    // "ToAnsi", "FromAnsi" or "UpperCase" named here raise AppError 5 instead.
    std::set<std::string> failing;

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
        MaybeFail("ToAnsi");
        std::string out;
        for (size_t i = 0; i < utf8.size();) {
            const uint32_t code = Decode(utf8, i);
            out += code <= 0xFF ? static_cast<char>(code) : '?';
        }
        return out;
    }
    std::string FromAnsi(std::string_view ansi) override {
        MaybeFail("FromAnsi");
        std::string out;
        for (const char c : ansi)
            Encode(static_cast<unsigned char>(c), out);
        return out;
    }
    std::string UpperCase(std::string_view utf8) override {
        MaybeFail("UpperCase");
        std::string out;
        for (size_t i = 0; i < utf8.size();) {
            uint32_t code = Decode(utf8, i);
            if ((code >= 'a' && code <= 'z') || (code >= 0xE0 && code <= 0xFE && code != 0xF7) ||
                (code >= 0x430 && code <= 0x44F))
                code -= 0x20;
            Encode(code, out);
        }
        return out;
    }

  private:
    void MaybeFail(const std::string& call) {
        if (failing.count(call) != 0)
            throw MakeError(err::kInvalidCall, {}, "FakeLocale::" + call + " told to fail");
    }
    // The character of well-formed UTF-8 at `i`; moves `i` past it.
    static uint32_t Decode(std::string_view utf8, size_t& i) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        uint32_t code = length == 1 ? lead : lead & (0x3F >> (length - 1));
        for (int k = 1; k < length && i + k < utf8.size(); ++k)
            code = (code << 6) | (utf8[i + k] & 0x3F);
        i += static_cast<size_t>(length);
        return code;
    }
    static void Encode(uint32_t code, std::string& out) {
        if (code < 0x80) {
            out += static_cast<char>(code);
            return;
        }
        const int extra = code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;  // continuation bytes
        out += static_cast<char>(((0xFF80 >> extra) & 0xFF) | (code >> (6 * extra)));
        for (int k = extra - 1; k >= 0; --k)
            out += static_cast<char>(0x80 | ((code >> (6 * k)) & 0x3F));
    }
};

}  // namespace ost::test
