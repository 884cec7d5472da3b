#pragma once
// The product's installation settings in the registry, as an installation leaves them and as the
// add-in reads them at load: HKLM\Software\Corvane\Zeltra (64-bit view), the default value holding
// the installation folder and MSOAO the welcome flag.
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace sim::win32 {

namespace install_settings {

// A value name; "folder" stands for the key's default value, and "user:NAME" for a value of the
// product's per-user key HKCU\Software\Corvane\Zeltra, where the add-in remembers its welcome.
using Setting = std::variant<std::wstring, std::uint32_t>;  // REG_SZ or REG_DWORD

// The test installation every scenario run starts from: folder "C:\Zeltra Test", MSOAO "0", and
// no per-user key.
bool writeTestInstallation();
bool set(const std::wstring& name, const Setting& value);
bool remove(const std::wstring& name);  // true also when the value did not exist
// sz "TEXT", "dword N", "none" (no such value or key) or "type N" for another value type.
std::wstring describe(const std::wstring& name);

}  // namespace install_settings

}  // namespace sim::win32
