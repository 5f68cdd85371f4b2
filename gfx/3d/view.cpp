// Projection viewport, depth planes and render flags: values that every
// polygon draw reads at the time of the call.
#include "gfx/gfx.h"

int32_t gx_3d_viewport(int32_t x1, int32_t x2, int32_t y1, int32_t y2, double factor) {
    // 64-bit so that no pair of 32-bit bounds can overflow; the centres,
    // x1 + floor(w / 2) = floor((x1 + x2 + 1) / 2), always fit 32 bits again.
    const int64_t w = int64_t{x2} + 1 - x1;
    const int64_t h = int64_t{y2} + 1 - y1;
    auto half_down = [](int64_t v) { return v >= 0 ? v / 2 : -((1 - v) / 2); };
    gx_state.view_scale = factor * static_cast<double>(w);
    gx_state.view_scale_y = -(factor * static_cast<double>(w));
    gx_state.view_centre_x = static_cast<int32_t>(x1 + half_down(w));
    gx_state.view_centre_y = static_cast<int32_t>(y1 + half_down(h));
    return 0;
}

int32_t gx_3d_clip_planes(double near_plane, double far_plane) {
    gx_state.near_plane = near_plane;
    gx_state.far_plane = far_plane;
    return 0;
}

int32_t gx_3d_render_flags(uint32_t flags) {
    gx_state.render_flags = flags;
    return 0;
}
