#pragma once
// The port behind the form frmAddIn: its window with the controls made, as the system builds it,
// and what the user does on it. The Win32 window lives in forms/win32; the unit tests use an
// in-memory one.
#include <cstdint>
#include <functional>
#include <memory>

#include "host/desktop.h"
#include "host/object.h"

namespace zeltra {

// The form's event handlers, called by its window on the thread that made it.
class FormEvents {
public:
    // The pointer moves over the form's own surface, or over the link label Text1.
    virtual void Form_MouseMove() = 0;
    virtual void Text1_MouseMove() = 0;
    virtual void Text1_Click() = 0;
    virtual void OKButton_Click() = 0;
    virtual void GetNow_Click() = 0;
    // The window is going (the user closed it), its controls still there.
    virtual void Form_Unload() = 0;

protected:
    ~FormEvents() = default;
};

class FormWindow {
public:
    virtual ~FormWindow() = default;
    // False once the window is gone (the user closed it); its controls went with it.
    virtual bool exists() const = 0;
    // The picture of the picture box MyIcon: the button face, a 16 x 16 bitmap with 16 colours.
    virtual host::Bitmap myIconPicture() const = 0;
    // Its mask, 16 x 16 at one bit a pixel: white where the face is transparent.
    virtual host::Bitmap myIconMask() const = 0;
    // The browser control WebBrowser1, reached late-bound through IDispatch.
    virtual host::Object webBrowser1() const = 0;

    // Shows the window in front and returns once it has been hidden or closed; the thread's
    // messages run meanwhile. With an owner window (a window handle; 0 for none) it is shown as a
    // dialog box is: centred on that window and owned by it, which is disabled until the form is
    // hidden or closed. Without one it is centred on the screen. Throws when it cannot be shown.
    virtual void showModal(std::uintptr_t ownerWindow) = 0;
    virtual void hide() = 0;
    // The look of the link label Text1: underlined or not, and its text colour (0x00BBGGRR).
    virtual void setText1FontUnderline(bool underline) = 0;
    virtual void setText1ForeColor(std::uint32_t colour) = 0;

    // Destroys the window and everything it made (controls, the hosted control, pictures, its
    // window classes) and reports to the handlers no more; exists() is false from then on. A
    // modal display or a handler still running returns as after a close.
    virtual void unload() noexcept = 0;
};

// Loads the form: makes its window, hidden, with its controls, reporting to the handlers.
// Throws host::Error. The window is shared: what runs inside its message handling or its modal
// display keeps it alive until it returns.
using FormLoader = std::function<std::shared_ptr<FormWindow>(FormEvents& handlers)>;

}  // namespace zeltra
