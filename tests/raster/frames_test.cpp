// Whole frames at every level against a model of the mappers, pixel by pixel:
// row y of an edge (xs, ys)-(xe, ye) starts at ceil(xs + (y - ys) dx / dy),
// rows and spans are half-open, mappers without depth draw only clockwise
// rows; texels are floor(U / 65536) of values stepped linearly (affine) or
// exact at each perspective run's ends, held at the texture's edges.
#include <algorithm>
#include <cmath>
#include <cstring>
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
// The whole part of a 16.16 value, which wraps modulo 2^32.
int64_t whole(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(value)) >> 16; }

struct Model {
    std::vector<ScreenPoint> p;
    std::vector<TexCoord> t;
    std::vector<double> z;
    Mapper mapper;
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
        // Texture coordinates are clamped to the texture and the 16.16 reach.
        const auto u = [&](int32_t i) { return std::clamp(t[size_t(i)].u, 0, max_u); };
        const auto v = [&](int32_t i) { return std::clamp(t[size_t(i)].v, 0, max_v); };
        Values out{s.x + ceil_div(int64_t{r.k} * (e.x - s.x), r.dy), 0, 0, 0, 0, 0, 0};
        const double ws = std::fabs(1.0 / z[r.s]), we = std::fabs(1.0 / z[r.e]);
        if (is_perspective(mapper)) {
            const double per_row = 1.0 / r.dy;
            const double su = (u(r.e) * we - u(r.s) * ws) * per_row;
            const double sv = (v(r.e) * we - v(r.s) * ws) * per_row;
            const double sw = (we - ws) * per_row;
            out.uz = u(r.s) * ws;
            out.vz = v(r.s) * ws;
            out.w = ws;
            for (int32_t k = 0; k < r.k; ++k) {  // row by row, as the walker adds
                out.uz += su;
                out.vz += sv;
                out.w += sw;
            }
        } else {
            out.u = u(r.s) * 65536 + r.k * ((u(r.e) - u(r.s)) * 65536 / r.dy);
            out.v = v(r.s) * 65536 + r.k * ((v(r.e) - v(r.s)) * 65536 / r.dy);
            // Vertex depths are held at the largest 8.24 holds.
            const auto ds = std::min<int64_t>(static_cast<int64_t>(ws * 16777216.0), 0xFFFFFF);
            const auto de = std::min<int64_t>(static_cast<int64_t>(we * 16777216.0), 0xFFFFFF);
            out.d = ds + r.k * ((de - ds) / r.dy);
        }
        return out;
    }

    std::vector<Expected> frame(int32_t width, int32_t height) const {
        std::vector<Expected> out(static_cast<size_t>(width * height));
        // The clip rectangle within the buffer; runs of perspective_run pixels.
        const GraphicsState& s = gx_state;
        const int32_t min_x = std::max(s.clip_min_x, 0), max_x = std::min(s.clip_max_x, width - 1);
        const int32_t min_y = std::max(s.clip_min_y, 0), max_y = std::min(s.clip_max_y, height - 1);
        const int32_t run = std::max(s.perspective_run, 1);
        // A run of pixels from (x, y) on, stepped linearly.
        const auto emit = [&](int64_t x, int32_t y, int64_t length, int64_t u, int64_t du,
                              int64_t v, int64_t dv, int64_t d, int64_t dd) {
            for (int64_t i = 0; i < length; ++i) {
                out[static_cast<size_t>(y * width + x + i)] = {
                    true, static_cast<int32_t>(std::clamp<int64_t>(whole(u + i * du), 0, max_u)),
                    static_cast<int32_t>(std::clamp<int64_t>(whole(v + i * dv), 0, max_v)),
                    static_cast<uint32_t>(std::clamp<int64_t>(d + i * dd, 0, 0xFFFFFF))};
            }
        };
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
                    emit(x, y, length, u, du, v, dv, d, g);
                    w = w1;
                    x += length;
                    count -= length;
                }
            } else {
                const int64_t du = (r.u - l.u) / width_px, dv = (r.v - l.v) / width_px;
                const int64_t dd = (r.d - l.d) / width_px;
                const int64_t u = l.u + (du >> 1) + skip * du + 0x8000;
                const int64_t v = l.v + (dv >> 1) + skip * dv + 0x8000;
                emit(x0, y, count, u, du, v, dv, l.d + skip * dd, dd);
            }
        }
        return out;
    }
};

