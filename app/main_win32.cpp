// The program's entry on Windows: the window class, the window, the window
// procedure and the paced message loop.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "app/pacing.h"
#include "app/shell.h"
#include "app/texture.h"
#include "gfx/version.h"
#include "platform/win32/win32_handles.h"
#include "tools/common/command_line.h"

namespace {

constexpr char CLASS_NAME[] = "Zelvorin";
constexpr char CAPTION[] = "Texture-Mapped Cube";

constexpr char usage_text[] =
    "usage: cube [--texture FILE]\n"
    "\n"
    "  --texture FILE  the PCX image the six 64 x 64 face textures are cut from\n"
    "                  (its top-left 384 x 64 pixels). Default: CUBE.PCX in the\n"
    "                  working folder, or else beside the program.\n"
    "  --help          this text\n"
    "  --version       the version\n"
    "\n"
    "Keys: keypad - and + move the cube away and nearer, the arrow keys move\n"
    "it, X, Y and Z turn it (with Shift the other way).";

// The folder of the running program, or empty.
std::string program_folder() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return "";
    std::string folder(path, length);
    const size_t slash = folder.find_last_of("\\/");
    return slash == std::string::npos ? "" : folder.substr(0, slash);
}

LRESULT default_handling(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcA(window, message, wparam, lparam);
}

LRESULT on_create(HWND window, UINT, WPARAM, LPARAM) {
    app_start_up(pf_from_hdc(GetDC(window)));
    return 0;
}

LRESULT on_destroy(HWND window, UINT, WPARAM, LPARAM) {
    app_tear_down();
    ReleaseDC(window, hdc_from_pf(app_dc));
    PostQuitMessage(0);
    return 0;
}

LRESULT on_size(HWND, UINT, WPARAM, LPARAM lparam) {
    app_size(LOWORD(lparam), HIWORD(lparam));
    return 0;
}

LRESULT on_set_focus(HWND window, UINT, WPARAM, LPARAM) {
    app_focus();
    InvalidateRect(window, nullptr, TRUE);
    return 0;
}

LRESULT on_paint(HWND window, UINT, WPARAM, LPARAM) {
    // The picture goes through the window's own context (the class keeps
    // one per window); BeginPaint and EndPaint only validate the region.
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    app_paint();
    EndPaint(window, &paint);
    return 0;
}

using Handler = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

// Messages 1 to 15 by number; all others get the default handling.
constexpr Handler HANDLERS[16] = {
    default_handling,  // 0
    on_create,         // 1 WM_CREATE
    on_destroy,        // 2 WM_DESTROY
    default_handling,  // 3 WM_MOVE
    default_handling,  // 4
    on_size,           // 5 WM_SIZE
    default_handling,  // 6 WM_ACTIVATE
    on_set_focus,      // 7 WM_SETFOCUS
    default_handling,  // 8 WM_KILLFOCUS
    default_handling,  // 9
    default_handling,  // 10 WM_ENABLE
    default_handling,  // 11 WM_SETREDRAW
    default_handling,  // 12 WM_SETTEXT
    default_handling,  // 13 WM_GETTEXT
    default_handling,  // 14 WM_GETTEXTLENGTH
    on_paint,          // 15 WM_PAINT
};

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message >= 1 && message <= 15) return HANDLERS[message](window, message, wparam, lparam);
    return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show_command) {
    // A program without a console answers its command line in message boxes.
    tools::CommandLine line;
    std::string error;
    if (!line.parse(__argc, __argv, {{"--help", false}, {"--version", false}, {"--texture", true}},
                    error) ||
        !line.operands().empty()) {
        if (error.empty()) error = "unexpected argument '" + line.operands().front() + "'";
        MessageBoxA(nullptr, (error + "\n\n" + usage_text).c_str(), CAPTION, MB_OK | MB_ICONERROR);
        return 2;
    }
    if (line.has("--help") || line.has("--version")) {
        const std::string text = line.has("--help") ? usage_text
                                                    : std::string("cube ") + GX_VERSION;
        MessageBoxA(nullptr, text.c_str(), CAPTION, MB_OK | MB_ICONINFORMATION);
        return 0;
    }
    const std::string texture = line.has("--texture") ? line.value("--texture")
                                                      : default_texture_path(program_folder());
    app_texture_path = texture.c_str();

    WNDCLASSEXA window_class = {};
    window_class.cbSize = sizeof window_class;
    window_class.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    window_class.lpfnWndProc = window_procedure;
    window_class.hInstance = instance;
    window_class.hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));
    window_class.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    window_class.lpszClassName = CLASS_NAME;
    window_class.hIconSm = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));
    RegisterClassExA(&window_class);

    // The create message, and with it the whole start-up, runs inside this call.
    HWND window = CreateWindowExA(0, CLASS_NAME, CAPTION, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                  instance, nullptr);
    ShowWindow(window, show_command);
    UpdateWindow(window);
    // Said once the window shows, over it; the program then runs on.
    std::string problem = texture_problem(texture, app_texture_result);
    if (!problem.empty()) problem += "\n\n" + texture_fallback(app_texture_result);
    if (!problem.empty()) {
        problem[0] = static_cast<char>(problem[0] - 'a' +
                                       'A');  // the sentences start in lower case
        MessageBoxA(window, problem.c_str(), CAPTION, MB_OK | MB_ICONWARNING);
    }

    TickClock clock;
    MSG message;
    for (;;) {
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
            TranslateMessage(&message);
            DispatchMessageA(&message);
            continue;
        }
        const uint32_t wait = idle_turn(clock);
        if (wait > 0) {
            MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        }
    }
}
