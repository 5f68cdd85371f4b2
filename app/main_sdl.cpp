// The program's entry on SDL: one resizable window whose events are turned
// into the shell's create, size, focus, paint and destroy handling, and the
// paced idle loop that runs the frame step.
#include <SDL.h>

#include <cstdio>

#include "app/pacing.h"
#include "app/shell.h"
#include "platform/sdl/sdl_window.h"

namespace {

constexpr char CAPTION[] = "Texture-Mapped Cube";

struct Shell {
    SDL_Window* window = nullptr;
    bool paint_pending = false;  // the client area was invalidated
    bool quit = false;
    int exit_code = 0;
};

void size_message(Shell& shell) {
    int width = 0;
    int height = 0;
    if ((SDL_GetWindowFlags(shell.window) & SDL_WINDOW_MINIMIZED) == 0) {
        SDL_GetWindowSize(shell.window, &width, &height);
    }
    pf_sdl_resize_window_dc(app_dc, width, height);
    app_size(width, height);
    // Every resize repaints the whole client area.
    shell.paint_pending = true;
}

void destroy_message(Shell& shell) {
    app_tear_down();
    pf_sdl_release_window_dc(app_dc);
    shell.quit = true;
    shell.exit_code = 0;
}

void handle_event(Shell& shell, const SDL_Event& event) {
    if (event.type == SDL_QUIT) {
        destroy_message(shell);
        return;
    }
    if (event.type != SDL_WINDOWEVENT) return;
    switch (event.window.event) {
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_MINIMIZED:
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED:
            size_message(shell);
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            app_focus();
            shell.paint_pending = true;
            break;
        case SDL_WINDOWEVENT_EXPOSED:
            shell.paint_pending = true;
            break;
        case SDL_WINDOWEVENT_CLOSE:
            destroy_message(shell);
            break;
        default:
            break;
    }
}

int message_loop(Shell& shell) {
    TickClock clock;
    SDL_Event event;
    while (!shell.quit) {
        if (SDL_PollEvent(&event)) {
            handle_event(shell, event);
            continue;
        }
        // As with window painting elsewhere, a pending paint is served once
        // the queue is empty and before the idle work.
        if (shell.paint_pending) {
            shell.paint_pending = false;
            app_paint();
            continue;
        }
        const uint32_t wait = idle_turn(clock);
        if (wait > 0 && SDL_WaitEventTimeout(&event, static_cast<int>(wait))) {
            handle_event(shell, event);
        }
    }
    return shell.exit_code;
}

}  // namespace

int main(int, char**) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "cube: cannot open a window: %s\n", SDL_GetError());
        return 1;
    }
    Shell shell;
    shell.window = SDL_CreateWindow(CAPTION, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                    BUFFER_WIDTH, BUFFER_HEIGHT,
                                    SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
    if (shell.window == nullptr) {
        std::fprintf(stderr, "cube: cannot create the window: %s\n", SDL_GetError());
        SDL_Quit();
        return 1;
    }

    // Create message: the whole start-up on the window's own context.
    app_start_up(pf_sdl_window_dc(shell.window));
    size_message(shell);

    SDL_ShowWindow(shell.window);
    app_paint();
    shell.paint_pending = false;

    const int code = message_loop(shell);
    SDL_DestroyWindow(shell.window);
    SDL_Quit();
    return code;
}
