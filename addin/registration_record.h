#pragma once
// The add-in registration record stored with Connect: what the library writes into the host's
// registry when it registers itself. All integers are 32-bit little-endian; a string is a 32-bit
// length counting its terminating NUL, then that many ANSI bytes (length 0: no string).
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "host/guid.h"

namespace zeltra {

inline constexpr host::Guid addInDesignerId = host::Guid::parse("{AC0714F7-3D04-11D1-AE7D-00A0C90F26F4}");

struct RegistrationRecord {
    host::Guid designer;
    std::string hostRegistryKey;  // "HKEY_CURRENT_USER\Software\Microsoft\Office\Outlook"
    std::string friendlyName;
    std::string description;
    std::uint32_t loadBehavior = 0;
    std::optional<std::string> satelliteLibrary;
    std::optional<std::string> additionalRegistryKey;
    std::uint32_t commandLineSafe = 0;
    std::array<std::uint32_t, 3> reserved{};
};

// Throws host::Error(E_UNEXPECTED-class) when the bytes are not a well-formed record.
RegistrationRecord parseRegistrationRecord(std::span<const std::uint8_t> bytes);

}  // namespace zeltra
