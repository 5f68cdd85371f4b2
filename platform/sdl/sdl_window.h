// The SDL backend's window device context, for the SDL program's entry.
//
// The context owns a client-sized 32-bit image (see platform/portable); each
// presentation onto it is copied to the window's surface and shown.
#pragma once

/// \file platform/sdl/sdl_window.h
/// \brief The SDL2 backend (gx::sdl): a window's device context.
///
/// Give the context to gx_set_dc(); gx_buffer_scale_blit() then shows the
/// buffer in the window.
#include <SDL.h>

#include "platform/platform.h"

// The window's own device context, sized to its client area.
/// Makes the device context of an SDL window, sized to its client area.
/// \param window The window; it stays the caller's.
/// \return The context.
PfDC pf_sdl_window_dc(SDL_Window* window);
// Gives the context a new client size after the window was resized.
/// Gives the context a new client size after the window was resized.
/// \param dc The context.
/// \param width Client width in pixels.
/// \param height Client height in pixels.
void pf_sdl_resize_window_dc(PfDC dc, int32_t width, int32_t height);
// Releases the context; the window itself is left alone.
/// Releases the context (after gx_shutdown()); the window is left alone.
/// \param dc The context.
void pf_sdl_release_window_dc(PfDC dc);
