#pragma once
// Self-registration of the library: its type library, its two COM classes and Outlook's entry for
// the add-in. The classes go machine-wide when the machine allows it, for the current user
// otherwise.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "addin/registry_port.h"

namespace zeltra {

// Outlook's entry for the add-in, as the registration record describes it, its texts decoded.
struct AddInEntry {
    std::wstring hostKey;  // "HKEY_CURRENT_USER\Software\Microsoft\Office\Outlook"
    std::wstring friendlyName;
    std::wstring description;
    std::uint32_t loadBehavior = 0;
    std::uint32_t commandLineSafe = 0;
};

// Registers the type library and the classes machine-wide; when the machine denies access, removes
// what it wrote there and registers them for the current user instead. Then writes the add-in
// entry. On any failure removes what it wrote and throws the first failure. Registering again
// rewrites the same keys.
void registerServer(RegistryPort& registry, std::wstring_view serverPath, const AddInEntry& addIn);

// Removes the add-in entry, and the classes and the type library from both scopes wherever they
// are registered. Tries every part, even when readAddIn throws, and throws the first failure.
// Nothing registered is nothing to remove.
void unregisterServer(RegistryPort& registry, const std::function<AddInEntry()>& readAddIn);

}  // namespace zeltra
