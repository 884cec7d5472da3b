#pragma once
// What one initialised component holds: the module-level data of modOutlook, the form's default
// instance, and the system services the logic reaches them through. There is one per apartment
// that initialises the component (in the host, its main thread).
//
// The host may connect the add-in, disconnect it and connect it again in one session (the user
// unticks and ticks it in the COM Add-ins dialog). The form, its browser control and the work
// posted to the thread exist only while a connection exists: the end of the apartment's last
// connection releases them, so that the library can unload, and the next use makes them again.
#include <functional>
#include <memory>
#include <vector>

#include "forms/frm_add_in.h"
#include "host/automation.h"
#include "host/desktop.h"
#include "host/outlook.h"
#include "host/product_keys.h"
#include "modules/mod_outlook.h"
#include "modules/selection_capture.h"

namespace zeltra {

class Component {
public:
    Component(host::Desktop& desktopServices, host::ObjectFactory& objectFactory, host::ProductKeys& productKeys,
              FormLoader loadForm)
        : desktop(desktopServices), objects(objectFactory), keys(productKeys), loadForm_(std::move(loadForm)) {}
    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;

    ModOutlook modOutlook;
    host::Desktop& desktop;
    host::ObjectFactory& objects;
    host::ProductKeys& keys;

    // The default instance of frmAddIn, created on first use and kept for the life of the
    // component; its window and controls go at the end of the last connection.
    FrmAddIn& frmAddIn() {
        if (!frmAddIn_) frmAddIn_ = std::make_unique<FrmAddIn>(loadForm_, *this);
        return *frmAddIn_;
    }
    bool frmAddInExists() const { return frmAddIn_ != nullptr; }
    // The handle of Outlook's active window (its Explorer's or Inspector's, through IOleWindow),
    // which owns the add-in's modal windows; 0 when there is none or Outlook cannot tell.
    std::uintptr_t outlookWindow() noexcept;

    // The form's own application object, a reference of its own created from the host's
    // application class on first use. Released when the add-in disconnects: a reference kept
    // past that would keep the host from shutting down.
    const host::Application& formApplication() {
        if (formApplication_.isNothing())
            formApplication_ = host::Application::from(objects.create(host::iid::OutlookApplicationClass, host::iid::Application));
        return formApplication_;
    }
    void releaseFormApplication() noexcept { formApplication_ = host::Application(); }

    // The major version of the Outlook that connected the add-in (14 for Outlook 2010), 0 when it
    // could not be read.
    int outlookVersion = 0;
    // Outlook 2007 and later serve the add-in's ribbon in every item window, which then needs no
    // command-bar button.
    bool ribbonServesItemWindows() const noexcept { return outlookVersion >= 12; }

    // The ribbons Outlook loaded (IRibbonUI), kept to have their controls asked again when what
    // they show changes; released with the last connection.
    void keepRibbon(const host::Object& ribbon) { ribbons_.push_back(ribbon.newReference()); }
    // Asks every loaded ribbon to ask the add-in's button again (enabled or not).
    void invalidateRibbons() noexcept;
    // The add-in's ribbon button, in every ribbon's XML.
    static constexpr const wchar_t* ribbonButtonId = L"ZeltraButton";

    // --- Connections of this apartment's Connect objects. ---
    void connectionStarted() noexcept { ++connections_; }
    // The last one releases what the connections used.
    void connectionEnded() noexcept;
    bool connected() const noexcept { return connections_ > 0; }
    // Releases the form and the posted work unless a connection exists: for an event hub a
    // client created on its own, whose buttons made the form.
    void releaseIfNotConnected() noexcept;

    // --- The selection capture through the clipboard: one at a time. It waits for the copy while
    // Outlook's own loop runs, so a second press, a new item window or posted work can arrive
    // meanwhile. ---
    // Starts a capture whose text goes to `deliver` once the copy has arrived, from the thread's
    // message loop; an error `deliver` throws is swallowed there (there is no caller left to tell).
    // Nothing happens while another capture runs, and `deliver` is never called when the capture
    // ends without a text to launch, or the last connection ends first (which puts the user's
    // clipboard back).
    void captureSelection(std::function<void(std::wstring)> deliver);
    bool capturing() const noexcept { return capture_ != nullptr; }
    // Runs the work now, or once the capture that is running has ended.
    void whenNotCapturing(std::function<void()> work);

private:
    void copyArrived(host::CopyOutcome copy) noexcept;
    void runWorkHeldForTheCapture() noexcept;

    FormLoader loadForm_;
    std::unique_ptr<FrmAddIn> frmAddIn_;
    host::Application formApplication_;
    int connections_ = 0;
    std::unique_ptr<GetSelectedText> capture_;
    std::function<void(std::wstring)> deliverCapture_;
    std::vector<std::function<void()>> afterCapture_;
    std::vector<host::Object> ribbons_;
};

}  // namespace zeltra
