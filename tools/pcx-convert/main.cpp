// pcx-convert: reads a PCX image with the library into a buffer of a chosen
// depth and writes the buffer as raw pixels, PPM or PNG (PNG where the
// build found libpng).
#if PCX_CONVERT_PNG
#include <png.h>
#endif

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gfx/gfx.h"
#include "platform/headless/headless.h"

namespace {

constexpr int kExitUsage = 64;
constexpr int kExitNoBuffer = 70;
constexpr int kExitCannotWrite = 73;

const char* const kUsage =
    "Usage: pcx-convert [--bpp 8|16|24|32] [--flags N] [--buffer WxH] [--at X,Y]\n"
    "                   [--palette-out FILE] INPUT OUTPUT\n"
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
    "  -h, --help         show this text\n"
    "\n"
    "The palette starts as the library's default palette for screens deeper than\n"
    "8 bits, and the buffer starts filled with zero bytes.\n"
    "\n"
    "OUTPUT is chosen by its ending:\n"
    "  .raw  the buffer's bytes, top row first, each row the buffer's padded width in\n"
    "        its own pixel format (8: palette index; 16: 5-6-5 little-endian;\n"
    "        24: blue, green, red; 32: blue, green, red, pad)\n"
    "  .ppm  8-bit RGB (binary PPM) of W x H pixels\n"
    "  .png  8-bit RGB PNG of W x H pixels (when built with libpng)\n"
    "For .ppm and .png, 16-bit pixels are widened by bit replication and 8-bit\n"
    "pixels take their colours from the palette.\n"
    "\n"
    "Exit status: 0 when the image was read and written; 1 to 4 the reader's result\n"
    "(1 cannot open the file, 2 not a PCX file, 3 no converter for the image's layout\n"
    "at this depth, 4 out of memory for the line buffer); 64 usage error; 70 the\n"
    "buffer cannot be allocated; 73 an output file cannot be written.\n";

struct Options {
    int32_t bpp = 32;
    int32_t flags = GX_PCX_AT_POSITION;
    bool buffer_given = false;
    int32_t width = 0;
    int32_t height = 0;
    int32_t x = 0;
    int32_t y = 0;
    std::string palette_out;
    std::string input;
    std::string output;
};

enum class Format { raw, ppm, png };

int usage_error(const std::string& message) {
    std::fprintf(stderr, "pcx-convert: %s\nTry 'pcx-convert --help' for more information.\n", message.c_str());
    return kExitUsage;
}

// Parses a whole decimal integer in [low, high].
bool parse_int(const std::string& text, long low, long high, int32_t& out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < low || value > high) return false;
    out = static_cast<int32_t>(value);
    return true;
}

bool parse_pair(const std::string& text, char separator, long low, long high, int32_t& a, int32_t& b) {
    const size_t at = text.find(separator);
    return at != std::string::npos && parse_int(text.substr(0, at), low, high, a) &&
           parse_int(text.substr(at + 1), low, high, b);
}

bool ends_with(const std::string& s, const char* tail) {
    const size_t n = std::strlen(tail);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) != tail[i]) return false;
    return true;
}

// Returns -1 when the options are fine, otherwise the exit status.
int parse(int argc, char** argv, Options& o) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg.rfind("--", 0) != 0 || arg == "--") {
            if (arg == "--") {
                for (++i; i < argc; ++i) positional.emplace_back(argv[i]);
                break;
            }
            positional.push_back(arg);
            continue;
        }
        std::string value;
        const size_t eq = arg.find('=');
        if (eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
        } else if (arg == "--bpp" || arg == "--flags" || arg == "--buffer" || arg == "--at" ||
                   arg == "--palette-out") {
            if (i + 1 >= argc) return usage_error(arg + " needs a value");
            value = argv[++i];
        }
        if (arg == "--bpp") {
            if (!parse_int(value, 0, 32, o.bpp) || (o.bpp != 8 && o.bpp != 16 && o.bpp != 24 && o.bpp != 32))
                return usage_error("--bpp takes 8, 16, 24 or 32, not '" + value + "'");
        } else if (arg == "--flags") {
            if (!parse_int(value, 0, 15, o.flags))
                return usage_error("--flags takes a number from 0 to 15, not '" + value + "'");
        } else if (arg == "--buffer") {
            if (!parse_pair(value, 'x', 1, 1 << 20, o.width, o.height))
                return usage_error("--buffer takes WxH with W and H from 1 to 1048576, not '" + value + "'");
            o.buffer_given = true;
        } else if (arg == "--at") {
            if (!parse_pair(value, ',', INT32_MIN, INT32_MAX, o.x, o.y))
                return usage_error("--at takes X,Y as two whole numbers, not '" + value + "'");
        } else if (arg == "--palette-out") {
            if (value.empty()) return usage_error("--palette-out needs a file name");
            o.palette_out = value;
        } else {
            return usage_error("unknown option '" + arg + "'");
        }
    }
    if (positional.size() != 2)
        return usage_error(positional.size() < 2 ? "INPUT and OUTPUT are needed" : "too many file names");
    o.input = positional[0];
    o.output = positional[1];
    if (!ends_with(o.output, ".raw") && !ends_with(o.output, ".ppm") && !ends_with(o.output, ".png"))
        return usage_error("OUTPUT must end in .raw, .ppm or .png: '" + o.output + "'");
    if (!PCX_CONVERT_PNG && ends_with(o.output, ".png"))
        return usage_error("this build has no PNG support (libpng was not found); write .raw or .ppm");
    return -1;
}

