// pcx-convert: reads a PCX image with the library into a buffer of a chosen
// depth and writes the buffer as raw pixels, PPM or PNG (PNG where the
// build found libpng).
#if TOOL_HAS_PNG
#include <png.h>
#endif

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/gfx.h"
#include "gfx/row_rule.h"
#include "gfx/version.h"
#include "platform/headless/headless.h"
#include "tools/common/command_line.h"
#include "tools/common/output_file.h"

namespace {

constexpr int EXIT_USAGE = 64;
constexpr int EXIT_TOO_LARGE = 65;
constexpr int EXIT_NO_BUFFER = 70;
constexpr int EXIT_CANNOT_WRITE = 73;

// Buffers above this many pixels are refused unless --max-pixels allows them.
constexpr long long DEFAULT_MAX_PIXELS = 1LL << 26;
constexpr long long MOST_PIXELS = 1LL << 40;

const char* const USAGE =
    "Usage: pcx-convert [--bpp 8|16|24|32] [--flags N] [--buffer WxH] [--at X,Y]\n"
    "                   [--palette-out FILE] [--max-pixels N] INPUT OUTPUT\n"
    "\n"
    "Reads the PCX image INPUT into a buffer and writes the buffer to OUTPUT.\n"
    "\n"
    "  --bpp N            bits per pixel of the buffer: 8, 16, 24 or 32 (default 32)\n"
    "  --flags N          reader flags, 0 to 15 (default 2), the sum of:\n"
    "                       1  keep the palette: do not load the image's colours\n"
    "                       2  put the image's top-left pixel at the --at position\n"
    "                          instead of at the position its header names\n"
    "                       4  read the image from memory (the whole file is loaded first)\n"
    "                       8  no colour reduction: at 8 bits a 256-colour image keeps\n"
    "                          its indices instead of being renumbered into slots 10-245\n"
    "  --buffer WxH       buffer size in pixels (default: the image's size from its header);\n"
    "                     the width is rounded up to a multiple of 4 inside the buffer\n"
    "  --at X,Y           the current position, where flag 2 puts the image (default 0,0)\n"
    "  --palette-out FILE also write the 256 palette entries as red, green, blue bytes\n"
    "  --max-pixels N     refuse buffers of more than N pixels, before allocating\n"
    "                     (default 67108864 = 2^26, 256 MiB at 32 bits; at most 2^40)\n"
    "  -h, --help         show this text\n"
    "  --version          show the version\n"
    "\n"
    "Options take their value as '--bpp 16' or '--bpp=16', each at most once; put\n"
    "'--' before file names that start with '-'.\n"
    "\n"
    "The palette starts as the library's default palette for screens deeper than\n"
    "8 bits, and the buffer starts filled with zero bytes.\n"
    "\n"
    "OUTPUT is chosen by its ending, in any letter case:\n"
    "  .raw  the buffer's bytes, top row first, each row the buffer's padded width in\n"
    "        its own pixel format (8: palette index; 16: 5-6-5 little-endian;\n"
    "        24: blue, green, red; 32: blue, green, red, pad)\n"
    "  .ppm  8-bit RGB (binary PPM) of W x H pixels\n"
    "  .png  8-bit RGB PNG of W x H pixels (when built with libpng)\n"
    "For .ppm and .png, 16-bit pixels are widened by bit replication and 8-bit\n"
    "pixels take their colours from the palette. Outputs are written to a\n"
    "temporary file beside them and renamed into place when complete, so a\n"
    "failed write leaves an existing file as it was. An output that is the\n"
    "input file is refused.\n"
    "\n"
    "Exit status: 0 when the image was read and written; 1 to 5 the reader's result\n"
    "(1 cannot open the file, 2 not a PCX file, 3 the header describes no image\n"
    "that can be converted at this depth, 4 out of memory for the line buffer,\n"
    "5 the file ends before its last row: what was read is still written);\n"
    "64 usage error; 65 the buffer would exceed --max-pixels; 70 the buffer\n"
    "cannot be allocated; 73 an output file cannot be written.\n";

struct Options {
    int32_t bpp = 32;
    int32_t flags = GX_PCX_AT_POSITION;
    bool buffer_given = false;
    int32_t width = 0;
    int32_t height = 0;
    int32_t x = 0;
    int32_t y = 0;
    long long max_pixels = DEFAULT_MAX_PIXELS;
    std::string palette_out;
    std::string input;
    std::string output;
};

enum class Format { raw, ppm, png };

int usage_error(const std::string& message) {
    std::fprintf(stderr, "pcx-convert: %s\nTry 'pcx-convert --help' for more information.\n",
                 message.c_str());
    return EXIT_USAGE;
}

// Parses a whole decimal integer in [low, high].
bool parse_int(const std::string& text, long long low, long long high, long long& out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < low || value > high) return false;
    out = value;
    return true;
}

