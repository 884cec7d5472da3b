#include "host/win32/product_keys.h"

#include <windows.h>

#include "host/win32/registry_key.h"

namespace host::win32 {
namespace {

constexpr wchar_t productKey[] = L"Software\\Corvane\\Zeltra";

}  // namespace

std::optional<std::uint64_t> SystemProductKeys::installationWriteTime() noexcept {
    const RegKey key = RegKey::open(HKEY_LOCAL_MACHINE, productKey, KEY_QUERY_VALUE);
    if (!key) return std::nullopt;
    FILETIME written{};
    if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, &written) != ERROR_SUCCESS)
        return std::nullopt;
    return (static_cast<std::uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
}

std::optional<std::wstring> SystemProductKeys::userValue(std::wstring_view name) noexcept {
    return RegKey::open(HKEY_CURRENT_USER, productKey, KEY_QUERY_VALUE).string(name);
}

void SystemProductKeys::setUserValue(std::wstring_view name, std::wstring_view value) {
    RegKey::create(HKEY_CURRENT_USER, productKey).setString(name, value);
}

}  // namespace host::win32
