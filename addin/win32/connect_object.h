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
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return dispatch_.getTypeInfoCount(count); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        return dispatch_.getTypeInfo(index, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        return dispatch_.getIDsOfNames(names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argError) override {
        return dispatch_.invoke(static_cast<_Connect*>(this), id, flags, params, result, exception, argError);
    }
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
