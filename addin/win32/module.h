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
