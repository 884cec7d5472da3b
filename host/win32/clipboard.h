#pragma once
// The Win32 clipboard behind the desktop port: everything it holds saved and put back, and a
// picture put on it. What the add-in puts there carries the registered formats that keep it out
// of clipboard history, the cloud clipboard and clipboard monitors.
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "host/desktop.h"

namespace host::win32 {

struct ClipboardOptions {
    // The most a saved content holds in all; a format that would go past it fails the save.
    std::size_t maxSavedBytes = std::size_t{64} << 20;
    // Waits between the tries to open the clipboard (10, 20, 40 and 60 ms after the first,
    // second, ... failed try). Null: a wait that delivers the messages sent to the thread's
    // windows meanwhile (pauseHandlingSentMessages): the add-in runs on the host's UI thread, whose
    // windows may have to render what the holder is reading.
    void (*pause)(DWORD milliseconds) = nullptr;
    // How long the host's thread waits for the clipboard to be saved, counted from the start.
    DWORD saveBudget = 250;
};

// How often the clipboard is tried to be opened: a few times over 130 ms, or once (from a timer
// that tries again later anyway).
enum class Opening { retryBriefly, once };

// One saved format: its data as bytes, in a layout of our own for the formats that are not
// global memory (see clipboard.cpp).
struct SavedFormat {
    UINT format;
    std::vector<std::uint8_t> bytes;
};

class ClipboardContent final : public host::ClipboardContent {
public:
    // What the clipboard holds now, read on the calling thread: a format its owner renders late
    // is rendered now, for as long as the owner takes. Throws host::Error when the clipboard
    // cannot be opened, and hresult::clipboardNotSaved when a format cannot be saved (see
    // hresult.h) or, between formats, when abandoned has been set.
    [[nodiscard]] static std::unique_ptr<ClipboardContent> save(const ClipboardOptions& options = {},
                                                                const std::atomic<bool>* abandoned = nullptr);

    // Replaces the clipboard's content with this one; can be done more than once. Throws
    // host::Error when the clipboard cannot be opened or a format cannot be put back (the others
    // are put back all the same).
    void restore(const ClipboardOptions& options = {}, Opening opening = Opening::retryBriefly) const;
    // The same unless the clipboard's sequence number, read while it is open, is no longer
    // `sequence`; returns whether it put the content back.
    bool restoreUnlessChanged(DWORD sequence, const ClipboardOptions& options = {}) const;

    // In the order the clipboard listed them.
    std::span<const SavedFormat> formats() const noexcept { return formats_; }

private:
    std::vector<SavedFormat> formats_;
};

// Replaces the clipboard's content with the packed DIB, as CF_DIB exactly as given.
void setClipboardPicture(const host::Bitmap& picture, const ClipboardOptions& options = {});

// Whether the clipboard offers text (CF_UNICODETEXT or CF_TEXT); it need not be opened for that.
[[nodiscard]] bool clipboardOffersText() noexcept;
// The thread of the window that owns the clipboard's content (the one that emptied it last);
// 0 when it has no owner.
[[nodiscard]] DWORD clipboardOwnerThread() noexcept;

// The clipboard's CF_UNICODETEXT, up to its first NUL; empty when it holds none.
std::wstring clipboardText(const ClipboardOptions& options = {});
// The same unless its sequence number has moved from `sequence`, checked while it is open.
std::optional<std::wstring> clipboardTextUnlessChanged(DWORD sequence, const ClipboardOptions& options = {});
// Empties the clipboard.
void clearClipboard(const ClipboardOptions& options = {});
// Empties the clipboard unless its sequence number has moved from `sequence`, checked while it is
// open, so that no other program can copy in between; returns the sequence number of the emptied
// clipboard once closed, or nothing when it had moved, or another program has copied since.
std::optional<DWORD> clearClipboardUnlessChanged(DWORD sequence, const ClipboardOptions& options = {});

}  // namespace host::win32