std::vector<uint8_t> read_whole(const std::string& path, bool& ok) {
    std::ifstream in(path, std::ios::binary);
    ok = static_cast<bool>(in);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The image's own size from its header; 1 x 1 when there is no usable header
// (the reader then reports what is wrong with the file).
void header_size(const std::string& path, int32_t& width, int32_t& height) {
    width = 1;
    height = 1;
    std::ifstream in(path, std::ios::binary);
    uint8_t h[128];
    if (!in.read(reinterpret_cast<char*>(h), sizeof h) || h[0] != 10) return;
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
        case GX_PCX_NO_CONVERTER: return "no converter for this image's planes and bits at this depth";
        case GX_PCX_NO_MEMORY: return "out of memory for the line buffer";
        default: return "unknown failure";
    }
}

// The open buffer's pixel (x, y) as red, green, blue.
void rgb_at(int32_t x, int32_t y, uint8_t* out) {
    const GraphicsState& s = gx_state;
    const int32_t bpp = s.active_depth / 8;
    const uint8_t* p = s.active_pixels + static_cast<ptrdiff_t>(s.active_max_y - y) * s.active_pitch +
                       static_cast<ptrdiff_t>(x) * bpp;
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

std::vector<uint8_t> rgb_rows(int32_t width, int32_t height) {
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            rgb_at(x, y, &rgb[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3]);
    return rgb;
}

bool write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

bool write_raw(const std::string& path) {
    const GraphicsState& s = gx_state;
    std::vector<uint8_t> bytes;
    bytes.reserve(static_cast<size_t>(s.active_size));
    for (int32_t y = 0; y < s.active_height; ++y) {
        const uint8_t* row = s.active_pixels + static_cast<ptrdiff_t>(s.active_max_y - y) * s.active_pitch;
        bytes.insert(bytes.end(), row, row + s.active_pitch);
    }
    return write_bytes(path, bytes);
}

bool write_ppm(const std::string& path, int32_t width, int32_t height) {
    const std::string head = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    std::vector<uint8_t> bytes(head.begin(), head.end());
    const std::vector<uint8_t> rgb = rgb_rows(width, height);
    bytes.insert(bytes.end(), rgb.begin(), rgb.end());
    return write_bytes(path, bytes);
}

#if PCX_CONVERT_PNG
// libpng reports errors by a long jump back here, so nothing in this frame
// needs destroying.
bool png_rows(png_structp png, png_infop info, std::FILE* f, const uint8_t* rgb, int32_t width, int32_t height) {
    if (setjmp(png_jmpbuf(png)) != 0) return false;
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int32_t y = 0; y < height; ++y)
        png_write_row(png, rgb + static_cast<size_t>(y) * static_cast<size_t>(width) * 3);
    png_write_end(png, nullptr);
    return true;
}

bool write_png(const std::string& path, int32_t width, int32_t height) {
    const std::vector<uint8_t> rgb = rgb_rows(width, height);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    const bool ok = info != nullptr && png_rows(png, info, f, rgb.data(), width, height);
    if (png != nullptr) png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
    return std::fclose(f) == 0 && ok;
}
#else
bool write_png(const std::string&, int32_t, int32_t) { return false; }  // refused by parse()
#endif

bool write_palette(const std::string& path) {
    std::vector<uint8_t> bytes;
    for (const PfPaletteEntry& e : gx_state.logical_palette.entries) {
        bytes.push_back(e.red);
        bytes.push_back(e.green);
        bytes.push_back(e.blue);
    }
    return write_bytes(path, bytes);
}

int convert(const Options& o) {
    int32_t width = o.width;
    int32_t height = o.height;
    if (!o.buffer_given) header_size(o.input, width, height);
    const Format format = ends_with(o.output, ".raw") ? Format::raw : ends_with(o.output, ".ppm") ? Format::ppm : Format::png;

    gx_set_buffer_depth(o.bpp);
    const int32_t slot = gx_buffer_alloc(width, height);
    if (slot < 0 || gx_buffer_open(slot) != 0) {
        std::fprintf(stderr, "pcx-convert: cannot allocate a %dx%d buffer at %d bits per pixel\n", width, height, o.bpp);
        return kExitNoBuffer;
    }
    gx_set_color(0);
    gx_fill_buffer();
    gx_move_to(o.x, o.y);

    int32_t result;
    if ((o.flags & GX_PCX_FROM_MEMORY) != 0) {
        bool opened = false;
        std::vector<uint8_t> block = read_whole(o.input, opened);
        if (!opened) {
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
        std::fprintf(stderr, "pcx-convert: %s: %s (result %d)\n", o.input.c_str(), reader_failure(result), result);
        status = result;
    } else {
        bool ok = format == Format::raw ? write_raw(o.output)
                  : format == Format::ppm ? write_ppm(o.output, width, height)
                                          : write_png(o.output, width, height);
        if (!ok) {
            std::fprintf(stderr, "pcx-convert: %s: cannot write the file\n", o.output.c_str());
            status = kExitCannotWrite;
        } else if (!o.palette_out.empty() && !write_palette(o.palette_out)) {
            std::fprintf(stderr, "pcx-convert: %s: cannot write the file\n", o.palette_out.c_str());
            status = kExitCannotWrite;
        }
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
