#include "addin/win32/connect_object.h"

#include "com/boundary.h"
#include "com/module.h"
#include "com/ptr.h"
#include "forms/win32/form_resources.h"
#include "host/win32/dispatch.h"
#include "host/win32/picture.h"
#include "resources/resource_ids.h"
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
        {&IID_IRibbonExtensibility, [](ConnectObject* object) noexcept -> IUnknown* { return &object->ribbon_; }},
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

namespace zeltra::server {

HRESULT ConnectObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) noexcept {
    const HRESULT own = ObjectBase::GetIDsOfNames(riid, names, count, locale, ids);
    if (own != DISP_E_UNKNOWNNAME) return own;
    return ribbon_.GetIDsOfNames(riid, names, count, locale, ids);
}

HRESULT ConnectObject::Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                              EXCEPINFO* exception, UINT* argError) noexcept {
    return ribbon_.Invoke(id, riid, locale, flags, params, result, exception, argError);
}

namespace {

// The callbacks' IRibbonControl (or IRibbonUI), held for the call.
host::Object argument(IDispatch* dispatch) {
    if (!dispatch) throw host::Error(E_POINTER, "no control");
    return win32::wrapDispatch(dispatch);
}

}  // namespace

HRESULT ConnectObject::Ribbon::GetCustomUI(BSTR RibbonID, BSTR* RibbonXml) noexcept try {
    if (!RibbonXml) return E_POINTER;
    *RibbonXml = nullptr;
    const com::ComPtr<ConnectObject> keepAlive(&outer_);
    const std::wstring xml = outer_.connect_.GetCustomUI(com::toWString(RibbonID));
    // Office reads an empty or missing string as "nothing added to this ribbon".
    if (!xml.empty()) *RibbonXml = com::Bstr(xml).detach();
    return S_OK;
} catch (...) {
    return com::hresultFromCaughtException();
}

// Office shows the user an error box for a callback that fails (when "Show add-in user interface
// errors" is on) and may stop calling the add-in's callbacks: each one answers S_OK whatever
// happens inside, and a failure in it does nothing more (a press launches nothing, a getter
// answers its default).
HRESULT ConnectObject::Ribbon::OnRibbonLoad(IDispatch* ribbon) noexcept try {
    const com::ComPtr<ConnectObject> keepAlive(&outer_);
    outer_.connect_.ribbon().OnRibbonLoad(argument(ribbon));
    return S_OK;
} catch (...) {
    return S_OK;  // the ribbon is not kept: it is not asked again when the selection changes
}

HRESULT ConnectObject::Ribbon::OnZeltraAction(IDispatch* control) noexcept try {
    const com::ComPtr<ConnectObject> keepAlive(&outer_);
    outer_.connect_.ribbon().OnZeltraAction(argument(control));
    return S_OK;
} catch (...) {
    return S_OK;
}

namespace {

// A getter's answer as Office takes it: what the callback says, or the default when it fails.
template <typename Callback>
HRESULT answerBoolean(VARIANT_BOOL* answer, Callback callback) noexcept {
    if (!answer) return E_POINTER;
    *answer = VARIANT_TRUE;
    try {
        *answer = callback() ? VARIANT_TRUE : VARIANT_FALSE;
    } catch (...) {
    }
    return S_OK;
}

}  // namespace

HRESULT ConnectObject::Ribbon::GetZeltraEnabled(IDispatch* control, VARIANT_BOOL* enabled) noexcept {
    const com::ComPtr<ConnectObject> keepAlive(&outer_);
    return answerBoolean(enabled, [&] { return outer_.connect_.ribbon().GetZeltraEnabled(argument(control)); });
}

HRESULT ConnectObject::Ribbon::GetZeltraVisible(IDispatch* control, VARIANT_BOOL* visible) noexcept {
    const com::ComPtr<ConnectObject> keepAlive(&outer_);
    return answerBoolean(visible, [&] { return outer_.connect_.ribbon().GetZeltraVisible(argument(control)); });
}

// The product's image at 32 x 32 with its alpha, a new picture for each call: Office releases it.
// Without one (no memory for it) the button shows no image.
HRESULT ConnectObject::Ribbon::GetZeltraImage(IDispatch* /*control*/, IPictureDisp** image) noexcept {
    if (!image) return E_POINTER;
    *image = nullptr;
    try {
        const host::Bitmap stored = forms::win32::storedPicture(com::moduleHandle(), IDB_RIBBON_IMAGE);
        *image = host::win32::pictureFromDib(stored.dib).detach();
    } catch (...) {
    }
    return S_OK;
}

}  // namespace zeltra::server
