// pcx_viewer: shows a PCX image in a window, stretched over the whole window.
//
//   pcx_viewer IMAGE.PCX
//
// Keys 1, 2, 3 and 4 read the image again into a buffer of 8, 16, 24 or 32
// bits per pixel; Escape or closing the window quits. The window's title
// names the depth shown.
//
// What it shows: the start-up sequence every program runs, a virtual buffer
// of any depth, the PCX reader and presenting the buffer onto a window of
// any size (the library stretches it). Everything goes through the library;
// SDL only opens the window and delivers its events.
#include <SDL.h>

#include <cstdio>
#include <string>

#include "gfx/gfx.h"
#include "platform/sdl/sdl_window.h"

namespace {

// Keyboard scan codes (PC set 1) of the keys 1 to 4 and Escape. The library
// reads keys by their position on the keyboard, not by the letter on them.
constexpr int32_t depth_keys[4] = {2, 3, 4, 5};
constexpr int32_t depths[4] = {8, 16, 24, 32};
constexpr int32_t key_escape = 1;

int32_t image_width = 0;
int32_t image_height = 0;
int32_t buffer = -1;  // the slot of the open virtual buffer; -1: none

// The image's size, from the window of pixels its 128-byte header names.
bool read_image_size(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    unsigned char h[128];
    const bool whole = std::fread(h, 1, sizeof h, file) == sizeof h;
    std::fclose(file);
    if (!whole || h[0] != 10) return false;
    image_width = (h[8] | h[9] << 8) - (h[4] | h[5] << 8) + 1;
    image_height = (h[10] | h[11] << 8) - (h[6] | h[7] << 8) + 1;
    return image_width > 0 && image_height > 0;
}

// Replaces the buffer by one of `depth` bits per pixel holding the image.
// The buffer must be closed before it is freed; gx_buffer_colors makes the
// new buffer's colour tables match the palette the reader then loads.
int32_t load_at_depth(const char* path, int32_t depth) {
    if (buffer >= 0) {
        gx_buffer_close();
        gx_buffer_free(buffer);
    }
    gx_set_buffer_depth(depth);
    buffer = gx_buffer_alloc(image_width, image_height);
    if (buffer < 0 || gx_buffer_open(buffer) != 0) return -1;
    gx_buffer_colors();
    // The reader draws the image's top-left pixel at the current position.
    gx_move_to(0, 0);
    return gx_load_pcx(path, GX_PCX_AT_POSITION);
}

// Stretches the whole buffer over the whole client area of the window.
void present(SDL_Window* window, PfDC dc) {
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(window, &width, &height);
    pf_sdl_resize_window_dc(dc, width, height);
    gx_buffer_scale_blit(0, image_width - 1, 0, image_height - 1, 0, width - 1, 0, height - 1);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::string(argv[1]) == "--help") {
        std::fprintf(stderr, "usage: pcx_viewer IMAGE.PCX\n");
        return argc == 2 ? 0 : 2;
    }
    const char* path = argv[1];
    if (!read_image_size(path)) {
        std::fprintf(stderr, "pcx_viewer: %s: cannot read a PCX header\n", path);
        return 1;
    }
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "pcx_viewer: cannot open a window: %s\n", SDL_GetError());
        return 1;
    }
    SDL_Window* window = SDL_CreateWindow("pcx_viewer", SDL_WINDOWPOS_UNDEFINED,
                                          SDL_WINDOWPOS_UNDEFINED, 640, 480, SDL_WINDOW_RESIZABLE);
    if (window == nullptr) {
        std::fprintf(stderr, "pcx_viewer: cannot create the window: %s\n", SDL_GetError());
        return 1;
    }

    // Start-up: the device context to present onto, a palette realized on
    // it, then the library's own start-up.
    PfDC dc = pf_sdl_window_dc(window);
    gx_set_dc(dc);
    PfPalette palette = gx_create_palette();
    gx_realize_palette(palette);
    gx_initialize();

    int32_t depth = 16;
    int32_t result = load_at_depth(path, depth);
    bool running = true;
    while (running) {
        if (result != GX_PCX_OK) {
            std::fprintf(stderr, "pcx_viewer: %s: cannot be read at %d bits (result %d)\n", path,
                         depth, result);
            break;
        }
        const std::string title = "pcx_viewer - " + std::to_string(depth) + " bits per pixel";
        SDL_SetWindowTitle(window, title.c_str());
        present(window, dc);

        // Wait for something to happen, then look at the keys.
        SDL_Event event;
        if (!SDL_WaitEvent(&event)) break;
        do {
            if (event.type == SDL_QUIT) running = false;
        } while (SDL_PollEvent(&event));
        if (gx_key_test(key_escape)) running = false;
        for (int i = 0; i < 4; ++i) {
            if (gx_key_test(depth_keys[i]) && depths[i] != depth) {
                depth = depths[i];
                result = load_at_depth(path, depth);
            }
        }
    }

    // Teardown: close and free the buffer, shut the library down, then
    // delete the palette and release the window's context.
    gx_buffer_close();
    if (buffer >= 0) gx_buffer_free(buffer);
    gx_shutdown();
    pf_delete_object(pf_as_object(palette));
    pf_sdl_release_window_dc(dc);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return result == GX_PCX_OK ? 0 : 1;
}
