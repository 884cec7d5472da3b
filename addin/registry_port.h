#pragma once
// What self-registration needs from the system: keys and values under the two hives it writes,
// and the library's own type library. Every operation throws host::Error carrying the failure's
// HRESULT (a registry error as HRESULT_FROM_WIN32).
#include <cstdint>
#include <string_view>

namespace zeltra {

enum class Hive { currentUser, localMachine };

// Where COM classes and type libraries are registered: for every user of the machine
// (HKLM\Software\Classes), or for the current user only (HKCU\Software\Classes).
enum class Scope { machine, user };

class RegistryPort {
public:
    virtual ~RegistryPort() = default;

    // Creates the key and any missing keys above it, then sets the value (an empty name is the
    // key's default value).
    virtual void setString(Hive hive, std::wstring_view key, std::wstring_view name, std::wstring_view value) = 0;
    virtual void setDword(Hive hive, std::wstring_view key, std::wstring_view name, std::uint32_t value) = 0;
    virtual bool keyExists(Hive hive, std::wstring_view key) = 0;
    // Deletes the key and everything below it; a key that is not there is no failure.
    virtual void deleteTree(Hive hive, std::wstring_view key) = 0;

    // The library's type library and the interfaces it describes, registered in the scope.
    virtual void registerTypeLibrary(Scope scope) = 0;
    virtual void unregisterTypeLibrary(Scope scope) = 0;
};

}  // namespace zeltra
