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
    // How often that release has happened: a press compares it before and after its capture.
    unsigned releases() const noexcept { return releases_; }

    // --- The selection capture: one at a time. It runs the thread's messages while it waits for
    // the copy, and a second press, a new item window or posted work can arrive meanwhile. ---
    class CaptureScope {
    public:
        explicit CaptureScope(Component& component) noexcept : component_(component) { component_.capturing_ = true; }
        ~CaptureScope() { component_.captureEnded(); }
        CaptureScope(const CaptureScope&) = delete;
        CaptureScope& operator=(const CaptureScope&) = delete;

    private:
        Component& component_;
    };
    bool capturing() const noexcept { return capturing_; }
    // Runs the work now, or once the capture that is running has ended.
    void whenNotCapturing(std::function<void()> work);

private:
    void captureEnded() noexcept;

    FormLoader loadForm_;
    std::unique_ptr<FrmAddIn> frmAddIn_;
    host::Application formApplication_;
    int connections_ = 0;
    unsigned releases_ = 0;
    bool capturing_ = false;
    std::vector<std::function<void()>> afterCapture_;
    std::vector<host::Object> ribbons_;
};

}  // namespace zeltra
