#include "sim/win32/com_host.h"

#include <ocidl.h>
#include <olectl.h>

#include <cstring>
#include <vector>

namespace sim::win32 {
namespace {

host::Guid fromGuid(const GUID& g) {
    host::Guid result;
    std::memcpy(static_cast<void*>(&result), &g, sizeof result);
    return result;
}

// The add-in's event sink, as the model sees it.
class DispatchSink final : public Sink {
public:
    DispatchSink(ComHost& host, IDispatch* sink) : host_(host), sink_(sink) { sink_->AddRef(); }
    ~DispatchSink() override { sink_->Release(); }

    HResult invoke(std::int32_t dispid, std::vector<Value>& args) override;

private:
    ComHost& host_;
    IDispatch* sink_;
};

}  // namespace

class ConnectionPoint;

class ComObject final : public IDispatch, public IConnectionPointContainer {
public:
    ComObject(ComHost& host, Node& node) : host_(host), node_(node) {}
    ~ComObject();

    Node& node() const { return node_; }
    ComHost& host() const { return host_; }

    // IUnknown: references are counted on the model object; the host owns the COM object.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override {
        node_.addRef();
        return static_cast<ULONG>(node_.refs());
    }
    ULONG STDMETHODCALLTYPE Release() override {
        node_.release();
        return static_cast<ULONG>(node_.refs());
    }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return DISP_E_BADINDEX;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argError) override;

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

private:
    ComHost& host_;
    Node& node_;
    std::map<host::Guid, std::unique_ptr<ConnectionPoint>> points_;
};

// A connection point is part of its object: its references are counted on the same model object.
class ConnectionPoint final : public IConnectionPoint {
public:
    ConnectionPoint(ComObject& owner, const GUID& iid) : owner_(owner), iid_(iid) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
            *out = static_cast<IConnectionPoint*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return owner_.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return owner_.Release(); }

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
        if (!iid) return E_POINTER;
        *iid = iid_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override {
        if (!out) return E_POINTER;
        owner_.AddRef();
        *out = &owner_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
        if (!sink || !cookie) return E_POINTER;
        *cookie = 0;
        IDispatch* dispatch = nullptr;
        // Office asks the sink for the event interface itself.
        if (FAILED(sink->QueryInterface(iid_, reinterpret_cast<void**>(&dispatch))) || !dispatch)
            return CONNECT_E_CANNOTCONNECT;
        auto adapter = std::make_shared<DispatchSink>(owner_.host(), dispatch);
        dispatch->Release();
        try {
            *cookie = owner_.node().model().advise(owner_.node(), fromGuid(iid_), std::move(adapter));
            return S_OK;
        } catch (const host::Error& e) {
            return e.hr();
        }
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
        try {
            owner_.node().model().unadvise(owner_.node(), cookie);
            return S_OK;
        } catch (const host::Error& e) {
            return e.hr();
        }
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }

private:
    ComObject& owner_;
    GUID iid_;
};

ComObject::~ComObject() = default;

