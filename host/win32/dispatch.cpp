#include "host/win32/dispatch.h"

#include <ocidl.h>
#include <olectl.h>

#include <cstring>
#include <limits>
#include <map>
#include <utility>
#include <vector>

#include "com/boundary.h"
#include "com/object.h"
#include "com/ptr.h"

namespace win32 {
namespace {

using com::Bstr;
using com::ComPtr;
using com::throwIfFailed;
using com::UniqueVariant;

class DispatchAutomation final : public host::Automation {
public:
    explicit DispatchAutomation(IDispatch* dispatch) : dispatch_(dispatch) {}

    IDispatch* dispatch() const noexcept { return dispatch_.get(); }

    std::shared_ptr<host::Automation> queryInterface(const host::Guid& iid) override {
        ComPtr<IDispatch> typed;
        throwIfFailed(dispatch_.queryInterface(toGuid(iid), typed), "QueryInterface");
        if (!typed) throw host::Error(host::hresult::noInterface, "QueryInterface gave no pointer");
        return std::make_shared<DispatchAutomation>(typed.get());
    }

    std::shared_ptr<host::Automation> duplicate() override {
        return std::make_shared<DispatchAutomation>(dispatch_.get());
    }

    host::Variant invoke(const host::Member& member, host::InvokeKind kind, std::span<const host::Variant> args) override;
    std::unique_ptr<host::EventConnection::Impl> advise(const host::Guid& eventIid, host::EventHandler handler,
                                                        host::OnFailedDelivery onFailure) override;

    // COM identity is the object's IUnknown; two interfaces of one object may be different pointers.
    const void* identity() const override {
        ComPtr<IUnknown> unknown;
        if (FAILED(dispatch_.queryInterface(IID_IUnknown, unknown))) return dispatch_.get();
        return unknown.get();  // stays valid: this reference keeps the object alive
    }

    std::uintptr_t window() override {
        ComPtr<IOleWindow> oleWindow;
        throwIfFailed(dispatch_.queryInterface(IID_IOleWindow, oleWindow), "QueryInterface IOleWindow");
        if (!oleWindow) throw host::Error(host::hresult::noInterface, "QueryInterface gave no IOleWindow");
        HWND handle = nullptr;
        throwIfFailed(oleWindow->GetWindow(&handle), "IOleWindow::GetWindow");
        return reinterpret_cast<std::uintptr_t>(handle);
    }

private:
    DISPID dispidOf(const host::Member& member);

    ComPtr<IDispatch> dispatch_;
    std::map<std::wstring, DISPID> dispids_;
};

// The arguments of one call, in the reversed order IDispatch::Invoke expects. Each VARIANT is
// owned from the moment it exists, so a conversion failing partway releases what was converted.
class Arguments {
public:
    explicit Arguments(std::span<const host::Variant> args) : values_(args.size()) {
        for (std::size_t i = 0; i < args.size(); ++i) toVariant(args[i], *values_[args.size() - 1 - i].get());
    }
    VARIANTARG* data() noexcept { return values_.empty() ? nullptr : values_.front().get(); }
    UINT count() const noexcept { return static_cast<UINT>(values_.size()); }

private:
    std::vector<UniqueVariant> values_;
};

class ExcepInfo {
public:
    ExcepInfo() noexcept { std::memset(&info_, 0, sizeof info_); }
    ExcepInfo(const ExcepInfo&) = delete;
    ExcepInfo& operator=(const ExcepInfo&) = delete;
    ~ExcepInfo() {
        SysFreeString(info_.bstrSource);
        SysFreeString(info_.bstrDescription);
        SysFreeString(info_.bstrHelpFile);
    }
    EXCEPINFO* get() noexcept { return &info_; }
    // The failure the exception stands for.
    HRESULT code() noexcept {
        if (info_.pfnDeferredFillIn) info_.pfnDeferredFillIn(&info_);
        if (FAILED(info_.scode)) return info_.scode;
        if (info_.wCode) return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, info_.wCode);
        return DISP_E_EXCEPTION;
    }

private:
    EXCEPINFO info_;
};

DISPID DispatchAutomation::dispidOf(const host::Member& member) {
    if (member.byId()) return member.id();
    const auto cached = dispids_.find(member.name());
    if (cached != dispids_.end()) return cached->second;
    Bstr name(member.name());
    LPOLESTR names[] = {name.get()};
    DISPID id = DISPID_UNKNOWN;
    throwIfFailed(dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), "GetIDsOfNames");
    dispids_.emplace(member.name(), id);
    return id;
}

