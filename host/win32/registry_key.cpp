#include "host/win32/registry_key.h"

#include <string>
#include <vector>

#include "host/error.h"

namespace host::win32 {
namespace {

void checkWin32(LSTATUS status, const char* context) {
    if (status != ERROR_SUCCESS) throw Error(static_cast<HResult>(HRESULT_FROM_WIN32(status)), context);
}

}  // namespace

RegKey RegKey::create(HKEY parent, std::wstring_view path) {
    RegKey key;
    const std::wstring subkey(path);
    checkWin32(RegCreateKeyExW(parent, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                               &key.key_, nullptr),
               "RegCreateKeyEx");
    return key;
}

RegKey RegKey::open(HKEY parent, std::wstring_view path, REGSAM access) noexcept try {
    RegKey key;
    const std::wstring subkey(path);
    if (RegOpenKeyExW(parent, subkey.c_str(), 0, access, &key.key_) != ERROR_SUCCESS) key.key_ = nullptr;
    return key;
} catch (...) {
    return RegKey();
}

std::optional<std::wstring> RegKey::string(std::wstring_view name) const noexcept try {
    if (!key_) return std::nullopt;
    const std::wstring valueName(name);
    DWORD size = 0;
    if (RegGetValueW(key_, nullptr, valueName.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegGetValueW(key_, nullptr, valueName.c_str(), RRF_RT_REG_SZ, nullptr, text.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(text.data());
} catch (...) {
    return std::nullopt;
}

void RegKey::setString(std::wstring_view name, std::wstring_view value) const {
    const std::wstring valueName(name);
    const std::wstring text(value);
    checkWin32(RegSetValueExW(key_, valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
               "RegSetValueEx");
}

void RegKey::setDword(std::wstring_view name, DWORD value) const {
    const std::wstring valueName(name);
    checkWin32(RegSetValueExW(key_, valueName.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                              sizeof value),
               "RegSetValueEx");
}

}  // namespace host::win32
