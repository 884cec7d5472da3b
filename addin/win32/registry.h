#pragma once
// The registry port over the Windows registry and oleaut32's type-library registration. Failures
// throw host::Error.
#include <windows.h>

#include <string_view>

#include "addin/registry_port.h"
#include "host/win32/registry_key.h"

namespace zeltra::server {

using host::win32::RegKey;

// HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE; the library's own type library (embedded in its file).
class SystemRegistry final : public RegistryPort {
public:
    void setString(Hive hive, std::wstring_view key, std::wstring_view name, std::wstring_view value) override;
    void setDword(Hive hive, std::wstring_view key, std::wstring_view name, std::uint32_t value) override;
    bool keyExists(Hive hive, std::wstring_view key) override;
    void deleteTree(Hive hive, std::wstring_view key) override;
    void registerTypeLibrary(Scope scope) override;
    void unregisterTypeLibrary(Scope scope) override;
};

}  // namespace zeltra::server
