#pragma once
// IDispatch of a dual interface, answered from a type library embedded in the library's own file:
// names and DISPIDs from its description, and Invoke through DispInvoke onto the vtable, which
// converts the arguments and checks the invoke kinds as any type-library-driven dispatch does.
#include <windows.h>
#include <oaidl.h>

#include "com/ptr.h"

namespace com {

// The embedded type libraries: 1 is the component's own, the registered one; 2 holds the host
// interfaces the library serves (never registered).
enum class EmbeddedTypeLibrary : int { Own = 1, HostInterfaces = 2 };

// The embedded library's description of iid; throws host::Error on failure.
ComPtr<ITypeInfo> loadTypeInfo(EmbeddedTypeLibrary library, const IID& iid);

class TypeInfoDispatch {
public:
    TypeInfoDispatch(EmbeddedTypeLibrary library, const IID& iid) noexcept : library_(library), iid_(iid) {}

    HRESULT getTypeInfoCount(UINT* count) noexcept;
    HRESULT getTypeInfo(UINT index, ITypeInfo** info) noexcept;
    HRESULT getIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, DISPID* ids) noexcept;
    // self: the dual interface whose vtable the call reaches.
    HRESULT invoke(void* self, DISPID id, REFIID riid, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* exception, UINT* argError) noexcept;

private:
    HRESULT load() noexcept;
    EmbeddedTypeLibrary library_;
    IID iid_;
    ComPtr<ITypeInfo> info_;
};

// Derive from this instead of the dual interface Dual itself: it serves Dual's IDispatch methods
// from the embedded description of iid.
template <class Dual, const IID& iid, EmbeddedTypeLibrary library = EmbeddedTypeLibrary::Own>
class DualFromTypeLibrary : public Dual {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override {
        return dispatch_.getTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) noexcept override {
        return dispatch_.getTypeInfo(index, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) noexcept override {
        return dispatch_.getIDsOfNames(riid, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argError) noexcept override {
        return dispatch_.invoke(static_cast<Dual*>(this), id, riid, flags, params, result, exception, argError);
    }

private:
    TypeInfoDispatch dispatch_{library, iid};
};

}  // namespace com
