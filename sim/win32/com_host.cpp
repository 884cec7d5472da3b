#include "sim/win32/com_host.h"

#include <ocidl.h>
#include <olectl.h>

#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "com/boundary.h"
#include "com/ptr.h"
#include "host/win32/guid.h"
#include "sim/win32/pictures.h"

namespace sim::win32 {
namespace {

using com::ComPtr;
using com::UniqueVariant;

using ::win32::fromGuid;

// Whether a call arrived on the thread that made the object; a call from another is a fault.
bool onThread(DWORD owner, const Node& node, const wchar_t* method) {
    const DWORD caller = GetCurrentThreadId();
    if (caller == owner) return true;
    node.model().recordFault(node.name() + L"." + method + L" called on thread " + std::to_wstring(caller) +
                             L"; the object belongs to thread " + std::to_wstring(owner));
    return false;
}

void clear(EXCEPINFO& exception) noexcept {
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    std::memset(&exception, 0, sizeof exception);
}

// The add-in's event sink, as the model sees it.
class DispatchSink final : public Sink {
public:
    DispatchSink(ComHost& host, IDispatch* sink) : host_(host), sink_(sink) {}

    HResult invoke(std::int32_t dispid, std::vector<Value>& args) override;

private:
    ComHost& host_;
    ComPtr<IDispatch> sink_;
};

}  // namespace

class ComObject;

// One interface pointer of a simulated object: a distinct object whose calls the owner answers.
template <class Interface>
class TearOff : public Interface {
public:
    explicit TearOff(ComObject& owner) noexcept : owner_(owner) {}
    TearOff(const TearOff&) = delete;
    TearOff& operator=(const TearOff&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;

protected:
    ComObject& owner_;
};

// The object's identity: IUnknown and nothing else.
class IdentityTearOff final : public TearOff<IUnknown> {
public:
    using TearOff::TearOff;
};

// IDispatch, and each dual Outlook or Office interface of the object.
class DispatchTearOff final : public TearOff<IDispatch> {
public:
    using TearOff::TearOff;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) noexcept override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argError) noexcept override;
};

// An Explorer's or Inspector's window, as Outlook's window objects give it.
class OleWindowTearOff final : public TearOff<IOleWindow> {
public:
    using TearOff::TearOff;

    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) noexcept override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) noexcept override { return E_NOTIMPL; }
};

class ContainerTearOff final : public TearOff<IConnectionPointContainer> {
public:
    using TearOff::TearOff;

    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) noexcept override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) noexcept override;
};

// A connection point is an object of its own: its references are counted on its own model object.
class ConnectionPoint final : public IConnectionPoint {
public:
    ConnectionPoint(ComObject& container, Node& self, const GUID& iid)
        : container_(container), self_(self), iid_(iid), thread_(GetCurrentThreadId()) {}
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;

    ULONG addRef() {
        self_.addRef();
        return static_cast<ULONG>(self_.refs());
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) noexcept override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) noexcept override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) noexcept override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) noexcept override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) noexcept override;

private:
    ComObject& container_;
    Node& self_;
    GUID iid_;
    DWORD thread_;
};

// The COM face of one model object: its tear-offs and connection points, all answered here.
class ComObject {
public:
    ComObject(ComHost& host, Node& node) : host_(host), node_(node), thread_(GetCurrentThreadId()) {
        for (const host::Guid& iid : typedInterfacesOf(node.kind()))
            typed_.emplace_back(iid, std::make_unique<DispatchTearOff>(*this));
    }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    Node& node() const { return node_; }
    ComHost& host() const { return host_; }
    IDispatch* dispatch() noexcept { return &dispatch_; }
    IConnectionPointContainer* container() noexcept { return &container_; }
    bool owns(const IUnknown* pointer) const noexcept;

    // What every tear-off answers.
    bool onOwnThread(const wchar_t* method) const { return onThread(thread_, node_, method); }
    HRESULT queryInterface(REFIID iid, void** out);
    ULONG addRef() {
        node_.addRef();
        return static_cast<ULONG>(node_.refs());
    }
    ULONG release() {
        node_.release();
        return static_cast<ULONG>(node_.refs());
    }
    HRESULT getIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, DISPID* ids);
    HRESULT invoke(DISPID id, REFIID riid, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                   UINT* argError);
    HRESULT findConnectionPoint(REFIID iid, IConnectionPoint** out);

