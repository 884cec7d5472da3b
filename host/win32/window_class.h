#pragma once
// A window class of the library, registered with the library's module handle for as long as this
// object lives. Windows does not unregister a library's classes when the library unloads, so each
// class goes with its owner: a class left behind would keep a window procedure that may no longer
// be mapped.
#include <windows.h>

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

}  // namespace host::win32
