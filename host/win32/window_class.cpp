#include "host/win32/window_class.h"

#include "com/module.h"

#include "host/error.h"
#include "host/win32/last_error.h"

namespace host::win32 {

WindowClass::WindowClass(const wchar_t* name, WNDPROC procedure, HMODULE module, HCURSOR cursor)
    : name_(name), module_(module) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(module_, name_, &existing)) return;
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = module_;
    windowClass.hCursor = cursor;
    windowClass.lpszClassName = name_;
    if (!RegisterClassExW(&windowClass)) throw Error(lastErrorResult(), "RegisterClassEx");
}

MessageWindow::MessageWindow(const wchar_t* className, WNDPROC procedure, void* owner)
    : class_(className, procedure, com::moduleHandle()),
      window_(CreateWindowExW(0, className, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, com::moduleHandle(),
                              nullptr)) {
    if (!window_) throw Error(lastErrorResult(), "CreateWindowEx message window");
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
}

MessageWindow::~MessageWindow() {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
}

}  // namespace host::win32
