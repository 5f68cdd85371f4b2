// Whole frames against a model of the mappers written pixel by pixel from
// their rules: row y of an edge from (xs, ys) to (xe, ye) starts at
// ceil(xs + (y - ys) * dx / dy), rows are half-open, spans cover
// [left, right), the mappers without depth draw only clockwise rows;
// texel columns are floor(U / 65536) of values stepped linearly (affine) or
// exact at the ends of each perspective run. The model covers in-range inputs
// only (texels inside the texture, 1 < z), and is checked at every level.
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
int64_t floor16(int64_t value) { return value >= 0 ? value >> 16 : -((-value + 65535) >> 16); }

struct Model {
    std::vector<ScreenPoint> p;
    std::vector<TexCoord> t;
    std::vector<double> z;
    Mapper mapper;
    int32_t run;                         // perspective run length
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

class Frames : public RasterTest {
protected:
    void TearDown() override {
        gx_simd_select(gx_simd_supported());
        RasterTest::TearDown();
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
};

// Random polygons (3 to 7 corners round a centre, either winding, partly
// off the buffer) over random pixels and over depth words of older, current
// and newer frames, with random clip rectangles, run lengths, canvases (1
// pixel wide or high, or with spans of many batches of runs) and textures.
// In-range inputs must give the model's frame at every level; the others
// (texels beyond the texture or the 16.16 reach, z near 1 or negative) the
// frame of the plain scalar loops.
TEST_F(Frames, EveryLevelDrawsTheModelsFrame) {
    std::mt19937 random(4242);
    for (const int32_t depth : {16, 8, 24, 32}) {
        for (int32_t canvas = 0; canvas < 6; ++canvas) {
            const int32_t sizes[][2] = {
                {640, 24}, {1, uniform(random, 1, 20)}, {uniform(random, 1, 20), 1}};
            open_canvas(depth, canvas < 3 ? sizes[canvas][0] : uniform(random, 2, 200),
                        canvas < 3 ? sizes[canvas][1] : uniform(random, 2, 150));
            for (int32_t texture = 0; texture < 4; ++texture) {
                const bool wild = texture == 3;
                const bool wide = wild && random() % 3 == 0;  // beyond the 16.16 reach
                const int32_t tw = wide ? 40000 : uniform(random, 1, wild ? 300 : 64);
                const int32_t th = wide ? 2 : uniform(random, 1, 64);
                use_texture(tw, th);
                for (int32_t trial = 0; trial < 16; ++trial) {
                    Model m;
                    m.mapper = ALL_MAPPERS[random() % 4];
                    m.max_u = tw - 1;
                    m.max_v = th - 1;
                    const int32_t runs[] = {32, 32, 1, 0, 7};  // 0 is taken as 1
                    gx_state.perspective_run = runs[trial % 5];
                    m.run = std::max(gx_state.perspective_run, 1);
                    const bool clipped = random() % 3 == 0;
                    gx_state.clip_min_x = clipped ? uniform(random, -3, width_ - 1) : 0;
                    gx_state.clip_max_x = clipped ? uniform(random, gx_state.clip_min_x, width_ + 3)
                                                  : width_ - 1;
                    gx_state.clip_min_y = clipped ? uniform(random, -3, height_ - 1) : 0;
                    gx_state.clip_max_y = clipped
                                              ? uniform(random, gx_state.clip_min_y, height_ + 3)
                                              : height_ - 1;
                    m.min_x = std::max(gx_state.clip_min_x, 0);
                    m.max_x = std::min(gx_state.clip_max_x, width_ - 1);
                    m.min_y = std::max(gx_state.clip_min_y, 0);
                    m.max_y = std::min(gx_state.clip_max_y, height_ - 1);
                    const int32_t n = uniform(random, 3, 7);
                    const double cx = uniform(random, -20, width_ + 20);
                    const double cy = uniform(random, -20, height_ + 20);
                    const double radius = uniform(random, 2, (width_ + height_) * 3 / 4 + 30);
                    std::vector<double> angles;
                    for (int32_t i = 0; i < n; ++i)
                        angles.push_back(uniform(random, 0, 6283) / 1e3);
                    std::sort(angles.begin(), angles.end());
                    if (random() % 2 != 0) std::reverse(angles.begin(), angles.end());
                    const int32_t spill = wild ? 3 : 0;
                    const double near = wild && random() % 3 == 0 ? 0.5 : 2.0;
                    for (const double a : angles) {
                        m.p.push_back(
                            {static_cast<int32_t>(std::lround(cx + radius * std::cos(a))),
                             static_cast<int32_t>(std::lround(cy + radius * std::sin(a)))});
                        m.t.push_back({wide ? uniform(random, 31000, 39999)
                                            : uniform(random, -spill, tw - 1 + spill),
                                       uniform(random, -spill, th - 1 + spill)});
                        const double z = uniform(random, 0, 1000) * (300.0 - near) / 1e3 + near;
                        m.z.push_back(wild && random() % 5 == 0 ? -z : z);
                    }
                    const std::vector<Expected> model = m.frame(width_, height_);

                    // Random pixels, a random stamp, and depth words around it
                    // (those just in front of, equal to and behind the model's).
                    for (int32_t i = 0; i < gx_state.active_size; ++i)
                        gx_state.active_pixels[i] = static_cast<uint8_t>(random());
                    const uint32_t stamp = (random() % 256u) << 24;
                    gx_state.depth_stamp = stamp;
                    for (int32_t y = 0; y < height_; ++y) {
                        for (int32_t x = 0; x < width_; ++x) {
                            const uint32_t kind = random() % 8u, low = random() & 0xFFFFFFu;
                            uint32_t& word = *gx_depth_word(x, y);
                            const uint32_t around = model[size_t(y * width_ + x)].depth + kind - 6;
                            if (kind == 0) word = random();
                            if (kind == 1 || kind == 2) word = stamp - 0x01000000u + low;
                            if (kind == 3 || kind == 4) word = stamp + (low >> (random() % 12u));
                            if (kind >= 5) word = stamp + around;
                        }
                    }
                    const Image start = capture();
                    Image want = start;
                    const int32_t bytes = depth / 8;
                    for (int32_t y = 0; y < height_ && !wild; ++y) {
                        for (int32_t x = 0; x < width_; ++x) {
                            const Expected& e = model[static_cast<size_t>(y * width_ + x)];
                            const auto i = static_cast<size_t>(gx_depth_word(x, y) -
                                                               gx_state.depth_buffer);
                            if (!e.drawn ||
                                (has_depth(m.mapper) && stamp + e.depth <= start.words[i]))
                                continue;
                            const uint32_t value = texel_value(e.u, e.v);
                            std::memcpy(want.pixels.data() + (gx_pixel_address(x, y, bytes) -
                                                              gx_state.active_pixels),
                                        &value, static_cast<size_t>(bytes));
                            if (has_depth(m.mapper)) want.words[i] = stamp + e.depth;
                        }
                    }
                    for (int32_t level = GX_SIMD_SCALAR; level <= gx_simd_supported(); ++level) {
                        restore(start);
                        gx_simd_select(level);
                        draw(m.mapper, m.p, m.t, m.z);
                        const Image got = capture();
                        if (wild && level == GX_SIMD_SCALAR) {
                            want = got;
                            continue;
                        }
                        const auto where = [&] {
                            return testing::Message()
                                   << "level " << level << ", depth " << depth << ", canvas "
                                   << width_ << "x" << height_ << ", texture " << tw << "x" << th
                                   << ", " << mapper_name(m.mapper) << ", trial " << trial;
                        };
                        for (size_t i = 0; i < want.pixels.size(); ++i)
                            ASSERT_EQ(got.pixels[i], want.pixels[i]) << where() << ", byte " << i;
                        for (size_t i = 0; i < want.words.size(); ++i)
                            ASSERT_EQ(got.words[i], want.words[i]) << where() << ", word " << i;
                    }
                }
            }
        }
    }
}

}  // namespace
