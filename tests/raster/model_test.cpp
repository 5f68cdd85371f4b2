// Whole frames against a model of the mappers written pixel by pixel from
// their rules: row y of an edge from (xs, ys) to (xe, ye) starts at
// ceil(xs + (y - ys) * dx / dy), rows are half-open, spans cover
// [left, right), the mappers without depth draw only clockwise rows;
// texel columns are floor(U / 65536) of values stepped linearly (affine) or
// exact at the ends of each perspective run. The model covers in-range inputs
// only (texels inside the texture, 1 < z), and is checked at every level.
#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "fixture.h"
#include "gfx/row_rule.h"
#include "gfx/simd.h"

namespace {

struct Expected {
    bool drawn = false;
    int32_t u = 0, v = 0;
    uint32_t depth = 0;  // 8.24, without the stamp
};

int64_t ceil_div(int64_t a, int64_t b) { return a >= 0 ? (a + b - 1) / b : -(-a / b); }
int64_t floor16(int64_t value) { return value >= 0 ? value >> 16 : -((-value + 65535) >> 16); }

struct Model {
    std::vector<ScreenPoint> p;
    std::vector<TexCoord> t;
    std::vector<double> z;
    Mapper mapper;
    int32_t run;                          // perspective run length
    int32_t min_x, max_x, min_y, max_y;  // clip, within the buffer
    int32_t max_u = 63, max_v = 63;

    struct EdgeRow {
        int32_t s, e, k, dy;
    };
    // Edge values on a row: x, and u/z, v/z, 1/z (perspective) or 16.16 u, v
    // and 8.24 depth (affine).
    struct Values {
        int64_t x;
        double uz, vz, w;
        int64_t u, v, d;
    };

    // The rows of one chain from the top vertex to the bottom one; false
    // when it moves upward.
    bool chain(int32_t top, int32_t bottom, int32_t step, std::vector<EdgeRow>& rows) const {
        const auto n = static_cast<int32_t>(p.size());
        for (int32_t s = top; s != bottom;) {
            const int32_t e = (s + step + n) % n;
            const int32_t dy = p[e].y - p[s].y;
            if (dy < 0) return false;
            for (int32_t k = 0; k < dy; ++k) rows.push_back({s, e, k, dy});
            s = e;
        }
        return true;
    }

    Values at(const EdgeRow& r) const {
        const ScreenPoint s = p[r.s], e = p[r.e];
        Values out{s.x + ceil_div(int64_t{r.k} * (e.x - s.x), r.dy), 0, 0, 0, 0, 0, 0};
        const double ws = std::fabs(1.0 / z[r.s]), we = std::fabs(1.0 / z[r.e]);
        if (is_perspective(mapper)) {
            const double per_row = 1.0 / r.dy;
            const double su = (t[r.e].u * we - t[r.s].u * ws) * per_row;
            const double sv = (t[r.e].v * we - t[r.s].v * ws) * per_row;
            const double sw = (we - ws) * per_row;
            out.uz = t[r.s].u * ws;
            out.vz = t[r.s].v * ws;
            out.w = ws;
            for (int32_t k = 0; k < r.k; ++k) {  // row by row, as the walker adds
                out.uz += su;
                out.vz += sv;
                out.w += sw;
            }
        } else {
            out.u = t[r.s].u * 65536 + r.k * ((t[r.e].u - t[r.s].u) * 65536 / r.dy);
            out.v = t[r.s].v * 65536 + r.k * ((t[r.e].v - t[r.s].v) * 65536 / r.dy);
            const auto ds = static_cast<int64_t>(ws * 16777216.0);
            const auto de = static_cast<int64_t>(we * 16777216.0);
            out.d = ds + r.k * ((de - ds) / r.dy);
        }
        return out;
    }

    void put(std::vector<Expected>& frame, int32_t width, int64_t x, int32_t y, int64_t u,
             int64_t v, int64_t d) const {
        frame[static_cast<size_t>(y * width + x)] = {
            true, static_cast<int32_t>(std::clamp<int64_t>(floor16(u), 0, max_u)),
            static_cast<int32_t>(std::clamp<int64_t>(floor16(v), 0, max_v)),
            static_cast<uint32_t>(std::clamp<int64_t>(d, 0, 0xFFFFFF))};
    }

