#include "host/win32/copy_wait.h"

#include <utility>

#include "com/boundary.h"
#include "com/module.h"
#include "host/error.h"
#include "host/win32/clipboard.h"
#include "host/win32/last_error.h"

namespace host::win32 {
namespace {

constexpr wchar_t copyWaitClass[] = L"ZeltraCopyWait";
constexpr UINT_PTR boundTimer = 1;

}  // namespace

void CopyWait::start(DWORD chordThread, DWORD bound, DWORD since, std::function<void(host::CopyOutcome)> done) {
    cancel();
    window_.emplace(copyWaitClass, &procedure, this);
    if (!AddClipboardFormatListener(window_->handle()) || !SetTimer(window_->handle(), boundTimer, bound, nullptr)) {
        const HResult failure = lastErrorResult();
        stop();
        throw Error(failure, "listening for the copy");
    }
    chordThread_ = chordThread;
    seen_ = since;
    done_ = std::move(done);
}

void CopyWait::cancel() noexcept {
    if (!waiting()) return;
    done_ = nullptr;
    stop();
    takeBackKeys();
}

void CopyWait::stop() noexcept {
    if (!window_) return;
    RemoveClipboardFormatListener(window_->handle());
    window_.reset();  // its timer goes with it
}

// A change of the chord's thread without text (a program that empties the clipboard first and
// renders later) is passed by. A clipboard without an owner (opened for no window) cannot be told
// apart and counts as the copy's.
std::optional<host::CopyOutcome> CopyWait::outcome() noexcept {
    const DWORD now = GetClipboardSequenceNumber();
    if (now == seen_) return std::nullopt;
    seen_ = now;
    const DWORD owner = clipboardOwnerThread();
    if (owner != 0 && owner != chordThread_) return host::CopyOutcome{host::CopyResult::overtaken, now};
    if (clipboardOffersText()) return host::CopyOutcome{host::CopyResult::copied, now};
    return std::nullopt;
}

void CopyWait::finish(host::CopyOutcome outcome) noexcept {
    // The library stays loaded until the handler has returned, whatever it lets go of.
    const com::ModuleObject running;
    std::function<void(host::CopyOutcome)> done = std::move(done_);
    stop();
    // Overtaken, the window must not copy over the other program's newer content.
    if (outcome.result == host::CopyResult::overtaken) takeBackKeys();
    try {
        if (done) done(outcome);
    } catch (...) {
        // Whoever waits reports its own failures; nothing may leave a window procedure.
    }
}

// Keys sent with SendInput reach the focus window's thread through its input queue; those of this
// thread not read yet are removed unread.
void CopyWait::takeBackKeys() const noexcept {
    if (chordThread_ != GetCurrentThreadId()) return;
    MSG key;
    while (PeekMessageW(&key, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    }
}

LRESULT CALLBACK CopyWait::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept try {
    auto* self = MessageWindow::ownerOf<CopyWait>(window);
    if (self && message == WM_CLIPBOARDUPDATE) {
        if (const auto result = self->outcome()) self->finish(*result);
        return 0;
    }
    if (self && message == WM_TIMER && wParam == boundTimer) {
        // A change whose notification has not come yet still counts.
        self->finish(self->outcome().value_or(
            host::CopyOutcome{host::CopyResult::notCopied, static_cast<std::uint32_t>(GetClipboardSequenceNumber())}));
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
} catch (...) {
    return com::lresultFromCaughtException(window, message, wParam, lParam);
}

}  // namespace host::win32