private:
    ComHost& host_;
    Node& node_;
    DWORD thread_;
    IdentityTearOff identity_{*this};
    DispatchTearOff dispatch_{*this};
    std::vector<std::pair<host::Guid, std::unique_ptr<DispatchTearOff>>> typed_;
    ContainerTearOff container_{*this};
    OleWindowTearOff oleWindow_{*this};
    std::map<host::Guid, std::unique_ptr<ConnectionPoint>> points_;
};

// --- Tear-offs ----------------------------------------------------------------------------------

template <class Interface>
HRESULT STDMETHODCALLTYPE TearOff<Interface>::QueryInterface(REFIID iid, void** out) noexcept try {
    if (!owner_.onOwnThread(L"QueryInterface")) return RPC_E_WRONG_THREAD;
    return owner_.queryInterface(iid, out);
} catch (...) {
    return com::hresultFromCaughtException();
}

// AddRef and Release from another thread still count (the fault fails the run either way).
template <class Interface>
ULONG STDMETHODCALLTYPE TearOff<Interface>::AddRef() noexcept try {
    owner_.onOwnThread(L"AddRef");
    return owner_.addRef();
} catch (...) {
    return 1;
}

template <class Interface>
ULONG STDMETHODCALLTYPE TearOff<Interface>::Release() noexcept try {
    owner_.onOwnThread(L"Release");
    return owner_.release();
} catch (...) {
    return 1;
}

HRESULT STDMETHODCALLTYPE DispatchTearOff::GetTypeInfoCount(UINT* count) noexcept try {
    if (!owner_.onOwnThread(L"GetTypeInfoCount")) return RPC_E_WRONG_THREAD;
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
} catch (...) {
    return com::hresultFromCaughtException();
}

HRESULT STDMETHODCALLTYPE DispatchTearOff::GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept try {
    if (info) *info = nullptr;
    if (!owner_.onOwnThread(L"GetTypeInfo")) return RPC_E_WRONG_THREAD;
    return DISP_E_BADINDEX;
} catch (...) {
    return com::hresultFromCaughtException();
}

HRESULT STDMETHODCALLTYPE DispatchTearOff::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                                         DISPID* ids) noexcept try {
    if (!owner_.onOwnThread(L"GetIDsOfNames")) return RPC_E_WRONG_THREAD;
    return owner_.getIDsOfNames(riid, names, count, ids);
} catch (...) {
    return com::hresultFromCaughtException();
}

HRESULT STDMETHODCALLTYPE DispatchTearOff::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                                  VARIANT* result, EXCEPINFO* exception, UINT* argError) noexcept try {
    if (!owner_.onOwnThread(L"Invoke")) return RPC_E_WRONG_THREAD;
    return owner_.invoke(id, riid, flags, params, result, exception, argError);
} catch (...) {
    return com::hresultFromCaughtException();
}

HRESULT STDMETHODCALLTYPE OleWindowTearOff::GetWindow(HWND* window) noexcept try {
    if (window) *window = nullptr;
    if (!owner_.onOwnThread(L"GetWindow")) return RPC_E_WRONG_THREAD;
    if (!window) return E_POINTER;
    *window = reinterpret_cast<HWND>(owner_.node().model().windowHandle(owner_.node()));
    return S_OK;
} catch (...) {
    return com::hresultFromCaughtException();
}

HRESULT STDMETHODCALLTYPE ContainerTearOff::EnumConnectionPoints(IEnumConnectionPoints** out) noexcept try {
    if (out) *out = nullptr;
    if (!owner_.onOwnThread(L"EnumConnectionPoints")) return RPC_E_WRONG_THREAD;
    return E_NOTIMPL;
} catch (...) {
    return com::hresultFromCaughtException();
}

HRESULT STDMETHODCALLTYPE ContainerTearOff::FindConnectionPoint(REFIID iid, IConnectionPoint** out) noexcept try {
    if (!owner_.onOwnThread(L"FindConnectionPoint")) return RPC_E_WRONG_THREAD;
    return owner_.findConnectionPoint(iid, out);
} catch (...) {
    return com::hresultFromCaughtException();
}

// --- Connection points --------------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE ConnectionPoint::QueryInterface(REFIID iid, void** out) noexcept try {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!onThread(thread_, self_, L"QueryInterface")) return RPC_E_WRONG_THREAD;
    if (iid != IID_IUnknown && iid != IID_IConnectionPoint) return E_NOINTERFACE;
    addRef();
    *out = static_cast<IConnectionPoint*>(this);
    return S_OK;
} catch (...) {
    return com::hresultFromCaughtException();
}

ULONG STDMETHODCALLTYPE ConnectionPoint::AddRef() noexcept try {
    onThread(thread_, self_, L"AddRef");
    return addRef();
} catch (...) {
    return 1;
}

