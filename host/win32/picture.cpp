#include "host/win32/picture.h"

#include <cstring>
#include <memory>

#include "com/boundary.h"
#include "host/error.h"
#include "host/win32/last_error.h"

namespace host::win32 {
namespace {

struct BitmapDeleter {
    void operator()(HBITMAP bitmap) const noexcept { DeleteObject(bitmap); }
};
using OwnedBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, BitmapDeleter>;

// Where the pixels start: after the header and the colour table.
std::size_t pixelsOffset(const BITMAPINFOHEADER& header) {
    std::size_t colours = header.biClrUsed;
    if (colours == 0 && header.biBitCount <= 8) colours = std::size_t{1} << header.biBitCount;
    std::size_t masks = header.biCompression == BI_BITFIELDS ? 3 * sizeof(DWORD) : 0;
    return header.biSize + masks + colours * sizeof(RGBQUAD);
}

}  // namespace

com::ComPtr<IPictureDisp> pictureFromDib(std::span<const std::uint8_t> packedDib) {
    BITMAPINFOHEADER header{};
    if (packedDib.size() < sizeof header) throw Error(hresult::invalidArg, "no bitmap header");
    std::memcpy(&header, packedDib.data(), sizeof header);
    const std::size_t stride = ((static_cast<std::size_t>(header.biWidth) * header.biBitCount + 31) / 32) * 4;
    const std::size_t height = static_cast<std::size_t>(header.biHeight < 0 ? -header.biHeight : header.biHeight);
    const std::size_t offset = pixelsOffset(header);
    if (header.biSize < sizeof header || header.biWidth <= 0 || height == 0 || header.biCompression > BI_BITFIELDS ||
        offset + stride * height > packedDib.size())
        throw Error(hresult::invalidArg, "not a complete bitmap");

    void* bits = nullptr;
    OwnedBitmap bitmap(CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(packedDib.data()), DIB_RGB_COLORS,
                                        &bits, nullptr, 0));
    if (!bitmap || !bits) throw Error(lastErrorResult(), "CreateDIBSection");
    std::memcpy(bits, packedDib.data() + offset, stride * height);

    PICTDESC description{};
    description.cbSizeofstruct = sizeof description;
    description.picType = PICTYPE_BITMAP;
    description.bmp.hbitmap = bitmap.get();
    com::ComPtr<IPictureDisp> picture;
    com::throwIfFailed(OleCreatePictureIndirect(&description, IID_IPictureDisp, TRUE, picture.putVoid()),
                       "OleCreatePictureIndirect");
    (void)bitmap.release();  // the picture owns it now
    return picture;
}

}  // namespace host::win32
