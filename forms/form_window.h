#pragma once
// The port behind the form frmAddIn: its window with the controls made, as the system builds it.
// The Win32 window lives in forms/win32; the unit tests use an in-memory one.
#include <functional>
#include <memory>

#include "host/desktop.h"
#include "host/object.h"

namespace zeltra {

class FormWindow {
public:
    virtual ~FormWindow() = default;
    // False once the window is gone (the user closed it); its controls went with it.
    virtual bool exists() const = 0;
    // The picture of the picture box MyIcon: the button face, a 16 x 16 bitmap with 16 colours.
    virtual host::Bitmap myIconPicture() const = 0;
    // The browser control WebBrowser1, reached late-bound through IDispatch.
    virtual host::Object webBrowser1() const = 0;
};

// Loads the form: makes its window, hidden, with its controls. Throws host::Error.
using FormLoader = std::function<std::unique_ptr<FormWindow>()>;

}  // namespace zeltra