ULONG STDMETHODCALLTYPE ConnectionPoint::Release() noexcept try {
    onThread(thread_, self_, L"Release");
    self_.release();
    return static_cast<ULONG>(self_.refs());
} catch (...) {
    return 1;
}

HRESULT STDMETHODCALLTYPE ConnectionPoint::GetConnectionInterface(IID* iid) noexcept try {
    if (!onThread(thread_, self_, L"GetConnectionInterface")) return RPC_E_WRONG_THREAD;
    if (!iid) return E_POINTER;
    *iid = iid_;
    return S_OK;
} catch (...) {
    return com::hresultFromCaughtException();
}

HRESULT STDMETHODCALLTYPE ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) noexcept try {
    if (out) *out = nullptr;
    if (!onThread(thread_, self_, L"GetConnectionPointContainer")) return RPC_E_WRONG_THREAD;
    if (!out) return E_POINTER;
    container_.addRef();
    *out = container_.container();
    return S_OK;
} catch (...) {
    return com::hresultFromCaughtException();
}

HRESULT STDMETHODCALLTYPE ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) noexcept try {
    if (cookie) *cookie = 0;
    if (!onThread(thread_, self_, L"Advise")) return RPC_E_WRONG_THREAD;
    if (!sink || !cookie) return E_POINTER;
    // Office asks the sink for the event interface itself.
    ComPtr<IDispatch> dispatch;
    if (FAILED(sink->QueryInterface(iid_, dispatch.putVoid())) || !dispatch) return CONNECT_E_CANNOTCONNECT;
    auto adapter = std::make_shared<DispatchSink>(container_.host(), dispatch.get());
    *cookie = container_.node().model().advise(container_.node(), fromGuid(iid_), std::move(adapter));
    return S_OK;
} catch (...) {
    return com::hresultFromCaughtException();
}

HRESULT STDMETHODCALLTYPE ConnectionPoint::Unadvise(DWORD cookie) noexcept try {
    if (!onThread(thread_, self_, L"Unadvise")) return RPC_E_WRONG_THREAD;
    container_.node().model().unadvise(container_.node(), cookie);
    return S_OK;
} catch (...) {
    return com::hresultFromCaughtException();
}

HRESULT STDMETHODCALLTYPE ConnectionPoint::EnumConnections(IEnumConnections** out) noexcept try {
    if (out) *out = nullptr;
    if (!onThread(thread_, self_, L"EnumConnections")) return RPC_E_WRONG_THREAD;
    return E_NOTIMPL;
} catch (...) {
    return com::hresultFromCaughtException();
}