WORD dispatchFlags(host::InvokeKind kind) noexcept {
    switch (kind) {
        case host::InvokeKind::Statement: return DISPATCH_METHOD;
        case host::InvokeKind::Value: return DISPATCH_METHOD | DISPATCH_PROPERTYGET;
        case host::InvokeKind::Put: return DISPATCH_PROPERTYPUT;
        case host::InvokeKind::PutRef: return DISPATCH_PROPERTYPUTREF;
    }
    return DISPATCH_METHOD;
}

host::Variant DispatchAutomation::invoke(const host::Member& member, host::InvokeKind kind,
                                         std::span<const host::Variant> args) {
    const DISPID id = dispidOf(member);
    Arguments arguments(args);
    DISPPARAMS params{arguments.data(), nullptr, arguments.count(), 0};
    const bool put = kind == host::InvokeKind::Put || kind == host::InvokeKind::PutRef;
    DISPID putId = DISPID_PROPERTYPUT;
    if (put) {
        // The value of a put is the named argument DISPID_PROPERTYPUT.
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    UniqueVariant result;
    ExcepInfo exception;
    UINT argError = 0;
    // The call keeps its own reference: a handler running inside it may release this adapter's.
    const ComPtr<IDispatch> target = dispatch_;
    const HRESULT hr = target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, dispatchFlags(kind), &params,
                                      put ? nullptr : result.get(), exception.get(), &argError);
    if (hr == DISP_E_EXCEPTION) throw host::Error(exception.code(), "Invoke raised an exception");
    throwIfFailed(hr, "Invoke");
    return fromVariant(*result.get());
}

// --- Events -------------------------------------------------------------------------------------

// Writes a value the handler changed back into a by-reference argument (Cancel, CancelDefault).
// Hosts pass such arguments as VT_BYREF|VT_BOOL or as VT_BYREF|VT_VARIANT.
void writeBack(VARIANTARG& arg, const host::Variant& value) {
    if (arg.vt == (VT_BYREF | VT_BOOL) && arg.pboolVal) {
        if (value.kind() == host::Variant::Kind::Bool) *arg.pboolVal = value.asBool() ? VARIANT_TRUE : VARIANT_FALSE;
        return;
    }
    if (arg.vt != (VT_BYREF | VT_VARIANT) || !arg.pvarVal) return;
    VARIANT& target = *arg.pvarVal;
    if (target.vt == (VT_BYREF | VT_BOOL) && target.pboolVal) {
        if (value.kind() == host::Variant::Kind::Bool) *target.pboolVal = value.asBool() ? VARIANT_TRUE : VARIANT_FALSE;
        return;
    }
    UniqueVariant converted;
    toVariant(value, *converted.get());
    VariantClear(&target);
    target = converted.detach();
}

// A failed delivery on a guard's connection: every Boolean the source passed by reference, the
// event's Cancel, is set to True.
void cancelEvent(DISPPARAMS* params) noexcept {
    if (!params || !params->rgvarg) return;
    for (UINT i = 0; i < params->cArgs; ++i) {
        VARIANTARG& arg = params->rgvarg[i];
        if (arg.vt == (VT_BYREF | VT_BOOL) && arg.pboolVal) *arg.pboolVal = VARIANT_TRUE;
        if (arg.vt != (VT_BYREF | VT_VARIANT) || !arg.pvarVal) continue;
        VARIANT& referred = *arg.pvarVal;
        if (referred.vt == VT_BOOL) referred.boolVal = VARIANT_TRUE;
        if (referred.vt == (VT_BYREF | VT_BOOL) && referred.pboolVal) *referred.pboolVal = VARIANT_TRUE;
    }
}

// The sink that a connection point calls. It counts as an object of the library for as long as
// the host holds it, and stays alive (with its connection point) until a running Invoke returns,
// even when the handler ends the connection meanwhile.
class EventSink final : public com::Object<EventSink, IDispatch> {
public:
    EventSink(const IID& eventIid, host::EventHandler handler, host::OnFailedDelivery onFailure, IUnknown* source)
        : eventIid_(eventIid),
          handler_(std::make_shared<const host::EventHandler>(std::move(handler))),
          onFailure_(onFailure),
          source_(source) {}

    static std::span<const com::InterfaceEntry<EventSink>> interfaces() noexcept {
        static constexpr com::InterfaceEntry<EventSink> table[] = {
            com::interfaceEntry<EventSink, IDispatch>(IID_IDispatch)};
        return table;
    }

    // Stops delivery: events that still arrive are answered and dropped.
    void disarm() noexcept {
        handler_.reset();
        source_ = nullptr;
    }

