#pragma once
// The COM class Connect: the object the host creates, behind IUnknown, IDispatch, _Connect and
// IDTExtensibility2.
#include "DODuruda_Vored_h.h"
#include "addin/connect.h"
#include "addin/win32/com_object.h"
#include "extensibility.h"

namespace zeltra::com {

class ConnectObject final : public _Connect, public IDTExtensibility2 {
public:
    static HRESULT createInstance(ModOutlook& module, REFIID iid, void** out) noexcept;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.addRef(); }
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch, for both dual interfaces; answered from _Connect's type description.
    ZELTRA_IDISPATCH_FROM_TYPE_INFO(_Connect)
    // IDTExtensibility2
    HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* Application, ext_ConnectMode ConnectMode, IDispatch* AddInInst,
                                           SAFEARRAY** custom) override;
    HRESULT STDMETHODCALLTYPE OnDisconnection(ext_DisconnectMode RemoveMode, SAFEARRAY** custom) override;
    HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) override;
    HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) override;
    HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) override;

private:
    explicit ConnectObject(ModOutlook& module);
    ~ConnectObject() = default;

    RefCount refs_;
    TypeInfoDispatch dispatch_{IID__Connect};
    Connect connect_;
};

}  // namespace zeltra::com
