#include "addin/win32/module.h"

#include <atomic>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace zeltra::com {
namespace {
// Constant-initialised: loading the library runs no code of ours.
std::atomic<long> liveObjects{0};
std::atomic<long> serverLocks{0};
}  // namespace

ModuleObject::ModuleObject() noexcept { ++liveObjects; }
ModuleObject::ModuleObject(const ModuleObject&) noexcept { ++liveObjects; }
ModuleObject::~ModuleObject() { --liveObjects; }

void lockServer(bool lock) noexcept {
    if (lock) ++serverLocks;
    else --serverLocks;
}

bool canUnload() noexcept { return liveObjects == 0 && serverLocks == 0; }

HMODULE moduleHandle() noexcept { return reinterpret_cast<HMODULE>(&__ImageBase); }

std::wstring modulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(moduleHandle(), path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) throw host::Error(HRESULT_FROM_WIN32(GetLastError()), "GetModuleFileName");
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

win32::ComPtr<ITypeInfo> loadTypeInfo(const IID& iid) {
    win32::ComPtr<ITypeLib> library;
    win32::check(LoadTypeLibEx(modulePath().c_str(), REGKIND_NONE, library.put()), "LoadTypeLibEx");
    win32::ComPtr<ITypeInfo> info;
    win32::check(library->GetTypeInfoOfGuid(iid, info.put()), "GetTypeInfoOfGuid");
    return info;
}

HRESULT TypeInfoDispatch::load() noexcept {
    if (info_) return S_OK;
    ZELTRA_COM_BOUNDARY_BEGIN
    info_ = loadTypeInfo(iid_);
    return S_OK;
    ZELTRA_COM_BOUNDARY_END
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
    *info = win32::ComPtr<ITypeInfo>(info_).detach();
    return S_OK;
}

HRESULT TypeInfoDispatch::getIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids) noexcept {
    const HRESULT hr = load();
    if (FAILED(hr)) return hr;
    return DispGetIDsOfNames(info_.get(), names, count, ids);
}

HRESULT TypeInfoDispatch::invoke(void* self, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                 EXCEPINFO* exception, UINT* argError) noexcept {
    const HRESULT hr = load();
    if (FAILED(hr)) return hr;
    return DispInvoke(self, info_.get(), id, flags, params, result, exception, argError);
}

}  // namespace zeltra::com