namespace {

// Arguments from the add-in, into model values.
Value toValue(const ComHost& host, const VARIANT& v) {
    switch (v.vt) {
        case VT_EMPTY: return std::monostate{};
        case VT_BOOL: return v.boolVal != VARIANT_FALSE;
        case VT_I2: return static_cast<std::int32_t>(v.iVal);
        case VT_I4: return static_cast<std::int32_t>(v.lVal);
        case VT_INT: return static_cast<std::int32_t>(v.intVal);
        case VT_R8: return v.dblVal;
        case VT_BSTR: return std::wstring(v.bstrVal ? v.bstrVal : L"", v.bstrVal ? SysStringLen(v.bstrVal) : 0);
        case VT_ERROR:
            if (v.scode == DISP_E_PARAMNOTFOUND) return Missing{};
            break;
        case VT_DISPATCH:
        case VT_UNKNOWN: {
            if (!v.punkVal) return static_cast<Node*>(nullptr);
            if (Node* node = host.nodeOf(v.punkVal)) return node;
            break;
        }
        case VT_BYREF | VT_VARIANT:
            if (v.pvarVal) return toValue(host, *v.pvarVal);
            break;
        default: break;
    }
    throw host::Error(DISP_E_TYPEMISMATCH, "argument type not taken");
}

// Model values out to the add-in; the VARIANT owns what it holds.
void toVariant(ComHost& host, const Value& value, VARIANT& out) {
    VariantInit(&out);
    if (std::holds_alternative<bool>(value)) {
        out.vt = VT_BOOL;
        out.boolVal = std::get<bool>(value) ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (const auto* i = std::get_if<std::int32_t>(&value)) {
        out.vt = VT_I4;
        out.lVal = *i;
    } else if (const auto* d = std::get_if<double>(&value)) {
        out.vt = VT_R8;
        out.dblVal = *d;
    } else if (const auto* s = std::get_if<std::wstring>(&value)) {
        out.vt = VT_BSTR;
        out.bstrVal = SysAllocStringLen(s->data(), static_cast<UINT>(s->size()));
    } else if (const auto* n = std::get_if<Node*>(&value)) {
        out.vt = VT_DISPATCH;
        out.pdispVal = host.dispatchFor(*n);
    } else if (std::holds_alternative<Missing>(value)) {
        out.vt = VT_ERROR;
        out.scode = DISP_E_PARAMNOTFOUND;
    }
}

HResult DispatchSink::invoke(std::int32_t dispid, std::vector<Value>& args) {
    const std::size_t count = args.size();
    std::vector<VARIANT> values(count);
    std::vector<VARIANT_BOOL> flags(count, VARIANT_FALSE);
    // Event arguments go in reverse order; booleans (Cancel, CancelDefault) by reference.
    for (std::size_t i = 0; i < count; ++i) {
        VARIANT& v = values[count - 1 - i];
        if (const auto* b = std::get_if<bool>(&args[i])) {
            VariantInit(&v);
            flags[i] = *b ? VARIANT_TRUE : VARIANT_FALSE;
            v.vt = VT_BYREF | VT_BOOL;
            v.pboolVal = &flags[i];
        } else {
            toVariant(host_, args[i], v);
        }
    }
    DISPPARAMS params{values.empty() ? nullptr : values.data(), nullptr, static_cast<UINT>(count), 0};
    EXCEPINFO exception{};
    UINT argError = 0;
    sink_->AddRef();  // the add-in may unadvise this sink while its handler runs
    HRESULT hr = sink_->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, &exception,
                               &argError);
    sink_->Release();
    if (hr == DISP_E_EXCEPTION) hr = FAILED(exception.scode) ? exception.scode : E_FAIL;
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    for (std::size_t i = 0; i < count; ++i) {
        if (std::holds_alternative<bool>(args[i])) args[i] = flags[i] != VARIANT_FALSE;
        else VariantClear(&values[count - 1 - i]);
    }
    return hr;
}

}  // namespace

HRESULT ComObject::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    try {
        node_.model().queryInterface(node_, fromGuid(iid));
    } catch (const host::Error& e) {
        return e.hr();
    }
    if (iid == IID_IConnectionPointContainer) {
        *out = static_cast<IConnectionPointContainer*>(this);
    } else {
        *out = static_cast<IDispatch*>(this);  // the Outlook interfaces are all dual
    }
    AddRef();
    return S_OK;
}

HRESULT ComObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids) return E_POINTER;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        const auto id = i == 0 && names[0] ? node_.model().dispidOf(node_, names[0]) : std::nullopt;
        ids[i] = id ? *id : DISPID_UNKNOWN;
        if (!id) hr = DISP_E_UNKNOWNNAME;
    }
    if (FAILED(hr) && count > 0 && names[0])
        node_.model().trace(TraceEntry::Type::AddInCall, node_.name() + L"." + names[0] + L": no such member");
    return hr;
}

HRESULT ComObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                          EXCEPINFO* exception, UINT*) {
    if (result) VariantInit(result);
    try {
        std::vector<Value> args;
        const UINT count = params ? params->cArgs : 0;
        for (UINT i = 0; i < count; ++i) args.push_back(toValue(host_, params->rgvarg[count - 1 - i]));
        const Value value = node_.model().invoke(node_, id, static_cast<InvokeFlags>(flags), args);
        if (result) toVariant(host_, value, *result);
        return S_OK;
    } catch (const InjectedFailure& e) {
        if (!exception) return e.hr();
        std::memset(exception, 0, sizeof *exception);
        exception->scode = e.hr();
        exception->bstrSource = SysAllocString(L"Outlook simulator");
        return DISP_E_EXCEPTION;
    } catch (const host::Error& e) {
        return e.hr();
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT ComObject::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    const host::Guid key = fromGuid(iid);
    if (!node_.model().raisesEvents(node_, key)) return CONNECT_E_NOCONNECTION;
    auto& point = points_[key];
    if (!point) point = std::make_unique<ConnectionPoint>(*this, iid);
    point->AddRef();
    *out = point.get();
    return S_OK;
}

ComHost::ComHost(Model& model) : model_(model) {}
ComHost::~ComHost() = default;

IDispatch* ComHost::dispatchFor(Node* node) {
    if (!node) return nullptr;
    auto& object = objects_[node];
    if (!object) object = std::make_unique<ComObject>(*this, *node);
    object->AddRef();
    return object.get();
}

Node* ComHost::nodeOf(IUnknown* unknown) const {
    for (const auto& [node, object] : objects_) {
        if (unknown == static_cast<IDispatch*>(object.get()) ||
            unknown == static_cast<IConnectionPointContainer*>(object.get()))
            return node;
    }
    return nullptr;
}

}  // namespace sim::win32
