#include "addin/win32/registry.h"

#include <oleauto.h>

#include <string>

#include "DODuruda_Vored_h.h"
#include "com/boundary.h"
#include "com/module.h"
#include "com/ptr.h"
#include "host/error.h"

// oleaut32 exports these since Windows Vista, and MinGW-w64's import library has them, but its
// oleauto.h does not declare them.
WINOLEAUTAPI RegisterTypeLibForUser(ITypeLib* library, OLECHAR* path, OLECHAR* helpDirectory);
WINOLEAUTAPI UnRegisterTypeLibForUser(REFGUID libraryId, WORD major, WORD minor, LCID locale, SYSKIND platform);

namespace zeltra::server {
namespace {

#ifdef _WIN64
constexpr SYSKIND typeLibPlatform = SYS_WIN64;
#else
constexpr SYSKIND typeLibPlatform = SYS_WIN32;
#endif

void checkWin32(LSTATUS status, const char* context) {
    if (status != ERROR_SUCCESS) throw host::Error(HRESULT_FROM_WIN32(status), context);
}

HKEY rootOf(Hive hive) { return hive == Hive::localMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

}  // namespace

RegKey RegKey::create(HKEY parent, std::wstring_view path) {
    RegKey key;
    const std::wstring subkey(path);
    checkWin32(RegCreateKeyExW(parent, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                               &key.key_, nullptr),
               "RegCreateKeyEx");
    return key;
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

void SystemRegistry::setString(Hive hive, std::wstring_view key, std::wstring_view name, std::wstring_view value) {
    RegKey::create(rootOf(hive), key).setString(name, value);
}

void SystemRegistry::setDword(Hive hive, std::wstring_view key, std::wstring_view name, std::uint32_t value) {
    RegKey::create(rootOf(hive), key).setDword(name, value);
}

bool SystemRegistry::keyExists(Hive hive, std::wstring_view key) {
    const std::wstring subkey(key);
    HKEY opened = nullptr;
    if (RegOpenKeyExW(rootOf(hive), subkey.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
    RegCloseKey(opened);
    return true;
}

void SystemRegistry::deleteTree(Hive hive, std::wstring_view key) {
    const std::wstring subkey(key);
    const LSTATUS status = RegDeleteTreeW(rootOf(hive), subkey.c_str());
    if (status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND) return;
    checkWin32(status, "RegDeleteTree");
    // RegDeleteTree empties the key; remove the key itself too.
    const LSTATUS removed = RegDeleteKeyW(rootOf(hive), subkey.c_str());
    if (removed != ERROR_FILE_NOT_FOUND) checkWin32(removed, "RegDeleteKey");
}

void SystemRegistry::registerTypeLibrary(Scope scope) {
    std::wstring path = com::modulePath();
    com::ComPtr<ITypeLib> library;
    com::throwIfFailed(LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put()), "LoadTypeLibEx");
    if (scope == Scope::machine) {
        com::throwIfFailed(RegisterTypeLib(library.get(), path.data(), nullptr), "RegisterTypeLib");
    } else {
        com::throwIfFailed(RegisterTypeLibForUser(library.get(), path.data(), nullptr), "RegisterTypeLibForUser");
    }
}

void SystemRegistry::unregisterTypeLibrary(Scope scope) {
    if (scope == Scope::machine) {
        com::throwIfFailed(UnRegisterTypeLib(LIBID_DODuruda_Vored, 1, 0, 0, typeLibPlatform), "UnRegisterTypeLib");
    } else {
        com::throwIfFailed(UnRegisterTypeLibForUser(LIBID_DODuruda_Vored, 1, 0, 0, typeLibPlatform),
                           "UnRegisterTypeLibForUser");
    }
}

}  // namespace zeltra::server
