#include "host/win32/window_class.h"

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

}  // namespace host::win32
