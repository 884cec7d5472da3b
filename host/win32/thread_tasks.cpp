#include "host/win32/thread_tasks.h"

#include <utility>

#include "com/boundary.h"
#include "com/module.h"
#include "host/error.h"
#include "host/win32/last_error.h"

namespace host::win32 {
namespace {

constexpr wchar_t taskWindowClass[] = L"ZeltraThreadTasks";
constexpr UINT runTaskMessage = WM_APP + 1;

}  // namespace

void ThreadTasks::post(std::function<void()> task) {
    if (!window_) window_.emplace(taskWindowClass, &procedure, this);
    tasks_.push_back(std::move(task));
    if (!PostMessageW(window_->handle(), runTaskMessage, 0, 0)) {
        const HResult failure = lastErrorResult();
        tasks_.pop_back();
        if (tasks_.empty()) destroyWindow();
        throw Error(failure, "PostMessage task");
    }
}

void ThreadTasks::cancel() noexcept {
    tasks_.clear();
    destroyWindow();
}

void ThreadTasks::destroyWindow() noexcept { window_.reset(); }

void ThreadTasks::runNext() noexcept {
    if (tasks_.empty()) return;
    // The task may run a message loop in which these tasks are cancelled and the window goes.
    const com::ModuleObject running;
    std::function<void()> task = std::move(tasks_.front());
    tasks_.pop_front();
    try {
        task();
    } catch (...) {
        // A task reports nothing: there is no caller left to tell.
    }
    if (tasks_.empty()) destroyWindow();
}

LRESULT CALLBACK ThreadTasks::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept try {
    if (message == runTaskMessage) {
        if (auto* self = MessageWindow::ownerOf<ThreadTasks>(window)) self->runNext();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
} catch (...) {
    return com::lresultFromCaughtException(window, message, wParam, lParam);
}

}  // namespace host::win32
