#include "com/type_info_dispatch.h"

#include <string>

#include "com/boundary.h"
#include "com/module.h"
#include "host/number_text.h"

namespace com {

ComPtr<ITypeInfo> loadTypeInfo(EmbeddedTypeLibrary library, const IID& iid) {
    std::wstring path = modulePath();
    // A type library resource other than the first is named by "\N" after the file.
    if (library != EmbeddedTypeLibrary::Own) path += L"\\" + host::decimalText(static_cast<int>(library));
    ComPtr<ITypeLib> loaded;
    throwIfFailed(LoadTypeLibEx(path.c_str(), REGKIND_NONE, loaded.put()), "LoadTypeLibEx");
    ComPtr<ITypeInfo> info;
    throwIfFailed(loaded->GetTypeInfoOfGuid(iid, info.put()), "GetTypeInfoOfGuid");
    return info;
}

HRESULT TypeInfoDispatch::load() noexcept try {
    if (!info_) info_ = loadTypeInfo(library_, iid_);
    return S_OK;
} catch (...) {
    return hresultFromCaughtException();
}

HRESULT TypeInfoDispatch::getTypeInfoCount(UINT* count) noexcept {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT TypeInfoDispatch::getTypeInfo(UINT index, ITypeInfo** info) noexcept {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    const HRESULT hr = load();
    if (FAILED(hr)) return hr;
    *info = ComPtr<ITypeInfo>(info_).detach();
    return S_OK;
}

HRESULT TypeInfoDispatch::getIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, DISPID* ids) noexcept {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    const HRESULT hr = load();
    if (FAILED(hr)) return hr;
    return DispGetIDsOfNames(info_.get(), names, count, ids);
}

HRESULT TypeInfoDispatch::invoke(void* self, DISPID id, REFIID riid, WORD flags, DISPPARAMS* params,
                                 VARIANT* result, EXCEPINFO* exception, UINT* argError) noexcept {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    const HRESULT hr = load();
    if (FAILED(hr)) return hr;
    return DispInvoke(self, info_.get(), id, flags, params, result, exception, argError);
}

}  // namespace com
