#include "sim/win32/install_settings.h"

#include <windows.h>

#include <iterator>
#include <vector>

namespace sim::win32::install_settings {
namespace {

constexpr wchar_t keyPath[] = L"Software\\Corvane\\Zeltra";

constexpr wchar_t userPrefix[] = L"user:";
bool isUserValue(const std::wstring& name) { return name.rfind(userPrefix, 0) == 0; }

class Key {
public:
    Key(bool create, const std::wstring& name) {
        const HKEY hive = isUserValue(name) ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        const REGSAM access = KEY_WOW64_64KEY | KEY_SET_VALUE | KEY_QUERY_VALUE;
        const LSTATUS status = create ? RegCreateKeyExW(hive, keyPath, 0, nullptr, 0, access, nullptr, &key_, nullptr)
                                      : RegOpenKeyExW(hive, keyPath, 0, access, &key_);
        if (status != ERROR_SUCCESS) key_ = nullptr;
    }
    ~Key() {
        if (key_) RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

const wchar_t* valueName(const std::wstring& name) {
    if (isUserValue(name)) return name.c_str() + std::size(userPrefix) - 1;
    return name == L"folder" ? nullptr : name.c_str();
}

}  // namespace

bool set(const std::wstring& name, const Setting& value) {
    Key key(true, name);
    if (!key.get()) return false;
    if (const auto* text = std::get_if<std::wstring>(&value))
        return RegSetValueExW(key.get(), valueName(name), 0, REG_SZ, reinterpret_cast<const BYTE*>(text->c_str()),
                              static_cast<DWORD>((text->size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    const DWORD number = std::get<std::uint32_t>(value);
    return RegSetValueExW(key.get(), valueName(name), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                          sizeof number) == ERROR_SUCCESS;
}

bool remove(const std::wstring& name) {
    Key key(false, name);
    if (!key.get()) return true;
    const LSTATUS status = RegDeleteValueW(key.get(), valueName(name));
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

bool writeTestInstallation() {
    const LSTATUS user = RegDeleteTreeW(HKEY_CURRENT_USER, keyPath);
    if (user != ERROR_SUCCESS && user != ERROR_FILE_NOT_FOUND) return false;
    return set(L"folder", std::wstring(L"C:\\Zeltra Test")) && set(L"MSOAO", std::wstring(L"0"));
}

std::wstring describe(const std::wstring& name) {
    Key key(false, name);
    if (!key.get()) return L"none";
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), valueName(name), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return L"none";
    std::vector<BYTE> data(size + sizeof(wchar_t), 0);
    if (RegQueryValueExW(key.get(), valueName(name), nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
        return L"none";
    if (type == REG_SZ) {
        std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
        while (!text.empty() && text.back() == L'\0') text.pop_back();
        return L"sz \"" + text + L"\"";
    }
    if (type == REG_DWORD && size == sizeof(DWORD)) return L"dword " + std::to_wstring(*reinterpret_cast<const DWORD*>(data.data()));
    return L"type " + std::to_wstring(type);
}

}  // namespace sim::win32::install_settings
