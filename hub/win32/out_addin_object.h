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
    ZELTRA_IDISPATCH_FROM_TYPE_INFO(_OutAddIn)
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
