#pragma once
// The form frmAddIn: the welcome window, which also carries, hidden, the button face picture and
// the browser control every launch goes through. The instance is created on first use and
// loaded (its window made) when it is shown or one of its controls is first reached. It is
// unloaded when the add-in's last connection ends; after that, or after the user has closed its
// window, the next use loads it again.
#include "forms/form_window.h"
#include "modules/mod_outlook.h"
#include "modules/selection.h"

namespace zeltra {

class Component;

class FrmAddIn final : private FormEvents {
public:
    FrmAddIn(FormLoader load, Component& component) : load_(std::move(load)), component_(component) {}
    // The window goes last: its going reaches Form_Unload, which must find the members there.
    ~FrmAddIn() { Unload(); }
    FrmAddIn(const FrmAddIn&) = delete;
    FrmAddIn& operator=(const FrmAddIn&) = delete;

    // MyIcon's picture; loads the form if needed.
    host::Bitmap myIconPicture() { return loaded().myIconPicture(); }
    host::Bitmap myIconMask() { return loaded().myIconMask(); }
    // WebBrowser1; loads the form if needed.
    host::Object webBrowser1() { return loaded().webBrowser1(); }
    // Shows the form modally to the window (0: none, then centred on the screen and owned by a
    // hidden window of the form's); loads it if needed.
    void Show(std::uintptr_t ownerWindow) { loaded().showModal(ownerWindow); }

    // Takes the selection from the source into strSelection, also when it is empty, then runs
    // `then`: at once where the source has it at hand, later from the thread's message loop where
    // it must be copied first. Nothing happens when it cannot be had, or while another capture is
    // running (a second press while the first one's copy is awaited); strSelection is left as it
    // was then.
    void DoIt(SelectionSource& source, std::function<void()> then);

    // Gives up the browser control and destroys the window with everything it made. A modal
    // display still running returns.
    void Unload() noexcept;

    bool isLoaded() const { return window_ && window_->exists(); }

private:
    FormWindow& loaded();

    void Form_MouseMove() override;
    void Text1_MouseMove() override;
    void Text1_Click() override;
    void OKButton_Click() override;
    void GetNow_Click() override;
    void Form_Unload() override;
    // The hidden browser control shows nothing but the redirect page: anything else it is sent
    // to, in its own frame or a new window, is cancelled and handed to the user's browser when
    // it is a web address.
    void WebBrowser1_BeforeNavigate2(const host::Variant& frame, const host::Variant& url, host::Variant& cancel);
    void WebBrowser1_NewWindow3(host::Variant& cancel, const host::Variant& url);

    FormLoader load_;
    Component& component_;
    std::shared_ptr<FormWindow> window_;
    host::Object browser_;                // WebBrowser1 while the window exists
    host::EventConnection browserEvents_;  // ended before the window goes
};

}  // namespace zeltra
