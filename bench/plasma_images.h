// The PCX images the benchmarks read: 2048 x 2048 plasma fractals made by
// ImageMagick exactly as the peer measurements make them (convert -seed 7
// -size 2048x2048 plasma:fractal, 256 colours or true colour), kept in a
// temporary folder between runs. Where ImageMagick is missing, images of
// similar noisy content are made in-process instead, and `source` says so.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

inline constexpr int32_t PLASMA_SIDE = 2048;

struct PcxImage {
    std::string path;
    std::vector<uint8_t> bytes;
    std::string source;  // "plasma" or "generated"
};

// The 256-colour (true_color false) or true-colour image, made on first use.
const PcxImage& plasma_image(bool true_color);

}  // namespace bench
