#include "modules/selection_capture.h"

#include "host/error_mode.h"

namespace zeltra {

GetSelectedText::~GetSelectedText() {
    // The user's content goes back as the saved clipboard goes (unless another program's newer
    // content is there).
    if (waiting_) desktop_.cancelCopyChord();
}

bool GetSelectedText::start(std::function<void(host::CopyOutcome)> copyArrived) noexcept {
    // Anywhere but a text view Ctrl+C copies what the user did not select (the message list
    // copies its items' columns).
    if (!desktop_.focusIsInTextView()) return false;
    return save() && sendChord(std::move(copyArrived));
}

// Saving opens the clipboard, retrying briefly: clipboard managers and history services hold it
// for moments after every change. Still held, or holding what cannot all be saved in a moment:
// nothing was touched.
bool GetSelectedText::save() noexcept try {
    usersClipboard_.emplace(desktop_);
    return true;
} catch (...) {
    return false;
}

bool GetSelectedText::sendChord(std::function<void(host::CopyOutcome)> copyArrived) noexcept {
    try {
        // Another program that copied while the clipboard was saved has the newer content: it stays.
        const std::optional<std::uint32_t> emptied = desktop_.clearClipboardUnlessChanged(usersClipboard_->savedAt());
        if (!emptied) {
            usersClipboard_->letGo();
            return false;
        }
        // What the clipboard holds from here on is the capture's own until another program copies:
        // a copy landing before the chord goes is that program's newer content, and stays.
        usersClipboard_->markOurs(*emptied);
        if (!desktop_.sendCopyChord(*emptied, std::move(copyArrived))) return false;
        waiting_ = true;
        return true;
    } catch (...) {
        // Not emptied, or no keys sent: no copy will come.
        restore(host::CopyResult::copied);
        return false;
    }
}

std::optional<std::wstring> GetSelectedText::finish(host::CopyOutcome copy) noexcept {
    waiting_ = false;
    std::optional<std::wstring> text = read(copy);
    if (!restore(copy.result) || !text) return std::nullopt;
    if (!text->empty()) module_.strSelection = *text;
    return text;
}

std::optional<std::wstring> GetSelectedText::read(host::CopyOutcome copy) noexcept try {
    // The window copied nothing: nothing is selected. Another program copied first: nothing to read.
    if (copy.result != host::CopyResult::copied) {
        if (copy.result == host::CopyResult::notCopied) return std::wstring();
        return std::nullopt;
    }
    // The window's copy, as it was when it arrived: another program that copied since has the
    // newer content, which is neither read nor overwritten.
    usersClipboard_->markOurs(copy.sequence);
    return desktop_.clipboardTextUnlessChanged(copy.sequence);
} catch (...) {
    return std::nullopt;
}

bool GetSelectedText::restore(host::CopyResult copy) noexcept {
    const bool restored = usersClipboard_->restore();
    // A copy may still land, and a restore fails while a clipboard manager reads the copy: the
    // desktop goes on looking after the user's content for a while. Content another program put
    // there needs no looking after.
    if (!usersClipboard_->overtaken())
        desktop_.guardClipboard(usersClipboard_->content(), restored, copy == host::CopyResult::notCopied);
    // Overtaken while waiting: the window may still copy, late, over that newer content, which the
    // guard then puts back.
    if (copy == host::CopyResult::overtaken)
        host::resumeNext([&] { desktop_.guardClipboard(desktop_.saveClipboard(), true, true); });
    return restored;
}

}  // namespace zeltra
