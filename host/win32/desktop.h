#pragma once
// The desktop port over Win32: the clipboard, MessageBoxW and the common controls.
#include <windows.h>

#include "host/desktop.h"
#include "host/win32/clipboard.h"

namespace host::win32 {

class SystemDesktop final : public host::Desktop {
public:
    explicit SystemDesktop(ClipboardOptions options = {}) noexcept : options_(options) {}

    std::unique_ptr<host::ClipboardContent> saveClipboard() override;
    // Puts back content this desktop saved; any other kind is refused with E_INVALIDARG.
    void restoreClipboard(const host::ClipboardContent& saved) override;
    void setClipboardPicture(const host::Bitmap& picture) override;
    std::uint32_t clipboardSequenceNumber() noexcept override { return GetClipboardSequenceNumber(); }
    // Owned by the calling thread's active window, if it has one.
    void messageBox(std::wstring_view prompt, std::uint32_t style, std::wstring_view title) override;
    void initCommonControls(std::uint32_t classes) noexcept override;

private:
    ClipboardOptions options_;
};

}  // namespace host::win32
