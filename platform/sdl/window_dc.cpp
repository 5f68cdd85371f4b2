// The window device context: the portable client image, put on the window's
// surface after every presentation. The image already holds 0x00RRGGBB with
// 5-6-5 widened by bit replication, so SDL only copies it; it never converts
// 16-bit pixels itself.
#include <SDL.h>

#include "platform/portable/portable.h"
#include "platform/sdl/sdl_window.h"

namespace {

// The program has one window; its context and SDL window are kept here so
// that the presentation hook can find the window of a context.
struct WindowBinding {
    PfDC dc = nullptr;
    SDL_Window* window = nullptr;
};
WindowBinding binding;

void show_client_image(PfDC dc, SDL_Window* window) {
    int32_t width = 0;
    int32_t height = 0;
    const uint32_t* image = pf_portable_client_image(dc, &width, &height);
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    if (image == nullptr || surface == nullptr) return;
    // The window may have been resized again since the size message.
    const int copy_width = SDL_min(width, surface->w);
    const int copy_height = SDL_min(height, surface->h);
    if (copy_width > 0 && copy_height > 0) {
        if (SDL_MUSTLOCK(surface)) SDL_LockSurface(surface);
        SDL_ConvertPixels(copy_width, copy_height, SDL_PIXELFORMAT_RGB888, image, width * 4,
                          surface->format->format, surface->pixels, surface->pitch);
        if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    }
    SDL_UpdateWindowSurface(window);
}

}  // namespace

PfDC pf_sdl_window_dc(SDL_Window* window) {
    // Setting up the window's surface may make SDL create the window anew
    // (for an accelerated surface); do it now, before the window is shown.
    SDL_GetWindowSurface(window);
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(window, &width, &height);
    binding.dc = pf_portable_create_window_dc(width, height);
    binding.window = window;
    return binding.dc;
}

void pf_sdl_resize_window_dc(PfDC dc, int32_t width, int32_t height) {
    pf_portable_resize_window_dc(dc, width, height);
}

void pf_sdl_release_window_dc(PfDC dc) {
    if (dc == binding.dc) binding = WindowBinding{};
    pf_delete_dc(dc);
}

void pf_backend_presented(PfDC dc) {
    if (dc == binding.dc && binding.window != nullptr) show_client_image(dc, binding.window);
}
