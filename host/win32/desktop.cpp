#include "host/win32/desktop.h"

#include <commctrl.h>
#include <shellapi.h>

#include <iterator>
#include <optional>
#include <string>

#include "host/error.h"
#include "host/win32/clipboard_worker.h"
#include "host/win32/dispatch.h"
#include "host/win32/last_error.h"
#include "host/win32/picture.h"

namespace host::win32 {

std::unique_ptr<host::ClipboardContent> SystemDesktop::saveClipboard() {
    if (!guard_.end()) throw Error(hresult::clipboardCannotOpen, "the last capture's content is still to be put back");
    return saveClipboardWithinBudget(options_);
}

namespace {

const ClipboardContent& ours(const host::ClipboardContent& saved) {
    const auto* content = dynamic_cast<const ClipboardContent*>(&saved);
    if (!content) throw Error(hresult::invalidArg, "clipboard content of another desktop");
    return *content;
}

}  // namespace

void SystemDesktop::restoreClipboard(const host::ClipboardContent& saved) { ours(saved).restore(options_); }

bool SystemDesktop::restoreClipboardUnlessChanged(const host::ClipboardContent& saved, std::uint32_t sequence) {
    return ours(saved).restoreUnlessChanged(sequence, options_);
}

void SystemDesktop::setClipboardPicture(const host::Bitmap& picture) {
    host::win32::setClipboardPicture(picture, options_);
}

host::Object SystemDesktop::pictureOf(const host::Bitmap& picture) {
    const com::ComPtr<IPictureDisp> made = pictureFromDib(picture.dib);
    return ::win32::wrapDispatch(made.get());
}

void SystemDesktop::messageBox(std::wstring_view prompt, std::uint32_t style, std::wstring_view title) {
    const std::wstring promptText(prompt);
    const std::wstring titleText(title);
    if (MessageBoxW(GetActiveWindow(), promptText.c_str(), titleText.c_str(), style) == 0)
        throw Error(lastErrorResult(), "MessageBoxW");
}

namespace {

// By host::ChordKey.
constexpr WORD virtualKeys[] = {VK_CONTROL, VK_LSHIFT, VK_RSHIFT, VK_LMENU, VK_RMENU, VK_LWIN, VK_RWIN, 'C'};
static_assert(std::size(virtualKeys) == static_cast<std::size_t>(host::ChordKey::c) + 1);

WORD virtualKey(host::ChordKey key) noexcept { return virtualKeys[static_cast<std::size_t>(key)]; }

// Runs the thread's messages until the chord's thread has put content that offers text on the
// clipboard, another program has changed it, or the time is up. A change of the chord's thread
// without text (a program that empties the clipboard first) is passed by. A clipboard without an
// owner (a program that opened it for no window) cannot be told apart and counts as the copy's.
host::CopyResult waitForCopy(DWORD before, DWORD chordThread, DWORD milliseconds) {
    DWORD seen = before;
    const auto outcome = [&]() -> std::optional<host::CopyResult> {
        const DWORD now = GetClipboardSequenceNumber();
        if (now == seen) return std::nullopt;
        seen = now;
        const HWND owner = GetClipboardOwner();
        if (owner && GetWindowThreadProcessId(owner, nullptr) != chordThread) return host::CopyResult::overtaken;
        if (clipboardOffersText()) return host::CopyResult::copied;
        return std::nullopt;
    };
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam));  // for the loop that owns it
                return outcome().value_or(host::CopyResult::notCopied);
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
            // After each message: another program's copy followed at once by the window's would
            // otherwise pass for the window's.
            if (const auto result = outcome()) return *result;
        }
        if (const auto result = outcome()) return *result;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return host::CopyResult::notCopied;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(deadline - now), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

}  // namespace

host::HeldKeys physicallyHeldKeys() noexcept {
    host::HeldKeys held;
    if (GetAsyncKeyState(VK_CONTROL) & 0x8000) held.press(host::ChordKey::control);
    for (const host::ChordKey key : host::otherModifiers)
        if (GetAsyncKeyState(virtualKey(key)) & 0x8000) held.press(key);
    return held;
}

std::vector<INPUT> keyboardInputs(std::span<const host::KeyStroke> strokes) {
    std::vector<INPUT> inputs;
    for (const host::KeyStroke& stroke : strokes) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = virtualKey(stroke.key);
        input.ki.dwFlags = stroke.up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(input);
    }
    return inputs;
}

host::CopyResult SystemDesktop::copySelection() {
    std::vector<INPUT> inputs = keyboardInputs(host::copyChord(physicallyHeldKeys()));
    // The keystrokes go to the focus of the foreground window's thread; a copy it makes is owned
    // by a window of that thread.
    chordThread_ = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    const DWORD before = GetClipboardSequenceNumber();
    const UINT count = static_cast<UINT>(inputs.size());
    if (SendInput(count, inputs.data(), sizeof(INPUT)) != count) {
        chordThread_ = 0;
        throw Error(lastErrorResult(), "SendInput");
    }
    constexpr DWORD copyBound = 1000;
    const host::CopyResult result = waitForCopy(before, chordThread_, copyBound);
    // Overtaken, the chord's keys this thread has not read yet are taken back: its window would
    // copy over the other program's newer content.
    if (result == host::CopyResult::overtaken && chordThread_ == GetCurrentThreadId()) {
        MSG key;
        while (PeekMessageW(&key, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
        }
    }
    return result;
}

void SystemDesktop::guardClipboard(std::shared_ptr<const host::ClipboardContent> saved, bool restored,
                                   bool copyOutstanding) noexcept {
    guard_.start(std::dynamic_pointer_cast<const ClipboardContent>(std::move(saved)), restored,
                 copyOutstanding ? chordThread_ : 0);
}

// The library is loaded and never freed: the classes it registers live in it, and windows of those
// classes may outlast this object, so freeing it could unload the code under them. Each call adds
// one more reference to a library the process keeps anyway.
void initCommonControlClasses(std::uint32_t classes) noexcept {
    const HMODULE library = LoadLibraryW(L"comctl32.dll");
    if (!library) return;
    using InitFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    const auto init = reinterpret_cast<InitFunction>(
        reinterpret_cast<void*>(GetProcAddress(library, "InitCommonControlsEx")));
    if (!init) return;
    const INITCOMMONCONTROLSEX controls{sizeof controls, classes};
    init(&controls);
}

void SystemDesktop::initCommonControls(std::uint32_t classes) noexcept { initCommonControlClasses(classes); }

void SystemDesktop::openWithShell(std::wstring_view address) noexcept try {
    const std::wstring file(address);
    // No parameters and no working directory: the address alone, opened in front.
    ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
} catch (...) {
    // Only the copy of the address can fail; the press goes on as if the page had opened.
}

}  // namespace host::win32
