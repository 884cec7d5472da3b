#pragma once
// Other programs at the clipboard, as an add-in meets them: one that renders its content only
// when asked (delayed rendering), and one that reads the clipboard right after every change
// (clipboard history services and managers).
#include <windows.h>

#include <string>
#include <thread>

#include "sim/win32/clipboard.h"

namespace sim::win32 {

// Empties the clipboard and offers text on it as CF_UNICODETEXT, rendered on request: its window
// renders the text when asked (WM_RENDERFORMAT), taking renderMs to do so, and all of it when
// it goes while still the owner (WM_RENDERALLFORMATS). With here, the window is one of the
// calling thread (Outlook's own, as its editor would be); otherwise a thread of its own runs it.
class DelayedOwner {
public:
    DelayedOwner(bool here, DWORD renderMs, std::wstring text);
    ~DelayedOwner();
    DelayedOwner(const DelayedOwner&) = delete;
    DelayedOwner& operator=(const DelayedOwner&) = delete;

    // Whether the clipboard took the offer.
    bool offered() const { return offered_; }

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    HWND createWindow();
    bool offer() const;
    bool putText() const;

    DWORD renderMs_;
    std::wstring text_;
    HWND window_ = nullptr;
    bool offered_ = false;
    DWORD threadId_ = 0;  // of the thread of its own, when it has one
    ManualEvent ready_;
    std::thread thread_;
};

// Opens the clipboard right after every change (its thread listens with
// AddClipboardFormatListener and retries the open until it gets it) and, when the clipboard
// holds anything, keeps it open for holdMs while it would read it.
class ClipboardMonitor {
public:
    // Starts watching (a monitor running stops first); false when it cannot listen.
    bool start(DWORD holdMs);
    // Lets go of the clipboard at once, if held, and stops watching.
    void stop() { thread_.stop(); }

private:
    static void run(ProgramThread& thread, DWORD holdMs);
    // After a change: opens the clipboard and keeps it for holdMs when it holds anything.
    static void look(const ProgramThread& thread, HWND window, DWORD holdMs);

    ProgramThread thread_;
};

}  // namespace sim::win32
