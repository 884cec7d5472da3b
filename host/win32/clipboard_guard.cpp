#include "host/win32/clipboard_guard.h"

#include "com/module.h"
#include "host/win32/unique_handle.h"

namespace host::win32 {

struct ClipboardGuard::Watch {
    std::shared_ptr<const ClipboardContent> saved;
    bool restoreOwed = false;
    DWORD chordThread = 0;  // 0 once no copy is outstanding
    // The clipboard's sequence number last accounted for: a change past it is someone else's.
    DWORD knownSequence = 0;
    ULONGLONG deadline = 0;
    com::ModuleObject keepsTheLibraryLoaded;
    UniqueWindow window;  // goes first, and its timer with it
};

void ClipboardGuard::start(std::shared_ptr<const ClipboardContent> saved, bool restored, DWORD chordThread) noexcept {
    (void)end();
    if (!saved || (restored && chordThread == 0)) return;
    try {
        auto watch = std::make_shared<Watch>();
        watch->saved = std::move(saved);
        watch->restoreOwed = !restored;
        watch->chordThread = chordThread;
        watch->knownSequence = GetClipboardSequenceNumber();
        watch->deadline = GetTickCount64() + options_.duration;
        watch->window.reset(
            CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
        if (!watch->window) return;
        SetWindowLongPtrW(watch->window.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        if (!SetTimer(watch->window.get(), 1, options_.period, &ClipboardGuard::onTimer)) return;
        watch_ = std::move(watch);
    } catch (...) {
        // Without memory for it the guard does not start; the capture is over all the same.
    }
}

bool ClipboardGuard::end() noexcept {
    const std::shared_ptr<Watch> watch = std::move(watch_);
    if (!watch) return true;
    look(*watch, Opening::retryBriefly);
    return !watch->restoreOwed;
}

bool ClipboardGuard::look(Watch& watch, Opening opening) const noexcept {
    const DWORD sequence = GetClipboardSequenceNumber();
    if (sequence != watch.knownSequence) {
        watch.knownSequence = sequence;
        // A copy is made by the window the keystrokes went to; its window's thread tells it from
        // another program (in the simulator another program is a thread of the host's process).
        if (watch.chordThread == 0 || clipboardOwnerThread() != watch.chordThread) {
            watch.restoreOwed = false;
            watch.chordThread = 0;
            return false;
        }
        // A change without text may be the first step of that copy.
        if (clipboardOffersText()) {
            watch.chordThread = 0;
            watch.restoreOwed = true;
        }
    }
    if (watch.restoreOwed) {
        try {
            watch.saved->restore(clipboardOptions_, opening);
            watch.restoreOwed = false;
            watch.knownSequence = GetClipboardSequenceNumber();
        } catch (...) {
            // Still held, or a format refused: the next look tries again.
        }
    }
    return watch.restoreOwed || watch.chordThread != 0;
}

void CALLBACK ClipboardGuard::onTimer(HWND window, UINT, UINT_PTR, DWORD) noexcept {
    auto* guard = reinterpret_cast<ClipboardGuard*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!guard || !guard->watch_) return;
    // Held here too: a window the restore notifies on this thread may start or end a guard.
    const std::shared_ptr<Watch> watch = guard->watch_;
    const bool more = guard->look(*watch, Opening::once) && GetTickCount64() < watch->deadline;
    if (!more && guard->watch_ == watch) guard->watch_.reset();
}

}  // namespace host::win32
