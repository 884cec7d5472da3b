#include "host/text.h"

#include <cstdint>

namespace host {
namespace {

bool keptAsItIs(char32_t c) {
    return (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z') || (c >= U'0' && c <= U'9') || c == U'-' ||
           c == U'.' || c == U'_' || c == U'~' || c == U'/' || c == U':' || c == U'@';
}

void appendEscaped(std::wstring& out, std::uint8_t byte) {
    constexpr wchar_t hex[] = L"0123456789ABCDEF";
    out += L'%';
    out += hex[byte >> 4];
    out += hex[byte & 0xF];
}

void appendUtf8Escaped(std::wstring& out, char32_t c) {
    if (c < 0x80) {
        appendEscaped(out, static_cast<std::uint8_t>(c));
    } else if (c < 0x800) {
        appendEscaped(out, static_cast<std::uint8_t>(0xC0 | (c >> 6)));
        appendEscaped(out, static_cast<std::uint8_t>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        appendEscaped(out, static_cast<std::uint8_t>(0xE0 | (c >> 12)));
        appendEscaped(out, static_cast<std::uint8_t>(0x80 | ((c >> 6) & 0x3F)));
        appendEscaped(out, static_cast<std::uint8_t>(0x80 | (c & 0x3F)));
    } else {
        appendEscaped(out, static_cast<std::uint8_t>(0xF0 | (c >> 18)));
        appendEscaped(out, static_cast<std::uint8_t>(0x80 | ((c >> 12) & 0x3F)));
        appendEscaped(out, static_cast<std::uint8_t>(0x80 | ((c >> 6) & 0x3F)));
        appendEscaped(out, static_cast<std::uint8_t>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

std::wstring percentEncoded(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char32_t>(text[i]) & 0xFFFF;
        if (sizeof(wchar_t) == 4) c = static_cast<char32_t>(text[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
            const char32_t low = static_cast<char32_t>(text[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;
        if (keptAsItIs(c)) {
            out += static_cast<wchar_t>(c);
        } else {
            appendUtf8Escaped(out, c);
        }
    }
    return out;
}

namespace {

wchar_t asciiLower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool isHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

bool startsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (asciiLower(text[i]) != asciiLower(prefix[i])) return false;
    return true;
}

bool startsWithWebScheme(std::wstring_view text) {
    return startsWithNoCase(text, L"http://") || startsWithNoCase(text, L"https://");
}

std::wstring_view leadingUnits(std::wstring_view text, std::size_t maxUnits) {
    if (text.size() <= maxUnits) return text;
    std::size_t end = maxUnits;
    if (end > 0 && isHighSurrogate(text[end - 1]) && isLowSurrogate(text[end])) --end;
    return text.substr(0, end);
}

}  // namespace host
