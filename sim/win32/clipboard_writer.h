#pragma once
// What the soak's clipboard writer (clipboard_writer.exe, another program) publishes: the number
// of the last text it put on the clipboard, "writer-N", in memory shared by name.
#include <windows.h>

#include <cstdint>
#include <string>

namespace sim::win32::clipboard_writer {

inline constexpr wchar_t sharedName[] = L"Local\\ZeltraSoakClipboardWriter";
inline constexpr wchar_t textPrefix[] = L"writer-";

struct Shared {
    volatile LONG lastWritten;  // 0 before the first write
    volatile LONG stop;         // set by the soak to end the writer
};

inline std::wstring textOf(LONG number) { return textPrefix + std::to_wstring(number); }

// The N of a "writer-N" text, or 0 for any other text.
inline LONG numberOf(const std::wstring& text) {
    const std::wstring prefix = textPrefix;
    if (text.rfind(prefix, 0) != 0 || text.size() == prefix.size()) return 0;
    LONG number = 0;
    for (std::size_t i = prefix.size(); i < text.size(); ++i) {
        if (text[i] < L'0' || text[i] > L'9') return 0;
        number = number * 10 + (text[i] - L'0');
    }
    return number;
}

}  // namespace sim::win32::clipboard_writer
