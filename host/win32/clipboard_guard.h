#pragma once
// The clipboard after a capture, looked after for a few seconds from a timer of the host's
// thread: a restore that could not open the clipboard (clipboard managers and history services
// open it right after each change) is tried again, and a copy that arrives after the capture
// stopped waiting is undone. Newer content from another program is the user's: it ends that.
#include <windows.h>

#include <memory>

#include "host/win32/clipboard.h"

namespace host::win32 {

struct GuardOptions {
    DWORD period = 100;     // between two looks at the clipboard
    DWORD duration = 3000;  // from the start to the last look
};

class ClipboardGuard {
public:
    explicit ClipboardGuard(ClipboardOptions clipboardOptions = {}, GuardOptions options = {}) noexcept
        : clipboardOptions_(clipboardOptions), options_(options) {}
    // The window and its timer go; nothing is put back.
    ~ClipboardGuard() = default;
    ClipboardGuard(const ClipboardGuard&) = delete;
    ClipboardGuard& operator=(const ClipboardGuard&) = delete;

    // Starts looking after the clipboard, ending a guard still running first (as end() does).
    // restored: whether saved is back on the clipboard; chordThread: the thread of the window a
    // Ctrl+C went to whose copy has not arrived, 0 when none is outstanding. With nothing to look
    // after, nothing starts. While it runs, the library counts one live object (its timer calls
    // the library's code).
    void start(std::shared_ptr<const ClipboardContent> saved, bool restored, DWORD chordThread) noexcept;
    // A last look: a late copy seen now is undone, a restore still owed is tried once more
    // (retrying the open briefly); then the window and its timer go. Returns false when a
    // restore was owed and failed.
    [[nodiscard]] bool end() noexcept;
    [[nodiscard]] bool active() const noexcept { return watch_ != nullptr; }

private:
    struct Watch;
    static void CALLBACK onTimer(HWND window, UINT, UINT_PTR, DWORD) noexcept;
    // One look at the clipboard; false when nothing is left to look after.
    bool look(Watch& watch, Opening opening) const noexcept;

    ClipboardOptions clipboardOptions_;
    GuardOptions options_;
    std::shared_ptr<Watch> watch_;
};

}  // namespace host::win32
