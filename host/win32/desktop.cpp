#include "host/win32/desktop.h"

#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "host/error.h"
#include "host/win32/last_error.h"

namespace host::win32 {

std::unique_ptr<host::ClipboardContent> SystemDesktop::saveClipboard() { return ClipboardContent::save(options_); }

void SystemDesktop::restoreClipboard(const host::ClipboardContent& saved) {
    const auto* content = dynamic_cast<const ClipboardContent*>(&saved);
    if (!content) throw Error(hresult::invalidArg, "clipboard content of another desktop");
    content->restore(options_);
}

void SystemDesktop::setClipboardPicture(const host::Bitmap& picture) {
    host::win32::setClipboardPicture(picture, options_);
}

void SystemDesktop::messageBox(std::wstring_view prompt, std::uint32_t style, std::wstring_view title) {
    const std::wstring promptText(prompt);
    const std::wstring titleText(title);
    if (MessageBoxW(GetActiveWindow(), promptText.c_str(), titleText.c_str(), style) == 0)
        throw Error(lastErrorResult(), "MessageBoxW");
}

namespace {

INPUT keyInput(WORD key, bool up) noexcept {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

// As the keyboard is now, or as this thread last saw it: the press that raised the click may
// still be in the thread's state only.
bool isDown(WORD key) noexcept { return ((GetAsyncKeyState(key) | GetKeyState(key)) & 0x8000) != 0; }

// Runs the thread's messages until the clipboard's sequence number moves on or the time is up.
bool waitForClipboardChange(DWORD before, DWORD milliseconds) {
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam));  // for the loop that owns it
                return GetClipboardSequenceNumber() != before;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (GetClipboardSequenceNumber() != before) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(deadline - now), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

}  // namespace

std::vector<INPUT> copyChord(std::span<const WORD> heldModifiers, bool controlHeld) {
    std::vector<INPUT> inputs;
    if (!controlHeld) inputs.push_back(keyInput(VK_CONTROL, false));
    for (const WORD key : heldModifiers) inputs.push_back(keyInput(key, true));
    inputs.push_back(keyInput('C', false));
    inputs.push_back(keyInput('C', true));
    for (auto key = heldModifiers.rbegin(); key != heldModifiers.rend(); ++key) inputs.push_back(keyInput(*key, false));
    if (!controlHeld) inputs.push_back(keyInput(VK_CONTROL, true));
    return inputs;
}

bool SystemDesktop::copySelection() {
    constexpr WORD modifiers[] = {VK_LSHIFT, VK_RSHIFT, VK_LMENU, VK_RMENU, VK_LWIN, VK_RWIN};
    std::vector<WORD> held;
    for (const WORD key : modifiers)
        if (isDown(key)) held.push_back(key);
    std::vector<INPUT> inputs = copyChord(held, isDown(VK_CONTROL));
    const DWORD before = GetClipboardSequenceNumber();
    const UINT count = static_cast<UINT>(inputs.size());
    if (SendInput(count, inputs.data(), sizeof(INPUT)) != count) throw Error(lastErrorResult(), "SendInput");
    constexpr DWORD copyBound = 1000;
    return waitForClipboardChange(before, copyBound);
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
