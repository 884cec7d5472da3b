#pragma once
// The form frmAddIn: besides being the welcome window it carries, hidden, the button face
// picture and the browser control every launch goes through. The instance is created on first
// use and loaded (its window made) when one of its controls is first reached; the program never
// unloads it, and when the user has closed its window the next reach loads it again.
#include "forms/form_window.h"
#include "modules/mod_outlook.h"

namespace zeltra {

class FrmAddIn {
public:
    explicit FrmAddIn(FormLoader load) : load_(std::move(load)) {}

    // MyIcon's picture; loads the form if needed.
    host::Bitmap myIconPicture() { return loaded().myIconPicture(); }
    // WebBrowser1; loads the form if needed.
    host::Object webBrowser1() { return loaded().webBrowser1(); }

    // Captures the selection into strSelection, also when it is empty. False when the capture
    // could not be made; strSelection is left as it was then.
    bool DoIt(ModOutlook& module, host::Desktop& desktop);

    bool isLoaded() const { return window_ && window_->exists(); }

private:
    FormWindow& loaded();

    FormLoader load_;
    std::unique_ptr<FormWindow> window_;
};

}  // namespace zeltra
