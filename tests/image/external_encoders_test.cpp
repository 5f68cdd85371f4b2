// Files written by independent encoders (netpbm's ppmtopcx with its options,
// ImageMagick, GraphicsMagick and Pillow), made at test time from generated
// pictures, read at every depth and from file and memory, and compared with
// what netpbm's pcxtoppm decodes: every layout is either read to pcxtoppm's
// pixels or refused with result 3.
//
// Where the files leave pcxtoppm no choice either way:
//   - 2 or 4 bits, 1 plane ("packed"): no converter (result 3).
//   - 8 bits in 4 planes (red, green, blue, alpha): the alpha plane is not
//     read. pcxtoppm scales the colours by alpha / 256, which darkens even
//     opaque pixels by one step, so these files are compared with the
//     picture the encoder was given instead.
//   - encoding byte 0 (uncompressed): pcxtoppm refuses it; the reader always
//     run-length decodes, which gives the same pixels while no byte is 0xC0
//     or more.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "pcx_support.h"

namespace {

using namespace pcxtest;

// 0 when the command succeeded.
int run(const std::string& command) { return std::system(command.c_str()); }
bool have(const char* command) {
    return run(std::string("command -v ") + command + " >/dev/null 2>&1") == 0;
}
std::string quoted(const std::string& s) { return "'" + s + "'"; }

// ---- Pictures --------------------------------------------------------------------

struct Picture {
    uint32_t width = 0, height = 0;
    Bytes rgb;  // width * height triples, top row first
    uint32_t at(uint32_t x, uint32_t y) const {
        const uint8_t* p = &rgb[3 * (y * width + x)];
        return static_cast<uint32_t>(p[0] << 16 | p[1] << 8 | p[2]);
    }
    void add(uint32_t c) { rgb.insert(rgb.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)}); }
};

// `colors` distinct colours, far apart enough to stay distinct through every
// encoder, laid out in blocks (long runs) and stripes (short ones), every
// colour used.
Picture palette_picture(uint32_t w, uint32_t h, uint32_t colors) {
    Picture p{w, h, {}};
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t i = (y * w + x) < colors
                                   ? (y * w + x)
                                   : ((x / 9 + (y / 3) * 5 + (x * y) % 7) % colors);
            p.add(((i * 67 + 13) & 0xFF) << 16 | ((i * 149 + 101) & 0xFF) << 8 |
                  ((i * 29 + 200) & 0xFF));
        }
    return p;
}

Picture gradient_picture(uint32_t w, uint32_t h) {
    Picture p{w, h, {}};
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            p.add((x * 255 / (w - 1)) << 16 | (y * 255 / (h - 1)) << 8 |
                  ((x * y * 7 + x / 3) & 0xFF));
    return p;
}

void write_ppm(const std::string& path, const Picture& p) {
    const std::string head = "P6\n" + std::to_string(p.width) + " " + std::to_string(p.height) +
                             "\n255\n";
    Bytes bytes(head.begin(), head.end());
    bytes.insert(bytes.end(), p.rgb.begin(), p.rgb.end());
    write_file(path, bytes);
}

std::optional<Picture> read_ppm(const std::string& path) {
    const Bytes b = read_file(path);
    const std::string head(b.begin(),
                           b.begin() + static_cast<ptrdiff_t>(std::min<size_t>(b.size(), 64)));
    Picture p;
    unsigned max = 0;
    int used = 0;
    if (std::sscanf(head.c_str(), "P6 %u %u %u%n", &p.width, &p.height, &max, &used) != 3 ||
        max != 255)
        return std::nullopt;
    const size_t at = static_cast<size_t>(used) + 1, size = 3ull * p.width * p.height;
    if (b.size() < at + size) return std::nullopt;
    p.rgb.assign(b.begin() + static_cast<ptrdiff_t>(at),
                 b.begin() + static_cast<ptrdiff_t>(at + size));
    return p;
}

// ---- What is in a file -------------------------------------------------------------

uint32_t triple(const uint8_t* p, uint32_t n) {
    return static_cast<uint32_t>(p[3 * n] << 16 | p[3 * n + 1] << 8 | p[3 * n + 2]);
}

// What the reader makes of the file's source pixels: colour numbers for
// palette layouts, 0x00RRGGBB for true colour.
enum class Kind { planar, indexed, true_color, none };