// --- Values -------------------------------------------------------------------------------------
namespace {

// An argument from the add-in as a model value; nothing for a VARIANT type the model does not take.
std::optional<Value> toValue(const ComHost& host, const VARIANT& v) {
    switch (v.vt) {
        case VT_EMPTY: return Value(std::monostate{});
        case VT_BOOL: return Value(v.boolVal != VARIANT_FALSE);
        case VT_I1: return Value(static_cast<std::int32_t>(v.cVal));
        case VT_UI1: return Value(static_cast<std::int32_t>(v.bVal));
        case VT_I2: return Value(static_cast<std::int32_t>(v.iVal));
        case VT_UI2: return Value(static_cast<std::int32_t>(v.uiVal));
        case VT_I4: return Value(static_cast<std::int32_t>(v.lVal));
        case VT_INT: return Value(static_cast<std::int32_t>(v.intVal));
        case VT_R8: return Value(v.dblVal);
        case VT_BSTR: return Value(com::toWString(v.bstrVal));
        case VT_ERROR:
            if (v.scode == DISP_E_PARAMNOTFOUND) return Value(Missing{});
            return std::nullopt;
        case VT_DISPATCH:
        case VT_UNKNOWN:
            if (!v.punkVal) return Value(static_cast<Node*>(nullptr));
            if (Node* node = host.nodeOf(v.punkVal)) return Value(node);
            // A picture of the add-in's: the host keeps what it shows, not the object.
            if (auto image = readPicture(v.punkVal)) return Value(&host.model().pictureObject(std::move(*image)));
            return std::nullopt;
        case VT_BYREF | VT_VARIANT:
            // Taken as the value it refers to.
            if (v.pvarVal && v.pvarVal->vt != (VT_BYREF | VT_VARIANT)) return toValue(host, *v.pvarVal);
            return std::nullopt;
        default: return std::nullopt;
    }
}

// A model value out to the add-in, into an empty VARIANT that then owns what it holds.
void toVariant(ComHost& host, const Value& value, VARIANT& out) {
    if (const auto* b = std::get_if<bool>(&value)) {
        out.vt = VT_BOOL;
        out.boolVal = *b ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (const auto* i = std::get_if<std::int32_t>(&value)) {
        out.vt = VT_I4;
        out.lVal = *i;
    } else if (const auto* d = std::get_if<double>(&value)) {
        out.vt = VT_R8;
        out.dblVal = *d;
    } else if (const auto* s = std::get_if<std::wstring>(&value)) {
        out.bstrVal = com::Bstr(*s).detach();
        out.vt = VT_BSTR;
    } else if (const auto* n = std::get_if<Node*>(&value)) {
        out.pdispVal = host.dispatchFor(*n);
        out.vt = VT_DISPATCH;
    } else if (std::holds_alternative<Missing>(value)) {
        out.vt = VT_ERROR;
        out.scode = DISP_E_PARAMNOTFOUND;
    }
}

HResult DispatchSink::invoke(std::int32_t dispid, std::vector<Value>& args) {
    try {
        const std::size_t count = args.size();
        // Event arguments go in reverse order; booleans (Cancel, CancelDefault) by reference, either
        // to a VARIANT_BOOL or to a VARIANT holding one.
        std::vector<UniqueVariant> values(count);
        std::vector<VARIANT_BOOL> flags(count, VARIANT_FALSE);
        std::vector<UniqueVariant> boxes(count);
        const ByRefStyle style = host_.byRefStyle();
        for (std::size_t i = 0; i < count; ++i) {
            VARIANT& v = *values[count - 1 - i].get();
            if (const auto* b = std::get_if<bool>(&args[i])) {
                const VARIANT_BOOL flag = *b ? VARIANT_TRUE : VARIANT_FALSE;
                if (style == ByRefStyle::Bool) {
                    flags[i] = flag;
                    v.vt = VT_BYREF | VT_BOOL;
                    v.pboolVal = &flags[i];
                } else {
                    boxes[i]->vt = VT_BOOL;
                    boxes[i]->boolVal = flag;
                    v.vt = VT_BYREF | VT_VARIANT;
                    v.pvarVal = boxes[i].get();
                }
            } else {
                toVariant(host_, args[i], v);
            }
        }
        DISPPARAMS params{count ? values.front().get() : nullptr, nullptr, static_cast<UINT>(count), 0};
        EXCEPINFO exception{};
        UINT argError = 0;
        const ComPtr<IDispatch> sink = sink_;  // the add-in may unadvise this sink while its handler runs
        HRESULT hr = sink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, &exception,
                                  &argError);
        if (hr == DISP_E_EXCEPTION) hr = FAILED(exception.scode) ? exception.scode : E_FAIL;
        clear(exception);
        for (std::size_t i = 0; i < count; ++i) {
            if (!std::holds_alternative<bool>(args[i])) continue;
            if (style == ByRefStyle::Bool) {
                args[i] = flags[i] != VARIANT_FALSE;
                continue;
            }
            UniqueVariant answer;
            if (SUCCEEDED(VariantChangeType(answer.get(), boxes[i].get(), 0, VT_BOOL)))
                args[i] = answer->boolVal != VARIANT_FALSE;
        }
        return hr;
    } catch (...) {
        return host::hresultFromCaughtException();
    }
}

}  // namespace

// --- The object ---------------------------------------------------------------------------------

bool ComObject::owns(const IUnknown* pointer) const noexcept {
    const void* p = pointer;
    if (p == static_cast<const IUnknown*>(&identity_) || p == static_cast<const IDispatch*>(&dispatch_) ||
        p == static_cast<const IConnectionPointContainer*>(&container_) || p == static_cast<const IOleWindow*>(&oleWindow_))
        return true;
    for (const auto& [iid, tearOff] : typed_)
        if (p == static_cast<const IDispatch*>(tearOff.get())) return true;
    return false;
}

HRESULT ComObject::queryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    const host::Guid key = fromGuid(iid);
    try {
        node_.model().queryInterface(node_, key);
    } catch (const host::Error& e) {
        return e.hr();
    }
    IUnknown* answer = nullptr;
    if (iid == IID_IUnknown) answer = &identity_;
    else if (iid == IID_IDispatch) answer = &dispatch_;
    else if (iid == IID_IConnectionPointContainer) answer = &container_;
    else if (iid == IID_IOleWindow) answer = &oleWindow_;
    for (const auto& [typedIid, tearOff] : typed_)
        if (!answer && typedIid == key) answer = tearOff.get();
    if (!answer) return E_NOINTERFACE;
    addRef();
    *out = answer;
    return S_OK;
}

