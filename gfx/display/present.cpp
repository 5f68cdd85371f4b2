// Presentation: the open buffer, stretched nearest-pixel onto the window.
#include "gfx/display/display.h"

namespace {

// Inclusive bounds -> extent; false when it does not fit 32 bits.
bool extent(int32_t first, int32_t last, int32_t* out) {
    const int64_t n = static_cast<int64_t>(last) - first + 1;
    if (n > INT32_MAX || n < INT32_MIN) return false;
    *out = static_cast<int32_t>(n);
    return true;
}

}  // namespace

int32_t gx_buffer_scale_blit(int32_t sx1, int32_t sx2, int32_t sy1, int32_t sy2, int32_t dx1,
                             int32_t dx2, int32_t dy1, int32_t dy2) {
    const GraphicsState& s = gx_state;
    if (s.active_buffer == -1) return 0;
    int32_t dw = 0, dh = 0, sw = 0, sh = 0;
    const int64_t bottom = static_cast<int64_t>(s.active_max_y) -
                           sy2;  // counted from the bottom row
    if (!extent(dx1, dx2, &dw) || !extent(dy1, dy2, &dh) || !extent(sx1, sx2, &sw) ||
        !extent(sy1, sy2, &sh) || bottom < INT32_MIN || bottom > INT32_MAX)
        return 0;
    pf_set_stretch_mode(s.device_dc, PF_COLORONCOLOR);
    pf_stretch_dib(s.device_dc, dx1, dy1, dw, dh, sx1, static_cast<int32_t>(bottom), sw, sh,
                   s.active_pixels, s.active_header, static_cast<uint32_t>(s.dib_usage),
                   PF_SRCCOPY);
    return 0;
}
