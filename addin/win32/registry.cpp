#include "addin/win32/registry.h"

#include "host/error.h"

namespace zeltra::server {
namespace {
void checkWin32(LSTATUS status, const char* context) {
    if (status != ERROR_SUCCESS) throw host::Error(HRESULT_FROM_WIN32(status), context);
}
}  // namespace

RegKey RegKey::create(HKEY parent, std::wstring_view path) {
    RegKey key;
    const std::wstring subkey(path);
    checkWin32(RegCreateKeyExW(parent, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                               &key.key_, nullptr),
               "RegCreateKeyEx");
    return key;
}

void RegKey::setString(const wchar_t* name, std::wstring_view value) const {
    const std::wstring text(value);
    checkWin32(RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
               "RegSetValueEx");
}

void RegKey::setDword(const wchar_t* name, DWORD value) const {
    checkWin32(RegSetValueExW(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value),
               "RegSetValueEx");
}

bool keyExists(HKEY parent, std::wstring_view path) {
    const std::wstring subkey(path);
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void deleteTree(HKEY parent, std::wstring_view path) {
    const std::wstring subkey(path);
    const LSTATUS status = RegDeleteTreeW(parent, subkey.c_str());
    if (status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND) return;
    checkWin32(status, "RegDeleteTree");
    // RegDeleteTree empties the key; remove the key itself too.
    const LSTATUS removed = RegDeleteKeyW(parent, subkey.c_str());
    if (removed != ERROR_FILE_NOT_FOUND) checkWin32(removed, "RegDeleteKey");
}

HKEY rootKeyNamed(std::wstring_view name) {
    if (name == L"HKEY_CURRENT_USER") return HKEY_CURRENT_USER;
    if (name == L"HKEY_LOCAL_MACHINE") return HKEY_LOCAL_MACHINE;
    if (name == L"HKEY_CLASSES_ROOT") return HKEY_CLASSES_ROOT;
    throw host::Error(E_INVALIDARG, "unknown registry root in the registration record");
}

}  // namespace zeltra::server
