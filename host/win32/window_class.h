#pragma once
// A window class of the library, registered with the library's module handle for as long as this
// object lives. Windows does not unregister a library's classes when the library unloads, so each
// class goes with its owner: a class left behind would keep a window procedure that may no longer
// be mapped.
#include <windows.h>

#include "com/module.h"

namespace host::win32 {

class WindowClass {
public:
    // Registers the class unless the module has it already. Throws host::Error.
    WindowClass(const wchar_t* name, WNDPROC procedure, HMODULE module, HCURSOR cursor = nullptr);
    // Fails, harmlessly, while a window of the class is alive.
    ~WindowClass() { UnregisterClassW(name_, module_); }
    WindowClass(const WindowClass&) = delete;
    WindowClass& operator=(const WindowClass&) = delete;

    const wchar_t* name() const noexcept { return name_; }

private:
    const wchar_t* name_;
    HMODULE module_;
};

// A message-only window of a class of the library's own, for work the thread's own message loop
// finishes later. The class is registered while the window lives, and the library counts as in
// use meanwhile. The procedure finds its owner with ownerOf().
class MessageWindow {
public:
    // Throws host::Error when the class or the window cannot be made.
    MessageWindow(const wchar_t* className, WNDPROC procedure, void* owner);
    // The procedure gets no owner from here on.
    ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    HWND handle() const noexcept { return window_; }
    template <class Owner>
    static Owner* ownerOf(HWND window) noexcept {
        return reinterpret_cast<Owner*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    }

private:
    WindowClass class_;
    HWND window_;
    com::ModuleObject inUse_;
};

}  // namespace host::win32
