#pragma once
// What one initialised component holds: the module-level data of modOutlook, the form's default
// instance, and the system services the logic reaches them through. There is one per apartment
// that initialises the component (in the host, its main thread).
#include <memory>

#include "forms/frm_add_in.h"
#include "host/automation.h"
#include "host/desktop.h"
#include "modules/mod_outlook.h"

namespace zeltra {

class Component {
public:
    Component(host::Desktop& desktopServices, host::ObjectFactory& objectFactory, FormLoader loadForm)
        : desktop(desktopServices), objects(objectFactory), loadForm_(std::move(loadForm)) {}
    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;

    ModOutlook modOutlook;
    host::Desktop& desktop;
    host::ObjectFactory& objects;

    // The default instance of frmAddIn, created on first use and kept for the life of the component.
    FrmAddIn& frmAddIn() {
        if (!frmAddIn_) frmAddIn_ = std::make_unique<FrmAddIn>(loadForm_);
        return *frmAddIn_;
    }
    bool frmAddInExists() const { return frmAddIn_ != nullptr; }

private:
    FormLoader loadForm_;
    std::unique_ptr<FrmAddIn> frmAddIn_;
};

}  // namespace zeltra
