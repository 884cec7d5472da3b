#pragma once
#include <windows.h>

namespace zeltra::com {

// DllGetClassObject: the class object of Connect or OutAddIn, queried for iid.
HRESULT getClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept;

}  // namespace zeltra::com
