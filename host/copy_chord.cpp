#include "host/copy_chord.h"

#include <iterator>
#include <string_view>

namespace host {

std::vector<KeyStroke> copyChord(const HeldKeys& held) {
    std::vector<KeyStroke> strokes;
    const bool controlHeld = held.isDown(ChordKey::control);
    if (!controlHeld) strokes.push_back({ChordKey::control, false});
    for (const ChordKey key : otherModifiers)
        if (held.isDown(key)) strokes.push_back({key, true});
    strokes.push_back({ChordKey::c, false});
    strokes.push_back({ChordKey::c, true});
    for (auto key = std::rbegin(otherModifiers); key != std::rend(otherModifiers); ++key)
        if (held.isDown(*key)) strokes.push_back({*key, false});
    if (!controlHeld) strokes.push_back({ChordKey::control, true});
    return strokes;
}

}  // namespace host

namespace host {
namespace {

wchar_t asciiLower(wchar_t c) noexcept { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + (L'a' - L'A')) : c; }

bool startsWithNoCase(std::wstring_view text, std::wstring_view start) noexcept {
    if (text.size() < start.size()) return false;
    for (std::size_t i = 0; i < start.size(); ++i)
        if (asciiLower(text[i]) != asciiLower(start[i])) return false;
    return true;
}

}  // namespace

bool copiesSelectedText(std::wstring_view windowClass) noexcept {
    constexpr std::wstring_view wholeNames[] = {L"_WwG", L"Internet Explorer_Server", L"Edit"};
    for (const std::wstring_view name : wholeNames)
        if (windowClass.size() == name.size() && startsWithNoCase(windowClass, name)) return true;
    // RichEdit, RichEdit20A/W, RICHEDIT50W, RichEdit60W, and Outlook's own RichEdit20WPT.
    return startsWithNoCase(windowClass, L"RichEdit");
}

}  // namespace host
