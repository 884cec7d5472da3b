#pragma once
// GetSelectedText: the text selected in the window with the keyboard focus, copied through the
// clipboard where the object model does not give it. A capture runs in steps across Outlook's own
// message loop, never in a loop of the add-in's: the press saves the user's clipboard, empties it
// and sends Ctrl+C, then returns to Outlook, whose loop delivers the keys (its pre-translation is
// where embedded editors take their shortcuts); when the copy arrives, or its time is up, the text
// is read and the user's clipboard put back.
#include <functional>
#include <optional>
#include <string>

#include "host/desktop.h"
#include "modules/mod_outlook.h"

namespace zeltra {

class GetSelectedText {
public:
    GetSelectedText(ModOutlook& module, host::Desktop& desktop) noexcept : module_(module), desktop_(desktop) {}
    // A capture cut short (the add-in goes while it waits) stops waiting and puts the user's
    // clipboard back.
    ~GetSelectedText();
    GetSelectedText(const GetSelectedText&) = delete;
    GetSelectedText& operator=(const GetSelectedText&) = delete;

    // Save, then the chord: `copyArrived` is called later, from the thread's message loop, with
    // how the copy came out; hand it to finish(). False when no copy was asked for, and nothing
    // more is to be done: the focus is not in a text view or the clipboard could not be saved
    // (the clipboard is untouched), another program copied before the chord went (its content
    // stays), or the
    // clipboard could not be emptied or the keys sent (the user's content is put back).
    bool start(std::function<void(host::CopyOutcome)> copyArrived) noexcept;
    // Read, then restore. The selected text ("" when the window copied nothing: nothing is
    // selected), also kept in strSelection when it is not empty; nothing when there is nothing to
    // launch: another program copied meanwhile, or the user's content could not be put back at
    // once. A copy that may still land, and a restore that failed, are left to the desktop's guard.
    std::optional<std::wstring> finish(host::CopyOutcome copy) noexcept;

private:
    bool save() noexcept;
    bool sendChord(std::function<void(host::CopyOutcome)> copyArrived) noexcept;
    std::optional<std::wstring> read(host::CopyOutcome copy) noexcept;
    bool restore(host::CopyResult copy) noexcept;

    ModOutlook& module_;
    host::Desktop& desktop_;
    std::optional<host::KeptClipboard> usersClipboard_;
    bool waiting_ = false;  // from the chord to finish()
};

}  // namespace zeltra
