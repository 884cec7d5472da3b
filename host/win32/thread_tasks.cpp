#include "host/win32/thread_tasks.h"

#include <utility>

#include "com/boundary.h"
#include "host/error.h"
#include "host/win32/last_error.h"

namespace host::win32 {
namespace {

constexpr wchar_t taskWindowClass[] = L"ZeltraThreadTasks";
constexpr UINT runTaskMessage = WM_APP + 1;

}  // namespace

void ThreadTasks::post(std::function<void()> task) {
    if (!window_) {
        if (!class_) class_.emplace(taskWindowClass, &procedure, com::moduleHandle());
        window_ = CreateWindowExW(0, taskWindowClass, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  com::moduleHandle(), nullptr);
        if (!window_) {
            const HResult failure = lastErrorResult();
            class_.reset();
            throw Error(failure, "CreateWindowEx tasks");
        }
        inUse_.emplace();
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    tasks_.push_back(std::move(task));
    if (!PostMessageW(window_, runTaskMessage, 0, 0)) {
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

void ThreadTasks::destroyWindow() noexcept {
    if (window_) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(std::exchange(window_, nullptr));
    }
    class_.reset();
    inUse_.reset();
}

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
        if (auto* self = reinterpret_cast<ThreadTasks*>(GetWindowLongPtrW(window, GWLP_USERDATA))) self->runNext();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
} catch (...) {
    return com::lresultFromCaughtException(window, message, wParam, lParam);
}

}  // namespace host::win32
