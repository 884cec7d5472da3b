#include "hub/win32/out_addin_object.h"

#include "host/win32/dispatch.h"

namespace zeltra::com {

OutAddInObject::OutAddInObject(ModOutlook& module) : hub_(OutAddIn::create(module)) {}

OutAddInObject* OutAddInObject::create(ModOutlook& module) { return new OutAddInObject(module); }

HRESULT OutAddInObject::createInstance(ModOutlook& module, REFIID iid, void** out) noexcept {
    ZELTRA_COM_BOUNDARY_BEGIN
    const auto object = win32::ComPtr<OutAddInObject>::attach(create(module));
    return object->QueryInterface(iid, out);
    ZELTRA_COM_BOUNDARY_END
}

HRESULT OutAddInObject::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__OutAddIn) {
        *out = static_cast<_OutAddIn*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG OutAddInObject::Release() {
    const ULONG left = refs_.release();
    if (left == 0) delete this;
    return left;
}

HRESULT OutAddInObject::CheckInspButton(_Inspector* Inspector, VARIANT* result) {
    if (!result) return E_POINTER;
    VariantInit(result);
    ZELTRA_COM_BOUNDARY_BEGIN
    const auto inspector = host::Inspector::from(win32::wrapDispatch(Inspector));
    const host::Variant value = hub_->CheckInspButton(inspector);
    win32::toVariant(value, *result);
    return S_OK;
    ZELTRA_COM_BOUNDARY_END
}

}  // namespace zeltra::com
