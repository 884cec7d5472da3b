#pragma once
// Self-registration (DllRegisterServer, DllUnregisterServer) over the Windows registry; the
// algorithm itself is addin/registration.h.
#include <windows.h>

namespace zeltra::server {

// Each is idempotent. A failed registration removes what it wrote before returning the failure;
// unregistration tries every part and returns the first failure.
HRESULT registerServer() noexcept;
HRESULT unregisterServer() noexcept;

}  // namespace zeltra::server
