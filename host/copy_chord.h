#pragma once
// The keystrokes of Ctrl+C, decided from the keys the user physically holds. A key counts as held
// only when it is down on the keyboard itself: one that is down in a thread's queued state alone
// was let go already, and pressing it again after the chord would leave it stuck.
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace host {

enum class ChordKey : std::uint8_t { control, leftShift, rightShift, leftAlt, rightAlt, leftWin, rightWin, c };

// The modifiers besides Ctrl that the user may hold, in the order they go up for the chord.
inline constexpr ChordKey otherModifiers[] = {ChordKey::leftShift, ChordKey::rightShift, ChordKey::leftAlt,
                                              ChordKey::rightAlt,  ChordKey::leftWin,    ChordKey::rightWin};

struct KeyStroke {
    ChordKey key;
    bool up;
    friend bool operator==(const KeyStroke&, const KeyStroke&) = default;
};

// The keys physically down.
class HeldKeys {
public:
    HeldKeys() = default;
    HeldKeys(std::initializer_list<ChordKey> keys) {
        for (const ChordKey key : keys) press(key);
    }
    void press(ChordKey key) noexcept { bits_ |= bit(key); }
    [[nodiscard]] bool isDown(ChordKey key) const noexcept { return (bits_ & bit(key)) != 0; }

private:
    static unsigned bit(ChordKey key) noexcept { return 1u << static_cast<unsigned>(key); }
    unsigned bits_ = 0;
};

// Ctrl goes down first unless the user holds it, so that letting Alt go (the button pressed with
// Alt and its accelerator) opens no menu; the other modifiers held go up for the chord and down
// again after it, in reverse order; Ctrl goes up last unless the user holds it. No key the user
// does not hold is pressed, none the user holds is left up.
[[nodiscard]] std::vector<KeyStroke> copyChord(const HeldKeys& held);

// Whether a window of this class is a text view, which copies the user's selected text on Ctrl+C:
// Word's document window, the HTML viewer (Outlook 2003's read windows and reading pane), RichEdit
// of any version, an Edit control. Anywhere else Ctrl+C copies something that is not selected text
// (the message list copies its items' columns) or nothing, so the chord is not sent there. Window
// class names are compared as Windows compares them, without regard to case.
[[nodiscard]] bool copiesSelectedText(std::wstring_view windowClass) noexcept;

}  // namespace host