bool parse_int(const std::string& text, long long low, long long high, int32_t& out) {
    long long value = 0;
    if (!parse_int(text, low, high, value)) return false;
    out = static_cast<int32_t>(value);
    return true;
}

bool parse_pair(const std::string& text, char separator, long long low, long long high, int32_t& a,
                int32_t& b) {
    const size_t at = text.find(separator);
    return at != std::string::npos && parse_int(text.substr(0, at), low, high, a) &&
           parse_int(text.substr(at + 1), low, high, b);
}

// Returns -1 when the options are fine, otherwise the exit status.
int parse(int argc, char** argv, Options& o) {
    tools::CommandLine line;
    std::string error;
    if (!line.parse(argc, argv,
                    {{"--help", false},
                     {"--version", false},
                     {"--bpp", true},
                     {"--flags", true},
                     {"--buffer", true},
                     {"--at", true},
                     {"--palette-out", true},
                     {"--max-pixels", true}},
                    error))
        return usage_error(error);
    if (line.has("--help")) {
        std::fputs(USAGE, stdout);
        return 0;
    }
    if (line.has("--version")) {
        std::printf("pcx-convert %s\n", GX_VERSION);
        return 0;
    }
    const std::string bpp = line.value("--bpp", "32");
    if (!parse_int(bpp, 0, 32, o.bpp) || (o.bpp != 8 && o.bpp != 16 && o.bpp != 24 && o.bpp != 32))
        return usage_error("--bpp takes 8, 16, 24 or 32, not '" + bpp + "'");
    const std::string flags = line.value("--flags", "2");
    if (!parse_int(flags, 0, 15, o.flags))
        return usage_error("--flags takes a number from 0 to 15, not '" + flags + "'");
    if (line.has("--buffer")) {
        const std::string value = line.value("--buffer");
        if (!parse_pair(value, 'x', 1, 1 << 20, o.width, o.height))
            return usage_error("--buffer takes WxH with W and H from 1 to 1048576, not '" + value +
                               "'");
        o.buffer_given = true;
    }
    const std::string at = line.value("--at", "0,0");
    if (!parse_pair(at, ',', INT32_MIN, INT32_MAX, o.x, o.y))
        return usage_error("--at takes X,Y as two whole numbers, not '" + at + "'");
    if (line.has("--palette-out")) {
        o.palette_out = line.value("--palette-out");
        if (o.palette_out.empty()) return usage_error("--palette-out needs a file name");
    }
    if (line.has("--max-pixels")) {
        const std::string value = line.value("--max-pixels");
        if (!parse_int(value, 1, MOST_PIXELS, o.max_pixels))
            return usage_error("--max-pixels takes a whole number from 1 to 1099511627776, not '" +
                               value + "'");
    }
    const std::vector<std::string>& names = line.operands();
    if (names.size() != 2)
        return usage_error(names.size() < 2 ? "INPUT and OUTPUT are needed"
                                            : "too many file names");
    o.input = names[0];
    o.output = names[1];
    if (!tools::has_extension(o.output, ".raw") && !tools::has_extension(o.output, ".ppm") &&
        !tools::has_extension(o.output, ".png"))
        return usage_error("OUTPUT must end in .raw, .ppm or .png: '" + o.output + "'");
    for (const std::string& out : {o.output, o.palette_out})
        if (!out.empty() && (out == o.input || tools::same_file(o.input, out)))
            return usage_error("'" + out + "' is the input file, which would be overwritten");
    if (o.palette_out == o.output || tools::same_file(o.output, o.palette_out))
        return usage_error("OUTPUT and --palette-out name the same file");
    if (!TOOL_HAS_PNG && tools::has_extension(o.output, ".png"))
        return usage_error(
            "this build has no PNG support (libpng was not found); write .raw or .ppm");
    return -1;
}

