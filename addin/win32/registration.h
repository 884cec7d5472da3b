#pragma once
// Self-registration: the type library, the two classes, and the host's add-in entry.
#include <windows.h>

namespace zeltra::server {

// Each is idempotent. A failed registration removes what it wrote before returning the failure.
HRESULT registerServer() noexcept;
HRESULT unregisterServer() noexcept;

}  // namespace zeltra::server
