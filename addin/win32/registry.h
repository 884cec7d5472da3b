#pragma once
// A registry key owner and the few operations registration needs; failures throw host::Error.
#include <windows.h>

#include <string>
#include <string_view>
#include <utility>

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

    static RegKey create(HKEY parent, std::wstring_view path);
    HKEY get() const noexcept { return key_; }

    void setString(const wchar_t* name, std::wstring_view value) const;  // name null: the default value
    void setDword(const wchar_t* name, DWORD value) const;

private:
    HKEY key_ = nullptr;
};

bool keyExists(HKEY parent, std::wstring_view path);

// Deletes path and everything below it; a key that is not there is no failure.
void deleteTree(HKEY parent, std::wstring_view path);

// "HKEY_CURRENT_USER" and its kin, as written in the registration record.
HKEY rootKeyNamed(std::wstring_view name);

}  // namespace zeltra::server
