#pragma once
// The Win32 clipboard behind the desktop port: everything it holds saved and put back, and a
// picture put on it. What the add-in puts there carries the registered formats that keep it out
// of clipboard history, the cloud clipboard and clipboard monitors.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "host/desktop.h"

namespace host::win32 {

struct ClipboardOptions {
    // The most a saved content holds in all; a format that would go past it is left out.
    std::size_t maxSavedBytes = std::size_t{64} << 20;
    // Waits between the tries to open the clipboard (10, 20, 40 and 60 ms after the first,
    // second, ... failed try). Null: Sleep. The add-in runs on the host's UI thread.
    void (*pause)(DWORD milliseconds) = nullptr;
};

// One saved format: its data as bytes, in a layout of our own for the formats that are not
// global memory (see clipboard.cpp).
struct SavedFormat {
    UINT format;
    std::vector<std::uint8_t> bytes;
};

class ClipboardContent final : public host::ClipboardContent {
public:
    // What the clipboard holds now. Throws host::Error when it cannot be opened.
    [[nodiscard]] static std::unique_ptr<ClipboardContent> save(const ClipboardOptions& options = {});

    // Replaces the clipboard's content with this one; can be done more than once. Throws
    // host::Error when the clipboard cannot be opened or a format cannot be put back (the others
    // are put back all the same).
    void restore(const ClipboardOptions& options = {}) const;

    // In the order the clipboard listed them.
    std::span<const SavedFormat> formats() const noexcept { return formats_; }

private:
    std::vector<SavedFormat> formats_;
};

// Replaces the clipboard's content with the packed DIB, as CF_DIB exactly as given.
void setClipboardPicture(const host::Bitmap& picture, const ClipboardOptions& options = {});

// The clipboard's CF_UNICODETEXT, up to its first NUL; empty when it holds none.
std::wstring clipboardText(const ClipboardOptions& options = {});
// Empties the clipboard.
void clearClipboard(const ClipboardOptions& options = {});

}  // namespace host::win32
