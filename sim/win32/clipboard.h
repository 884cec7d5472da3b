#pragma once
// The system clipboard as Outlook and the scenarios use it: the picture PasteFace takes, content a
// user put there, and snapshots to check that an add-in gave the user's content back.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim/model/outlook_model.h"

namespace sim::win32 {

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

// Another program holding the clipboard open: a thread of its own, with its own window, opens the
// clipboard and keeps it for a while, as a clipboard monitor or a slow program does.
class ClipboardHolder {
public:
    ClipboardHolder();
    ~ClipboardHolder();  // lets go of the clipboard and waits for the thread
    ClipboardHolder(const ClipboardHolder&) = delete;
    ClipboardHolder& operator=(const ClipboardHolder&) = delete;

    // Holds the clipboard for `ms` milliseconds from now (a hold still running ends first); returns
    // once the clipboard is held, false when it could not be opened.
    bool hold(DWORD ms);
    // Closes the clipboard now (if still held) and waits for the thread.
    void release();

private:
    struct Event {
        Event() : handle(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
        ~Event() {
            if (handle) CloseHandle(handle);
        }
        Event(const Event&) = delete;
        Event& operator=(const Event&) = delete;
        HANDLE handle;
    };
    Event held_;      // set by the thread once it holds the clipboard, or has given up
    Event released_;  // set to make the thread let go early
    std::atomic<bool> opened_ = false;
    std::thread thread_;
};

}  // namespace sim::win32
