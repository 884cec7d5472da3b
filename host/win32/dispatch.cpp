#include "host/win32/dispatch.h"

#include <ocidl.h>
#include <olectl.h>

#include <atomic>
#include <cstring>
#include <limits>
#include <map>
#include <vector>

#include "host/win32/com.h"

namespace win32 {
namespace {

class EventSink;

class DispatchAutomation final : public host::Automation {
public:
    explicit DispatchAutomation(IDispatch* dispatch) : dispatch_(dispatch) {}

    IDispatch* dispatch() const { return dispatch_.get(); }

    std::shared_ptr<host::Automation> queryInterface(const host::Guid& iid) override {
        ComPtr<IDispatch> typed;
        check(dispatch_.queryInterface(toGuid(iid), typed), "QueryInterface");
        if (!typed) throw host::Error(host::hresult::noInterface, "QueryInterface gave no pointer");
        return std::make_shared<DispatchAutomation>(typed.get());
    }

    std::shared_ptr<host::Automation> duplicate() override {
        return std::make_shared<DispatchAutomation>(dispatch_.get());
    }

    host::Variant invoke(const host::Member& member, host::InvokeKind kind, std::span<const host::Variant> args) override;
    std::unique_ptr<host::EventConnection::Impl> advise(const host::Guid& eventIid, host::EventHandler handler) override;

    const void* identity() const override {
        ComPtr<IUnknown> unknown;
        if (FAILED(dispatch_.queryInterface(IID_IUnknown, unknown))) return dispatch_.get();
        return unknown.get();  // stays valid: this reference keeps the object alive
    }

private:
    DISPID dispidOf(const host::Member& member);

    ComPtr<IDispatch> dispatch_;
    std::map<std::wstring, DISPID> dispids_;
};

// The VARIANTARGs of one call, in the reversed order IDispatch::Invoke expects, cleared at the end.
class Arguments {
public:
    explicit Arguments(std::span<const host::Variant> args) : values_(args.size()) {
        for (auto& v : values_) VariantInit(&v);
        for (std::size_t i = 0; i < args.size(); ++i) toVariant(args[i], values_[args.size() - 1 - i]);
    }
    Arguments(const Arguments&) = delete;
    Arguments& operator=(const Arguments&) = delete;
    ~Arguments() {
        for (auto& v : values_) VariantClear(&v);
    }
    VARIANTARG* data() { return values_.empty() ? nullptr : values_.data(); }
    UINT count() const { return static_cast<UINT>(values_.size()); }

private:
    std::vector<VARIANTARG> values_;
};

class ExcepInfo {
public:
    ExcepInfo() { std::memset(&info_, 0, sizeof info_); }
    ExcepInfo(const ExcepInfo&) = delete;
    ExcepInfo& operator=(const ExcepInfo&) = delete;
    ~ExcepInfo() {
        SysFreeString(info_.bstrSource);
        SysFreeString(info_.bstrDescription);
        SysFreeString(info_.bstrHelpFile);
    }
    EXCEPINFO* get() { return &info_; }
    // The failure the exception stands for.
    HRESULT code() {
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
    check(dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), "GetIDsOfNames");
    dispids_.emplace(member.name(), id);
    return id;
}

host::Variant DispatchAutomation::invoke(const host::Member& member, host::InvokeKind kind,
                                         std::span<const host::Variant> args) {
    const DISPID id = dispidOf(member);
    Arguments arguments(args);
    DISPPARAMS params{arguments.data(), nullptr, arguments.count(), 0};
    DISPID putId = DISPID_PROPERTYPUT;
    WORD flags = DISPATCH_METHOD;
    if (kind == host::InvokeKind::PropertyGet) flags = DISPATCH_PROPERTYGET;
    if (kind == host::InvokeKind::PropertyPut) {
        flags = DISPATCH_PROPERTYPUT;
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }
    UniqueVariant result;
    ExcepInfo exception;
    UINT argError = 0;
    // The call keeps its own reference: a handler running inside it may release this adapter's.
    const ComPtr<IDispatch> target = dispatch_;
    const HRESULT hr = target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                      kind == host::InvokeKind::PropertyPut ? nullptr : result.get(), exception.get(),
                                      &argError);
    if (hr == DISP_E_EXCEPTION) throw host::Error(exception.code(), "Invoke raised an exception");
    check(hr, "Invoke");
    return fromVariant(*result.get());
}

// --- Events -------------------------------------------------------------------------------------

// The sink that a connection point calls. It stays alive (and keeps its source alive) until a
// running Invoke returns, even when the handler ends the connection meanwhile.
class EventSink final : public IDispatch {
public:
    EventSink(const IID& eventIid, host::EventHandler handler, IUnknown* source)
        : eventIid_(eventIid), handler_(std::move(handler)), source_(source) {}