class Frames : public RasterTest {
protected:
    int32_t uniform(int32_t low, int32_t high) {
        return std::uniform_int_distribution<int32_t>(low, high)(random_);
    }
    // The open buffer's pixels and depth words.
    struct Image {
        std::vector<uint8_t> pixels;
        std::vector<uint32_t> words;
    };
    Image capture() const {
        const uint8_t* pixels = gx_state.active_pixels;
        const uint32_t* words = gx_state.depth_buffer;
        return {{pixels, pixels + gx_state.active_size}, {words, words + width_ * height_}};
    }
    static void restore(const Image& image) {
        std::memcpy(gx_state.active_pixels, image.pixels.data(), image.pixels.size());
        std::memcpy(gx_state.depth_buffer, image.words.data(), image.words.size() * 4);
    }

    // 3 to 7 corners round a centre near the buffer, in either winding, with
    // a random run length and clip rectangle; some with texels beyond the
    // texture, z near 1 or negative z.
    Model random_polygon(int32_t tw, int32_t th, int32_t trial) {
        Model m{{}, {}, {}, ALL_MAPPERS[random_() % 4], std::min(tw - 1, 32767), th - 1};
        const int32_t runs[] = {32, 32, 1, 0, 7};  // 0 is taken as 1
        gx_state.perspective_run = runs[trial % 5];
        const bool clipped = random_() % 3 == 0;
        GraphicsState& s = gx_state;
        s.clip_min_x = clipped ? uniform(-3, width_ - 1) : 0;
        s.clip_max_x = clipped ? uniform(s.clip_min_x, width_ + 3) : width_ - 1;
        s.clip_min_y = clipped ? uniform(-3, height_ - 1) : 0;
        s.clip_max_y = clipped ? uniform(s.clip_min_y, height_ + 3) : height_ - 1;
        if (trial == 0) {  // the texture's last row over the canvas: its last texel is read
            m.p = {{0, 0}, {width_, 0}, {width_, height_}, {0, height_}};
            m.t = {{0, m.max_v}, {m.max_u, m.max_v}, {m.max_u, m.max_v}, {0, m.max_v}};
            m.z = {50, 50, 50, 50};
            return m;
        }
        const double cx = uniform(-20, width_ + 20), cy = uniform(-20, height_ + 20);
        const double radius = uniform(2, (width_ + height_) * 3 / 4 + 30);
        // Points round a circle by the tangent of half their angle (no libm).
        std::vector<double> angles(static_cast<size_t>(uniform(3, 7)));
        for (double& angle : angles) angle = uniform(-4000, 4000) / 1e3;
        std::sort(angles.begin(), angles.end());
        if (random_() % 2 != 0) std::reverse(angles.begin(), angles.end());
        const int32_t spill = random_() % 4 == 0 ? 3 : 0;
        const double near = random_() % 4 == 0 ? 0.5 : 2.0;
        for (const double a : angles) {
            const double cos = (1 - a * a) / (1 + a * a), sin = 2 * a / (1 + a * a);
            m.p.push_back({static_cast<int32_t>(std::lround(cx + radius * cos)),
                           static_cast<int32_t>(std::lround(cy + radius * sin))});
            m.t.push_back({tw == 40000 ? uniform(31000, 39999) : uniform(-spill, tw - 1 + spill),
                           uniform(-spill, th - 1 + spill)});
            const double z = uniform(0, 1000) * (300.0 - near) / 1e3 + near;
            m.z.push_back(random_() % 5 == 0 ? -z : z);
        }
        return m;
    }

