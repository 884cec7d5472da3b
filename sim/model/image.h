#pragma once
// A picture as the simulator keeps it once it has read it from an add-in's picture object:
// 32-bit pixels 0xAARRGGBB, straight (not premultiplied) alpha, top row first.
#include <cstdint>
#include <vector>

namespace sim {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    bool empty() const { return width <= 0 || height <= 0; }
    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)]; }
};

}  // namespace sim
