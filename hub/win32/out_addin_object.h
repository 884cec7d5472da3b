#pragma once
// The COM class OutAddIn: the event hub behind IUnknown, IDispatch and _OutAddIn.
#include <memory>

#include "DODuruda_Vored_h.h"
#include "addin/win32/com_object.h"
#include "hub/out_addin.h"

namespace zeltra::com {

class OutAddInObject final : public _OutAddIn {
public:
    // A new object holding one reference for the caller.
    static OutAddInObject* create(ModOutlook& module);
    static HRESULT createInstance(ModOutlook& module, REFIID iid, void** out) noexcept;

    const std::shared_ptr<OutAddIn>& hub() const noexcept { return hub_; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.addRef(); }
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return dispatch_.getTypeInfoCount(count); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        return dispatch_.getTypeInfo(index, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        return dispatch_.getIDsOfNames(names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argError) override {
        return dispatch_.invoke(static_cast<_OutAddIn*>(this), id, flags, params, result, exception, argError);
    }
    // _OutAddIn
    HRESULT STDMETHODCALLTYPE CheckInspButton(_Inspector* Inspector, VARIANT* result) override;

private:
    explicit OutAddInObject(ModOutlook& module);
    ~OutAddInObject() = default;

    RefCount refs_;
    TypeInfoDispatch dispatch_{IID__OutAddIn};
    std::shared_ptr<OutAddIn> hub_;
};

}  // namespace zeltra::com