// The image's own size from its header; 1 x 1 when there is no usable header
// (the reader then reports what is wrong with the file).
void header_size(const std::string& path, int32_t& width, int32_t& height) {
    width = 1;
    height = 1;
    uint8_t h[128];
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (in == nullptr) return;
    const size_t got = std::fread(h, 1, sizeof h, in);
    std::fclose(in);
    if (got != sizeof h || h[0] != 10) return;
    const int32_t w = (h[8] | h[9] << 8) - (h[4] | h[5] << 8) + 1;
    const int32_t r = (h[10] | h[11] << 8) - (h[6] | h[7] << 8) + 1;
    if (w > 0 && r > 0) {
        width = w;
        height = r;
    }
}

const char* reader_failure(int32_t result) {
    switch (result) {
        case GX_PCX_CANNOT_OPEN: return "cannot open the file";
        case GX_PCX_NOT_PCX: return "not a PCX file";
        case GX_PCX_NO_CONVERTER:
            return "the header describes no image that can be converted at this depth";
        case GX_PCX_NO_MEMORY: return "out of memory for the line buffer";
        case GX_PCX_TRUNCATED: return "the file ends before the image's last row";
        default: return "unknown failure";
    }
}

// The open buffer's pixel (x, y) as red, green, blue.
void rgb_at(int32_t x, int32_t y, uint8_t* out) {
    const GraphicsState& s = gx_state;
    const uint8_t* p = gx_pixel_address(x, y, gx_bytes_per_pixel(s.active_depth));
    if (s.active_depth == 8) {
        const PfPaletteEntry& e = s.logical_palette.entries[p[0]];
        out[0] = e.red;
        out[1] = e.green;
        out[2] = e.blue;
    } else if (s.active_depth == 16) {
        const uint32_t v = static_cast<uint32_t>(p[0] | p[1] << 8);
        const uint32_t r = v >> 11, g = (v >> 5) & 63, b = v & 31;
        out[0] = static_cast<uint8_t>(r << 3 | r >> 2);
        out[1] = static_cast<uint8_t>(g << 2 | g >> 4);
        out[2] = static_cast<uint8_t>(b << 3 | b >> 2);
    } else {
        out[0] = p[2];
        out[1] = p[1];
        out[2] = p[0];
    }
}

std::vector<uint8_t> rgb_row(int32_t y, int32_t width) {
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * 3);
    for (int32_t x = 0; x < width; ++x) rgb_at(x, y, &rgb[static_cast<size_t>(x) * 3]);
    return rgb;
}

void write_raw(tools::OutputFile& out) {
    const GraphicsState& s = gx_state;
    for (int32_t y = 0; y < s.active_height; ++y)
        out.write(gx_pixel_address(0, y, 1), static_cast<size_t>(s.active_pitch));
}

void write_ppm(tools::OutputFile& out, int32_t width, int32_t height) {
    const std::string head = "P6\n" + std::to_string(width) + " " + std::to_string(height) +
                             "\n255\n";
    out.write(head.data(), head.size());
    for (int32_t y = 0; y < height; ++y) {
        const std::vector<uint8_t> row = rgb_row(y, width);
        out.write(row.data(), row.size());
    }
}

#if TOOL_HAS_PNG
// libpng reports errors by a long jump back here, so nothing in this frame
// needs destroying.
bool png_rows(png_structp png, png_infop info, std::FILE* f, int32_t width, int32_t height,
              std::vector<uint8_t>& row) {
    if (setjmp(png_jmpbuf(png)) != 0) return false;
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int32_t y = 0; y < height; ++y) {
        row = rgb_row(y, width);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    return true;
}

