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

void SystemRegistry::setString(Hive hive, std::wstring_view key, std::wstring_view name, std::wstring_view value) {
    RegKey::create(rootOf(hive), key).setString(name, value);
}

void SystemRegistry::setDword(Hive hive, std::wstring_view key, std::wstring_view name, std::uint32_t value) {
    RegKey::create(rootOf(hive), key).setDword(name, value);
}

bool SystemRegistry::keyExists(Hive hive, std::wstring_view key) {
    return static_cast<bool>(RegKey::open(rootOf(hive), key, KEY_READ));
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
