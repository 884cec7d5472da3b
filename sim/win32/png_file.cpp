#include "sim/win32/png_file.h"

#include <wincodec.h>

#include <vector>

#include "com/ptr.h"

namespace sim::win32 {
namespace {

// {CACAF262-9370-4615-A13B-9F5539DA4C0A}, {1B7CFAF4-713F-473C-BBCD-6137425FAEAF},
// {6FDDC324-4E03-4BFE-B185-3D77768DC90C}
constexpr GUID imagingFactory = {0xcacaf262, 0x9370, 0x4615, {0xa1, 0x3b, 0x9f, 0x55, 0x39, 0xda, 0x4c, 0x0a}};
constexpr GUID pngContainer = {0x1b7cfaf4, 0x713f, 0x473c, {0xbb, 0xcd, 0x61, 0x37, 0x42, 0x5f, 0xae, 0xaf}};
constexpr GUID bgr24 = {0x6fddc324, 0x4e03, 0x4bfe, {0xb1, 0x85, 0x3d, 0x77, 0x76, 0x8d, 0xc9, 0x0c}};

}  // namespace

HRESULT writePng(const std::wstring& path, int width, int height, const std::uint8_t* pixels) {
    using com::ComPtr;
    // 24 bits per pixel, rows padded to four bytes.
    const UINT stride = (static_cast<UINT>(width) * 3 + 3) / 4 * 4;
    std::vector<BYTE> rows(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                rows[static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x) * 3 + c] =
                    pixels[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 4 + c];

    ComPtr<IWICImagingFactory> factory;
    HRESULT hr = CoCreateInstance(imagingFactory, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IWICImagingFactory), factory.putVoid());
    ComPtr<IWICStream> stream;
    if (SUCCEEDED(hr)) hr = factory->CreateStream(stream.put());
    if (SUCCEEDED(hr)) hr = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE);
    ComPtr<IWICBitmapEncoder> encoder;
    if (SUCCEEDED(hr)) hr = factory->CreateEncoder(pngContainer, nullptr, encoder.put());
    if (SUCCEEDED(hr)) hr = encoder->Initialize(stream.get(), WICBitmapEncoderNoCache);
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(frame.put(), options.put());
    if (SUCCEEDED(hr)) hr = frame->Initialize(options.get());
    if (SUCCEEDED(hr)) hr = frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height));
    GUID format = bgr24;
    if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&format);
    if (SUCCEEDED(hr) && format != bgr24) hr = WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
    if (SUCCEEDED(hr)) hr = frame->WritePixels(static_cast<UINT>(height), stride, static_cast<UINT>(rows.size()), rows.data());
    if (SUCCEEDED(hr)) hr = frame->Commit();
    if (SUCCEEDED(hr)) hr = encoder->Commit();
    return hr;
}

Canvas::Canvas(int width, int height) : width_(width), height_(height) {
    if (width <= 0 || height <= 0) return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // from the top
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc_ = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    image_ = dc_ ? CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    if (!image_) return;
    previous_ = SelectObject(dc_, image_);
    pixels_ = static_cast<const std::uint32_t*>(bits);
}

Canvas::~Canvas() {
    if (previous_) SelectObject(dc_, previous_);
    if (image_) DeleteObject(image_);
    if (dc_) DeleteDC(dc_);
}

std::uint32_t Canvas::pixel(int x, int y) const {
    return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)] &
           0xFFFFFF;
}

HRESULT Canvas::savePng(const std::wstring& path) const {
    if (empty()) return E_OUTOFMEMORY;
    GdiFlush();
    return writePng(path, width_, height_, reinterpret_cast<const std::uint8_t*>(pixels_));
}

}  // namespace sim::win32
