#include "sim/win32/clipboard_programs.h"

namespace sim::win32 {
namespace {

constexpr wchar_t delayedOwnerClass[] = L"ZeltraSimDelayedOwner";

}  // namespace

DelayedOwner::DelayedOwner(bool here, DWORD renderMs, std::wstring text) : renderMs_(renderMs), text_(std::move(text)) {
    if (here) {
        window_ = createWindow();
        offered_ = window_ && offer();
        return;
    }
    thread_ = std::thread([this] {
        window_ = createWindow();
        threadId_ = GetCurrentThreadId();
        offered_ = window_ && offer();
        SetEvent(ready_.handle);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
        if (window_) DestroyWindow(window_);
    });
    waitHandlingSentMessages(ready_.handle);
}

// Still the owner, the window renders what it offered as it goes.
DelayedOwner::~DelayedOwner() {
    if (thread_.joinable()) {
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    } else if (window_) {
        DestroyWindow(window_);
    }
}

HWND DelayedOwner::createWindow() {
    static const ATOM registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &DelayedOwner::windowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = delayedOwnerClass;
        return RegisterClassExW(&windowClass);
    }();
    if (!registered) return nullptr;
    const HWND window = CreateWindowExW(0, delayedOwnerClass, L"Zeltra Test Delayed Owner", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                        nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window) SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return window;
}

bool DelayedOwner::offer() const {
    const OpenedClipboard open(window_);
    if (!open || !EmptyClipboard()) return false;
    SetClipboardData(CF_UNICODETEXT, nullptr);  // rendered on request
    return IsClipboardFormatAvailable(CF_UNICODETEXT);
}

bool DelayedOwner::putText() const { return addData(CF_UNICODETEXT, text_.c_str(), (text_.size() + 1) * sizeof(wchar_t)); }

// As Windows asks of an owner: WM_RENDERFORMAT puts the data on the clipboard that whoever asked
// holds open; WM_RENDERALLFORMATS opens it first, and renders only while still the owner.
LRESULT CALLBACK DelayedOwner::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    const auto* owner = reinterpret_cast<const DelayedOwner*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (owner && message == WM_RENDERFORMAT && wParam == CF_UNICODETEXT) {
        Sleep(owner->renderMs_);  // a large copy being converted, or a program that hangs a while
        owner->putText();
        return 0;
    }
    if (owner && message == WM_RENDERALLFORMATS) {
        if (OpenClipboard(window)) {
            if (GetClipboardOwner() == window) owner->putText();
            CloseClipboard();
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool ClipboardMonitor::start(DWORD holdMs) {
    return thread_.start([holdMs](ProgramThread& thread) { run(thread, holdMs); });
}

void ClipboardMonitor::run(ProgramThread& thread, DWORD holdMs) {
    const HWND window = CreateWindowExW(0, L"STATIC", L"Zeltra Test Clipboard Monitor", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                        nullptr, GetModuleHandleW(nullptr), nullptr);
    const bool listening = window && AddClipboardFormatListener(window);
    thread.ready(listening);
    const HANDLE stopping = thread.stopping();
    while (listening && MsgWaitForMultipleObjects(1, &stopping, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        bool changed = false;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_CLIPBOARDUPDATE) changed = true;
            else DispatchMessageW(&message);
        }
        if (changed) look(thread, window, holdMs);
    }
    if (listening) RemoveClipboardFormatListener(window);
    if (window) DestroyWindow(window);
}

void ClipboardMonitor::look(const ProgramThread& thread, HWND window, DWORD holdMs) {
    // At once: the program that changed it, or another reader, may still hold it for a moment.
    while (!OpenClipboard(window))
        if (WaitForSingleObject(thread.stopping(), 1) == WAIT_OBJECT_0) return;
    if (CountClipboardFormats() > 0) WaitForSingleObject(thread.stopping(), holdMs);
    CloseClipboard();
}

}  // namespace sim::win32
