#include "sim/win32/pictures.h"

#include <algorithm>
#include <vector>

namespace sim::win32 {
namespace {

// A bitmap's pixels as 32-bit top-down rows, 0xAARRGGBB as GetDIBits gives them.
std::optional<Image> bitmapPixels(HBITMAP bitmap) {
    BITMAP info{};
    if (!bitmap || !GetObjectW(bitmap, sizeof info, &info) || info.bmWidth <= 0 || info.bmHeight <= 0) return std::nullopt;
    Image image{info.bmWidth, info.bmHeight, std::vector<std::uint32_t>(
                                                 static_cast<std::size_t>(info.bmWidth) * static_cast<std::size_t>(info.bmHeight))};
    BITMAPINFO header = topDown32(info.bmWidth, info.bmHeight);
    const HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, bitmap, 0, static_cast<UINT>(info.bmHeight), image.pixels.data(), &header, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != info.bmHeight) return std::nullopt;
    const bool alpha = info.bmBitsPixel == 32 &&
                       std::any_of(image.pixels.begin(), image.pixels.end(), [](std::uint32_t p) { return p >> 24; });
    if (!alpha)
        for (auto& p : image.pixels) p |= 0xFF000000u;
    return image;
}

std::optional<Image> iconPixels(HICON icon) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) return std::nullopt;
    std::optional<Image> colour = bitmapPixels(info.hbmColor);
    const std::optional<Image> mask = bitmapPixels(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    if (!colour || !mask || mask->width != colour->width || mask->height < colour->height) return std::nullopt;
    const bool hasAlpha = std::any_of(colour->pixels.begin(), colour->pixels.end(), [](std::uint32_t p) { return (p >> 24) != 0xFF; });
    if (!hasAlpha)
        for (int y = 0; y < colour->height; ++y)
            for (int x = 0; x < colour->width; ++x)
                if ((mask->at(x, y) & 0xFFFFFF) != 0)  // a set mask bit: transparent
                    colour->pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(colour->width) + static_cast<std::size_t>(x)] = 0;
    return colour;
}

}  // namespace

BITMAPINFO topDown32(int width, int height) {
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof header.bmiHeader;
    header.bmiHeader.biWidth = width;
    header.bmiHeader.biHeight = -height;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    return header;
}

std::optional<Image> readPicture(IUnknown* object) {
    if (!object) return std::nullopt;
    com::ComPtr<IPicture> picture;
    if (FAILED(object->QueryInterface(IID_IPicture, picture.putVoid())) || !picture) return std::nullopt;
    SHORT type = PICTYPE_UNINITIALIZED;
    OLE_HANDLE handle = 0;
    if (FAILED(picture->get_Type(&type)) || FAILED(picture->get_Handle(&handle))) return std::nullopt;
    const auto native = reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(handle));
    if (type == PICTYPE_BITMAP) return bitmapPixels(static_cast<HBITMAP>(native));
    if (type == PICTYPE_ICON) return iconPixels(static_cast<HICON>(native));
    return std::nullopt;
}

com::ComPtr<IPictureDisp> makePicture(const Image& image) {
    if (image.empty()) return {};
    const BITMAPINFO header = topDown32(image.width, image.height);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &header, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) return {};
    std::copy(image.pixels.begin(), image.pixels.end(), static_cast<std::uint32_t*>(bits));
    PICTDESC description{};
    description.cbSizeofstruct = sizeof description;
    description.picType = PICTYPE_BITMAP;
    description.bmp.hbitmap = bitmap;
    com::ComPtr<IPictureDisp> picture;
    if (FAILED(OleCreatePictureIndirect(&description, IID_IPictureDisp, TRUE, picture.putVoid()))) {
        DeleteObject(bitmap);
        return {};
    }
    return picture;
}

}  // namespace sim::win32
