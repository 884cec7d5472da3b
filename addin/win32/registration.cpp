#include "addin/win32/registration.h"

#include <oleauto.h>

#include <string>
#include <vector>

#include "DODuruda_Vored_h.h"
#include "addin/registration_record.h"
#include "com/boundary.h"
#include "com/module.h"
#include "com/ptr.h"
#include "host/error.h"
#include "addin/win32/registry.h"

namespace zeltra::server {
namespace {

struct RegisteredClass {
    const CLSID* clsid;
    const wchar_t* progId;
};

constexpr RegisteredClass registeredClasses[] = {
    {&CLSID_Connect, L"DODuruda_Vored.Connect"},
    {&CLSID_OutAddIn, L"DODuruda_Vored.OutAddIn"},
};
constexpr const wchar_t* addInProgId = L"DODuruda_Vored.Connect";

#ifdef _WIN64
constexpr SYSKIND typeLibPlatform = SYS_WIN64;
#else
constexpr SYSKIND typeLibPlatform = SYS_WIN32;
#endif

std::wstring guidText(const GUID& g) {
    wchar_t text[40];
    if (!StringFromGUID2(g, text, 40)) throw host::Error(E_UNEXPECTED, "StringFromGUID2");
    return text;
}

std::wstring fromAnsi(const std::string& text) {
    if (text.empty()) return {};
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

RegistrationRecord readRegistrationRecord() {
    const HMODULE module = com::moduleHandle();
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), L"ADDINREG");
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) throw host::Error(HRESULT_FROM_WIN32(ERROR_RESOURCE_DATA_NOT_FOUND), "registration record");
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    return parseRegistrationRecord({bytes, SizeofResource(module, found)});
}

// HKEY_CURRENT_USER\Software\Microsoft\Office\Outlook -> (HKEY_CURRENT_USER, ...\Outlook\Addins\<ProgID>)
std::pair<HKEY, std::wstring> addInKey(const RegistrationRecord& record) {
    const std::wstring base = fromAnsi(record.hostRegistryKey);
    const auto slash = base.find(L'\\');
    if (slash == std::wstring::npos) throw host::Error(E_INVALIDARG, "registration record key has no path");
    return {rootKeyNamed(std::wstring_view(base).substr(0, slash)),
            base.substr(slash + 1) + L"\\Addins\\" + addInProgId};
}

void registerTypeLibrary(std::wstring path) {
    com::ComPtr<ITypeLib> library;
    com::throwIfFailed(LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put()), "LoadTypeLibEx");
    com::throwIfFailed(RegisterTypeLib(library.get(), path.data(), nullptr), "RegisterTypeLib");
}

void registerClasses(const std::wstring& path) {
    const std::wstring libid = guidText(LIBID_DODuruda_Vored);
    for (const auto& c : registeredClasses) {
        const std::wstring clsid = guidText(*c.clsid);
        const RegKey classKey = RegKey::create(HKEY_CLASSES_ROOT, L"CLSID\\" + clsid);
        classKey.setString(nullptr, c.progId);
        const RegKey server = RegKey::create(classKey.get(), L"InprocServer32");
        server.setString(nullptr, path);
        server.setString(L"ThreadingModel", L"Apartment");
        RegKey::create(classKey.get(), L"ProgID").setString(nullptr, c.progId);
        RegKey::create(classKey.get(), L"TypeLib").setString(nullptr, libid);
        RegKey::create(classKey.get(), L"VERSION").setString(nullptr, L"1.0");

        const RegKey progIdKey = RegKey::create(HKEY_CLASSES_ROOT, c.progId);
        progIdKey.setString(nullptr, c.progId);
        RegKey::create(progIdKey.get(), L"CLSID").setString(nullptr, clsid);
    }
}

void registerAddIn() {
    const RegistrationRecord record = readRegistrationRecord();
    const auto [root, path] = addInKey(record);
    const RegKey key = RegKey::create(root, path);
    key.setString(L"FriendlyName", fromAnsi(record.friendlyName));
    key.setString(L"Description", fromAnsi(record.description));
    key.setDword(L"LoadBehavior", record.loadBehavior);
    key.setDword(L"CommandLineSafe", record.commandLineSafe);
}

// Removes everything registration writes; returns the first failure but tries every part.
HRESULT removeRegistration() noexcept {
    HRESULT first = S_OK;
    const auto attempt = [&first](auto&& step) {
        try {
            step();
        } catch (...) {
            if (SUCCEEDED(first)) first = com::hresultFromCaughtException();
        }
    };
    attempt([] {
        const auto [root, path] = addInKey(readRegistrationRecord());
        deleteTree(root, path);
    });
    for (const auto& c : registeredClasses) {
        attempt([&c] { deleteTree(HKEY_CLASSES_ROOT, L"CLSID\\" + guidText(*c.clsid)); });
        attempt([&c] { deleteTree(HKEY_CLASSES_ROOT, c.progId); });
    }
    attempt([] {
        // Nothing registered is nothing to remove (and UnRegisterTypeLib would call it an error).
        if (!keyExists(HKEY_CLASSES_ROOT, L"TypeLib\\" + guidText(LIBID_DODuruda_Vored) + L"\\1.0")) return;
        com::throwIfFailed(UnRegisterTypeLib(LIBID_DODuruda_Vored, 1, 0, 0, typeLibPlatform), "UnRegisterTypeLib");
    });
    return first;
}

}  // namespace

HRESULT registerServer() noexcept try {
    try {
        const std::wstring path = com::modulePath();
        registerTypeLibrary(path);
        registerClasses(path);
        registerAddIn();
        return S_OK;
    } catch (...) {
        const HRESULT failure = com::hresultFromCaughtException();
        removeRegistration();  // never leave half a registration behind
        return failure;
    }
} catch (...) {
    return com::hresultFromCaughtException();
}

HRESULT unregisterServer() noexcept { return removeRegistration(); }

}  // namespace zeltra::server
