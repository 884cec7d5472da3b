#include "com/boundary.h"

#include "host/error.h"

namespace com {

HRESULT hresultFromCaughtException() noexcept { return static_cast<HRESULT>(host::hresultFromCaughtException()); }

LRESULT lresultFromCaughtException(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) return FALSE;
    if (message == WM_CREATE) return -1;
    return DefWindowProcW(window, message, wParam, lParam);
}

void throwIfFailed(HRESULT hr, const char* context) { host::throwIfFailed(static_cast<host::HResult>(hr), context); }

}  // namespace com