struct Layout {
    uint32_t version, encoding, bits, planes, plane_bytes, xmin, ymin, width, height;
    uint8_t header_palette[48];
    bool trailing;  // a trailing palette that the reader uses (version 5, marker 12)
    uint8_t trailing_palette[768];
    Kind kind() const {
        if (bits == 1 && planes >= 1 && planes <= 4) return Kind::planar;
        if (bits == 8 && planes == 1) return Kind::indexed;
        if (bits == 8 && (planes == 3 || planes == 4)) return Kind::true_color;  // plane 3 is alpha
        return Kind::none;
    }
    // The colour of number n from a palette whose number 0 is entry `first`:
    // a two-colour file whose two colours are one is black and white.
    uint32_t shown(const uint8_t* palette, uint32_t first, uint32_t n) const {
        if (bits == 1 && planes == 1 && n < 2 &&
            triple(palette, first) == triple(palette, first + 1))
            return n == 0 ? 0 : 0xFFFFFF;
        return triple(palette, first + n);
    }
};

Layout layout_of(const Bytes& f) {
    Layout l{};
    auto r16 = [&f](size_t at) { return static_cast<uint32_t>(f[at] | f[at + 1] << 8); };
    l.version = f[1];
    l.encoding = f[2];
    l.bits = f[3];
    l.planes = f[65];
    l.plane_bytes = r16(66);
    l.xmin = r16(4);
    l.ymin = r16(6);
    l.width = r16(8) - l.xmin + 1;
    l.height = r16(10) - l.ymin + 1;
    std::memcpy(l.header_palette, &f[16], 48);
    l.trailing = l.version == 5 && f.size() >= 769 && f[f.size() - 769] == 12;
    if (f.size() >= 768) std::memcpy(l.trailing_palette, &f[f.size() - 768], 768);
    return l;
}

// The scan lines as one run-length decoded stream (encoders never let a run
// cross a line, but the stream view does not care).
std::vector<Bytes> scan_lines(const Bytes& f, const Layout& l) {
    const size_t line = static_cast<size_t>(l.planes) * l.plane_bytes;
    Bytes all;
    for (size_t i = 128; all.size() < line * l.height && i < f.size();) {
        const uint8_t b = f[i++];
        if (b < 0xC0 || l.encoding == 0) {
            all.push_back(b);
        } else if (i < f.size()) {
            all.insert(all.end(), b & 0x3F, f[i++]);
        }
    }
    all.resize(line * l.height, 0);
    std::vector<Bytes> lines;
    for (uint32_t y = 0; y < l.height; ++y)
        lines.emplace_back(all.begin() + static_cast<ptrdiff_t>(y * line),
                           all.begin() + static_cast<ptrdiff_t>((y + 1) * line));
    return lines;
}

uint32_t source_value(Kind kind, const Layout& l, const Bytes& line, uint32_t x) {
    const size_t pb = l.plane_bytes;
    auto bit = [&](size_t plane) { return (line[plane * pb + x / 8] >> (7 - x % 8)) & 1u; };
    switch (kind) {
        case Kind::planar: {
            uint32_t n = 0;
            for (uint32_t p = 0; p < l.planes; ++p) n |= bit(p) << p;
            return n;
        }
        case Kind::indexed: return line[x];
        case Kind::true_color:
            return static_cast<uint32_t>(line[x] << 16 | line[pb + x] << 8 | line[2 * pb + x]);
        case Kind::none: break;
    }
    return 0;
}

// ---- The test ------------------------------------------------------------------------

struct Made {
    std::string name;
    Bytes file;
    Layout layout;
    std::optional<Picture> decoded;  // pcxtoppm's output, if it read the file
};

