#pragma once
// The desktop port over Win32: the clipboard, MessageBoxW, the common controls and ShellExecuteW.
#include <windows.h>

#include <span>
#include <vector>

#include "host/copy_chord.h"
#include "host/desktop.h"
#include "host/win32/clipboard.h"
#include "host/win32/clipboard_guard.h"
#include "host/win32/copy_wait.h"
#include "host/win32/thread_tasks.h"

namespace host::win32 {

// The window with the keyboard focus of the foreground window's thread, where keystrokes go; null
// when there is none.
[[nodiscard]] HWND keyboardFocus() noexcept;

// The keys of the chord as they are on the keyboard now (GetAsyncKeyState), not as this thread
// last saw them.
[[nodiscard]] host::HeldKeys physicallyHeldKeys() noexcept;
// The keystrokes as SendInput takes them.
[[nodiscard]] std::vector<INPUT> keyboardInputs(std::span<const host::KeyStroke> strokes);

// Registers the common-control classes named by the ICC_* flags with InitCommonControlsEx, bound
// by name: the library does not import comctl32. A missing library or function is ignored.
void initCommonControlClasses(std::uint32_t classes) noexcept;

class SystemDesktop final : public host::Desktop {
public:
    explicit SystemDesktop(ClipboardOptions options = {}, GuardOptions guardOptions = {}) noexcept
        : options_(options), guard_(options, guardOptions) {}

    // On a worker thread, within options.saveBudget (clipboard_worker.h).
    std::unique_ptr<host::ClipboardContent> saveClipboard() override;
    // Puts back content this desktop saved; any other kind is refused with E_INVALIDARG.
    void restoreClipboard(const host::ClipboardContent& saved) override;
    bool restoreClipboardUnlessChanged(const host::ClipboardContent& saved, std::uint32_t sequence) override;
    void setClipboardPicture(const host::Bitmap& picture) override;
    host::Object pictureOf(const host::Bitmap& picture) override;
    std::wstring clipboardText() override { return host::win32::clipboardText(options_); }
    std::optional<std::wstring> clipboardTextUnlessChanged(std::uint32_t sequence) override {
        return host::win32::clipboardTextUnlessChanged(sequence, options_);
    }
    void clearClipboard() override { host::win32::clearClipboard(options_); }
    std::optional<std::uint32_t> clearClipboardUnlessChanged(std::uint32_t sequence) override {
        return host::win32::clearClipboardUnlessChanged(sequence, options_);
    }
    bool focusIsInTextView() noexcept override;
    [[nodiscard]] bool sendCopyChord(std::uint32_t unchangedSince, std::function<void(host::CopyOutcome)> done) override;
    void cancelCopyChord() noexcept override { copyWait_.cancel(); }
    std::uint32_t clipboardSequenceNumber() noexcept override { return GetClipboardSequenceNumber(); }
    // A late copy is told by the thread of the window that owns the clipboard after it: the
    // thread of the focus window when the Ctrl+C was sent. Content of another desktop is
    // not looked after.
    void guardClipboard(std::shared_ptr<const host::ClipboardContent> saved, bool restored,
                        bool copyOutstanding) noexcept override;
    void endClipboardGuard() noexcept override { (void)guard_.end(); }
    [[nodiscard]] bool guarding() const noexcept { return guard_.active(); }
    // Owned by the calling thread's active window, if it has one.
    void messageBox(std::wstring_view prompt, std::uint32_t style, std::wstring_view title) override;
    void initCommonControls(std::uint32_t classes) noexcept override;
    void openWithShell(std::wstring_view address) noexcept override;
    void postTask(std::function<void()> task) override { tasks_.post(std::move(task)); }
    void cancelPostedTasks() noexcept override { tasks_.cancel(); }

private:
    ClipboardOptions options_;
    ThreadTasks tasks_;
    ClipboardGuard guard_;
    CopyWait copyWait_;
    DWORD chordThread_ = 0;  // of the window the last Ctrl+C went to
};

}  // namespace host::win32
