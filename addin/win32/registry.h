#pragma once
// The registry port over the Windows registry and oleaut32's type-library registration; a registry
// key owner beside it. Failures throw host::Error.
#include <windows.h>

#include <string_view>
#include <utility>

#include "addin/registry_port.h"

namespace zeltra::server {

class RegKey {
public:
    RegKey() = default;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    RegKey(RegKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
    ~RegKey() {
        if (key_) RegCloseKey(key_);
    }

    // Opens the key for setting values, creating it and any missing keys above it.
    static RegKey create(HKEY parent, std::wstring_view path);
    HKEY get() const noexcept { return key_; }

    void setString(std::wstring_view name, std::wstring_view value) const;  // empty name: the default value
    void setDword(std::wstring_view name, DWORD value) const;

private:
    HKEY key_ = nullptr;
};

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
