// The program's entry on SDL: one resizable window whose events are turned
// into the shell's create, size, focus, paint and destroy handling, and the
// paced idle loop that runs the frame step.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/pacing.h"
#include "app/shell.h"
#include "app/texture.h"
#include "gfx/version.h"
#include "platform/sdl/sdl_window.h"
#include "tools/common/command_line.h"

namespace {

constexpr char CAPTION[] = "Texture-Mapped Cube";

constexpr char usage_text[] =
    "usage: cube [--texture FILE]\n"
    "\n"
    "Shows a texture-mapped cube in a window. Keys: keypad - and + move it away\n"
    "and nearer, the arrow keys move it, X, Y and Z turn it (with Shift the other\n"
    "way). Close the window to end.\n"
    "\n"
    "  --texture FILE  the PCX image the six 64 x 64 face textures are cut from\n"
    "                  (its top-left 384 x 64 pixels). Default: CUBE.PCX in the\n"
    "                  working folder, or else beside the program.\n"
    "  -h, --help      this text\n"
    "  --version       the version\n"
    "\n"
    "When the image cannot be used the program says why and shows the cube\n"
    "without textures.\n";

// The SDL drivers that show nothing on screen: a window there would never be
// seen, so without a real display the program stops instead.
bool invisible_driver(const char* driver) {
    return driver != nullptr &&
           (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

// The folder of the running program, or empty.
std::string program_folder() {
    char* base = SDL_GetBasePath();
    if (base == nullptr) return "";
    std::string folder = base;
    SDL_free(base);
    return folder;
}

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
        case SDL_WINDOWEVENT_MAXIMIZED: size_message(shell); break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            app_focus();
            shell.paint_pending = true;
            break;
        case SDL_WINDOWEVENT_EXPOSED: shell.paint_pending = true; break;
        case SDL_WINDOWEVENT_CLOSE: destroy_message(shell); break;
        default: break;
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

int main(int argc, char** argv) {
    tools::CommandLine line;
    std::string error;
    if (!line.parse(argc, argv, {{"--help", false}, {"--version", false}, {"--texture", true}},
                    error) ||
        !line.operands().empty()) {
        if (error.empty()) error = "unexpected argument '" + line.operands().front() + "'";
        std::fprintf(stderr, "cube: %s\nTry 'cube --help'.\n", error.c_str());
        return 2;
    }
    if (line.has("--help")) {
        std::fputs(usage_text, stdout);
        return 0;
    }
    if (line.has("--version")) {
        std::printf("cube %s\n", GX_VERSION);
        return 0;
    }

    // SDL falls back to drivers that draw nowhere when no display can be
    // opened; only one asked for by name is taken.
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    // The picture is ours to the last pixel: the window gets it through the
    // system's plain framebuffer. Without this SDL loads an OpenGL driver
    // only to find it is a software one and unload it again.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "cube: cannot open a window: %s\n", SDL_GetError());
        return 1;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (invisible_driver(driver) && !(asked != nullptr && std::strcmp(asked, driver) == 0)) {
        std::fprintf(stderr,
                     "cube: there is no display to open a window on (DISPLAY is %s%s%s); "
                     "cube-render draws the picture without one\n",
                     std::getenv("DISPLAY") != nullptr ? "'" : "",
                     std::getenv("DISPLAY") != nullptr ? std::getenv("DISPLAY") : "not set",
                     std::getenv("DISPLAY") != nullptr ? "', which cannot be opened" : "");
        SDL_Quit();
        return 1;
    }
    const std::string texture = line.has("--texture") ? line.value("--texture")
                                                      : default_texture_path(program_folder());
    app_texture_path = texture.c_str();

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
    const std::string problem = texture_problem(texture, app_texture_result);
    if (!problem.empty()) {
        std::fprintf(stderr, "cube: %s %s\n", problem.c_str(),
                     texture_fallback(app_texture_result).c_str());
    }
    size_message(shell);

    SDL_ShowWindow(shell.window);
    app_paint();
    shell.paint_pending = false;

    const int code = message_loop(shell);
    // No SDL_Quit here. Under X, SDL ends its event wait with a message sent
    // to the window over a second connection; one still on its way when the
    // window is destroyed comes back as an X error, which SDL_Quit reads as it
    // closes that connection, ending the program with exit code 1. The
    // system releases both connections when the program ends.
    SDL_DestroyWindow(shell.window);
    return code;
}