    std::vector<Expected> frame(int32_t width, int32_t height) const {
        std::vector<Expected> out(static_cast<size_t>(width * height));
        const auto n = static_cast<int32_t>(p.size());
        int32_t top = 0, bottom = 0;
        for (int32_t i = 1; i < n; ++i) {
            if (p[i].y < p[top].y) top = i;
            if (p[i].y > p[bottom].y) bottom = i;
        }
        std::vector<EdgeRow> back, fwd;
        if (!chain(top, bottom, -1, back) || !chain(top, bottom, 1, fwd)) return out;
        for (size_t row = 0; row < back.size(); ++row) {
            const int32_t y = p[top].y + static_cast<int32_t>(row);
            if (y < min_y || y > max_y) continue;
            Values l = at(back[row]), r = at(fwd[row]);
            if (has_depth(mapper) && r.x < l.x) std::swap(l, r);
            if (r.x <= l.x || r.x <= min_x || l.x > max_x) continue;
            const int64_t width_px = r.x - l.x;
            const int64_t skip = std::max<int64_t>(0, min_x - l.x);
            const int64_t x0 = l.x + skip;
            int64_t count = std::min<int64_t>(r.x, max_x + 1) - x0;
            if (is_perspective(mapper)) {
                const double per_pixel = 1.0 / static_cast<double>(width_px);
                const double gu = (r.uz - l.uz) * per_pixel, gv = (r.vz - l.vz) * per_pixel;
                const double gw = (r.w - l.w) * per_pixel;
                double uz = l.uz, vz = l.vz, w = l.w;
                if (skip > 0) {
                    const auto k = static_cast<double>(skip);
                    uz += k * gu;
                    vz += k * gv;
                    w += k * gw;
                }
                const auto g = static_cast<int64_t>(gw * 16777216.0);
                for (int64_t x = x0; count > 0;) {
                    const int32_t length = static_cast<int32_t>(std::min<int64_t>(run, count));
                    const double w0 = w, w1 = w0 + gw * length, per_step = 1.0 / length;
                    const double ua = uz / w0, va = vz / w0;
                    uz += gu * length;
                    vz += gv * length;
                    const auto du = static_cast<int64_t>((uz / w1 - ua) * per_step * 65536.0);
                    const auto dv = static_cast<int64_t>((vz / w1 - va) * per_step * 65536.0);
                    const int64_t u = static_cast<int64_t>(ua * 65536.0) + (du >> 1) + 0x8000;
                    const int64_t v = static_cast<int64_t>(va * 65536.0) + (dv >> 1) + 0x8000;
                    const auto d = static_cast<int64_t>(w0 * 16777216.0);
                    for (int32_t i = 0; i < length; ++i)
                        put(out, width, x + i, y, u + i * du, v + i * dv, d + i * g);
                    w = w1;
                    x += length;
                    count -= length;
                }
            } else {
                const int64_t du = (r.u - l.u) / width_px, dv = (r.v - l.v) / width_px;
                const int64_t dd = (r.d - l.d) / width_px;
                const int64_t u = l.u + (du >> 1) + skip * du + 0x8000;
                const int64_t v = l.v + (dv >> 1) + skip * dv + 0x8000;
                for (int64_t i = 0; i < count; ++i)
                    put(out, width, x0 + i, y, u + i * du, v + i * dv, l.d + (skip + i) * dd);
            }
        }
        return out;
    }
};

int32_t uniform(std::mt19937& random, int32_t low, int32_t high) {
    return std::uniform_int_distribution<int32_t>(low, high)(random);
}

class ModelFrames : public RasterTest {
protected:
    void TearDown() override {
        gx_simd_select(gx_simd_supported());
        RasterTest::TearDown();
    }
};

// Random convex polygons of either winding, partly off the buffer or
// clipped, drawn into a fresh frame, then again over depth words just in
// front of, equal to, just behind and older than the model's: every pixel
// and depth word of the buffer is compared. Canvases 1 pixel wide or high,
// and spans longer than a batch of runs, are among them.
TEST_F(ModelFrames, EveryPixelAndDepthWordAsTheModelHasThem) {
    struct Canvas {
        int32_t width, height;
    };
    const Canvas canvases[] = {{97, 71}, {640, 24}, {1, 9}, {9, 1}};
    for (int32_t level = GX_SIMD_SCALAR; level <= gx_simd_supported(); ++level) {
        gx_simd_select(level);
        std::mt19937 random(4242);
        for (const int32_t depth : {16, 8, 24, 32}) {
            for (const Canvas canvas : canvases) {
                open_canvas(depth, canvas.width, canvas.height);
                use_texture(64, 64);
                for (int32_t trial = 0; trial < 25; ++trial) {
                    Model m;
                    m.mapper = ALL_MAPPERS[random() % 4];
                    const int32_t runs[] = {32, 32, 1, 0, 7};  // 0 is taken as 1
                    gx_state.perspective_run = runs[trial % 5];
                    m.run = std::max(gx_state.perspective_run, 1);
                    const bool clipped = random() % 3 == 0;
                    gx_state.clip_min_x = clipped ? uniform(random, -3, width_ - 1) : 0;
                    gx_state.clip_max_x = clipped ? uniform(random, gx_state.clip_min_x, width_ + 3)
                                                  : width_ - 1;
                    gx_state.clip_min_y = clipped ? uniform(random, -3, height_ - 1) : 0;
                    gx_state.clip_max_y = clipped ? uniform(random, gx_state.clip_min_y, height_ + 3)
                                                  : height_ - 1;
                    m.min_x = std::max(gx_state.clip_min_x, 0);
                    m.max_x = std::min(gx_state.clip_max_x, width_ - 1);
                    m.min_y = std::max(gx_state.clip_min_y, 0);
                    m.max_y = std::min(gx_state.clip_max_y, height_ - 1);
                    // Corners at increasing angles round a centre near the buffer.
                    const int32_t n = uniform(random, 3, 7);
                    const double cx = uniform(random, -20, width_ + 20);
                    const double cy = uniform(random, -20, height_ + 20);
                    const double radius = uniform(random, 2, (width_ + height_) * 3 / 4 + 30);
                    std::vector<double> angles;
                    for (int32_t i = 0; i < n; ++i) angles.push_back(uniform(random, 0, 6283) / 1e3);
                    std::sort(angles.begin(), angles.end());
                    if (random() % 2 != 0) std::reverse(angles.begin(), angles.end());
                    for (const double a : angles) {
                        m.p.push_back({static_cast<int32_t>(std::lround(cx + radius * std::cos(a))),
                                       static_cast<int32_t>(std::lround(cy + radius * std::sin(a)))});
                        m.t.push_back({uniform(random, 0, 63), uniform(random, 0, 63)});
                        m.z.push_back(uniform(random, 2000, 300000) / 1e3);
                    }
                    const std::vector<Expected> want = m.frame(width_, height_);
                    SCOPED_TRACE(testing::Message() << "level " << level << ", depth " << depth
                                                    << ", " << width_ << "x" << height_ << ", "
                                                    << mapper_name(m.mapper) << ", trial " << trial);
                    std::vector<uint32_t> words(static_cast<size_t>(width_ * height_));
                    for (int32_t pass = 0; pass < (has_depth(m.mapper) ? 2 : 1); ++pass) {
                        if (pass == 0) new_frame();
                        clear_pixels();
                        const uint32_t stamp = gx_state.depth_stamp;
                        for (int32_t y = 0; y < height_; ++y) {
                            for (int32_t x = 0; x < width_; ++x) {
                                const Expected& e = want[static_cast<size_t>(y * width_ + x)];
                                uint32_t& word = *gx_depth_word(x, y);
                                const uint32_t kind = random() % 4;
                                if (pass == 1 && e.drawn)
                                    word = kind == 3 ? stamp - 0x01000000u + (random() & 0xFFFFFFu)
                                                     : stamp + e.depth + kind - 1;
                                words[static_cast<size_t>(y * width_ + x)] = word;
                            }
                        }
                        draw(m.mapper, m.p, m.t, m.z);
                        for (int32_t y = 0; y < height_; ++y) {
                            for (int32_t x = 0; x < width_; ++x) {
                                const Expected& e = want[static_cast<size_t>(y * width_ + x)];
                                const uint32_t old = words[static_cast<size_t>(y * width_ + x)];
                                const bool shown =
                                    e.drawn && (!has_depth(m.mapper) || stamp + e.depth > old);
                                ASSERT_EQ(pixel(x, y), shown ? texel_value(e.u, e.v) : background())
                                    << "pass " << pass << ", pixel " << x << ", " << y;
                                ASSERT_EQ(depth_word(x, y),
                                          shown && has_depth(m.mapper) ? stamp + e.depth : old)
                                    << "pass " << pass << ", pixel " << x << ", " << y;
                            }
                        }
                    }
                }
            }
        }
    }
}

}  // namespace
