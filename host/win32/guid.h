#pragma once
// host::Guid and Windows' GUID have the same layout.
#include <windows.h>

#include <bit>

#include "host/guid.h"

namespace win32 {

inline GUID toGuid(const host::Guid& g) noexcept { return std::bit_cast<GUID>(g); }
inline host::Guid fromGuid(const GUID& g) noexcept { return std::bit_cast<host::Guid>(g); }

}  // namespace win32
