#include "host/number_text.h"

namespace host {

std::wstring decimalText(std::int64_t value) {
    wchar_t digits[24];
    wchar_t* end = digits + 24;
    wchar_t* begin = end;
    // Negated as unsigned, so that the most negative value works too.
    std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    do {
        *--begin = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (value < 0) *--begin = L'-';
    return {begin, end};
}

std::string hexText(std::uint32_t value, int digits) {
    std::string text = "0x";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) text += "0123456789ABCDEF"[(value >> shift) & 0xF];
    return text;
}

}  // namespace host
