#pragma once
// OLE pictures (IPictureDisp) made from packed device-independent bitmaps, for the host's picture
// properties and callbacks: a command-bar button's Picture and Mask, a ribbon button's image.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstdint>
#include <span>

#include "com/ptr.h"

namespace host::win32 {

// A picture that owns a DIB section with the bitmap's pixels, its depth kept (a 32-bit bitmap
// keeps its alpha). Throws host::Error for bytes that are no complete packed DIB, or when the
// system refuses.
com::ComPtr<IPictureDisp> pictureFromDib(std::span<const std::uint8_t> packedDib);

}  // namespace host::win32
