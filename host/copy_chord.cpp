#include "host/copy_chord.h"

#include <iterator>

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
