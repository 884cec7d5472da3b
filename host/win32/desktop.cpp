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

HWND keyboardFocus() noexcept {
    GUITHREADINFO input{};
    input.cbSize = sizeof input;
    if (!GetGUIThreadInfo(0, &input)) return nullptr;  // 0: the foreground window's thread
    return input.hwndFocus;
}

bool SystemDesktop::focusIsInTextView() noexcept {
    const HWND focus = keyboardFocus();
    if (!focus) return false;
    wchar_t windowClass[256] = L"";
    if (!GetClassNameW(focus, windowClass, 256)) return false;
    return host::copiesSelectedText(windowClass);
}

bool SystemDesktop::sendCopyChord(std::uint32_t unchangedSince, std::function<void(host::CopyOutcome)> done) {
    std::vector<INPUT> inputs = keyboardInputs(host::copyChord(physicallyHeldKeys()));
    // A copy the focus window makes is owned by a window of its thread (with OleSetClipboard, the
    // thread's OLE clipboard window).
    chordThread_ = GetWindowThreadProcessId(keyboardFocus(), nullptr);
    // Listening before the keys go: the copy may come at once. A change since unchangedSince that
    // came before the listener is another program's copy, which the window's would overwrite.
    constexpr DWORD copyBound = 1000;
    copyWait_.start(chordThread_, copyBound, unchangedSince, std::move(done));
    if (GetClipboardSequenceNumber() != unchangedSince) {
        copyWait_.cancel();
        return false;
    }
    const UINT count = static_cast<UINT>(inputs.size());
    if (SendInput(count, inputs.data(), sizeof(INPUT)) != count) {
        const HResult failure = lastErrorResult();
        copyWait_.cancel();
        chordThread_ = 0;
        throw Error(failure, "SendInput");
    }
    return true;
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
