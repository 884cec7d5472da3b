#pragma once
// The owner of an open registry key. Failures to create or write throw host::Error carrying the
// registry's error as HRESULT_FROM_WIN32.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace host::win32 {

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
    // Opens an existing key; an empty owner when it cannot be opened.
    static RegKey open(HKEY parent, std::wstring_view path, REGSAM access) noexcept;

    explicit operator bool() const noexcept { return key_ != nullptr; }
    HKEY get() const noexcept { return key_; }

    // A text value (REG_SZ); nothing when it is missing, unreadable or not text.
    std::optional<std::wstring> string(std::wstring_view name) const noexcept;
    void setString(std::wstring_view name, std::wstring_view value) const;  // empty name: the default value
    void setDword(std::wstring_view name, DWORD value) const;

private:
    HKEY key_ = nullptr;
};

}  // namespace host::win32