class ExternalEncoders : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        if (!have("ppmtopcx") || !have("pcxtoppm")) GTEST_SKIP() << "netpbm is not installed";
    }

    std::string picture_file(const std::string& name, const Picture& p) {
        const std::string path = temp_path(name + ".ppm");
        write_ppm(path, p);
        return path;
    }

    // Runs an encoder command writing `out`, then pcxtoppm on the result.
    Made make(const std::string& name, const std::string& command, const std::string& out) {
        Made m;
        m.name = name;
        EXPECT_EQ(run(command + " 2>/dev/null"), 0) << command;
        m.file = read_file(out);
        if (m.file.size() < 128) {
            ADD_FAILURE() << name << ": the encoder wrote no file";
            return m;
        }
        m.layout = layout_of(m.file);
        const std::string ppm = out + ".pcxtoppm.ppm";
        if (run("pcxtoppm " + quoted(out) + " >" + quoted(ppm) + " 2>/dev/null") == 0)
            m.decoded = read_ppm(ppm);
        return m;
    }

    Made netpbm(const std::string& name, const Picture& p, const std::string& options) {
        const std::string out = temp_path(name + ".pcx");
        return make(
            name, "ppmtopcx " + options + " " + quoted(picture_file(name, p)) + " >" + quoted(out),
            out);
    }

    Made magick(const std::string& name, const std::string& source, const std::string& options) {
        const std::string out = temp_path(name + ".pcx");
        return make(name, "convert " + source + " " + options + " PCX:" + quoted(out), out);
    }

    // Reads the file at every depth, from a file and from memory, and checks
    // each pixel against the reader's rules applied to the file's own bytes.
    // Returns the reader's 0x00RRGGBB colours at depth 32 (file mode).
    std::vector<uint32_t> check_reader(const Made& m, int32_t flags = GX_PCX_AT_POSITION) {
        std::vector<uint32_t> colors32;
        check_into(m, flags, colors32);
        return colors32;
    }

    void check_into(const Made& m, int32_t flags, std::vector<uint32_t>& colors32) {
        const Layout& l = m.layout;
        const Kind kind = l.kind();
        const bool numbers = kind != Kind::none && kind != Kind::true_color;
        const bool reduced = numbers && l.trailing && (flags & GX_PCX_NO_REDUCE) == 0;
        const std::vector<Bytes> lines = scan_lines(m.file, l);
        std::vector<uint32_t> values;  // source values, row by row
        bool seen[256] = {};
        for (uint32_t y = 0; y < l.height; ++y)
            for (uint32_t x = 0; x < l.width; ++x) {
                values.push_back(source_value(kind, l, lines[y], x));
                if (numbers) seen[values.back()] = true;
            }
        const auto used = std::count(std::begin(seen), std::end(seen),
                                     true);  // distinct colour numbers
        const bool at_header = (flags & GX_PCX_AT_POSITION) == 0;
        const int32_t x0 = at_header ? static_cast<int32_t>(l.xmin) : 0;
        const int32_t y0 = at_header ? static_cast<int32_t>(l.ymin) : 0;
        for (int32_t depth : {8, 16, 24, 32}) {
            for (bool memory : {false, true}) {
                SCOPED_TRACE(m.name + " at depth " + std::to_string(depth) +
                             (memory ? " from memory" : " from a file"));
                open_buffer(depth, x0 + static_cast<int32_t>(l.width),
                            y0 + static_cast<int32_t>(l.height));
                const Bytes before = palette_rgb();
                const int32_t result = memory ? load_memory(m.file, flags)
                                              : load_file(m.file, flags);
                if (kind == Kind::none || (kind == Kind::true_color && depth == 8)) {
                    EXPECT_EQ(result, 3);
                    EXPECT_EQ(palette_rgb(), before);
                    free_buffers();
                    continue;
                }
                ASSERT_EQ(result, 0);
                // At depth 8 the palette stage loads slots 10 to 245 from a
                // trailing palette, 10 to 25 from the header.
                const Bytes after = palette_rgb();
                auto loaded = [&](uint32_t slot) {
                    if (l.trailing)
                        return slot >= 10 && slot <= 245
                                   ? l.shown(l.trailing_palette, 10, slot - 10)
                                   : triple(before.data(), slot);
                    return slot >= 10 && slot <= 25 ? l.shown(l.header_palette, 0, slot - 10)
                                                    : triple(before.data(), slot);
                };
                for (uint32_t y = 0; y < l.height; ++y) {
                    for (uint32_t x = 0; x < l.width; ++x) {
                        const uint32_t v = values[y * l.width + x];
                        const uint32_t got = pixel(x0 + static_cast<int32_t>(x),
                                                   y0 + static_cast<int32_t>(y));
                        uint32_t want_rgb = v;
                        if (numbers)
                            want_rgb = l.trailing ? l.shown(l.trailing_palette, 0, v)
                                       : v < 16   ? l.shown(l.header_palette, 0, v)
                                                  : triple(before.data(), v);
                        if (depth == 8 && reduced) {
                            ASSERT_TRUE(got >= 10 && got <= 245) << x << "," << y;
                            // Palette layouts are stored as 10 + number before the reduction sees
                            // them.
                            const uint32_t want8 = kind == Kind::indexed
                                                       ? want_rgb
                                                       : l.shown(l.trailing_palette, 10, v);
                            // Unknown when more than 236 colours had to be merged; else every
                            // colour is kept.
                            if (used <= 236)
                                ASSERT_EQ(triple(after.data(), got), want8) << x << "," << y;
                        } else if (depth == 8) {
                            ASSERT_EQ(got, kind == Kind::indexed ? v : 10 + v) << x << "," << y;
                            ASSERT_EQ(triple(after.data(), got), loaded(got)) << x << "," << y;
                        } else if (depth == 16) {
                            ASSERT_EQ(got, rgb565(want_rgb >> 16, (want_rgb >> 8) & 0xFF,
                                                  want_rgb & 0xFF))
                                << x << "," << y;
                        } else {
                            ASSERT_EQ(got & 0xFFFFFF, want_rgb) << x << "," << y;
                            if (depth == 32 && !memory) colors32.push_back(got & 0xFFFFFF);
                        }
                    }
                }
                free_buffers();
            }
        }
    }

    // The reader's colours equal pcxtoppm's, pixel for pixel.
    void expect_same_as_pcxtoppm(const Made& m, const std::vector<uint32_t>& colors32) {
        ASSERT_TRUE(m.decoded.has_value()) << m.name << ": pcxtoppm could not read it";
        const Picture& d = *m.decoded;
        ASSERT_EQ(d.width, m.layout.width);
        ASSERT_EQ(d.height, m.layout.height);
        ASSERT_EQ(colors32.size(), static_cast<size_t>(d.width) * d.height) << m.name;
        for (uint32_t y = 0; y < d.height; ++y)
            for (uint32_t x = 0; x < d.width; ++x)
                ASSERT_EQ(colors32[y * d.width + x], d.at(x, y))
                    << m.name << " at " << x << "," << y;
    }

    void expect_layout(const Made& m, uint32_t bits, uint32_t planes, bool trailing) {
        EXPECT_EQ(m.layout.bits, bits) << m.name;
        EXPECT_EQ(m.layout.planes, planes) << m.name;
        EXPECT_EQ(m.layout.trailing, trailing) << m.name;
    }
};

