#include "addin/win32/connect_object.h"

#include "host/win32/dispatch.h"
#include "hub/win32/out_addin_object.h"

namespace zeltra::com {
namespace {

// The hub is an OutAddIn object of this library; Connect holds it through a COM reference.
HubFactory hubFactory(ModOutlook& module) {
    return [&module]() -> std::shared_ptr<OutAddIn> {
        std::shared_ptr<OutAddInObject> object(OutAddInObject::create(module),
                                               [](OutAddInObject* o) { o->Release(); });
        const std::shared_ptr<OutAddIn>& hub = object->hub();
        return std::shared_ptr<OutAddIn>(object, hub.get());
    };
}

}  // namespace

ConnectObject::ConnectObject(ModOutlook& module) : connect_(module, hubFactory(module)) {}

HRESULT ConnectObject::createInstance(ModOutlook& module, REFIID iid, void** out) noexcept {
    ZELTRA_COM_BOUNDARY_BEGIN
    const auto object = win32::ComPtr<ConnectObject>::attach(new ConnectObject(module));
    return object->QueryInterface(iid, out);
    ZELTRA_COM_BOUNDARY_END
}

HRESULT ConnectObject::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__Connect) {
        *out = static_cast<_Connect*>(this);
    } else if (iid == IID_IDTExtensibility2) {
        *out = static_cast<IDTExtensibility2*>(this);
    } else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG ConnectObject::Release() {
    const ULONG left = refs_.release();
    if (left == 0) delete this;
    return left;
}

HRESULT ConnectObject::OnConnection(IDispatch* Application, ext_ConnectMode ConnectMode, IDispatch* AddInInst,
                                    SAFEARRAY** /*custom*/) {
    ZELTRA_COM_BOUNDARY_BEGIN
    return connect_.AddinInstance_OnConnection(win32::wrapDispatch(Application), ConnectMode,
                                               win32::wrapDispatch(AddInInst));
    ZELTRA_COM_BOUNDARY_END
}

HRESULT ConnectObject::OnDisconnection(ext_DisconnectMode RemoveMode, SAFEARRAY** /*custom*/) {
    return connect_.AddinInstance_OnDisconnection(RemoveMode);
}

HRESULT ConnectObject::OnAddInsUpdate(SAFEARRAY** /*custom*/) { return connect_.AddinInstance_OnAddInsUpdate(); }

HRESULT ConnectObject::OnStartupComplete(SAFEARRAY** /*custom*/) {
    return connect_.AddinInstance_OnStartupComplete();
}

HRESULT ConnectObject::OnBeginShutdown(SAFEARRAY** /*custom*/) { return connect_.AddinInstance_OnBeginShutdown(); }

}  // namespace zeltra::com
