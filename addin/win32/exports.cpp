// The library's four exports. There is no DllMain of ours: the loader runs no project code.
#include <windows.h>

#include "addin/win32/class_factory.h"
#include "addin/win32/module.h"
#include "addin/win32/registration.h"

extern "C" {

STDAPI DllCanUnloadNow() { return zeltra::com::canUnload() ? S_OK : S_FALSE; }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    return zeltra::com::getClassObject(clsid, iid, out);
}

STDAPI DllRegisterServer() { return zeltra::com::registerServer(); }

STDAPI DllUnregisterServer() { return zeltra::com::unregisterServer(); }

}  // extern "C"
