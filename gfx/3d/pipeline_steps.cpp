// The three steps of the polygon pipeline: transform into camera space,
// clip against the near plane, project onto whole screen pixels. All
// arithmetic is in doubles, in the order written; conversions to integers
// round to nearest, halves to even, and happen only after a range check.
#include <cmath>
#include <cstdint>

#include "gfx/gfx.h"

namespace {

// Round to the nearest whole number, halves to even, whatever the current
// rounding mode. floor() and the subtraction are exact for every double.
double round_half_even(double value) {
    double whole = std::floor(value);
    const double fraction = value - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
    return whole;
}

// value rounded, if it lies within [low, high]; NaN never does.
bool round_within(double value, double low, double high, int32_t* out) {
    const double r = round_half_even(value);
    if (!(r >= low && r <= high)) return false;
    *out = static_cast<int32_t>(r);
    return true;
}

constexpr double INT32_LOW = -2147483648.0;
constexpr double INT32_HIGH = 2147483647.0;

// One crossing of the edge P -> Q with the near plane, measured from P.
bool crossing(const Vertex3& p, const Vertex3& q, const TexCoord& pt, const TexCoord& qt,
              double near_plane, Vertex3* out, TexCoord* out_tex) {
    const double t = (near_plane - p.z) / (q.z - p.z);
    // With one end on each side t lies in [0, 1]; only overflowing depths
    // (infinity over infinity) can make it NaN.
    if (!(t >= 0.0 && t <= 1.0)) return false;
    out->x = p.x + t * (q.x - p.x);
    out->y = p.y + t * (q.y - p.y);
    out->z = near_plane;
    const double u = static_cast<double>(pt.u) + t * (static_cast<double>(qt.u) - pt.u);
    const double v = static_cast<double>(pt.v) + t * (static_cast<double>(qt.v) - pt.v);
    // u and v lie between the ends' coordinates, so they always fit.
    return round_within(u, INT32_LOW, INT32_HIGH, &out_tex->u) &&
           round_within(v, INT32_LOW, INT32_HIGH, &out_tex->v);
}

}  // namespace

int32_t gx_3d_transform(const Vertex3* source, Vertex3* target, uint32_t count) {
    const double* m = gx_state.combined_matrix;
    for (uint32_t i = 0; i < count; ++i) {
        const double x = source[i].x;
        const double y = source[i].y;
        const double z = source[i].z;
        target[i].x = ((x * m[0] + y * m[1]) + z * m[2]) + m[3];
        target[i].y = ((x * m[4] + y * m[5]) + z * m[6]) + m[7];
        target[i].z = ((x * m[8] + y * m[9]) + z * m[10]) + m[11];
    }
    return 0;
}

// Far rejection, then one Sutherland-Hodgman pass against the near plane.
// The target lists must hold count + count / 2 entries. Returns the number
// of vertices written, 0 when nothing is left (or when a crossing cannot be
// computed because the depths overflow).
int32_t gx_3d_clip(const Vertex3* source, Vertex3* target, const TexCoord* source_tex,
                   TexCoord* target_tex, uint32_t count) {
    if (count < 2) return 0;
    const double near_plane = gx_state.near_plane;
    const double far_plane = gx_state.far_plane;

    bool all_beyond = true;
    for (uint32_t i = 0; i < count && all_beyond; ++i) all_beyond = source[i].z > far_plane;
    if (all_beyond) return 0;

    int32_t written = 0;
    uint32_t prev = count - 1;
    for (uint32_t i = 0; i < count; prev = i, ++i) {
        const Vertex3& p = source[prev];
        const Vertex3& q = source[i];
        const bool p_inside = p.z > near_plane;
        const bool q_inside = q.z > near_plane;
        if (p_inside != q_inside) {
            if (!crossing(p, q, source_tex[prev], source_tex[i], near_plane, &target[written],
                          &target_tex[written])) {
                return 0;
            }
            ++written;
        }
        if (q_inside) {
            target[written] = q;
            target_tex[written] = source_tex[i];
            ++written;
        }
    }
    return written;
}

// Returns 0, or -1 when a point cannot be projected: z not above 0, or a
// screen coordinate beyond GX_COORD_LIMIT (or not a number). Such a point
// is stored as (INT32_MIN, INT32_MIN), outside every accepted range.
int32_t gx_3d_project(const Vertex3* camera, ScreenPoint* screen, uint32_t count) {
    const double scale_x = gx_state.view_scale;
    const double scale_y = gx_state.view_scale_y;
    const int64_t centre_x = gx_state.view_centre_x;
    const int64_t centre_y = gx_state.view_centre_y;
    const double limit = GX_COORD_LIMIT;
    int32_t result = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const Vertex3& p = camera[i];
        int32_t sx = 0;
        int32_t sy = 0;
        bool ok = p.z > 0.0;
        if (ok) {
            const double r = 1.0 / p.z;
            ok = round_within((p.x * r) * scale_x, -limit, limit, &sx) &&
                 round_within((p.y * r) * scale_y, -limit, limit, &sy);
        }
        const int64_t x = sx + centre_x;
        const int64_t y = sy + centre_y;
        if (ok && x >= -GX_COORD_LIMIT && x <= GX_COORD_LIMIT && y >= -GX_COORD_LIMIT &&
            y <= GX_COORD_LIMIT) {
            screen[i] = {static_cast<int32_t>(x), static_cast<int32_t>(y)};
        } else {
            screen[i] = {INT32_MIN, INT32_MIN};
            result = -1;
        }
    }
    return result;
}