    // The sink also answers its event interface, which connection points ask for.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override {
        return ObjectBase::QueryInterface(iid == eventIid_ ? IID_IDispatch : iid, out);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept override {
        if (info) *info = nullptr;
        return DISP_E_BADINDEX;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR*, UINT, LCID, DISPID*) noexcept override {
        return riid == IID_NULL ? DISP_E_UNKNOWNNAME : DISP_E_UNKNOWNINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT*) noexcept override;

private:
    friend ObjectBase;
    ~EventSink() = default;
    HRESULT deliver(DISPID id, DISPPARAMS* params);

    IID eventIid_;
    // Shared so that a running call keeps the handler alive while the connection is ended.
    std::shared_ptr<const host::EventHandler> handler_;
    host::OnFailedDelivery onFailure_;
    IUnknown* source_;  // the connection point; not counted: the connection holds it while armed
};

HRESULT EventSink::deliver(DISPID id, DISPPARAMS* params) {
    const std::shared_ptr<const host::EventHandler> handler = handler_;
    if (!handler) return S_OK;
    const ComPtr<EventSink> self(this);
    const ComPtr<IUnknown> source(source_);
    const UINT count = params ? params->cArgs : 0;
    if (count && !params->rgvarg) return E_INVALIDARG;
    // Arguments arrive in reverse order. What came by reference is kept as received, so that only
    // what the handler changed is written back.
    std::vector<host::Variant> args;
    args.reserve(count);
    std::vector<std::pair<UINT, host::Variant>> byReference;
    for (UINT i = 0; i < count; ++i) {
        const VARIANTARG& arg = params->rgvarg[count - 1 - i];
        args.push_back(fromVariant(arg));
        if (arg.vt & VT_BYREF) byReference.emplace_back(i, args.back());
    }
    (*handler)(id, args);
    for (const auto& [i, received] : byReference) {
        if (!(args[i] == received)) writeBack(params->rgvarg[count - 1 - i], args[i]);
    }
    return S_OK;
}

HRESULT EventSink::Invoke(DISPID id, REFIID riid, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                          EXCEPINFO* exception, UINT*) noexcept try {
    if (result) VariantInit(result);
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    return deliver(id, params);
} catch (...) {
    const HRESULT hr = com::hresultFromCaughtException();
    if (onFailure_ == host::OnFailedDelivery::Cancel) cancelEvent(params);
    if (!exception) return hr;
    std::memset(exception, 0, sizeof *exception);
    exception->scode = hr;
    return DISP_E_EXCEPTION;
}

class PointConnection final : public host::EventConnection::Impl {
public:
    PointConnection(ComPtr<IConnectionPoint> point, ComPtr<EventSink> sink, DWORD cookie) noexcept
        : point_(std::move(point)), sink_(std::move(sink)), cookie_(cookie) {}

    void disconnect() override {
        if (!sink_) return;
        sink_->disarm();
        sink_.reset();
        const ComPtr<IConnectionPoint> point = std::move(point_);
        throwIfFailed(point->Unadvise(cookie_), "Unadvise");
    }

private:
    ComPtr<IConnectionPoint> point_;
    ComPtr<EventSink> sink_;
    DWORD cookie_;
};

std::unique_ptr<host::EventConnection::Impl> DispatchAutomation::advise(const host::Guid& eventIid,
                                                                        host::EventHandler handler,
                                                                        host::OnFailedDelivery onFailure) {
    const GUID iid = toGuid(eventIid);
    ComPtr<IConnectionPointContainer> container;
    throwIfFailed(dispatch_.queryInterface(IID_IConnectionPointContainer, container),
                  "QueryInterface for connection points");
    ComPtr<IConnectionPoint> point;
    throwIfFailed(container->FindConnectionPoint(iid, point.put()), "FindConnectionPoint");
    if (!point) throw host::Error(CONNECT_E_NOCONNECTION, "FindConnectionPoint gave no pointer");
    const auto sink = ComPtr<EventSink>::attach(new EventSink(iid, std::move(handler), onFailure, point.get()));
    DWORD cookie = 0;
    const HRESULT hr = point->Advise(sink.get(), &cookie);
    if (FAILED(hr)) {
        sink->disarm();
        throwIfFailed(hr, "Advise");
    }
    return std::make_unique<PointConnection>(std::move(point), sink, cookie);
}

host::Variant fromInteger(long long value) {
    if (value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max())
        return host::Variant(static_cast<std::int32_t>(value));
    return host::Variant(static_cast<double>(value));
}

}  // namespace

host::Object wrapDispatch(IDispatch* dispatch) {
    if (!dispatch) return {};
    return host::Object(std::make_shared<DispatchAutomation>(dispatch));
}

// The interface asked for is a dual one, so the pointer is an IDispatch too.
host::Object ComObjectFactory::create(const host::Guid& clsid, const host::Guid& iid) {
    com::ComPtr<IDispatch> dispatch;
    throwIfFailed(CoCreateInstance(toGuid(clsid), nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, toGuid(iid),
                                   dispatch.putVoid()),
                  "CoCreateInstance");
    return wrapDispatch(dispatch.get());
}