void write_png(tools::OutputFile& out, int32_t width, int32_t height) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    std::vector<uint8_t> row;
    errno = 0;
    if (info == nullptr || !png_rows(png, info, out.stream(), width, height, row))
        out.fail(errno != 0 ? std::strerror(errno) : "the PNG writer failed");
    if (png != nullptr) png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
}
#else
void write_png(tools::OutputFile& out, int32_t, int32_t) {
    out.fail("no PNG support");
}  // parse() refuses .png
#endif

void write_palette(tools::OutputFile& out) {
    for (const PfPaletteEntry& e : gx_state.logical_palette.entries) {
        const uint8_t rgb[3] = {e.red, e.green, e.blue};
        out.write(rgb, sizeof rgb);
    }
}

// Writes one output file safely; false (after saying why) when it failed.
template <typename Writer>
bool write_output(const std::string& path, Writer writer) {
    tools::OutputFile out(path);
    std::string error;
    if (out.open(error)) {
        writer(out);
        if (out.commit(error)) return true;
    }
    std::fprintf(stderr, "pcx-convert: %s: cannot write the file: %s\n", path.c_str(),
                 error.c_str());
    return false;
}

int convert(const Options& o) {
    int32_t width = o.width;
    int32_t height = o.height;
    if (!o.buffer_given) header_size(o.input, width, height);
    const long long pixels = static_cast<long long>(width) * height;
    if (pixels > o.max_pixels) {
        std::fprintf(stderr,
                     "pcx-convert: %s: a %dx%d buffer has %lld pixels, more than the limit of %lld;"
                     " raise it with --max-pixels if this is meant\n",
                     o.input.c_str(), width, height, pixels, o.max_pixels);
        return EXIT_TOO_LARGE;
    }
    const Format format = tools::has_extension(o.output, ".raw")   ? Format::raw
                          : tools::has_extension(o.output, ".ppm") ? Format::ppm
                                                                   : Format::png;

    gx_set_buffer_depth(o.bpp);
    const int32_t slot = gx_buffer_alloc(width, height);
    if (slot < 0 || gx_buffer_open(slot) != 0) {
        std::fprintf(stderr, "pcx-convert: cannot allocate a %dx%d buffer at %d bits per pixel\n",
                     width, height, o.bpp);
        return EXIT_NO_BUFFER;
    }
    gx_set_color(0);
    gx_fill_buffer();
    gx_move_to(o.x, o.y);

    int32_t result;
    if ((o.flags & GX_PCX_FROM_MEMORY) != 0) {
        std::string block;
        std::string error;
        if (!tools::read_whole_file(o.input, block, error)) {
            result = GX_PCX_CANNOT_OPEN;
        } else {
            gx_set_input(block.data(), static_cast<uint32_t>(block.size()));
            result = gx_load_pcx(o.input.c_str(), o.flags);
            gx_reset_input();
        }
    } else {
        result = gx_load_pcx(o.input.c_str(), o.flags);
    }

    int status = 0;
    if (result != GX_PCX_OK) {
        std::fprintf(stderr, "pcx-convert: %s: %s (result %d)%s\n", o.input.c_str(),
                     reader_failure(result), result,
                     result == GX_PCX_TRUNCATED ? "; the rows that were read are written" : "");
        status = result;
    }
    if (result == GX_PCX_OK || result == GX_PCX_TRUNCATED) {
        const bool written = write_output(o.output, [&](tools::OutputFile& out) {
            if (format == Format::raw) {
                write_raw(out);
            } else if (format == Format::ppm) {
                write_ppm(out, width, height);
            } else {
                write_png(out, width, height);
            }
        });
        if (!written || (!o.palette_out.empty() && !write_output(o.palette_out, write_palette)))
            status = EXIT_CANNOT_WRITE;
    }
    gx_buffer_close();
    gx_buffer_free(slot);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    const int parsed = parse(argc, argv, options);
    if (parsed >= 0) return parsed;

    // A screen deeper than 8 bits gives the full default palette.
    headless_set_screen(32, 1);
    PfDC dc = headless_window_dc(1, 1);
    gx_set_dc(dc);
    PfPalette palette = gx_create_palette();
    gx_realize_palette(palette);
    gx_initialize();
    const int status = convert(options);
    gx_shutdown();
    pf_delete_object(pf_as_object(palette));
    pf_delete_dc(dc);
    return status;
}
