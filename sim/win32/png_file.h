#pragma once
// Writes an image as a PNG file through the Windows Imaging Component.
#include <windows.h>

#include <cstdint>
#include <string>

namespace sim::win32 {

// pixels: height rows from the top, each width pixels of blue, green, red and one unused byte.
HRESULT writePng(const std::wstring& path, int width, int height, const std::uint8_t* pixels);

}  // namespace sim::win32
