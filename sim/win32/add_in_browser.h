#pragma once
// The web browser control the add-in hosts in a hidden window of its own, read as the user's
// desktop could: found by its window classes, its address read through IWebBrowser2.
#include <windows.h>

#include <optional>
#include <string>

namespace sim::win32 {

// The add-in's window (class "ZeltraFormAddIn", top level or message-only) and, inside it, the
// ActiveX host window of the browser control.
HWND addInFormWindow();
HWND browserHostIn(HWND form);

// The browser control's LocationURL; nothing when there is no such window or control, or it cannot
// tell (an empty address is returned as it is).
std::optional<std::wstring> addInBrowserAddress();

// Sends the browser control to the address, as a page shown in it would (location.replace):
// the control's Navigate, whose events the add-in sees. With posted, as a form in the page posts
// it: a few bytes as PostData, a SAFEARRAY of VT_UI1. E_FAIL without a control.
HRESULT navigateAddInBrowser(const std::wstring& address, bool posted = false);

}  // namespace sim::win32
