// The library's four exports. There is no DllMain of ours: the loader runs no project code.
#include <windows.h>

#include "addin/win32/class_objects.h"
#include "addin/win32/registration.h"
#include "com/module.h"

extern "C" {

HRESULT STDAPICALLTYPE DllCanUnloadNow() noexcept { return com::canUnload() ? S_OK : S_FALSE; }

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept {
    return zeltra::server::getClassObject(clsid, iid, out);
}

HRESULT STDAPICALLTYPE DllRegisterServer() noexcept { return zeltra::server::registerServer(); }

HRESULT STDAPICALLTYPE DllUnregisterServer() noexcept { return zeltra::server::unregisterServer(); }

}  // extern "C"
