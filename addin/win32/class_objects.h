#pragma once
// The library's creatable classes, Connect and OutAddIn, as DllGetClassObject serves them.
#include <windows.h>

namespace zeltra::server {

// DllGetClassObject: the class object of Connect or OutAddIn, queried for iid.
HRESULT getClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept;

}  // namespace zeltra::server
