// Doubles as text with the C library, for builds without Automation.
#include <cstdio>
#include <cwchar>
#include <cwctype>

#include "host/number_text.h"

namespace host {

std::wstring doubleText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.15G", value);
    return {text, text + std::char_traits<char>::length(text)};
}

std::optional<double> parseDouble(std::wstring_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::iswspace(text[begin])) ++begin;
    while (end > begin && std::iswspace(text[end - 1])) --end;
    if (begin == end) return std::nullopt;
    const std::wstring trimmed(text.substr(begin, end - begin));
    for (const wchar_t c : trimmed) {
        // Only plain decimal notation; no hexadecimal, infinities or NaN.
        if (!(std::iswdigit(c) || c == L'.' || c == L'-' || c == L'+' || c == L'e' || c == L'E')) return std::nullopt;
    }
    wchar_t* stop = nullptr;
    const double value = std::wcstod(trimmed.c_str(), &stop);
    if (stop != trimmed.c_str() + trimmed.size()) return std::nullopt;
    return value;
}

}  // namespace host
