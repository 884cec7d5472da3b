#pragma once
// The system clipboard as Outlook and the scenarios use it: the picture PasteFace takes, content a
// user put there, and snapshots to check that an add-in gave the user's content back.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim/model/outlook_model.h"

namespace sim::win32 {

// The clipboard opened for a window for the time of one use. Another program may hold it for a
// moment: a few tries over some tens of milliseconds, as is common practice.
class OpenedClipboard {
public:
    explicit OpenedClipboard(HWND owner);
    ~OpenedClipboard();
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;
    explicit operator bool() const { return open_; }

private:
    bool open_ = false;
};

// Puts a copy of the bytes on the open clipboard in that format; false when it takes no data.
bool addData(UINT format, const void* bytes, std::size_t size);

class Clipboard {
public:
    Clipboard();
    ~Clipboard();
    Clipboard(const Clipboard&) = delete;
    Clipboard& operator=(const Clipboard&) = delete;

    // The clipboard's picture as a packed DIB (CF_DIB, or CF_BITMAP converted); nothing when it
    // holds no bitmap or cannot be opened.
    std::optional<Picture> picture() const;
    // The clipboard's CF_UNICODETEXT, or nothing.
    std::optional<std::wstring> text() const;

    // What a user does; false when the clipboard cannot be opened or takes no data.
    bool setText(const std::wstring& text);  // empties the clipboard first
    bool addBitmap();   // adds testBitmap() as CF_DIB to what the clipboard holds
    bool addPrivate();  // adds privateBytes() under the format privateFormatName
    // What a copied attachment offers: a file descriptor ("FileGroupDescriptorW") and the file's
    // bytes ("FileContents"), which its data object gives one file at a time and the clipboard
    // cannot render. Added to what the simulator's own content holds; false when another window
    // owns the clipboard (only its owner may offer formats to render later).
    bool addFileContents();
    // CF_OWNERDISPLAY, which the owner draws itself; the same condition.
    bool addOwnerDisplay();
    static Picture testBitmap();  // 8x8, 24 bits per pixel
    static std::vector<std::uint8_t> privateBytes();
    static constexpr const wchar_t* privateFormatName = L"Zeltra Test Private";

    // Every format the clipboard holds with its bytes, in the clipboard's order; formats the system
    // synthesises from others, and the markers an add-in may add for clipboard monitors, left out.
    struct Format {
        UINT id;
        std::wstring name;
        std::optional<std::vector<std::uint8_t>> bytes;  // none for a GDI handle format
        friend bool operator==(const Format&, const Format&) = default;
    };
    std::optional<std::vector<Format>> snapshot() const;
    // What differs between two snapshots, "" when nothing does.
    static std::wstring differences(const std::vector<Format>& before, const std::vector<Format>& after);
    static std::wstring describe(const std::vector<Format>& formats);
    static DWORD sequenceNumber() { return GetClipboardSequenceNumber(); }

private:
    HWND owner_;  // the simulator's window that opens the clipboard
};

// A manual-reset event, not set at first.
struct ManualEvent {
    ManualEvent() : handle(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~ManualEvent() {
        if (handle) CloseHandle(handle);
    }
    ManualEvent(const ManualEvent&) = delete;
    ManualEvent& operator=(const ManualEvent&) = delete;
    HANDLE handle;
};

// The thread of another program: started, waited for until it is ready, told to stop, joined.
// Waits for the event, handling meanwhile the messages sent to this thread's windows: a program
// that empties the clipboard sends its owner, often a window of Outlook's thread, WM_DESTROYCLIPBOARD.
void waitHandlingSentMessages(HANDLE event);

class ProgramThread {
public:
    ProgramThread() = default;
    ~ProgramThread() { stop(); }
    ProgramThread(const ProgramThread&) = delete;
    ProgramThread& operator=(const ProgramThread&) = delete;

    // Runs body on a thread of its own (a thread still running stops first) and returns once body
    // has called ready(ok): ok. A thread that is not ok is joined before this returns.
    bool start(std::function<void(ProgramThread&)> body);
    void ready(bool ok);
    // Set when the thread is to stop.
    HANDLE stopping() const { return stop_.handle; }
    // Handles the thread's messages, as a program's loop does (the clipboard sends its owner
    // WM_DESTROYCLIPBOARD when another program empties it), until told to stop or ms have passed.
    void runMessagesUntilStopped(DWORD ms) const;
    void stop();

private:
    ManualEvent ready_;
    ManualEvent stop_;
    std::atomic<bool> ok_ = false;
    std::thread thread_;
};

// Another program holding the clipboard open: a thread of its own, with its own window, opens the
// clipboard and keeps it for a while, as a clipboard monitor or a slow program does.
class ClipboardHolder {
public:
    // Holds the clipboard for `ms` milliseconds from now (a hold still running ends first); returns
    // once the clipboard is held, false when it could not be opened.
    bool hold(DWORD ms);
    // Closes the clipboard now (if still held) and waits for the thread.
    void release() { thread_.stop(); }

private:
    ProgramThread thread_;
};

// Another program that copies text: a thread of its own empties the clipboard and puts the text
// there for a window of its own, which stays (the clipboard's owner) until the next copy or the end.
class OtherProgramCopy {
public:
    bool copy(const std::wstring& text);

private:
    ProgramThread thread_;
};

}  // namespace sim::win32
