#pragma once
// Pictures the simulator saves: a 32-bit canvas to draw or copy into, written as a PNG file
// through the Windows Imaging Component.
#include <windows.h>

#include <cstdint>
#include <string>

namespace sim::win32 {

// pixels: height rows from the top, each width pixels of blue, green, red and one unused byte.
HRESULT writePng(const std::wstring& path, int width, int height, const std::uint8_t* pixels);

// A top-down 32-bit picture selected into a memory DC of its own. empty() when it could not be
// made (or has no pixels).
class Canvas {
public:
    Canvas(int width, int height);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    bool empty() const noexcept { return !pixels_; }
    HDC dc() const noexcept { return dc_; }
    int width() const noexcept { return width_; }
    int height() const noexcept { return height_; }
    // 0x00RRGGBB; GdiFlush first when GDI drew into it.
    std::uint32_t pixel(int x, int y) const;
    HRESULT savePng(const std::wstring& path) const;

private:
    int width_, height_;
    HDC dc_ = nullptr;
    HBITMAP image_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    const std::uint32_t* pixels_ = nullptr;
};

}  // namespace sim::win32
