// The SDL backend's window device context, for the SDL program's entry.
//
// The context owns a client-sized 32-bit image (see platform/portable); each
// presentation onto it is copied to the window's surface and shown.
#pragma once

#include <SDL.h>

#include "platform/platform.h"

// The window's own device context, sized to its client area.
PfDC pf_sdl_window_dc(SDL_Window* window);
// Gives the context a new client size after the window was resized.
void pf_sdl_resize_window_dc(PfDC dc, int32_t width, int32_t height);
// Releases the context; the window itself is left alone.
void pf_sdl_release_window_dc(PfDC dc);
