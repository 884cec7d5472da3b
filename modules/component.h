#pragma once
// What one initialised component holds: the module-level data of modOutlook, the form's default
// instance, and the system services the logic reaches them through. There is one per apartment
// that initialises the component (in the host, its main thread).
//
// The host may connect the add-in, disconnect it and connect it again in one session (the user
// unticks and ticks it in the COM Add-ins dialog). The form, its browser control and the work
// posted to the thread exist only while a connection exists: the end of the apartment's last
// connection releases them, so that the library can unload, and the next use makes them again.
#include <cstdint>
#include <memory>

#include "modules/loaded_ribbons.h"
#include "forms/frm_add_in.h"
#include "host/automation.h"
#include "host/desktop.h"
#include "host/outlook.h"
#include "host/product_keys.h"
#include "modules/mod_outlook.h"
#include "modules/selection_captures.h"

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
    // The ribbons Outlook loaded, released with the last connection.
    LoadedRibbons ribbons;
    // The captures through the clipboard; a capture still waiting ends with the last connection.
    SelectionCaptures captures{modOutlook, desktop};

    // --- Connections of this apartment's Connect objects. ---
    void connectionStarted() noexcept { ++connections_; }
    // The last one releases what the connections used.
    void connectionEnded() noexcept;
    bool connected() const noexcept { return connections_ > 0; }
    // Releases the form and the posted work unless a connection exists: for an event hub a
    // client created on its own, whose buttons made the form.
    void releaseIfNotConnected() noexcept;

private:
    FormLoader loadForm_;
    std::unique_ptr<FrmAddIn> frmAddIn_;
    host::Application formApplication_;
    int connections_ = 0;
};

}  // namespace zeltra
