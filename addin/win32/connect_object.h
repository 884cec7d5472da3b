#pragma once
// The COM class Connect: the object the host creates, behind IUnknown, IDispatch, _Connect and
// IDTExtensibility2. Each dual interface answers IDispatch from its own description, so a host
// that drives IDTExtensibility2 late-bound reaches its five members by DISPID 1 to 5.
#include "DODuruda_Vored_h.h"
#include "addin/connect.h"
#include "com/object.h"
#include "com/type_info_dispatch.h"
#include "extensibility.h"

namespace zeltra::server {

class ConnectObject final : public com::Object<ConnectObject, com::DualFromTypeLibrary<_Connect, IID__Connect>> {
public:
    // _Connect has no members of its own. Office looks the ribbon's callbacks up by name on the
    // object's IDispatch, so the names _Connect does not know are the ribbon's.
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) noexcept override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argError) noexcept override;

    // The class object's CreateInstance.
    static HRESULT createInstance(Component& component, REFIID iid, void** out) noexcept;
    static std::span<const com::InterfaceEntry<ConnectObject>> interfaces() noexcept;

private:
    // An interface with an IDispatch of its own lives in an object of its own that shares
    // Connect's identity and reference count.
    template <typename Interface, const IID& interfaceId>
    class Part : public com::DualFromTypeLibrary<Interface, interfaceId, com::EmbeddedTypeLibrary::HostInterfaces> {
    public:
        explicit Part(ConnectObject& outer) noexcept : outer_(outer) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override {
            return outer_.QueryInterface(iid, out);
        }
        ULONG STDMETHODCALLTYPE AddRef() noexcept override { return outer_.AddRef(); }
        ULONG STDMETHODCALLTYPE Release() noexcept override { return outer_.Release(); }

    protected:
        ConnectObject& outer_;
    };

    class Extensibility final : public Part<IDTExtensibility2, IID_IDTExtensibility2> {
    public:
        using Part::Part;
        HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* Application, ext_ConnectMode ConnectMode,
                                               IDispatch* AddInInst, SAFEARRAY** custom) noexcept override;
        HRESULT STDMETHODCALLTYPE OnDisconnection(ext_DisconnectMode RemoveMode, SAFEARRAY** custom) noexcept override;
        HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) noexcept override;
        HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) noexcept override;
        HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) noexcept override;
    };

    // IRibbonExtensibility, whose IDispatch answers the callbacks its XML names, from their
    // description (IZeltraRibbon); in an object of its own that shares Connect's identity and count.
    class Ribbon final : public Part<IZeltraRibbon, IID_IZeltraRibbon> {
    public:
        using Part::Part;
        HRESULT STDMETHODCALLTYPE GetCustomUI(BSTR RibbonID, BSTR* RibbonXml) noexcept override;
        HRESULT STDMETHODCALLTYPE OnRibbonLoad(IDispatch* ribbon) noexcept override;
        HRESULT STDMETHODCALLTYPE OnZeltraAction(IDispatch* control) noexcept override;
        HRESULT STDMETHODCALLTYPE GetZeltraEnabled(IDispatch* control, VARIANT_BOOL* enabled) noexcept override;
        HRESULT STDMETHODCALLTYPE GetZeltraVisible(IDispatch* control, VARIANT_BOOL* visible) noexcept override;
        HRESULT STDMETHODCALLTYPE GetZeltraImage(IDispatch* control, IPictureDisp** image) noexcept override;
    };

    friend ObjectBase;
    explicit ConnectObject(Component& component);
    ~ConnectObject() = default;

    Extensibility extensibility_{*this};
    Ribbon ribbon_{*this};
    Connect connect_;
};

}  // namespace zeltra::server
