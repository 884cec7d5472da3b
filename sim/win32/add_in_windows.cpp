#include "sim/win32/add_in_windows.h"

namespace sim::win32 {
namespace {

thread_local AddInWindowWatcher* watcher = nullptr;

}  // namespace

AddInWindowWatcher::AddInWindowWatcher(IsAddInWindow isAddInWindow, Listener listener)
    : isAddInWindow_(std::move(isAddInWindow)),
      listener_(std::move(listener)),
      hook_(SetWindowsHookExW(WH_CALLWNDPROCRET, &AddInWindowWatcher::afterWindowProc, nullptr, GetCurrentThreadId())) {
    watcher = this;
}

AddInWindowWatcher::~AddInWindowWatcher() {
    if (hook_) UnhookWindowsHookEx(hook_);
    watcher = nullptr;
}

LRESULT CALLBACK AddInWindowWatcher::afterWindowProc(int code, WPARAM wParam, LPARAM lParam) noexcept {
    try {
        const auto* message = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        if (code == HC_ACTION && watcher && message->message == WM_SHOWWINDOW && message->wParam &&
            !(GetWindowLongW(message->hwnd, GWL_STYLE) & WS_CHILD) && watcher->isAddInWindow_(message->hwnd))
            watcher->listener_(message->hwnd);
    } catch (...) {
        // Nothing may cross into the system's message dispatch.
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace sim::win32
