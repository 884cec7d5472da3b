#pragma once
// The wait for the copy a Ctrl+C asked for, without a message loop of the add-in's: a message-only
// window of the library's listens for clipboard changes (WM_CLIPBOARDUPDATE) and keeps a timer for
// the bound, and the thread's own loop (Outlook's) delivers both, with the keys. The window, its
// class and its timer exist only while a wait runs; meanwhile the library counts one live object.
#include <windows.h>

#include <functional>
#include <optional>

#include "host/desktop.h"
#include "host/win32/window_class.h"

namespace host::win32 {

class CopyWait {
public:
    CopyWait() = default;
    ~CopyWait() { cancel(); }
    CopyWait(const CopyWait&) = delete;
    CopyWait& operator=(const CopyWait&) = delete;

    // Starts listening for the copy of a window of chordThread, to be sent now, each change past the
    // clipboard's sequence number `since` counting; after `bound` milliseconds the copy counts as
    // not made. Throws host::Error when the window cannot be made or listen. A wait still running
    // is cancelled first.
    void start(DWORD chordThread, DWORD bound, DWORD since, std::function<void(host::CopyOutcome)> done);
    // Ends the wait without calling done; the chord's keys this thread has not read yet are taken back.
    void cancel() noexcept;
    [[nodiscard]] bool waiting() const noexcept { return window_.has_value(); }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    // How the clipboard's last change came out; nothing while the copy is still awaited.
    std::optional<host::CopyOutcome> outcome() noexcept;
    void finish(host::CopyOutcome outcome) noexcept;
    void stop() noexcept;
    void takeBackKeys() const noexcept;

    std::function<void(host::CopyOutcome)> done_;
    DWORD chordThread_ = 0;
    DWORD seen_ = 0;  // the clipboard's sequence number last looked at
    std::optional<MessageWindow> window_;
};

}  // namespace host::win32
