#pragma once
// The Win32 window of the form frmAddIn: a top-level window of our own class, made hidden. It is
// the welcome window (logo, version, welcome text, link label) and holds, below its client area,
// the buttons GetNow and OKButton, the picture box MyIcon (the button face) and WebBrowser1 (the
// system's WebBrowser control hosted through atl.dll).
#include <memory>

#include "forms/form_window.h"

namespace zeltra::forms::win32 {

// The window class of the form, registered with the library's module handle.
inline constexpr wchar_t formWindowClass[] = L"ZeltraFormAddIn";

// Loads the form: makes its window, hidden, with its controls, reporting to the handlers. Throws
// host::Error when the window or a control cannot be made, leaving nothing behind. A
// zeltra::FormLoader.
std::shared_ptr<FormWindow> loadFormWindow(FormEvents& handlers);

}  // namespace zeltra::forms::win32