// Every layout each encoder writes, in one table: the picture it starts
// from, its options, the layout that comes out and whether the reader reads
// it (then to pcxtoppm's pixels) or refuses it (result 3 at every depth).
TEST_F(ExternalEncoders, EveryEncodersLayoutsReadAsPcxtoppmReadsThem) {
    const Picture two = palette_picture(37, 13, 2);
    const Picture four = palette_picture(37, 13, 4);
    const Picture eight = palette_picture(37, 13, 8);
    const Picture sixteen = palette_picture(37, 13, 16);
    const Picture many = palette_picture(61, 29, 200);
    const Picture big = palette_picture(301, 77, 150);
    const Picture gradient = gradient_picture(45, 17);
    enum Encoder { NETPBM, MAGICK, GM, PILLOW };
    struct Case {
        Encoder encoder;
        const char* name;
        const Picture* picture;  // null: ImageMagick's own plasma source
        const char* options;     // Pillow: the image mode
        uint32_t bits, planes;
        bool trailing, read;
    };
    const Case cases[] = {
        {NETPBM, "two", &two, "", 1, 1, false, true},
        {NETPBM, "two-packed", &two, "-packed", 1, 1, false, true},
        {NETPBM, "two-3-planes", &two, "-planes=3", 1, 3, false, true},
        {NETPBM, "four", &four, "", 1, 2, false, true},
        {NETPBM, "eight", &eight, "", 1, 3, false, true},
        {NETPBM, "sixteen", &sixteen, "", 1, 4, false, true},
        {NETPBM, "sixteen-8bit", &sixteen, "-8bit", 8, 1, true, true},
        {NETPBM, "many", &many, "", 8, 1, true, true},
        {NETPBM, "big", &big, "", 8, 1, true, true},
        {NETPBM, "sixteen-24bit", &sixteen, "-24bit", 8, 3, false, true},
        {NETPBM, "gradient", &gradient, "", 8, 3, false, true},
        {NETPBM, "packed4", &four, "-packed", 2, 1, false, false},
        {NETPBM, "packed16", &sixteen, "-packed", 4, 1, false, false},
        {MAGICK, "im-palette", &many, "-type Palette", 8, 1, true, true},
        {MAGICK, "im-plasma", nullptr, "-colors 256 -type Palette", 8, 1, true, true},
        {MAGICK, "im-true", &gradient, "-type TrueColor", 8, 3, false, true},
        {MAGICK, "im-alpha", &gradient, "-alpha on", 8, 4, false, true},
        {MAGICK, "im-1bit", nullptr, "-colors 2 -depth 1", 1, 1, true, true},
        {MAGICK, "im-gray", &gradient, "-colorspace Gray", 8, 3, false, true},
        {GM, "gm-palette", &many, "-type Palette", 8, 1, true, true},
        {GM, "gm-true", &gradient, "-type TrueColor", 8, 3, true, true},
        {GM, "gm-alpha", &gradient, "-type TrueColorMatte", 8, 4, true, true},
        {GM, "gm-mono", &two, "-monochrome", 1, 1, true, true},
        {PILLOW, "pil-1", &two, "1", 1, 1, false, true},
        {PILLOW, "pil-L", &gradient, "L", 8, 1, true, true},
        {PILLOW, "pil-P", &many, "P", 8, 1, true, true},
        {PILLOW, "pil-RGB", &gradient, "RGB", 8, 3, false, true},
    };
    // Pillow may live only with the system's Python when another comes first on PATH.
    std::string python;
    for (const char* candidate : {"python3", "/usr/bin/python3"})
        if (python.empty() && run(std::string(candidate) + " -c 'import PIL' 2>/dev/null") == 0)
            python = candidate;
    const bool has[] = {
        true, have("convert") && run("convert -version 2>/dev/null | grep -q ImageMagick") == 0,
        have("gm"), !python.empty()};
    for (const Case& c : cases) {
        if (!has[c.encoder]) {
            std::printf("%s: skipped, the encoder is not installed\n", c.name);
            continue;
        }
        const std::string source = c.picture ? quoted(picture_file(c.name, *c.picture))
                                             : "-seed 7 -size 97x41 plasma:fractal";
        const std::string out = temp_path(std::string(c.name) + ".pcx");
        std::string command;
        switch (c.encoder) {
            case NETPBM:
                command = "ppmtopcx " + std::string(c.options) + " " + source + " >" + quoted(out);
                break;
            case MAGICK:
                command = "convert " + source + " " + c.options + " PCX:" + quoted(out);
                break;
            case GM:
                command = "gm convert " + source + " " + c.options + " PCX:" + quoted(out);
                break;
            case PILLOW:
                command = python +
                          " -c 'import sys; from PIL import Image; "
                          "Image.open(sys.argv[1]).convert(sys.argv[2]).save(sys.argv[3])' " +
                          source + " " + c.options + " " + quoted(out);
                break;
        }
        const Made m = make(c.name, command, out);
        expect_layout(m, c.bits, c.planes, c.trailing);
        const std::vector<uint32_t> got = check_reader(m);
        if (HasFatalFailure()) return;
        if (c.read && c.planes == 4 && c.bits == 8) {
            Made given = m;
            given.decoded = *c.picture;
            expect_same_as_pcxtoppm(given, got);
        } else if (c.read) {
            expect_same_as_pcxtoppm(m, got);
        } else {
            EXPECT_TRUE(got.empty()) << c.name;
            EXPECT_TRUE(m.decoded.has_value()) << c.name << ": pcxtoppm reads it";
        }
        // The lossless netpbm layouts give pcxtoppm the picture back.
        if (c.encoder == NETPBM && c.read) {
            ASSERT_TRUE(m.decoded.has_value());
            EXPECT_EQ(m.decoded->rgb, c.picture->rgb) << c.name;
        }
    }
    // A 256-colour file at depth 8 without the reduction.
    const Made m = netpbm("many-no-reduce", many, "");
    check_reader(m, GX_PCX_AT_POSITION | GX_PCX_NO_REDUCE);
}

