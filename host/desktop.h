#pragma once
// Desktop services the add-in uses besides automation objects: the clipboard, message boxes, the
// common controls and the shell. Every operation throws host::Error when the system refuses it.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "host/object.h"

namespace host {

// A packed device-independent bitmap: the BITMAPINFOHEADER, its colour table and the pixels.
struct Bitmap {
    std::vector<std::uint8_t> dib;
};

// How a copy sent to the focused window came out.
enum class CopyResult {
    copied,      // the window copied text
    notCopied,   // nothing arrived in time: nothing was selected, or the copy is late
    overtaken,   // another program put something there meanwhile
};

// How a copy came out, and the clipboard's sequence number when that was seen.
struct CopyOutcome {
    CopyResult result;
    std::uint32_t sequence = 0;
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
    // The same, unless another program has changed the clipboard since its sequence number was
    // `sequence` (checked while it is open, so that nobody copies in between); returns whether
    // it did.
    virtual bool restoreClipboardUnlessChanged(const ClipboardContent& saved, std::uint32_t sequence) = 0;
    // Replaces the clipboard's content with the picture, in the picture's own format.
    virtual void setClipboardPicture(const Bitmap& picture) = 0;
    // An OLE picture (IPictureDisp) of its own holding the bitmap, for a host's picture property.
    virtual Object pictureOf(const Bitmap& picture) = 0;
    // The clipboard's text (CF_UNICODETEXT); empty when it holds none. Throws when the clipboard
    // cannot be opened.
    virtual std::wstring clipboardText() = 0;
    // The same, read only while the clipboard's sequence number is still `sequence` (checked while
    // it is open, so that nobody copies in between); nothing when another program changed it.
    virtual std::optional<std::wstring> clipboardTextUnlessChanged(std::uint32_t sequence) = 0;
    // Empties the clipboard. Throws when it cannot be opened.
    virtual void clearClipboard() = 0;
    // Empties the clipboard unless another program has changed it since its sequence number was
    // `sequence`; returns the sequence number of the clipboard as emptied, or nothing when another
    // program changed it before or right after (the clipboard then holds that program's content).
    // Throws when it cannot be opened.
    virtual std::optional<std::uint32_t> clearClipboardUnlessChanged(std::uint32_t sequence) = 0;
    // Whether the window with the keyboard focus (of the foreground window's thread, where keystrokes
    // go) is a text view that copies the user's selected text on Ctrl+C (copiesSelectedText).
    virtual bool focusIsInTextView() noexcept = 0;
    // Sends Ctrl+C to the window with the keyboard focus, unless another program has changed the
    // clipboard since its sequence number was `unchangedSince` (checked once the wait listens, so
    // that no change goes unseen): false then, nothing sent, `done` never called. Returns at once:
    // no message loop of the add-in's runs. The thread's own loop (Outlook's) delivers the keys, with the pre-translation
    // through which embedded editors take their shortcuts. `done` is called once, later, from that
    // loop: copied once that window's thread has put content that offers text on the clipboard;
    // overtaken once any other program has changed it (that is the user's newer content: the
    // chord's keys this thread has not read yet are taken back); notCopied after about a second
    // (nothing was selected, or the copy is late). A change without text does not end the wait.
    // Modifier keys the user physically holds do not join the chord, and the keyboard is left as
    // it physically is. Throws when the keys cannot be sent; `done` is then never called. A wait
    // still running is cancelled first.
    [[nodiscard]] virtual bool sendCopyChord(std::uint32_t unchangedSince, std::function<void(CopyOutcome)> done) = 0;
    // Ends a wait still running without calling its `done`; the chord's keys this thread has not
    // read yet are taken back.
    virtual void cancelCopyChord() noexcept = 0;
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
    explicit KeptClipboard(Desktop& desktop)
        : desktop_(desktop), savedAt_(desktop.clipboardSequenceNumber()), saved_(desktop.saveClipboard()) {}
    ~KeptClipboard() {
        if (settled_ || (ours_ && desktop_.clipboardSequenceNumber() != *ours_)) return;
        tryRestore();
    }
    KeptClipboard(const KeptClipboard&) = delete;
    KeptClipboard& operator=(const KeptClipboard&) = delete;

    // Call right after putting something on the clipboard.
    void markOurs() noexcept { ours_ = desktop_.clipboardSequenceNumber(); }
    // The same, with the sequence number the clipboard had as it was put there.
    void markOurs(std::uint32_t sequence) noexcept { ours_ = sequence; }

    // Puts the saved content back now, trying a second time if the first fails; returns whether
    // it is back. Once marked ours, it is put back only while the clipboard still holds what was
    // marked: another program's newer content stays (overtaken() tells), and counts as back.
    // Nothing is put back again when this goes.
    bool restore() noexcept {
        settled_ = true;
        return tryRestore() || tryRestore();
    }
    // Whether restore() left another program's newer content in place.
    bool overtaken() const noexcept { return overtaken_; }
    // The clipboard's sequence number just before it was saved.
    std::uint32_t savedAt() const noexcept { return savedAt_; }
    // Nothing is put back: the clipboard holds another program's newer content, untouched.
    void letGo() noexcept { settled_ = true; }

    // What was saved, to hand over to the desktop's guard.
    const std::shared_ptr<const ClipboardContent>& content() const noexcept { return saved_; }

private:
    bool tryRestore() noexcept {
        try {
            if (!ours_) {
                desktop_.restoreClipboard(*saved_);
            } else if (!desktop_.restoreClipboardUnlessChanged(*saved_, *ours_)) {
                overtaken_ = true;
                return true;
            }
            restored_ = true;
        } catch (...) {
        }
        return restored_;
    }

    Desktop& desktop_;
    std::uint32_t savedAt_;
    std::shared_ptr<const ClipboardContent> saved_;
    std::optional<std::uint32_t> ours_;
    bool restored_ = false;
    bool overtaken_ = false;
    bool settled_ = false;  // restore() was called: the destructor leaves the clipboard alone
};

}  // namespace host
