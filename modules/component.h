#pragma once
// What one initialised component holds: the module-level data of modOutlook, the form's default
// instance, and the system services the logic reaches them through. There is one per apartment
// that initialises the component (in the host, its main thread).
#include <memory>

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

    // The default instance of frmAddIn, created on first use and kept for the life of the component.
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

private:
    FormLoader loadForm_;
    std::unique_ptr<FrmAddIn> frmAddIn_;
    host::Application formApplication_;
};

}  // namespace zeltra
