#pragma once
// A GUID with the same layout as Windows' GUID, parsed at compile time from its registry form.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace host {

struct Guid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::array<std::uint8_t, 8> data4{};

    friend constexpr bool operator==(const Guid&, const Guid&) = default;
    friend constexpr auto operator<=>(const Guid&, const Guid&) = default;

    // Accepts "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (braces optional).
    static constexpr Guid parse(std::string_view text) {
        if (!text.empty() && text.front() == '{') text = text.substr(1, text.size() - 2);
        if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-')
            throw "malformed GUID";
        std::size_t pos = 0;
        auto next = [&](int digits) {
            std::uint32_t value = 0;
            for (int i = 0; i < digits; ++i, ++pos) {
                if (text[pos] == '-') ++pos;
                const char c = text[pos];
                const int nibble = c >= '0' && c <= '9'   ? c - '0'
                                   : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                   : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                          : throw "malformed GUID";
                value = value << 4 | static_cast<std::uint32_t>(nibble);
            }
            return value;
        };
        Guid g;
        g.data1 = next(8);
        g.data2 = static_cast<std::uint16_t>(next(4));
        g.data3 = static_cast<std::uint16_t>(next(4));
        for (auto& b : g.data4) b = static_cast<std::uint8_t>(next(2));
        return g;
    }
};
static_assert(sizeof(Guid) == 16);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case, as the registry writes GUIDs.
std::string toString(const Guid& g);
std::wstring toWString(const Guid& g);

}  // namespace host
