#pragma once
// Picture objects (IPicture, IPictureDisp) as the host reads them from an add-in, and as the
// simulator's tests make them.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <optional>

#include "com/ptr.h"
#include "sim/model/image.h"

namespace sim::win32 {

// The header of a top-down 32-bit bitmap of that size, as GetDIBits and CreateDIBSection take it.
BITMAPINFO topDown32(int width, int height);

// The pixels of a bitmap or icon picture; nothing for another object or a picture that cannot be
// read. A 32-bit bitmap with any alpha keeps its alpha; other bitmaps are opaque; an icon's mask
// makes its transparent pixels.
std::optional<Image> readPicture(IUnknown* object);

// A bitmap picture of those pixels (32 bits with alpha) that owns its bitmap; null on failure.
com::ComPtr<IPictureDisp> makePicture(const Image& image);

}  // namespace sim::win32
