// Table-driven sine and cosine, and the object transform that joins the
// model's position and turn with the view transform.
#include "gfx/3d/cos_table.h"
#include "gfx/gfx.h"

namespace {

constexpr int32_t FULL_TURN = 3600;

// Brings an angle into 0..3600: negative angles into 0..3599, positive ones
// into 1..3600, so a whole number of positive turns stays 3600 (whose sine
// then comes out as -0.0).
int32_t reduce_angle(int32_t angle) {
    const int32_t rest = angle % FULL_TURN;  // same sign as angle
    if (angle < 0) return rest == 0 ? 0 : rest + FULL_TURN;
    if (angle > 0 && rest == 0) return FULL_TURN;
    return rest;
}

// Element (r, k) of a 3 x 4 matrix stored row by row.
constexpr int at(int r, int k) { return 4 * r + k; }

// Rows a and b of the rotation part (columns 0 to 2) become
// cos * a - sin * b and cos * b + sin * a, both from the old rows.
void turn_rows(double* m, int a, int b, double c, double s) {
    for (int k = 0; k < 3; ++k) {
        const double old_a = m[at(a, k)];
        const double old_b = m[at(b, k)];
        m[at(a, k)] = c * old_a - s * old_b;
        m[at(b, k)] = c * old_b + s * old_a;
    }
}

}  // namespace

int32_t gx_cos_sin(int32_t angle, double* cosine, double* sine) {
    const double* t = gx_cos_table;
    const int32_t a = reduce_angle(angle);
    double c;
    double s;
    if (a <= 900) {
        c = t[a];
        s = t[900 - a];
    } else if (a <= 1800) {
        c = -t[1800 - a];
        s = t[a - 900];
    } else if (a >= 2700) {
        c = t[3600 - a];
        s = -t[a - 2700];
    } else {
        c = -t[a - 1800];
        s = -t[2700 - a];
    }
    *cosine = c;
    *sine = s;
    return 0;
}

int32_t gx_3d_set_object(double x, double y, double z, int32_t ax, int32_t ay, int32_t az) {
    double* o = gx_state.object_matrix;
    const double start[12] = {1, 0, 0, x, 0, 1, 0, y, 0, 0, 1, z};
    for (int i = 0; i < 12; ++i) o[i] = start[i];

    // Each turn multiplies the rotation part from the left, so the model is
    // turned about x first, then y, then z; the translation is not turned.
    double c;
    double s;
    if (ax != 0) {
        gx_cos_sin(ax, &c, &s);
        turn_rows(o, 1, 2, c, s);
    }
    if (ay != 0) {
        // Rows 0 and 2: row 0 = cos * row 0 + sin * row 2, which is
        // turn_rows(2, 0): row 2 = cos * row 2 - sin * row 0.
        gx_cos_sin(ay, &c, &s);
        turn_rows(o, 2, 0, c, s);
    }
    if (az != 0) {
        gx_cos_sin(az, &c, &s);
        turn_rows(o, 0, 1, c, s);
    }

    // combined = view x object, both read as 4 x 4 with a last row (0, 0, 0, 1).
    const double* v = gx_state.view_matrix;
    double* m = gx_state.combined_matrix;
    for (int r = 0; r < 3; ++r) {
        for (int k = 0; k < 4; ++k) {
            double sum = v[at(r, 0)] * o[at(0, k)] + v[at(r, 1)] * o[at(1, k)] +
                         v[at(r, 2)] * o[at(2, k)];
            if (k == 3) sum = sum + v[at(r, 3)];
            m[at(r, k)] = sum;
        }
    }
    return 0;
}
