#pragma once
// The words of scenario lines and the texts the simulator prints about them.
#include <windows.h>

#include <cstdio>
#include <cwctype>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace sim::win32 {

inline std::vector<std::wstring> split(const std::wstring& line) {
    std::vector<std::wstring> words;
    std::wistringstream stream(line);
    for (std::wstring word; stream >> word;) words.push_back(word);
    return words;
}

// A scenario line without its comment: "#" to the end, unless the "#" is within double quotes (a
// folder's name may have one).
inline std::wstring withoutComment(std::wstring line) {
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == L'"') {
            quoted = !quoted;
        } else if (line[i] == L'#' && !quoted) {
            line.erase(i);
            break;
        }
    }
    return line;
}

// Whether a scenario line is that one word alone (a comment aside).
inline bool isLine(const std::wstring& line, const wchar_t* word) {
    return split(withoutComment(line)) == std::vector<std::wstring>{word};
}

// The text after the first `skip` words, as written.
inline std::wstring rawRestAfter(const std::wstring& line, std::size_t skip) {
    std::size_t i = 0;
    for (std::size_t w = 0; w < skip; ++w) {
        while (i < line.size() && std::iswspace(line[i])) ++i;
        while (i < line.size() && !std::iswspace(line[i])) ++i;
    }
    while (i < line.size() && std::iswspace(line[i])) ++i;
    return line.substr(i);
}

// The text after the first `skip` words, where "\n" stands for a line break.
inline std::wstring restAfter(const std::wstring& line, std::size_t skip) {
    std::wstring rest = rawRestAfter(line, skip);
    for (std::size_t at = 0; (at = rest.find(L"\\n", at)) != std::wstring::npos; at += 2) rest.replace(at, 2, L"\r\n");
    return rest;
}

// A text written in double quotes (to keep blanks at its ends, or to be empty) without them.
inline std::wstring unquote(const std::wstring& text) {
    if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"') return text.substr(1, text.size() - 2);
    return text;
}

// A text for one line of output: line breaks as "\n".
inline std::wstring oneLine(std::wstring text) {
    for (std::size_t at = 0; (at = text.find(L"\r\n", at)) != std::wstring::npos; at += 2) text.replace(at, 2, L"\\n");
    return text;
}

inline std::wstring quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

inline std::wstring hex(HRESULT hr) {
    wchar_t text[16];
    swprintf(text, 16, L"0x%08X", static_cast<unsigned>(hr));
    return text;
}

inline std::optional<int> parseCount(const std::wstring& text) {
    try {
        std::size_t used = 0;
        const int value = std::stoi(text, &used);
        if (used == text.size() && value >= 0) return value;
    } catch (...) {
    }
    return std::nullopt;
}

inline std::optional<std::uint32_t> parseUnsigned(const std::wstring& text) {
    try {
        std::size_t used = 0;
        const unsigned long value = std::stoul(text, &used, 0);
        if (used == text.size() && value <= 0xFFFFFFFFul && !text.empty() && text[0] != L'-')
            return static_cast<std::uint32_t>(value);
    } catch (...) {
    }
    return std::nullopt;
}

}  // namespace sim::win32