    // Random pixels, a random stamp and depth words of older, current and
    // newer frames, many just in front of, equal to or behind the model's;
    // returns them with the model's pixels drawn where they pass the test.
    Image scramble(const Model& m, const std::vector<Expected>& model) {
        for (int32_t i = 0; i < gx_state.active_size; ++i)
            gx_state.active_pixels[i] = static_cast<uint8_t>(random_());
        const uint32_t stamp = gx_state.depth_stamp = (random_() % 256u) << 24;
        std::vector<std::pair<int32_t, int32_t>> shown;
        for (int32_t y = 0; y < height_; ++y) {
            for (int32_t x = 0; x < width_; ++x) {
                const auto kind = static_cast<uint32_t>(random_() % 8u);
                const auto low = static_cast<uint32_t>(random_() & 0xFFFFFFu);
                const Expected& e = model[static_cast<size_t>(y * width_ + x)];
                uint32_t& word = *gx_depth_word(x, y);
                if (kind == 0) word = static_cast<uint32_t>(random_());
                if (kind == 1 || kind == 2) word = stamp - 0x01000000u + low;
                if (kind == 3 || kind == 4) word = stamp + (low >> (random_() % 12u));
                if (kind >= 5) word = stamp + e.depth + kind - 6;
                if (e.drawn && (!has_depth(m.mapper) || stamp + e.depth > word))
                    shown.emplace_back(x, y);
            }
        }
        Image want = capture();
        const int32_t bytes = gx_state.active_depth / 8;
        for (const auto& [x, y] : shown) {
            const Expected& e = model[static_cast<size_t>(y * width_ + x)];
            const uint32_t value = texel_value(e.u, e.v);
            std::memcpy(
                &want.pixels[size_t(gx_pixel_address(x, y, bytes) - gx_state.active_pixels)],
                &value, static_cast<size_t>(bytes));
            if (has_depth(m.mapper))
                want.words[size_t(gx_depth_word(x, y) - gx_state.depth_buffer)] = stamp + e.depth;
        }
        return want;
    }

    std::mt19937 random_{4242};
};

// Random polygons with random clip rectangles and run lengths over random
// pixels and depth words, on canvases 4 pixels wide (the narrowest a buffer
// is made) or 1 high, with spans of
// many batches of runs, or of random size, with textures of any size (some
// beyond the 16.16 reach): every level must draw the model's frame.
TEST_F(Frames, EveryLevelDrawsTheModelsFrame) {
    for (const int32_t depth : {16, 8, 24, 32}) {
        for (int32_t canvas = 0; canvas < 6; ++canvas) {
            const int32_t w = uniform(1, 200), h = uniform(1, 150);
            const int32_t sizes[][2] = {{640, 24}, {4, h % 20 + 1}, {w % 20 + 1, 1}, {w, h}};
            open_canvas(depth, sizes[std::min(canvas, 3)][0], sizes[std::min(canvas, 3)][1]);
            for (int32_t texture = 0; texture < 4; ++texture) {
                const bool wide = texture == 3 && random_() % 3 == 0;  // beyond the 16.16 reach
                const int32_t tw = wide ? 40000 : uniform(1, texture == 3 ? 300 : 64);
                const int32_t th = wide ? 2 : uniform(1, 64);
                use_texture(tw, th);
                for (int32_t trial = 0; trial < 16; ++trial) {
                    const Model m = random_polygon(tw, th, trial);
                    const std::vector<Expected> model = m.frame(width_, height_);
                    const Image want = scramble(m, model);
                    const Image start = capture();
                    for (int32_t level = GX_SIMD_SCALAR; level <= gx_simd_supported(); ++level) {
                        restore(start);
                        gx_simd_select(level);
                        draw(m.mapper, m.p, m.t, m.z);
                        const Image got = capture();
                        SCOPED_TRACE(testing::Message()
                                     << "level " << level << ", depth " << depth << ", canvas "
                                     << width_ << "x" << height_ << ", texture " << tw << "x" << th
                                     << ", " << mapper_name(m.mapper) << ", trial " << trial);
                        for (size_t i = 0; i < want.pixels.size(); ++i)
                            ASSERT_EQ(got.pixels[i], want.pixels[i]) << "byte " << i;
                        for (size_t i = 0; i < want.words.size(); ++i)
                            ASSERT_EQ(got.words[i], want.words[i]) << "word " << i;
                    }
                }
            }
        }
    }
}

}  // namespace
