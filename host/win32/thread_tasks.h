#pragma once
// Work to run later on this thread, from whatever message loop runs next: a message-only window
// of the library's own class, made when the first task is posted and destroyed, with its class,
// once no task is left or when the tasks are cancelled. While it exists, or a task runs, the
// library counts as in use.
#include <windows.h>

#include <deque>
#include <functional>
#include <optional>

#include "host/win32/window_class.h"

namespace host::win32 {

class ThreadTasks {
public:
    ThreadTasks() = default;
    ~ThreadTasks() { cancel(); }
    ThreadTasks(const ThreadTasks&) = delete;
    ThreadTasks& operator=(const ThreadTasks&) = delete;

    // Throws host::Error when the window cannot be made or the message not posted.
    void post(std::function<void()> task);
    // Drops the tasks not yet run; a task that is running goes on to its end.
    void cancel() noexcept;
    bool pending() const noexcept { return !tasks_.empty(); }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void runNext() noexcept;
    void destroyWindow() noexcept;

    std::deque<std::function<void()>> tasks_;
    std::optional<MessageWindow> window_;
};

}  // namespace host::win32
