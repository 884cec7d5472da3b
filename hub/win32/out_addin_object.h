#pragma once
// The COM class OutAddIn: the event hub behind IUnknown, IDispatch and _OutAddIn.
#include <memory>

#include "DODuruda_Vored_h.h"
#include "com/object.h"
#include "com/type_info_dispatch.h"
#include "hub/out_addin.h"

namespace zeltra::server {

class OutAddInObject final : public com::Object<OutAddInObject, com::DualFromTypeLibrary<_OutAddIn, IID__OutAddIn>> {
public:
    // A new object holding one reference for the caller; throws std::bad_alloc.
    static OutAddInObject* create(Component& component);
    // The class object's CreateInstance.
    static HRESULT createInstance(Component& component, REFIID iid, void** out) noexcept;
    static std::span<const com::InterfaceEntry<OutAddInObject>> interfaces() noexcept;

    const std::shared_ptr<OutAddIn>& hub() const noexcept { return hub_; }

    // _OutAddIn
    HRESULT STDMETHODCALLTYPE CheckInspButton(_Inspector* Inspector, VARIANT* result) noexcept override;

private:
    friend ObjectBase;
    explicit OutAddInObject(Component& component);
    // A hub a client made on its own may have made the form for a button's face; with no
    // connection in the apartment, the form goes with it.
    ~OutAddInObject() {
        hub_.reset();
        component_.releaseIfNotConnected();
    }

    Component& component_;
    std::shared_ptr<OutAddIn> hub_;
};

}  // namespace zeltra::server
