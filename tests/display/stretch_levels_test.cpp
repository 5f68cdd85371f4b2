// The stretch's vector paths against its plain per-pixel path: at every
// level the processor supports, random bitmaps of every format stretched
// onto random rectangles (enlarging as presentation does, also shrinking,
// partly outside the image or the bitmap) must give the same image as
// level 0.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>
#include <vector>

#include "gfx/simd.h"
#include "platform/portable/portable.h"

namespace {

int32_t uniform(std::mt19937& random, int32_t low, int32_t high) {
    return std::uniform_int_distribution<int32_t>(low, high)(random);
}

// A bitmap header with room for masks or a colour part behind the info.
struct Header {
    PfBitmapInfoHeader info{};
    uint8_t rest[1024] = {};
};

class StretchLevels : public ::testing::Test {
protected:
    void TearDown() override { gx_simd_select(gx_simd_supported()); }
};

TEST_F(StretchLevels, EveryLevelGivesThePlainPathsImage) {
    const int32_t supported = gx_simd_select(gx_simd_supported());
    if (supported == 0) GTEST_SKIP() << "no vector level on this processor";
    std::mt19937 random(99);
    std::vector<PfPaletteEntry> palette(256);
    for (PfPaletteEntry& e : palette) {
        e = {static_cast<uint8_t>(random()), static_cast<uint8_t>(random()),
             static_cast<uint8_t>(random()), 0};
    }
    for (int32_t trial = 0; trial < 1500; ++trial) {
        const int32_t bits = std::vector<int32_t>{8, 16, 16, 16, 24, 32, 32}[random() % 7];
        Header header;
        const int32_t width = uniform(random, 1, 90);
        const int32_t height = uniform(random, 1, 40);
        header.info = {40, width, height, 1, static_cast<uint16_t>(bits), PF_BI_RGB, 0, 0, 0, 0, 0};
        uint32_t usage = PF_DIB_RGB_COLORS;
        for (uint8_t& b : header.rest) b = static_cast<uint8_t>(random());
        if (bits == 8) {
            usage = random() % 2 == 0 ? PF_DIB_RGB_COLORS : PF_DIB_PAL_COLORS;
            header.info.colors_used = random() % 3 == 0
                                          ? static_cast<uint32_t>(uniform(random, 1, 256))
                                          : 0;
        } else if (bits == 16 || bits == 32) {
            // No masks, the buffers' own, or some other layout.
            static const uint32_t MASKS[2][2][3] = {
                {{0xF800, 0x07E0, 0x001F}, {0x001F, 0x03E0, 0x7C00}},
                {{0xFF0000, 0xFF00, 0xFF}, {0x3FF, 0xFFC00, 0x3FF00000}}};
            const uint32_t kind = random() % 3u;
            if (kind != 0) header.info.compression = PF_BI_BITFIELDS;
            std::memcpy(header.rest, MASKS[bits == 32][kind == 2], sizeof MASKS[0][0]);
        }
        const size_t pitch = (static_cast<size_t>(width) * static_cast<size_t>(bits) + 31) / 32 * 4;
        std::vector<uint8_t> pixels(pitch * static_cast<size_t>(height));
        for (uint8_t& b : pixels) b = static_cast<uint8_t>(random());

        const int32_t image_w = uniform(random, 1, 300);
        const int32_t image_h = uniform(random, 1, 60);
        const bool enlarging = random() % 4 != 0;
        const int32_t src_w = uniform(random, 1, width + 4);
        const int32_t src_h = uniform(random, 1, height + 4);
        const int32_t dst_w = enlarging ? uniform(random, src_w, src_w * 5)
                                        : uniform(random, 1, src_w);
        const int32_t dst_h = uniform(random, 1, 80);
        const int32_t dst_x = uniform(random, -dst_w / 2, image_w / 2);
        const int32_t dst_y = uniform(random, -dst_h / 2, image_h / 2);
        const int32_t src_x = uniform(random, -3, width - 1);
        const int32_t src_y = uniform(random, -3, height - 1);

        const auto draw = [&](int32_t level) {
            EXPECT_EQ(gx_simd_select(level), level);
            std::vector<uint32_t> image(static_cast<size_t>(image_w) * static_cast<size_t>(image_h),
                                        0xDEADBEEF);
            std::vector<int32_t> columns(static_cast<size_t>(image_w));
            const int32_t rows = pf_portable_stretch(
                {image.data(), image_w, image_h, columns.data()}, dst_x, dst_y, dst_w, dst_h, src_x,
                src_y, src_w, src_h, pixels.data(), &header, usage, palette.data(),
                static_cast<int32_t>(palette.size()));
            image.push_back(static_cast<uint32_t>(rows));
            return image;
        };
        const std::vector<uint32_t> want = draw(0);
        for (int32_t level = 1; level <= supported; ++level) {
            std::ostringstream what;
            what << "trial " << trial << ", level " << level << ", " << bits << " bits, " << width
                 << "x" << height << " (" << src_x << "," << src_y << " " << src_w << "x" << src_h
                 << ") onto " << image_w << "x" << image_h << " (" << dst_x << "," << dst_y << " "
                 << dst_w << "x" << dst_h << ")";
            ASSERT_EQ(draw(level), want) << what.str();
        }
    }
}

// The program's case: its 640 x 480 5-6-5 buffer onto a larger window.
TEST_F(StretchLevels, BufferOntoLargerWindows) {
    const int32_t supported = gx_simd_select(gx_simd_supported());
    if (supported == 0) GTEST_SKIP() << "no vector level on this processor";
    Header header;
    header.info = {40, 640, 480, 1, 16, PF_BI_BITFIELDS, 0, 0, 0, 0, 0};
    const uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(header.rest, masks, sizeof masks);
    std::vector<uint8_t> pixels(640 * 480 * 2);
    std::mt19937 random(3);
    for (uint8_t& b : pixels) b = static_cast<uint8_t>(random());
    for (const auto& size : {std::pair{1280, 960}, std::pair{1920, 1080}, std::pair{641, 481}}) {
        std::vector<std::vector<uint32_t>> images(static_cast<size_t>(supported) + 1);
        for (int32_t level = 0; level <= supported; ++level) {
            gx_simd_select(level);
            images[static_cast<size_t>(level)].assign(
                static_cast<size_t>(size.first) * static_cast<size_t>(size.second), 0);
            std::vector<int32_t> columns(static_cast<size_t>(size.first));
            pf_portable_stretch({images[static_cast<size_t>(level)].data(), size.first, size.second,
                                 columns.data()},
                                0, 0, size.first, size.second, 0, 0, 640, 480, pixels.data(),
                                &header, PF_DIB_RGB_COLORS, nullptr, 0);
            if (level > 0)
                ASSERT_EQ(images[static_cast<size_t>(level)], images[0])
                    << size.first << " level " << level;
        }
    }
}

}  // namespace
