// The benchmarks' PCX images (see plasma_images.h).
#include "plasma_images.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace bench {
namespace {

std::vector<uint8_t> read_all(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
}

// Plain run-length coding of one scan line.
void encode(const uint8_t* raw, size_t n, std::vector<uint8_t>& out) {
    for (size_t i = 0; i < n;) {
        size_t run = 1;
        while (i + run < n && raw[i + run] == raw[i] && run < 63) ++run;
        if (run == 1 && raw[i] < 0xC0) {
            out.push_back(raw[i]);
        } else {
            out.push_back(static_cast<uint8_t>(0xC0 | run));
            out.push_back(raw[i]);
        }
        i += run;
    }
}

// Noisy content made here when ImageMagick is not at hand: smooth waves
// plus noise, so neighbours are alike but rarely equal.
std::vector<uint8_t> generated(bool true_color) {
    const uint32_t planes = true_color ? 3 : 1;
    std::vector<uint8_t> file(128, 0);
    file[0] = 10;
    file[1] = 5;
    file[2] = 1;
    file[3] = 8;
    file[8] = (PLASMA_SIDE - 1) & 0xFF;
    file[9] = (PLASMA_SIDE - 1) >> 8;
    file[10] = (PLASMA_SIDE - 1) & 0xFF;
    file[11] = (PLASMA_SIDE - 1) >> 8;
    file[65] = static_cast<uint8_t>(planes);
    file[66] = PLASMA_SIDE & 0xFF;
    file[67] = PLASMA_SIDE >> 8;
    uint32_t seed = 7;
    std::vector<uint8_t> line(static_cast<size_t>(PLASMA_SIDE) * planes);
    for (int32_t y = 0; y < PLASMA_SIDE; ++y) {
        for (uint32_t p = 0; p < planes; ++p)
            for (int32_t x = 0; x < PLASMA_SIDE; ++x) {
                seed = seed * 1664525u + 1013904223u;
                const int32_t wave = ((x * (3 + static_cast<int32_t>(p)) + y * 5) >> 4) +
                                     ((x ^ y) >> 6);
                line[p * PLASMA_SIDE + static_cast<uint32_t>(x)] = static_cast<uint8_t>(
                    wave + static_cast<int32_t>(seed >> 29));
            }
        encode(line.data(), line.size(), file);
    }
    if (!true_color) {
        file.push_back(12);
        for (int i = 0; i < 768; ++i) file.push_back(static_cast<uint8_t>(i * 13));
    }
    return file;
}

// The images as the peer measurements make them (ImageMagick's plasma
// fractal with seed 7), kept in the temporary folder between runs; made
// in-process when ImageMagick is missing.
}  // namespace

const PcxImage& plasma_image(bool true_color) {
    static PcxImage images[2];
    PcxImage& img = images[true_color ? 1 : 0];
    if (!img.bytes.empty()) return img;
    const char* tmp = std::getenv("TMPDIR");
    const std::string dir = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") +
                            "/gx-bench-pcx";
    std::system(("mkdir -p '" + dir + "'").c_str());
    img.path = dir + (true_color ? "/plasma-2048-24bit.pcx" : "/plasma-2048-8bit.pcx");
    img.bytes = read_all(img.path);
    img.source = "plasma";
    if (img.bytes.size() < 128) {
        const std::string part = img.path + "." + std::to_string(getpid());
        const std::string cmd = "convert -seed 7 -size 2048x2048 plasma:fractal " +
                                std::string(true_color ? "-type TrueColor"
                                                       : "-colors 256 -type Palette") +
                                " 'PCX:" + part + "' >/dev/null 2>&1 && mv '" + part + "' '" +
                                img.path + "'";
        if (std::system(cmd.c_str()) == 0) img.bytes = read_all(img.path);
    }
    if (img.bytes.size() < 128) {
        img.source = "generated";
        img.bytes = generated(true_color);
        img.path = dir + (true_color ? "/generated-24bit.pcx" : "/generated-8bit.pcx");
        std::ofstream(img.path, std::ios::binary)
            .write(reinterpret_cast<const char*>(img.bytes.data()),
                   static_cast<std::streamsize>(img.bytes.size()));
    }
    return img;
}

}  // namespace bench
