#include "host/win32/product_keys.h"

#include <windows.h>

#include <utility>
#include <vector>

#include "host/error.h"

namespace host::win32 {
namespace {

constexpr wchar_t productKey[] = L"Software\\Corvane\\Zeltra";

class OpenKey {
public:
    OpenKey() = default;
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    ~OpenKey() {
        if (key_) RegCloseKey(key_);
    }
    HKEY* put() noexcept { return &key_; }
    HKEY get() const noexcept { return key_; }

private:
    HKEY key_ = nullptr;
};

}  // namespace

std::optional<std::uint64_t> SystemProductKeys::installationWriteTime() noexcept {
    OpenKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, productKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return std::nullopt;
    FILETIME written{};
    if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, &written) != ERROR_SUCCESS)
        return std::nullopt;
    return (static_cast<std::uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
}

std::optional<std::wstring> SystemProductKeys::userValue(std::wstring_view name) noexcept try {
    const std::wstring valueName(name);
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, productKey, valueName.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_CURRENT_USER, productKey, valueName.c_str(), RRF_RT_REG_SZ, nullptr, text.data(), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(text.data());
} catch (...) {
    return std::nullopt;
}

void SystemProductKeys::setUserValue(std::wstring_view name, std::wstring_view value) {
    OpenKey key;
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, productKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(),
                                     nullptr);
    if (status == ERROR_SUCCESS) {
        const std::wstring valueName(name);
        const std::wstring text(value);
        status = RegSetValueExW(key.get(), valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    if (status != ERROR_SUCCESS) throw Error(static_cast<HResult>(HRESULT_FROM_WIN32(status)), "per-user product key");
}

}  // namespace host::win32
