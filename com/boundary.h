#pragma once
// The edge between the library and its callers: nothing thrown inside may cross it. Every COM
// method, export and window procedure has the shape
//
//     HRESULT Method(...) noexcept try { ... } catch (...) { return com::hresultFromCaughtException(); }
//
// with its whole body inside the try, so that the compiler holds it to the rule.
#include <windows.h>

namespace com {

// The HRESULT standing for the exception being handled: a host::Error's own code, E_OUTOFMEMORY
// for an allocation failure, E_UNEXPECTED for anything else. Call only inside a catch block.
[[nodiscard]] HRESULT hresultFromCaughtException() noexcept;

// What a window procedure returns when handling a message threw: creation is refused, and any
// other message gets the default handling.
[[nodiscard]] LRESULT lresultFromCaughtException(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

// Throws host::Error carrying hr when it is a failure.
void throwIfFailed(HRESULT hr, const char* context);

}  // namespace com
