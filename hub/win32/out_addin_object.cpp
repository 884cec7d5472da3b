#include "hub/win32/out_addin_object.h"

#include "com/boundary.h"
#include "com/ptr.h"
#include "host/win32/dispatch.h"

namespace zeltra::server {

OutAddInObject::OutAddInObject(Component& component) : component_(component), hub_(OutAddIn::create(component)) {}

OutAddInObject* OutAddInObject::create(Component& component) { return new OutAddInObject(component); }

HRESULT OutAddInObject::createInstance(Component& component, REFIID iid, void** out) noexcept try {
    const auto object = com::ComPtr<OutAddInObject>::attach(create(component));
    return object->QueryInterface(iid, out);
} catch (...) {
    return com::hresultFromCaughtException();
}

std::span<const com::InterfaceEntry<OutAddInObject>> OutAddInObject::interfaces() noexcept {
    static constexpr com::InterfaceEntry<OutAddInObject> table[] = {
        com::interfaceEntry<OutAddInObject, _OutAddIn>(IID__OutAddIn),
        com::interfaceEntry<OutAddInObject, _OutAddIn>(IID_IDispatch),
    };
    return table;
}

HRESULT OutAddInObject::CheckInspButton(_Inspector* Inspector, VARIANT* result) noexcept try {
    if (!result) return E_POINTER;
    VariantInit(result);
    const auto inspector = host::Inspector::from(win32::wrapDispatch(reinterpret_cast<IDispatch*>(Inspector)));
    const host::Variant value = hub_->CheckInspButton(inspector);
    win32::toVariant(value, *result);
    return S_OK;
} catch (...) {
    return com::hresultFromCaughtException();
}

}  // namespace zeltra::server
