#pragma once
// What the add-in keeps in the registry beside what WScript.Shell reads: when the installation's
// machine-wide key was last written, and the product's per-user values
// (HKCU\Software\Corvane\Zeltra).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace host {

class ProductKeys {
public:
    virtual ~ProductKeys() = default;

    // The last-write time of HKLM\Software\Corvane\Zeltra: it moves on whenever an installer (or
    // anyone) writes the key's values anew. Nothing when the key cannot be read.
    virtual std::optional<std::uint64_t> installationWriteTime() noexcept = 0;
    // A text value of the per-user key; nothing when it is missing, unreadable or not text.
    virtual std::optional<std::wstring> userValue(std::wstring_view name) noexcept = 0;
    // Writes a text value of the per-user key, creating the key. Throws host::Error.
    virtual void setUserValue(std::wstring_view name, std::wstring_view value) = 0;
};

}  // namespace host
