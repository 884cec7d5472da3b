#pragma once
// Sees each top-level window an add-in shows on the simulator's thread: a window of a class that
// one of the add-in libraries registered, reported once its WM_SHOWWINDOW has been handled.
#include <windows.h>

#include <functional>

namespace sim::win32 {

class AddInWindowWatcher {
public:
    using IsAddInWindow = std::function<bool(HWND)>;
    using Listener = std::function<void(HWND)>;
    // Watches the calling thread's windows until destroyed; one watcher per thread.
    AddInWindowWatcher(IsAddInWindow isAddInWindow, Listener listener);
    ~AddInWindowWatcher();
    AddInWindowWatcher(const AddInWindowWatcher&) = delete;
    AddInWindowWatcher& operator=(const AddInWindowWatcher&) = delete;

private:
    static LRESULT CALLBACK afterWindowProc(int code, WPARAM wParam, LPARAM lParam) noexcept;

    IsAddInWindow isAddInWindow_;
    Listener listener_;
    HHOOK hook_;
};

}  // namespace sim::win32