    void disarm() {
        handler_ = nullptr;
        source_ = nullptr;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == eventIid_) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return DISP_E_BADINDEX;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT*) override;

private:
    ~EventSink() = default;

    IID eventIid_;
    host::EventHandler handler_;
    IUnknown* source_;  // the connection point; not counted: the connection holds it while armed
    std::atomic<ULONG> refs_{1};
};

HRESULT EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                          UINT*) {
    if (result) VariantInit(result);
    if (!handler_) return S_OK;
    const ComPtr<EventSink> self(this);
    const ComPtr<IUnknown> source(source_);
    const host::EventHandler handler = handler_;
    try {
        const UINT count = params ? params->cArgs : 0;
        std::vector<host::Variant> args;
        args.reserve(count);
        for (UINT i = 0; i < count; ++i) args.push_back(fromVariant(params->rgvarg[count - 1 - i]));
        handler(id, args);
        // By-reference booleans (Cancel, CancelDefault) go back to the host.
        for (UINT i = 0; i < count; ++i) {
            VARIANTARG& arg = params->rgvarg[count - 1 - i];
            if (arg.vt == (VT_BYREF | VT_BOOL) && arg.pboolVal && args[i].kind() == host::Variant::Kind::Bool)
                *arg.pboolVal = args[i].asBool() ? VARIANT_TRUE : VARIANT_FALSE;
        }
        return S_OK;
    } catch (...) {
        const HRESULT hr = host::hresultFromCurrentException();
        if (!exception) return hr;
        std::memset(exception, 0, sizeof *exception);
        exception->scode = hr;
        return DISP_E_EXCEPTION;
    }
}

class PointConnection final : public host::EventConnection::Impl {
public:
    PointConnection(ComPtr<IConnectionPoint> point, ComPtr<EventSink> sink, DWORD cookie)
        : point_(std::move(point)), sink_(std::move(sink)), cookie_(cookie) {}

    void disconnect() override {
        if (!sink_) return;
        sink_->disarm();
        sink_.reset();
        const ComPtr<IConnectionPoint> point = std::move(point_);
        check(point->Unadvise(cookie_), "Unadvise");
    }

private:
    ComPtr<IConnectionPoint> point_;
    ComPtr<EventSink> sink_;
    DWORD cookie_;
};

std::unique_ptr<host::EventConnection::Impl> DispatchAutomation::advise(const host::Guid& eventIid,
                                                                        host::EventHandler handler) {
    const GUID iid = toGuid(eventIid);
    ComPtr<IConnectionPointContainer> container;
    check(dispatch_.queryInterface(IID_IConnectionPointContainer, container), "QueryInterface for connection points");
    ComPtr<IConnectionPoint> point;
    check(container->FindConnectionPoint(iid, point.put()), "FindConnectionPoint");
    if (!point) throw host::Error(CONNECT_E_NOCONNECTION, "FindConnectionPoint gave no pointer");
    auto sink = ComPtr<EventSink>::attach(new EventSink(iid, std::move(handler), point.get()));
    DWORD cookie = 0;
    const HRESULT hr = point->Advise(sink.get(), &cookie);
    if (FAILED(hr)) {
        sink->disarm();
        check(hr, "Advise");
    }
    return std::make_unique<PointConnection>(std::move(point), std::move(sink), cookie);
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

IDispatch* dispatchOf(const host::Object& object) {
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
            case VT_BSTR: return host::Variant(toWString(*value.pbstrVal));
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
            check(VariantChangeType(number.get(), const_cast<VARIANT*>(&value), 0, VT_R8), "number conversion");
            return host::Variant(number->dblVal);
        }
        case VT_BSTR: return host::Variant(toWString(value.bstrVal));
        case VT_DISPATCH: return host::Variant(wrapDispatch(value.pdispVal));
        case VT_UNKNOWN: {
            if (!value.punkVal) return host::Variant(host::Object());
            ComPtr<IDispatch> dispatch;
            check(value.punkVal->QueryInterface(IID_IDispatch, dispatch.putVoid()), "QueryInterface for IDispatch");
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
