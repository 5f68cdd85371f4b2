#include "window_fixture.h"

namespace {

const char* window_class() {
    static const char* name = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "GxTestWindow";
        RegisterClassA(&wc);
        return "GxTestWindow";
    }();
    return name;
}

}  // namespace

void GdiWindow::pump_messages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// One window for the whole program: creating and destroying a top-level
// window costs Wine seconds each time without a window manager.
HWND GdiWindow::shared_window() {
    static const HWND window = [] {
        const HWND w = CreateWindowExA(0, window_class(), "gx test", WS_POPUP, 0, 0, CLIENT_WIDTH,
                                       CLIENT_HEIGHT, nullptr, nullptr, GetModuleHandleA(nullptr),
                                       nullptr);
        if (w != nullptr) {
            ShowWindow(w, SW_SHOWNORMAL);
            UpdateWindow(w);
            pump_messages();
        }
        return w;
    }();
    return window;
}

void GdiWindow::SetUp() {
    gx_state = GraphicsState{};
    window_ = shared_window();
    ASSERT_NE(window_, nullptr);
    RECT client{};
    GetClientRect(window_, &client);
    ASSERT_EQ(client.right, CLIENT_WIDTH);
    ASSERT_EQ(client.bottom, CLIENT_HEIGHT);
    dc_ = GetDC(window_);
    ASSERT_NE(dc_, nullptr);
    gx_set_dc(pf_from_hdc(dc_));
    gx_initialize();
}

void GdiWindow::TearDown() {
    gx_buffer_close();
    gx_buffer_free(-1);
    gx_shutdown();
    if (palette_ != nullptr) DeleteObject(palette_);
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
    pump_messages();
}

int32_t GdiWindow::open_buffer(int32_t depth, int32_t width, int32_t height) {
    gx_set_buffer_depth(depth);
    const int32_t slot = gx_buffer_alloc(width, height);
    EXPECT_GE(slot, 0) << "depth " << depth;
    if (slot >= 0) {
        EXPECT_EQ(gx_buffer_open(slot), 0);
    }
    return slot;
}

bool running_under_wine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}