IDispatch* dispatchOf(const host::Object& object) noexcept {
    const auto* adapter = dynamic_cast<const DispatchAutomation*>(object.automation());
    return adapter ? adapter->dispatch() : nullptr;
}

host::Variant fromVariant(const VARIANT& value) {
    if (value.vt & VT_BYREF) {
        if (!value.byref) throw host::Error(E_POINTER, "null by-reference argument");
        switch (value.vt & ~VT_BYREF) {
            case VT_VARIANT: return fromVariant(*value.pvarVal);
            case VT_BOOL: return host::Variant(*value.pboolVal != VARIANT_FALSE);
            case VT_I4: return host::Variant(static_cast<std::int32_t>(*value.plVal));
            case VT_I2: return host::Variant(static_cast<std::int32_t>(*value.piVal));
            case VT_BSTR: return host::Variant(com::toWString(*value.pbstrVal));
            case VT_DISPATCH: return host::Variant(wrapDispatch(*value.ppdispVal));
            default: throw host::Error(DISP_E_TYPEMISMATCH, "by-reference type not taken");
        }
    }
    switch (value.vt) {
        case VT_EMPTY: return {};
        case VT_NULL: return host::Variant::null();
        case VT_BOOL: return host::Variant(value.boolVal != VARIANT_FALSE);
        case VT_I1: return host::Variant(static_cast<std::int32_t>(value.cVal));
        case VT_UI1: return host::Variant(static_cast<std::int32_t>(value.bVal));
        case VT_I2: return host::Variant(static_cast<std::int32_t>(value.iVal));
        case VT_UI2: return host::Variant(static_cast<std::int32_t>(value.uiVal));
        case VT_I4: return host::Variant(static_cast<std::int32_t>(value.lVal));
        case VT_INT: return host::Variant(static_cast<std::int32_t>(value.intVal));
        case VT_UI4: return fromInteger(value.ulVal);
        case VT_UINT: return fromInteger(value.uintVal);
        case VT_I8: return fromInteger(value.llVal);
        case VT_R8: return host::Variant(value.dblVal);
        case VT_R4:
        case VT_DATE:
        case VT_CY:
        case VT_DECIMAL:
        case VT_UI8: {
            UniqueVariant number;
            throwIfFailed(VariantChangeType(number.get(), const_cast<VARIANT*>(&value), 0, VT_R8), "number conversion");
            return host::Variant(number->dblVal);
        }
        case VT_BSTR: return host::Variant(com::toWString(value.bstrVal));
        case VT_DISPATCH: return host::Variant(wrapDispatch(value.pdispVal));
        case VT_UNKNOWN: {
            if (!value.punkVal) return host::Variant(host::Object());
            ComPtr<IDispatch> dispatch;
            throwIfFailed(value.punkVal->QueryInterface(IID_IDispatch, dispatch.putVoid()), "QueryInterface for IDispatch");
            return host::Variant(wrapDispatch(dispatch.get()));
        }
        case VT_ERROR: return host::Variant::error(value.scode);
        default: throw host::Error(DISP_E_TYPEMISMATCH, "VARIANT type not taken");
    }
}

void toVariant(const host::Variant& value, VARIANT& out) {
    switch (value.kind()) {
        case host::Variant::Kind::Empty: out.vt = VT_EMPTY; return;
        case host::Variant::Kind::Null: out.vt = VT_NULL; return;
        case host::Variant::Kind::Bool:
            out.vt = VT_BOOL;
            out.boolVal = value.asBool() ? VARIANT_TRUE : VARIANT_FALSE;
            return;
        case host::Variant::Kind::Int:
            out.vt = VT_I4;
            out.lVal = value.asInt();
            return;
        case host::Variant::Kind::Double:
            out.vt = VT_R8;
            out.dblVal = value.asDouble();
            return;
        case host::Variant::Kind::String:
            out.bstrVal = Bstr(value.asString()).detach();
            out.vt = VT_BSTR;
            return;
        case host::Variant::Kind::Error:
            out.vt = VT_ERROR;
            out.scode = value.asError();
            return;
        case host::Variant::Kind::Object: {
            const host::Object object = value.toObject();
            IDispatch* dispatch = dispatchOf(object);
            if (!dispatch && object) throw host::Error(DISP_E_TYPEMISMATCH, "object from another adapter");
            if (dispatch) dispatch->AddRef();
            out.vt = VT_DISPATCH;
            out.pdispVal = dispatch;
            return;
        }
    }
}

}  // namespace win32
