// gx_buffer_scale_blit on a real window: at 1:1 the window must show exactly
// what the buffer holds (16-bit pixels widened by bit replication), and a
// source rectangle must come from the rows it names.
#include <vector>

#include "window_fixture.h"

namespace {

using Present = GdiWindow;

// An irregular pattern that reaches every bit of every channel.
uint32_t pattern(int32_t x, int32_t y) {
    const auto n = static_cast<uint32_t>(x * 2053 + y * 4099 + 17);
    return (n * 2654435761u) >> 8;
}

// The buffer's pixel at (x, y) as the screen should show it.
uint32_t shown(int32_t depth, uint32_t value) {
    return depth == 16 ? widen565(static_cast<uint16_t>(value)) : value & 0xFFFFFFu;
}

void fill_pattern(int32_t depth) {
    for (int32_t y = 0; y < gx_state.active_height; ++y)
        for (int32_t x = 0; x < gx_state.active_width; ++x)
            put_pixel(x, y, depth, pattern(x, y) & 0xFFFFFFu);
}

// The window's client area read back through a top-down 32-bit DIB section.
std::vector<uint32_t> read_window(HDC window) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = CLIENT_WIDTH;
    info.bmiHeader.biHeight = -CLIENT_HEIGHT;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HBITMAP copy = CreateDIBSection(window, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::vector<uint32_t> out;
    if (copy == nullptr) return out;
    const HDC memory = CreateCompatibleDC(window);
    const HGDIOBJ old = SelectObject(memory, copy);
    BitBlt(memory, 0, 0, CLIENT_WIDTH, CLIENT_HEIGHT, window, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* p = static_cast<const uint32_t*>(bits);
    out.assign(p, p + CLIENT_WIDTH * CLIENT_HEIGHT);
    for (uint32_t& v : out) v &= 0xFFFFFFu;
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(copy);
    return out;
}

TEST_F(Present, OneToOneShowsTheBufferExactly) {
    for (int32_t depth : {16, 24, 32}) {
        SCOPED_TRACE(testing::Message() << "depth " << depth);
        const int32_t slot = open_buffer(depth, CLIENT_WIDTH, CLIENT_HEIGHT);
        ASSERT_GE(slot, 0);
        fill_pattern(depth);
        EXPECT_EQ(gx_buffer_scale_blit(0, CLIENT_WIDTH - 1, 0, CLIENT_HEIGHT - 1, 0,
                                       CLIENT_WIDTH - 1, 0, CLIENT_HEIGHT - 1),
                  0);
        const std::vector<uint32_t> screen = read_window(dc_);
        ASSERT_EQ(screen.size(), static_cast<size_t>(CLIENT_WIDTH * CLIENT_HEIGHT));
        int32_t wrong = 0;
        for (int32_t y = 0; y < CLIENT_HEIGHT; ++y) {
            for (int32_t x = 0; x < CLIENT_WIDTH; ++x) {
                const uint32_t want = shown(depth, pattern(x, y));
                const uint32_t got = screen[static_cast<size_t>(y * CLIENT_WIDTH + x)];
                if (got != want && ++wrong <= 5) {
                    ADD_FAILURE() << "(" << x << ", " << y << "): shows " << std::hex << got
                                  << ", buffer holds " << want;
                }
            }
        }
        EXPECT_EQ(wrong, 0);
        gx_buffer_close();
        gx_buffer_free(slot);
    }
}

// Source rows 10 to 29 and columns 8 to 39 onto the top-left 32 x 20 of the
// window: the bottom-up source origin must select exactly those rows.
TEST_F(Present, SourceRectangleComesFromTheRowsItNames) {
    const int32_t slot = open_buffer(32, CLIENT_WIDTH, CLIENT_HEIGHT);
    ASSERT_GE(slot, 0);
    fill_pattern(32);
    // Clear the window first, so stale pixels cannot pass for the copy.
    const RECT all{0, 0, CLIENT_WIDTH, CLIENT_HEIGHT};
    FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    gx_buffer_scale_blit(8, 39, 10, 29, 0, 31, 0, 19);
    const std::vector<uint32_t> screen = read_window(dc_);
    ASSERT_EQ(screen.size(), static_cast<size_t>(CLIENT_WIDTH * CLIENT_HEIGHT));
    for (int32_t y = 0; y < 20; ++y) {
        for (int32_t x = 0; x < 32; ++x) {
            ASSERT_EQ(screen[static_cast<size_t>(y * CLIENT_WIDTH + x)],
                      pattern(8 + x, 10 + y) & 0xFFFFFFu)
                << "window (" << x << ", " << y << ")";
        }
    }
    // Nothing outside the destination was touched.
    EXPECT_EQ(screen[static_cast<size_t>(20 * CLIENT_WIDTH)], 0u);
    EXPECT_EQ(screen[static_cast<size_t>(32)], 0u);
}

}  // namespace
