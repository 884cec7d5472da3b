#pragma once
// Finds each message box shown on the simulator's thread (by the add-in or anyone else), records
// what it shows and answers it with its default button, as a user in a hurry would.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace sim::win32 {

struct MessageBoxSeen {
    std::wstring title;
    std::wstring text;
    std::wstring icon;     // warning, error, question, information, none or other
    std::wstring buttons;  // as shown, e.g. "OK" or "Yes,No,Cancel"
    std::wstring answer;   // the button pressed
};

class MessageBoxWatcher {
public:
    using Listener = std::function<void(const MessageBoxSeen&)>;
    // Watches the calling thread's windows until destroyed; one watcher per thread.
    explicit MessageBoxWatcher(Listener listener);
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    const std::vector<MessageBoxSeen>& seen() const { return seen_; }

private:
    static LRESULT CALLBACK afterWindowProc(int code, WPARAM wParam, LPARAM lParam) noexcept;
    void found(HWND box);

    Listener listener_;
    HHOOK hook_;
    std::vector<MessageBoxSeen> seen_;
};

}  // namespace sim::win32