TEST_F(ExternalEncoders, NetpbmHeaderPositionPlacesTheImage) {
    const Made m = netpbm("placed", palette_picture(13, 5, 16), "-xpos=5 -ypos=3");
    ASSERT_EQ(m.layout.xmin, 5u);
    ASSERT_EQ(m.layout.ymin, 3u);
    expect_same_as_pcxtoppm(m, check_reader(m, 0));
}

class ExternalMagick : public ExternalEncoders {
protected:
    void SetUp() override {
        ExternalEncoders::SetUp();
        if (IsSkipped()) return;
        if (!have("convert") || run("convert -version 2>/dev/null | grep -q ImageMagick") != 0)
            GTEST_SKIP() << "ImageMagick is not installed";
    }
};

TEST_F(ExternalMagick, UncompressedFilesAreRunLengthDecodedAnyway) {
    const std::string sixteen = picture_file("sixteen", palette_picture(37, 13, 16));
    const Made raw = magick("im-raw", quoted(sixteen), "-type Palette -compress None");
    ASSERT_EQ(raw.layout.encoding, 0u);
    EXPECT_FALSE(raw.decoded.has_value()) << "pcxtoppm was expected to refuse encoding 0";
    const Made rle = magick("im-rle", quoted(sixteen), "-type Palette");
    ASSERT_EQ(rle.layout.encoding, 1u);
    // Sixteen colours: every index byte is below 0xC0, so the raw bytes are
    // literal codes, and the pixels equal pcxtoppm's reading of the compressed file.
    Made raw_as_rle = raw;
    raw_as_rle.decoded = rle.decoded;
    expect_same_as_pcxtoppm(raw_as_rle, check_reader(raw));
}

}  // namespace
