#pragma once
// What the form's window owns besides its windows: GDI objects and the pictures in the library's
// resources.
#include <windows.h>
#include <ocidl.h>

#include <cstdint>
#include <memory>
#include <utility>

#include "com/ptr.h"
#include "host/desktop.h"
#include "host/error.h"
#include "host/win32/last_error.h"

namespace zeltra::forms::win32 {

[[nodiscard]] inline host::Error lastError(const char* context) {
    return host::Error(host::win32::lastErrorResult(), context);
}

template <typename Handle, auto destroy>
struct GdiDeleter {
    void operator()(Handle handle) const noexcept { destroy(handle); }
};
template <typename Handle, auto destroy>
using Owned = std::unique_ptr<std::remove_pointer_t<Handle>, GdiDeleter<Handle, destroy>>;
using OwnedBitmap = Owned<HBITMAP, DeleteObject>;
using OwnedFont = Owned<HFONT, DeleteObject>;
using OwnedBrush = Owned<HBRUSH, DeleteObject>;
using OwnedIcon = Owned<HICON, DestroyIcon>;
using OwnedWindowHandle = Owned<HWND, DestroyWindow>;

OwnedFont makeFont(const wchar_t* face, int tenthsOfPoints, int weight, bool underline, UINT dpi);

// A resource's bytes; throws when the library has none of that id and type.
std::pair<const std::uint8_t*, DWORD> resourceBytes(HMODULE module, UINT id, const wchar_t* type, const char* what);

// A bitmap exactly as the resource holds it: BITMAPINFOHEADER, colour table, pixels.
host::Bitmap storedPicture(HMODULE module, UINT id);

// The logo, a GIF, decoded by the system's picture loader.
com::ComPtr<IPicture> loadLogo(HMODULE module);

}  // namespace zeltra::forms::win32