HRESULT ComObject::getIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, DISPID* ids) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!names || !ids) return E_POINTER;
    HRESULT hr = S_OK;
    // Named arguments are not taken, so no parameter name is known either.
    for (UINT i = 0; i < count; ++i) {
        const auto id = i == 0 && names[0] ? node_.model().dispidOf(node_, names[0]) : std::nullopt;
        ids[i] = id ? *id : DISPID_UNKNOWN;
        if (!id) hr = DISP_E_UNKNOWNNAME;
    }
    if (FAILED(hr) && count > 0 && names[0])
        node_.model().trace(TraceEntry::Type::AddInCall, node_.name() + L"." + names[0] + L": no such member");
    return hr;
}

HRESULT ComObject::invoke(DISPID id, REFIID riid, WORD flags, DISPPARAMS* params, VARIANT* result,
                          EXCEPINFO* exception, UINT* argError) {
    if (result) VariantInit(result);
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!params || (params->cArgs && !params->rgvarg) || (params->cNamedArgs && !params->rgdispidNamedArgs) ||
        params->cNamedArgs > params->cArgs)
        return E_INVALIDARG;
    Model& model = node_.model();
    const UINT count = params->cArgs;
    try {
        const InvokeFlags kind = model.invokeKind(node_, id, static_cast<InvokeFlags>(flags));
        // The value of a put is the one named argument DISPID_PROPERTYPUT; nothing else is named.
        if (kind & (invoke::put | invoke::putRef)) {
            if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
                model.trace(TraceEntry::Type::Failure,
                            node_.name() + L": a put without its one DISPID_PROPERTYPUT argument refused");
                return DISP_E_PARAMNOTOPTIONAL;
            }
        } else if (params->cNamedArgs != 0) {
            model.trace(TraceEntry::Type::Failure, node_.name() + L": a call with named arguments refused");
            return DISP_E_NONAMEDARGS;
        }
        // Arguments arrive in reverse order: rgvarg[count - 1] is the first.
        std::vector<Value> args;
        args.reserve(count);
        for (UINT i = 0; i < count; ++i) {
            const UINT index = count - 1 - i;
            auto value = toValue(host_, params->rgvarg[index]);
            if (!value) {
                if (argError) *argError = index;
                return DISP_E_TYPEMISMATCH;
            }
            args.push_back(std::move(*value));
        }
        const Value value = model.invoke(node_, id, static_cast<InvokeFlags>(flags), args);
        if (result) toVariant(host_, value, *result);
        return S_OK;
    } catch (const ArgumentError& e) {
        if (e.position() && *e.position() < count && argError)
            *argError = count - 1 - static_cast<UINT>(*e.position());
        return e.hr();
    } catch (const MemberFailure& e) {
        if (!exception) return e.hr();
        std::memset(exception, 0, sizeof *exception);
        exception->scode = e.hr();
        exception->bstrSource = SysAllocString(L"Outlook simulator");
        return DISP_E_EXCEPTION;
    } catch (const host::Error& e) {
        return e.hr();
    }
}

HRESULT ComObject::findConnectionPoint(REFIID iid, IConnectionPoint** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    const host::Guid key = fromGuid(iid);
    Model& model = node_.model();
    if (!model.raisesEvents(node_, key)) return CONNECT_E_NOCONNECTION;
    auto& point = points_[key];
    if (!point) point = std::make_unique<ConnectionPoint>(*this, model.connectionPoint(node_, key), iid);
    point->addRef();
    *out = point.get();
    return S_OK;
}

// --- The host -----------------------------------------------------------------------------------

// PasteFace takes the picture from the real clipboard, as Office does.
ComHost::ComHost(Model& model) : model_(model) {
    model_.setClipboardPictureSource([this] { return clipboard_.picture(); });
}
ComHost::~ComHost() = default;

IDispatch* ComHost::dispatchFor(Node* node) {
    if (!node) return nullptr;
    auto& object = objects_[node];
    if (!object) object = std::make_unique<ComObject>(*this, *node);
    object->addRef();
    return object->dispatch();
}

void ComHost::toVariant(const Value& value, VARIANT& out) { win32::toVariant(*this, value, out); }
std::optional<Value> ComHost::toValue(const VARIANT& value) const { return win32::toValue(*this, value); }

Node* ComHost::nodeOf(IUnknown* unknown) const {
    for (const auto& [node, object] : objects_)
        if (object->owns(unknown)) return node;
    return nullptr;
}

}  // namespace sim::win32
