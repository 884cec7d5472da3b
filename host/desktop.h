#pragma once
// Desktop services the add-in uses besides automation objects: the clipboard, message boxes, the
// common controls and the shell. Every operation throws host::Error when the system refuses it.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace host {

// A packed device-independent bitmap: the BITMAPINFOHEADER, its colour table and the pixels.
struct Bitmap {
    std::vector<std::uint8_t> dib;
};

// What the clipboard held at one moment, kept so that it can be put back.
class ClipboardContent {
public:
    virtual ~ClipboardContent() = default;
};

class Desktop {
public:
    virtual ~Desktop() = default;

    // Saves every format the clipboard holds, within a short budget (250 ms in all), without
    // blocking this thread past it. Throws, leaving the clipboard as it was: when it cannot be
    // opened (another program holds it), and with hresult::clipboardNotSaved when it holds what
    // cannot be saved (see hresult.h) or saving takes longer than the budget. A guard still
    // running (guardClipboard) is ended first, as endClipboardGuard does; when the restore it
    // still owed fails, the save fails as for a clipboard held by another program.
    virtual std::unique_ptr<ClipboardContent> saveClipboard() = 0;
    // Replaces the clipboard's content with what was saved. Throws when the clipboard cannot be opened.
    virtual void restoreClipboard(const ClipboardContent& saved) = 0;
    // Replaces the clipboard's content with the picture, in the picture's own format.
    virtual void setClipboardPicture(const Bitmap& picture) = 0;
    // The clipboard's text (CF_UNICODETEXT); empty when it holds none. Throws when the clipboard
    // cannot be opened.
    virtual std::wstring clipboardText() = 0;
    // Empties the clipboard. Throws when it cannot be opened.
    virtual void clearClipboard() = 0;
    // Sends Ctrl+C to the window with the keyboard focus and waits, processing the thread's
    // messages (that window may be on this very thread), until the clipboard changes to content
    // that offers text or about a second has passed; returns whether such a copy arrived. A
    // change without text does not end the wait. Modifier keys the user physically holds do not
    // join the chord, and the keyboard is left as it physically is.
    virtual bool copySelection() = 0;
    // Changes whenever any program changes the clipboard's content.
    virtual std::uint32_t clipboardSequenceNumber() noexcept = 0;
    // What a capture calls once it has tried to put the user's content back: restored says
    // whether that worked, copyOutstanding that a Ctrl+C was sent whose copy has not arrived.
    // For a few seconds the desktop then looks after the clipboard on its own: a restore that
    // failed is tried again until it works, and a late copy made by the window the Ctrl+C went to
    // is undone by putting the saved content back again. Newer content from another program
    // ends that (it is the user's). A guard still running from an earlier capture is ended first.
    virtual void guardClipboard(std::shared_ptr<const ClipboardContent> saved, bool restored,
                                bool copyOutstanding) noexcept = 0;
    // The add-in is going: a restore still owed is tried once more, then the guard ends.
    virtual void endClipboardGuard() noexcept = 0;

    // A modal message box; returns when dismissed. The answer is not reported.
    virtual void messageBox(std::wstring_view prompt, std::uint32_t style, std::wstring_view title) = 0;

    // Registers the common-control classes named by the ICC_* flags with InitCommonControlsEx,
    // bound by name; a missing library or function, and the call's result, are ignored.
    virtual void initCommonControls(std::uint32_t classes) noexcept = 0;

    // Hands the address to the shell to open as the user's settings say (a web address in the
    // default browser), shown normally. Whether a program could be started is not reported.
    virtual void openWithShell(std::wstring_view address) noexcept = 0;

    // Runs the task later on this thread, from its message loop, once the caller has returned;
    // tasks run in the order they were posted. Throws when it cannot be posted.
    virtual void postTask(std::function<void()> task) = 0;
    // Drops the tasks not yet run.
    virtual void cancelPostedTasks() noexcept = 0;
};

// Saves the clipboard when made and puts that content back when it goes, whatever happened in
// between. Once the owner has marked what it put there as its own, the content is put back only
// while the clipboard still holds that: what another program copied in the meantime is the
// user's newer content and stays. A failure to put it back is swallowed (nothing may leave a
// destructor).
class KeptClipboard {
public:
    explicit KeptClipboard(Desktop& desktop) : desktop_(desktop), saved_(desktop.saveClipboard()) {}
    ~KeptClipboard() {
        if (settled_ || (ours_ && desktop_.clipboardSequenceNumber() != *ours_)) return;
        tryRestore();
    }
    KeptClipboard(const KeptClipboard&) = delete;
    KeptClipboard& operator=(const KeptClipboard&) = delete;

    // Call right after putting something on the clipboard.
    void markOurs() noexcept { ours_ = desktop_.clipboardSequenceNumber(); }

    // Puts the saved content back now, trying a second time if the first fails; returns whether
    // it is back. Nothing is put back again when this goes.
    bool restore() noexcept {
        settled_ = true;
        return tryRestore() || tryRestore();
    }

    // What was saved, to hand over to the desktop's guard.
    const std::shared_ptr<const ClipboardContent>& content() const noexcept { return saved_; }

private:
    bool tryRestore() noexcept {
        try {
            desktop_.restoreClipboard(*saved_);
            restored_ = true;
        } catch (...) {
        }
        return restored_;
    }

    Desktop& desktop_;
    std::shared_ptr<const ClipboardContent> saved_;
    std::optional<std::uint32_t> ours_;
    bool restored_ = false;
    bool settled_ = false;  // restore() was called: the destructor leaves the clipboard alone
};

}  // namespace host
