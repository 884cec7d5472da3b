// The keystrokes of Ctrl+C against the keys the user physically holds.
#include <gtest/gtest.h>

#include <cwchar>
#include <map>

#include "host/copy_chord.h"

namespace {

using host::ChordKey;
using host::HeldKeys;
using host::KeyStroke;

constexpr ChordKey allModifiers[] = {ChordKey::control,  ChordKey::leftShift, ChordKey::rightShift, ChordKey::leftAlt,
                                     ChordKey::rightAlt, ChordKey::leftWin,   ChordKey::rightWin};

KeyStroke down(ChordKey key) { return {key, false}; }
KeyStroke up(ChordKey key) { return {key, true}; }

struct ChordCase {
    const char* name;
    HeldKeys held;
    std::vector<KeyStroke> strokes;
};

struct CopyChord : testing::TestWithParam<ChordCase> {};

TEST_P(CopyChord, IsTheTable) { EXPECT_EQ(host::copyChord(GetParam().held), GetParam().strokes); }

INSTANTIATE_TEST_SUITE_P(
    Table, CopyChord,
    testing::Values(
        ChordCase{"nothing_held", {},
                  {down(ChordKey::control), down(ChordKey::c), up(ChordKey::c), up(ChordKey::control)}},
        ChordCase{"control_held_stays_down", {ChordKey::control}, {down(ChordKey::c), up(ChordKey::c)}},
        ChordCase{"alt_goes_up_after_control_goes_down",
                  {ChordKey::leftAlt},
                  {down(ChordKey::control), up(ChordKey::leftAlt), down(ChordKey::c), up(ChordKey::c),
                   down(ChordKey::leftAlt), up(ChordKey::control)}},
        ChordCase{"both_shifts_and_a_window_key_in_reverse_order_after",
                  {ChordKey::rightShift, ChordKey::leftShift, ChordKey::rightWin},
                  {down(ChordKey::control), up(ChordKey::leftShift), up(ChordKey::rightShift), up(ChordKey::rightWin),
                   down(ChordKey::c), up(ChordKey::c), down(ChordKey::rightWin), down(ChordKey::rightShift),
                   down(ChordKey::leftShift), up(ChordKey::control)}},
        ChordCase{"control_and_right_alt_held",
                  {ChordKey::control, ChordKey::rightAlt},
                  {up(ChordKey::rightAlt), down(ChordKey::c), up(ChordKey::c), down(ChordKey::rightAlt)}}),
    [](const auto& param) { return std::string(param.param.name); });

// Every combination of held modifiers, played on a keyboard that starts as the user holds it.
TEST(CopyChordOnAKeyboard, EveryCombinationCopiesWithControlAloneAndLeavesTheKeysAsHeld) {
    for (unsigned combination = 0; combination < 1u << std::size(allModifiers); ++combination) {
        HeldKeys held;
        std::map<ChordKey, bool> keyboard;
        for (std::size_t i = 0; i < std::size(allModifiers); ++i) {
            const bool isHeld = (combination >> i) & 1;
            if (isHeld) held.press(allModifiers[i]);
            keyboard[allModifiers[i]] = isHeld;
        }
        SCOPED_TRACE("combination " + std::to_string(combination));
        int copies = 0;
        for (const KeyStroke& stroke : host::copyChord(held)) {
            ASSERT_EQ(keyboard[stroke.key], stroke.up) << "a key pressed while down, or let go while up";
            keyboard[stroke.key] = !stroke.up;
            if (stroke.key == ChordKey::c && !stroke.up) {
                ++copies;
                for (const ChordKey key : allModifiers)
                    EXPECT_EQ(keyboard[key], key == ChordKey::control) << "with C down, Ctrl alone is down";
            }
        }
        EXPECT_EQ(copies, 1);
        EXPECT_FALSE(keyboard[ChordKey::c]);
        for (const ChordKey key : allModifiers) EXPECT_EQ(keyboard[key], held.isDown(key)) << "left as held";
    }
}

// Where the chord goes: only a text view copies what the user selected.
struct TextViewCase {
    const wchar_t* windowClass;
    bool copiesSelectedText;
};

TEST(CopiesSelectedText, OnlyTextViewsWhateverTheCaseOfTheirClassNames) {
    const TextViewCase cases[] = {
        {L"_WwG", true},                       // Word's document window
        {L"_wwg", true},                       // class names are compared without case
        {L"Internet Explorer_Server", true},   // the HTML viewer
        {L"INTERNET EXPLORER_SERVER", true},
        {L"RichEdit20WPT", true},              // Outlook's RichEdit
        {L"RICHEDIT50W", true},
        {L"RichEdit20A", true},
        {L"Edit", true},
        {L"EDIT", true},
        {L"SUPERGRID", false},                 // the message list copies its items' columns
        {L"SysTreeView32", false},             // the folder list
        {L"NetUIHWND", false},                 // the ribbon
        {L"_WwB", false},                      // Word's frame around the document
        {L"_WwG2", false},
        {L"Editor", false},
        {L"RichEdi", false},
        {L"", false},
    };
    for (const TextViewCase& c : cases)
        EXPECT_EQ(host::copiesSelectedText(c.windowClass), c.copiesSelectedText)
            << std::string(c.windowClass, c.windowClass + std::wcslen(c.windowClass));
}

}  // namespace
