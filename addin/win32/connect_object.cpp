#include "addin/win32/connect_object.h"

#include "com/boundary.h"
#include "com/ptr.h"
#include "host/win32/dispatch.h"
#include "hub/win32/out_addin_object.h"

namespace zeltra::server {
namespace {

// The hub is an OutAddIn object of this library; Connect holds it through a COM reference.
HubFactory hubFactory(Component& component) {
    return [&component]() -> std::shared_ptr<OutAddIn> {
        std::shared_ptr<OutAddInObject> object(OutAddInObject::create(component),
                                               [](OutAddInObject* o) noexcept { o->Release(); });
        const std::shared_ptr<OutAddIn>& hub = object->hub();
        return std::shared_ptr<OutAddIn>(object, hub.get());
    };
}

}  // namespace

ConnectObject::ConnectObject(Component& component) : connect_(component, hubFactory(component)) {}

HRESULT ConnectObject::createInstance(Component& component, REFIID iid, void** out) noexcept try {
    const auto object = com::ComPtr<ConnectObject>::attach(new ConnectObject(component));
    return object->QueryInterface(iid, out);
} catch (...) {
    return com::hresultFromCaughtException();
}

std::span<const com::InterfaceEntry<ConnectObject>> ConnectObject::interfaces() noexcept {
    static constexpr com::InterfaceEntry<ConnectObject> table[] = {
        com::interfaceEntry<ConnectObject, _Connect>(IID__Connect),
        com::interfaceEntry<ConnectObject, _Connect>(IID_IDispatch),
        {&IID_IDTExtensibility2, [](ConnectObject* object) noexcept -> IUnknown* { return &object->extensibility_; }},
    };
    return table;
}

// Each notification keeps the object alive until it returns: what runs inside one (a message loop,
// a host call) may lead the host to release the add-in meanwhile.
HRESULT ConnectObject::Extensibility::OnConnection(IDispatch* Application, ext_ConnectMode ConnectMode,
                                                   IDispatch* AddInInst, SAFEARRAY** /*custom*/) noexcept try {
    const com::ComPtr<ConnectObject> keepAlive(&outer_);
    return outer_.connect_.AddinInstance_OnConnection(win32::wrapDispatch(Application), ConnectMode,
                                                      win32::wrapDispatch(AddInInst));
} catch (...) {
    return com::hresultFromCaughtException();
}

HRESULT ConnectObject::Extensibility::OnDisconnection(ext_DisconnectMode RemoveMode, SAFEARRAY** /*custom*/) noexcept {
    const com::ComPtr<ConnectObject> keepAlive(&outer_);
    return outer_.connect_.AddinInstance_OnDisconnection(RemoveMode);
}

HRESULT ConnectObject::Extensibility::OnAddInsUpdate(SAFEARRAY** /*custom*/) noexcept {
    const com::ComPtr<ConnectObject> keepAlive(&outer_);
    return outer_.connect_.AddinInstance_OnAddInsUpdate();
}

HRESULT ConnectObject::Extensibility::OnStartupComplete(SAFEARRAY** /*custom*/) noexcept {
    const com::ComPtr<ConnectObject> keepAlive(&outer_);
    return outer_.connect_.AddinInstance_OnStartupComplete();
}

HRESULT ConnectObject::Extensibility::OnBeginShutdown(SAFEARRAY** /*custom*/) noexcept {
    const com::ComPtr<ConnectObject> keepAlive(&outer_);
    return outer_.connect_.AddinInstance_OnBeginShutdown();
}

}  // namespace zeltra::server
