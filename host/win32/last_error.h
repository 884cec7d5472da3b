#pragma once
// The calling thread's last Win32 error as an HRESULT, and thrown as host::Error.
#include <windows.h>

#include "host/error.h"
#include "host/hresult.h"

namespace host::win32 {

// otherwise stands in when a failed call left no error code.
inline HResult lastErrorResult(DWORD otherwise = ERROR_GEN_FAILURE) noexcept {
    const DWORD code = GetLastError();
    return static_cast<HResult>(HRESULT_FROM_WIN32(code != ERROR_SUCCESS ? code : otherwise));
}

// Throws host::Error with the calling thread's last error.
[[noreturn]] inline void throwLastError(const char* context) { throw Error(lastErrorResult(), context); }

}  // namespace host::win32
