// render_frames: renders a turning cube without any window and writes each
// frame as a PNG file.
//
//   render_frames [FRAMES] [OUTPUT-PREFIX]     (default: 8 frames, "frame")
//
// writes frame-000.png, frame-001.png, ... at 320 x 240. The texture is a
// checkerboard made here in code, so the program needs no input file.
//
// What it shows: the memory-only (headless) backend, which gives the library
// a device context that is not a window; making a texture from the caller's
// own memory; and reading the finished picture out of the open buffer.
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "gfx/gfx.h"
#include "platform/headless/headless.h"

namespace {

constexpr int32_t width = 320;
constexpr int32_t height = 240;

constexpr Vertex3 faces[6][4] = {
    {{20, -20, -20}, {-20, -20, -20}, {-20, 20, -20}, {20, 20, -20}},
    {{-20, -20, -20}, {-20, -20, 20}, {-20, 20, 20}, {-20, 20, -20}},
    {{20, 20, 20}, {-20, 20, 20}, {-20, -20, 20}, {20, -20, 20}},
    {{20, -20, 20}, {20, -20, -20}, {20, 20, -20}, {20, 20, 20}},
    {{20, -20, 20}, {-20, -20, 20}, {-20, -20, -20}, {20, -20, -20}},
    {{20, 20, -20}, {-20, 20, -20}, {-20, 20, 20}, {20, 20, 20}},
};
constexpr TexCoord corners[4] = {{63, 63}, {0, 63}, {0, 0}, {63, 0}};

// A 64 x 64 texture for a 32-bit buffer: 3 bytes a texel (blue, green,
// red), top row first. Orange and dark blue squares of 8 x 8 texels.
uint8_t texture[64 * 64 * 3];

void make_checkerboard() {
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            uint8_t* t = &texture[(y * 64 + x) * 3];
            const bool orange = ((x / 8) + (y / 8)) % 2 == 0;
            t[0] = orange ? 0x20 : 0x80;  // blue
            t[1] = orange ? 0x90 : 0x20;  // green
            t[2] = orange ? 0xF0 : 0x10;  // red
        }
    }
}

// Writes the open 32-bit buffer as an 8-bit RGB PNG. Buffers are stored
// bottom row first: picture row y is buffer row active_max_y - y.
bool write_png(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    static uint8_t rgb[width * 3];
    if (setjmp(png_jmpbuf(png))) {  // libpng jumps back here on failure
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* row = gx_state.active_pixels +
                             (gx_state.active_max_y - y) * gx_state.active_pitch;
        for (int32_t x = 0; x < width; ++x) {  // each pixel is blue, green, red, unused
            rgb[x * 3 + 0] = row[x * 4 + 2];
            rgb[x * 3 + 1] = row[x * 4 + 1];
            rgb[x * 3 + 2] = row[x * 4 + 0];
        }
        png_write_row(png, rgb);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::atoi(argv[1]) : 8;
    const std::string prefix = argc > 2 ? argv[2] : "frame";
    if (frames < 1 || frames > 1000) {
        std::fprintf(stderr, "usage: render_frames [FRAMES 1-1000] [OUTPUT-PREFIX]\n");
        return 2;
    }

    // The headless backend's stand-in for a window: a context whose
    // "screen" is memory. Then the usual start-up and a 32-bit buffer.
    PfDC dc = headless_window_dc(width, height);
    gx_set_dc(dc);
    PfPalette palette = gx_create_palette();
    gx_realize_palette(palette);
    gx_initialize();
    gx_set_buffer_depth(32);
    const int32_t buffer = gx_buffer_alloc(width, height);
    if (buffer < 0 || gx_buffer_open(buffer) != 0) {
        std::fprintf(stderr, "render_frames: cannot allocate the buffer\n");
        return 1;
    }
    gx_buffer_colors();

    // The texture lives in our own memory; the slot table only points at it.
    make_checkerboard();
    gx_texture_table_alloc(1);
    gx_texture_select(gx_texture_define(texture, 64, 64));

    uint32_t* depth = gx_depthbuf_alloc(width, height);
    gx_depthbuf_open(depth);
    gx_3d_viewport(0, width - 1, 0, height - 1, 0.5);
    gx_3d_clip_planes(10.0, 1000.0);
    gx_3d_render_flags(RF_PERSPECTIVE | RF_DEPTH | RF_CLIP);

    int status = 0;
    for (int frame = 0; frame < frames && status == 0; ++frame) {
        gx_depthbuf_clear();
        gx_set_color(0x302020);  // at 32 bits a colour is 0xRRGGBB
        gx_fill_buffer();
        // One full turn about the vertical axis over all the frames.
        gx_3d_set_object(0.0, 0.0, 90.0, 250, frame * 3600 / frames, 0);
        for (const auto& face : faces) gx_3d_texture_polygon(face, corners, 4);

        char name[16];
        std::snprintf(name, sizeof name, "-%03d.png", frame);
        if (!write_png(prefix + name)) {
            std::fprintf(stderr, "render_frames: cannot write %s%s\n", prefix.c_str(), name);
            status = 1;
        } else {
            std::printf("wrote %s%s\n", prefix.c_str(), name);
        }
    }

    gx_buffer_close();
    gx_texture_undefine(-1);
    gx_depthbuf_free(depth);
    gx_buffer_free(buffer);
    gx_shutdown();
    pf_delete_object(pf_as_object(palette));
    pf_delete_dc(dc);
    return status;
}
