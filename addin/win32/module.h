#pragma once
// What the library as a whole keeps: the count of live objects and server locks that
// DllCanUnloadNow reports, the library's own path, and access to its embedded type library.
#include <windows.h>
#include <oaidl.h>

#include <string>

#include "host/win32/com.h"

namespace zeltra::com {

// Every object of the library counts itself for its lifetime.
class ModuleObject {
public:
    ModuleObject() noexcept;
    ModuleObject(const ModuleObject&) noexcept;
    ModuleObject& operator=(const ModuleObject&) = default;
    ~ModuleObject();
};

void lockServer(bool lock) noexcept;
bool canUnload() noexcept;

HMODULE moduleHandle() noexcept;
std::wstring modulePath();

// The embedded type library's description of iid; throws host::Error on failure.
win32::ComPtr<ITypeInfo> loadTypeInfo(const IID& iid);

// IDispatch of a dual interface, answered from the embedded type library.
class TypeInfoDispatch {
public:
    explicit TypeInfoDispatch(const IID& iid) : iid_(iid) {}
    HRESULT getTypeInfoCount(UINT* count) noexcept;
    HRESULT getTypeInfo(UINT index, ITypeInfo** info) noexcept;
    HRESULT getIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids) noexcept;
    // self: the dual interface whose vtable the call reaches.
    HRESULT invoke(void* self, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                   UINT* argError) noexcept;

private:
    HRESULT load() noexcept;
    IID iid_;
    win32::ComPtr<ITypeInfo> info_;
};

}  // namespace zeltra::com

// The four IDispatch methods of a class whose member `dispatch_` (a TypeInfoDispatch) answers
// them; `Dual` is the dual interface through which Invoke reaches the vtable.
#define ZELTRA_IDISPATCH_FROM_TYPE_INFO(Dual)                                                              \
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return dispatch_.getTypeInfoCount(count); } \
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {                   \
        return dispatch_.getTypeInfo(index, info);                                                          \
    }                                                                                                       \
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override { \
        return dispatch_.getIDsOfNames(names, count, ids);                                                  \
    }                                                                                                       \
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, \
                                     EXCEPINFO* exception, UINT* argError) override {                       \
        return dispatch_.invoke(static_cast<Dual*>(this), id, flags, params, result, exception, argError);  \
    }
