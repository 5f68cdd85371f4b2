// Files written by independent encoders (netpbm's ppmtopcx, ImageMagick,
// GraphicsMagick) from generated pictures, read at every depth from file and
// memory exactly as the model of pcx_support says, and shown at depth 32 as
// netpbm's pcxtoppm decodes them (or refused with 3). Where pcxtoppm is no
// reference:
//   - 2 or 4 bits in 1 plane ("packed"): no converter (result 3).
//   - 8 bits in 4 planes: the alpha plane is not read; pcxtoppm scales by
//     alpha / 256 (opaque pixels one step darker), so the picture given to
//     the encoder is the reference instead.
//   - encoding byte 0: pcxtoppm refuses it; the reader run-length decodes
//     anyway, which gives the picture while no byte is 0xC0 or more.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "pcx_support.h"

namespace {

using namespace pcxtest;

int run(const std::string& command) { return std::system(command.c_str()); }
std::string quoted(const std::string& s) { return "'" + s + "'"; }

struct Picture {
    uint32_t width = 0, height = 0;
    Pixels rgb;  // 0x00RRGGBB, top row first
};

// `colors` distinct colours far apart, in blocks (long runs) and stripes
// (short ones), every colour used; 0 colours: a smooth gradient.
Picture picture(uint32_t w, uint32_t h, uint32_t colors) {
    Picture p{w, h, {}};
    for (uint32_t i = 0; i < w * h; ++i) {
        const uint32_t x = i % w, y = i / w;
        const uint32_t n = i < colors ? i
                                      : (x / 9 + (y / 3) * 5 + (x * y) % 7) % std::max(colors, 1u);
        p.rgb.push_back(colors == 0 ? (x * 255 / (w - 1)) << 16 | (y * 255 / (h - 1)) << 8 |
                                          ((x * y * 7 + x / 3) & 0xFF)
                                    : ((n * 67 + 13) & 0xFF) << 16 | ((n * 149 + 101) & 0xFF) << 8 |
                                          ((n * 29 + 200) & 0xFF));
    }
    return p;
}

// Binary PPM bytes as netpbm writes them.
Bytes ppm(const Picture& p) {
    const std::string head = "P6\n" + std::to_string(p.width) + " " + std::to_string(p.height) +
                             "\n255\n";
    Bytes bytes(head.begin(), head.end());
    for (uint32_t c : p.rgb)
        bytes.insert(bytes.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
    return bytes;
}

class ExternalEncoders : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        if (run("command -v ppmtopcx pcxtoppm >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "netpbm is not installed";
    }
};

// Every layout each encoder writes, in one table: the picture, the options,
// the layout that comes out, and whether the reader reads it.
TEST_F(ExternalEncoders, EveryEncodersLayoutsReadAsPcxtoppmReadsThem) {
    const Picture two = picture(37, 13, 2), four = picture(37, 13, 4), eight = picture(37, 13, 8),
                  sixteen = picture(37, 13, 16), many = picture(61, 29, 200),
                  big = picture(301, 77, 150), gradient = picture(45, 17, 0),
                  placed = picture(13, 5, 16);
    enum Encoder { NETPBM, MAGICK, GM };
    enum Reference { PCXTOPPM, PICTURE, REFUSED };
    const struct {
        Encoder encoder;
        const char* name;
        const Picture* picture;  // null: ImageMagick's own plasma source
        const char* options;
        uint8_t bits, planes;
        bool trailing;
        Reference reference;
    } cases[] = {
        {NETPBM, "two", &two, "", 1, 1, false, PCXTOPPM},
        {NETPBM, "two-3-planes", &two, "-planes=3", 1, 3, false, PCXTOPPM},
        {NETPBM, "four", &four, "", 1, 2, false, PCXTOPPM},
        {NETPBM, "eight", &eight, "", 1, 3, false, PCXTOPPM},
        {NETPBM, "placed", &placed, "-xpos=5 -ypos=3", 1, 4, false, PCXTOPPM},
        {NETPBM, "many", &many, "", 8, 1, true, PCXTOPPM},
        {NETPBM, "big", &big, "", 8, 1, true, PCXTOPPM},
        {NETPBM, "gradient", &gradient, "", 8, 3, false, PCXTOPPM},
        {NETPBM, "packed4", &four, "-packed", 2, 1, false, REFUSED},
        {NETPBM, "packed16", &sixteen, "-packed", 4, 1, false, REFUSED},
        {MAGICK, "im-plasma", nullptr, "-colors 256 -type Palette", 8, 1, true, PCXTOPPM},
        {MAGICK, "im-alpha", &gradient, "-alpha on", 8, 4, false, PICTURE},
        {MAGICK, "im-1bit", nullptr, "-colors 2 -depth 1", 1, 1, true, PCXTOPPM},
        {MAGICK, "im-raw", &sixteen, "-type Palette -compress None", 8, 1, true, PICTURE},
        {GM, "gm-true", &gradient, "-type TrueColor", 8, 3, true, PCXTOPPM},
        {GM, "gm-alpha", &gradient, "-type TrueColorMatte", 8, 4, true, PICTURE},
        {GM, "gm-mono", &two, "-monochrome", 1, 1, true, PCXTOPPM},
    };
    const bool has[] = {true, run("convert -version 2>/dev/null | grep -q ImageMagick") == 0,
                        run("command -v gm >/dev/null 2>&1") == 0};
    for (const auto& c : cases) {
        if (!has[c.encoder]) {
            std::printf("%s: skipped, the encoder is not installed\n", c.name);
            continue;
        }
        SCOPED_TRACE(c.name);
        const std::string out = temp_path(std::string(c.name) + ".pcx");
        // The case's files go when the case ends, however it ends.
        struct Cleanup {
            std::string out;
            ~Cleanup() {
                std::error_code ignored;
                for (const char* suffix : {"", ".in.ppm", ".ppm"})
                    std::filesystem::remove(out + suffix, ignored);
            }
        } const cleanup{out};
        if (c.picture) write_file(out + ".in.ppm", ppm(*c.picture));
        const std::string source = c.picture ? quoted(out + ".in.ppm")
                                             : "-seed 7 -size 97x41 plasma:fractal";
        const std::string command = c.encoder == NETPBM
                                        ? "ppmtopcx " + std::string(c.options) + " " + source +
                                              " >" + quoted(out)
                                        : std::string(c.encoder == GM ? "gm " : "") + "convert " +
                                              source + " " + c.options + " PCX:" + quoted(out);
        ASSERT_EQ(run(command + " 2>/dev/null"), 0) << command;
        const Bytes file = read_file(out);
        ASSERT_GE(file.size(), 128u);
        EXPECT_EQ(file[3], c.bits);
        EXPECT_EQ(file[65], c.planes);
        EXPECT_EQ(file[1] == 5 && file.size() >= 769 && file[file.size() - 769] == 12, c.trailing);
        // What the reader must show: pcxtoppm's output, or the picture.
        const bool decoded = run("pcxtoppm " + quoted(out) + " >" + quoted(out + ".ppm") +
                                 " 2>/dev/null") == 0;
        EXPECT_EQ(decoded, c.reference != PICTURE || c.planes == 4) << "pcxtoppm's verdict";
        const Bytes want = c.reference == PICTURE ? ppm(*c.picture) : read_file(out + ".ppm");
        if (c.encoder == NETPBM && c.reference == PCXTOPPM)
            EXPECT_EQ(want, ppm(*c.picture)) << "netpbm's lossless layouts";

        const uint32_t x0 = file[4] | file[5] << 8, y0 = file[6] | file[7] << 8;
        const uint32_t w = (file[8] | file[9] << 8) - x0 + 1,
                       h = (file[10] | file[11] << 8) - y0 + 1;
        for (int32_t depth : {8, 16, 24, 32}) {
            for (bool memory : {false, true}) {
                open_buffer(depth, int32_t(x0 + w), int32_t(y0 + h));
                const int32_t flags = depth == 8 && memory ? GX_PCX_NO_REDUCE : 0;
                const Outcome modelled_outcome = modelled(file, flags, memory);
                const Outcome got = now(memory ? load_memory(file, flags) : load_file(file, flags));
                ASSERT_TRUE(got == modelled_outcome)
                    << "depth " << depth << (memory ? " memory" : "");
                ASSERT_EQ(
                    got.result,
                    c.reference == REFUSED || (depth == 8 && c.planes > 1 && c.bits == 8) ? 3 : 0);
                if (depth != 32 || got.result != 0) continue;
                Picture shown{w, h, {}};
                for (uint32_t i = 0; i < w * h; ++i)
                    shown.rgb.push_back(pixel(int32_t(x0 + i % w), int32_t(y0 + i / w)));
                EXPECT_EQ(ppm(shown), want);
            }
        }
    }
}

}  // namespace
