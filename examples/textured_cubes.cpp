// textured_cubes: three cubes wearing your own texture, turned with keys.
//
//   textured_cubes TEXTURE.PCX
//
// Arrow keys turn the cubes (left/right about the vertical axis, up/down
// about the horizontal one), keypad + and - move them nearer and away,
// Escape or closing the window quits.
//
// What it shows: the 3D set-up (viewport, clip planes, render flags, depth
// buffer), cutting a texture out of a buffer, texture slots, and drawing
// polygons through the pipeline with a different object transform per cube.
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "gfx/gfx.h"
#include "platform/sdl/sdl_window.h"

namespace {

constexpr int32_t width = 640;
constexpr int32_t height = 480;

// A cube 40 units on a side around its own origin: six faces of four
// corners, each face wound the same way when seen from outside.
constexpr Vertex3 faces[6][4] = {
    {{20, -20, -20}, {-20, -20, -20}, {-20, 20, -20}, {20, 20, -20}},
    {{-20, -20, -20}, {-20, -20, 20}, {-20, 20, 20}, {-20, 20, -20}},
    {{20, 20, 20}, {-20, 20, 20}, {-20, -20, 20}, {20, -20, 20}},
    {{20, -20, 20}, {20, -20, -20}, {20, 20, -20}, {20, 20, 20}},
    {{20, -20, 20}, {-20, -20, 20}, {-20, -20, -20}, {20, -20, -20}},
    {{20, 20, -20}, {-20, 20, -20}, {-20, 20, 20}, {20, 20, 20}},
};

// Scan codes (PC set 1) of the keys read.
constexpr int32_t key_escape = 1, key_up = 72, key_down = 80, key_left = 75, key_right = 77;
constexpr int32_t key_pad_minus = 74, key_pad_plus = 78;

// Angles are in tenths of a degree, 0 to 3599.
int32_t wrap(int32_t angle) { return (angle % 3600 + 3600) % 3600; }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: textured_cubes TEXTURE.PCX\n");
        return 2;
    }
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "textured_cubes: cannot open a window: %s\n", SDL_GetError());
        return 1;
    }
    SDL_Window* window = SDL_CreateWindow("textured_cubes", SDL_WINDOWPOS_UNDEFINED,
                                          SDL_WINDOWPOS_UNDEFINED, width, height, 0);
    if (window == nullptr) {
        std::fprintf(stderr, "textured_cubes: cannot create the window: %s\n", SDL_GetError());
        return 1;
    }

    // Start-up, then a 16-bit buffer the size of the window, open for drawing.
    PfDC dc = pf_sdl_window_dc(window);
    gx_set_dc(dc);
    PfPalette palette = gx_create_palette();
    gx_realize_palette(palette);
    gx_initialize();
    gx_set_buffer_depth(16);
    const int32_t buffer = gx_buffer_alloc(width, height);
    gx_buffer_open(buffer);
    gx_buffer_colors();

    // Read the image into the buffer's top-left corner and cut the texture
    // out of it. The reader keeps the image's 128-byte header in the state
    // record; its window of pixels gives the image's size.
    gx_move_to(0, 0);
    if (gx_load_pcx(argv[1], GX_PCX_AT_POSITION) != GX_PCX_OK) {
        std::fprintf(stderr, "textured_cubes: %s: cannot read the image\n", argv[1]);
        return 1;
    }
    // A cube's faces are square, so the texture is the image's top-left
    // square (at most the buffer's height).
    const uint8_t* h = gx_state.pcx_header;
    const int32_t image_w = (h[8] | h[9] << 8) - (h[4] | h[5] << 8) + 1;
    const int32_t image_h = (h[10] | h[11] << 8) - (h[6] | h[7] << 8) + 1;
    const int32_t tw = std::min({image_w, image_h, height}), th = tw;
    // A block is read from the current position upwards, so it starts on the
    // texture's bottom row; inverting it puts the top row first.
    std::vector<uint8_t> texture(static_cast<size_t>(tw) * th * 2);  // 2 bytes a texel at 16 bits
    gx_move_to(0, th - 1);
    gx_get_block(texture.data(), tw, th);
    gx_invert_block(texture.data(), tw, th);
    gx_texture_table_alloc(1);
    gx_texture_select(gx_texture_define(texture.data(), tw, th));
    // Each face's corners take the texture's corners.
    const TexCoord corners[4] = {{tw - 1, th - 1}, {0, th - 1}, {0, 0}, {tw - 1, 0}};

    // 3D set-up: project onto the whole buffer, keep what lies between 40
    // and 1000 units in front of the eye, correct perspective, test depth
    // and clip at the near plane.
    uint32_t* depth = gx_depthbuf_alloc(width, height);
    gx_depthbuf_open(depth);
    gx_3d_viewport(0, width - 1, 0, height - 1, 0.5);
    gx_3d_clip_planes(40.0, 1000.0);
    gx_3d_render_flags(RF_PERSPECTIVE | RF_DEPTH | RF_CLIP);

    int32_t turn_x = 200, turn_y = 300;
    double distance = 160.0;
    for (bool running = true; running;) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            if (event.type == SDL_QUIT) running = false;
        }
        if (gx_key_test(key_escape)) running = false;
        if (gx_key_test(key_left)) turn_y = wrap(turn_y - 30);
        if (gx_key_test(key_right)) turn_y = wrap(turn_y + 30);
        if (gx_key_test(key_up)) turn_x = wrap(turn_x - 30);
        if (gx_key_test(key_down)) turn_x = wrap(turn_x + 30);
        if (gx_key_test(key_pad_plus) && distance > 80.0) distance -= 3.0;
        if (gx_key_test(key_pad_minus) && distance < 600.0) distance += 3.0;

        // A new frame: clear the depth buffer and the picture, then each
        // cube with its own place and turn; the pipeline transforms, clips,
        // projects and fills every face.
        gx_depthbuf_clear();
        gx_set_color(0);
        gx_fill_buffer();
        for (int32_t cube = 0; cube < 3; ++cube) {
            gx_3d_set_object((cube - 1) * 70.0, 0.0, distance, turn_x, wrap(turn_y + cube * 300),
                             cube * 150);
            for (const auto& face : faces) gx_3d_texture_polygon(face, corners, 4);
        }
        gx_buffer_scale_blit(0, width - 1, 0, height - 1, 0, width - 1, 0, height - 1);
        SDL_Delay(16);
    }

    gx_buffer_close();
    gx_texture_undefine(-1);
    gx_depthbuf_free(depth);
    gx_buffer_free(buffer);
    gx_shutdown();
    pf_delete_object(pf_as_object(palette));
    pf_sdl_release_window_dc(dc);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
