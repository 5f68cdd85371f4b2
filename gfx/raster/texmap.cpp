// The four texture mappers: one template over {perspective, depth} and the
// pixel size, built from the shared edge walk (edge_walk.h), one fill rule,
// one horizontal clip and the per-pixel loops of texel_run.h.
//
// Fill rule: rows y_top to y_bottom - 1 are visited, and on each the span
// covers the columns from the left walker's x up to but not including the
// right walker's x, so polygons sharing an edge neither overlap nor leave a
// gap. The depth-tested mappers take whichever walker lies further left;
// the two without depth draw only spans where the forward walker lies right
// of the backward one, i.e. clockwise polygons.
//
// Perspective spans are cut into runs of perspective_run pixels with the
// exact perspective division at both ends of each run; affine spans are
// stepped in 16.16 integers throughout.
//
// The path of a perspective span, file by file:
//   texmap.cpp       walk_rows -> draw_span -> perspective_span: the span's
//                    gradients, clipped; hidden_prefix passes over its
//                    leading runs the depth test hides whole (their depth
//                    needs no division); RunQueue::add queues the rest.
//   run_setup.h      the runs' exact coordinates: setup_runs (or the SSE2
//                    version, run_setup_sse2.cpp) span by span; with AVX2
//                    the batched set-up instead, mark_runs here and the
//                    divisions four boundaries at once in
//                    run_setup_avx2.cpp, which also says which runs a
//                    kernel may draw (fit_for_kernel).
//   texel_run.h      RunQueue::draw hands each span's runs to texel_runs:
//                    the exactness checks, the exact and clamped loops.
//   run_kernels.h    exact runs in batches to the kernel in force
//                    (run_kernels_sse2.cpp, run_kernels_avx2.cpp), which
//                    draw the pixels their groups leave with the exact loop.
// Affine spans go from affine_span straight to texel_runs. The routines in
// force come from one table, fast_paths.h.
//
// Checked once per polygon, so that nothing outside the open buffer, the
// depth buffer, the texture or the caller's lists is ever touched: the
// vertex count (at most the 320 the work areas hold), screen coordinates
// within GX_COORD_LIMIT, boundary chains that never move upward, 1/|z| of
// every vertex finite and below 256 (so that 8.24 holds it), a texture
// selected whose texel offsets fit ptrdiff_t, and for the depth-tested
// mappers a depth buffer covering the open buffer. Otherwise nothing is
// drawn. Texture coordinates are clamped to the texture (and to the 32768
// texels 16.16 reaches), depth values to 0xFFFFFF below the stamp.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "gfx/gfx.h"
#include "gfx/raster/edge_walk.h"
#include "gfx/raster/fast_paths.h"
#include "gfx/raster/run_setup.h"
#include "gfx/raster/texel_run.h"
#include "gfx/row_rule.h"
#include "gfx/simd.h"

namespace {

using namespace gx_raster;

// The largest polygon the pipeline's work areas hold.
constexpr uint32_t MAX_VERTICES = 320;

// 1/|z| must stay below 1.0 * 2^8 for its 8.24 value to fit 32 bits.
constexpr double INVERSE_DEPTH_LIMIT = 256.0;

// Everything a mapper needs for one call, gathered once.
struct Polygon {
    PolygonInput input;
    TextureView texture;
    uint32_t stamp;
    int32_t run_length;
    double per_run_step;  // 1 / run_length
    // The fast paths in force (fast_paths.h), read once per polygon.
    RunSetup run_setup;
    BatchSetup batch_setup;
    HiddenTest hidden;
    int32_t y_top;
    // The clip rectangle, within the open buffer.
    int32_t clip_min_x, clip_max_x, clip_min_y, clip_max_y;
};

template <bool PERSPECTIVE, bool DEPTH>
struct EdgeKind;
template <bool DEPTH>
struct EdgeKind<true, DEPTH> {
    using type = PerspectiveEdge;
};
template <>
struct EdgeKind<false, true> {
    using type = AffineDepthEdge;
};
template <>
struct EdgeKind<false, false> {
    using type = AffineEdge;
};

// Each mapper keeps its own pair of walkers, backward then forward.
template <bool PERSPECTIVE, bool DEPTH>
typename EdgeKind<PERSPECTIVE, DEPTH>::type* edge_pair() {
    if constexpr (PERSPECTIVE && DEPTH) {
        return gx_state.persp_depth_edges;
    } else if constexpr (PERSPECTIVE) {
        return gx_state.persp_edges;
    } else if constexpr (DEPTH) {
        return gx_state.affine_depth_edges;
    } else {
        return gx_state.affine_edges;
    }
}

// ---- Per-polygon checks -----------------------------------------------------

// Whether the chain from the top vertex to the bottom vertex in the given
// direction never moves upward.
bool chain_descends(const PolygonInput& polygon, int32_t direction) {
    int32_t vertex = polygon.top;
    while (vertex != polygon.bottom) {
        int32_t next = vertex + direction;
        if (next < 0) {
            next = polygon.count - 1;
        } else if (next == polygon.count) {
            next = 0;
        }
        if (polygon.points[next].y < polygon.points[vertex].y) return false;
        vertex = next;
    }
    return true;
}

bool within_coord_limit(const ScreenPoint& point) {
    return point.x >= -GX_COORD_LIMIT && point.x <= GX_COORD_LIMIT && point.y >= -GX_COORD_LIMIT &&
           point.y <= GX_COORD_LIMIT;
}

// Whether 1/|z| is a positive number that 8.24 can hold (false for NaN,
// zero and infinite z, and |z| of 1/256 or less).
bool usable_depth(double z) {
    if (!(z == z) || z == 0.0) return false;
    const double w = std::fabs(1.0 / z);
    return w > 0.0 && w < INVERSE_DEPTH_LIMIT;
}

// Bytes per pixel the mappers write: a depth other than 16, 24 or 32 is
// written as 8 bits.
int32_t pixel_bytes(int32_t depth) {
    return depth == 16 || depth == 24 || depth == 32 ? gx_bytes_per_pixel(depth) : 1;
}

// Gathers the call's inputs and state; false when nothing is to be drawn.
template <bool PERSPECTIVE, bool DEPTH>
bool prepare(Polygon& polygon, const ScreenPoint* points, const TexCoord* texcoords,
             const Vertex3* camera, uint32_t count) {
    constexpr bool READS_Z = PERSPECTIVE || DEPTH;
    const GraphicsState& s = gx_state;
    if (s.active_buffer < 0 || s.active_pixels == nullptr) return false;
    if (count < 2 || count > MAX_VERTICES) return false;
    if (points == nullptr || texcoords == nullptr || (READS_Z && camera == nullptr)) return false;
    if (s.texture_pixels == nullptr || s.texture_width < 1 || s.texture_height < 1) return false;
    // The row rule counts rows down from active_max_y, the depth words'
    // capacity in active_height rows: the two must agree.
    if (s.active_width < 1 || s.active_height < 1 || s.active_max_y != s.active_height - 1) {
        return false;
    }
    if constexpr (DEPTH) {
        const uint64_t words_needed = static_cast<uint64_t>(s.active_width) *
                                      static_cast<uint64_t>(s.active_height);
        if (s.depth_buffer == nullptr || s.depth_buffer_words < words_needed) return false;
    }

    // Clip to the clip rectangle, and never beyond the buffer itself.
    polygon.clip_min_x = std::max(s.clip_min_x, 0);
    polygon.clip_max_x = std::min(s.clip_max_x, s.active_width - 1);
    polygon.clip_min_y = std::max(s.clip_min_y, 0);
    polygon.clip_max_y = std::min(s.clip_max_y, s.active_max_y);
    if (polygon.clip_min_x > polygon.clip_max_x || polygon.clip_min_y > polygon.clip_max_y) {
        return false;
    }

    // Top and bottom vertex: among equal rows the first in the list wins.
    const auto n = static_cast<int32_t>(count);
    int32_t top = 0;
    int32_t bottom = 0;
    for (int32_t i = 0; i < n; ++i) {
        if (!within_coord_limit(points[i])) return false;
        if (READS_Z && !usable_depth(camera[i].z)) return false;
        if (points[i].y < points[top].y) {
            top = i;
        } else if (points[i].y > points[bottom].y) {
            bottom = i;
        }
    }
    polygon.y_top = points[top].y;
    const int32_t y_bottom = points[bottom].y;
    if (polygon.y_top == y_bottom || polygon.y_top > polygon.clip_max_y ||
        y_bottom < polygon.clip_min_y) {
        return false;
    }

    const int32_t reach = TEXEL_REACH - 1;
    polygon.input = {.points = points,
                     .texcoords = texcoords,
                     .camera = READS_Z ? camera : nullptr,
                     .count = n,
                     .top = top,
                     .bottom = bottom,
                     .max_u = std::min(s.texture_width - 1, reach),
                     .max_v = std::min(s.texture_height - 1, reach)};
    // The walk is defined only for chains that never move upward.
    if (!chain_descends(polygon.input, -1) || !chain_descends(polygon.input, 1)) return false;

    // Texel offsets, including the step past a run's last pixel, must fit
    // ptrdiff_t (which has 32 bits on 32-bit targets).
    const int64_t row_bytes = static_cast<int64_t>(s.texture_width) *
                              texel_size(pixel_bytes(s.active_depth));
    if ((static_cast<int64_t>(polygon.input.max_v) + 1) * row_bytes >
        static_cast<int64_t>(PTRDIFF_MAX / 4)) {
        return false;
    }
    polygon.texture = {s.texture_pixels, static_cast<ptrdiff_t>(row_bytes), polygon.input.max_u,
                       polygon.input.max_v};
    // The vector kernels address texels with 31-bit offsets and 16-bit row
    // lengths, and read 4 bytes per texel.
    gx_simd_level();  // picks the fast paths on first use
    const FastPaths& paths = active_fast_paths;
    const int64_t texture_bytes = (static_cast<int64_t>(polygon.input.max_v) + 1) * row_bytes;
    if (paths.kernels != nullptr && s.texture_width < 32768 && texture_bytes <= INT32_MAX) {
        polygon.texture.kernels = paths.kernels;
        polygon.texture.kernel_texture = {s.texture_pixels, s.texture_width,
                                          static_cast<int32_t>(texture_bytes)};
        polygon.texture.fetch_limit = static_cast<ptrdiff_t>(texture_bytes - 4);
    }
    polygon.run_setup = paths.setup;
    polygon.batch_setup = paths.batch_setup;
    polygon.hidden = paths.hidden;
    polygon.stamp = s.depth_stamp;
    // A run must be at least one pixel long to make progress.
    polygon.run_length = std::max(s.perspective_run, 1);
    polygon.per_run_step = 1.0 / polygon.run_length;
    return true;
}

// ---- Spans --------------------------------------------------------------------

// Clips the span [x0, x1) to the clip rectangle, in the order the mappers
// rely on. Returns the number of visible pixels (0: nothing to draw); x0
// becomes the first visible column and `skipped` the columns cut on the left.
int32_t clip_span(const Polygon& polygon, int32_t& x0, int32_t x1, int32_t& skipped) {
    skipped = 0;
    if (x1 < polygon.clip_min_x) return 0;
    if (x1 > polygon.clip_max_x) x1 = polygon.clip_max_x + 1;
    if (x0 > polygon.clip_max_x) return 0;
    if (x0 < polygon.clip_min_x) {
        skipped = polygon.clip_min_x - x0;
        x0 = polygon.clip_min_x;
    }
    return x1 - x0;
}

// Runs set up ahead of drawing. A run's set-up ends in divisions whose
// results its pixels wait for; with the runs of several rows set up before
// any of them is drawn, the divisions of one row overlap the drawing of
// another. Setting up reads nothing that drawing writes, so the pixels are
// those of setting up and drawing each row in turn.
template <int B, bool DEPTH>
class RunQueue {
public:
    explicit RunQueue(const Polygon& polygon) : polygon_(polygon) {}

    // Sets up the span's runs, drawing what is queued whenever the queue
    // is full.
    void add(SpanSteps& span, uint8_t* pixel, uint32_t* word) {
        if (polygon_.batch_setup != nullptr) {
            mark(span, pixel, word);
            return;
        }
        while (span.count > 0) {
            if (runs_ == QUEUE_RUNS || segments_ == QUEUE_SEGMENTS) draw();
            const int32_t before = span.count;
            TexelRun* at = run_ + runs_;
            const int32_t room = QUEUE_RUNS - runs_;
            const int32_t made = polygon_.run_setup(span, at, room);
            segment_[segments_++] = {pixel, word, runs_, made};
            runs_ += made;
            const int32_t set = before - span.count;
            pixel += static_cast<ptrdiff_t>(set) * B;
            if constexpr (DEPTH) word += set;
        }
    }

    // Draws everything queued, in the order it was added.
    void draw() {
        if (polygon_.batch_setup != nullptr) {
            if (boundaries_.count > 0) draw_batch();
            return;
        }
        for (int32_t k = 0; k < segments_; ++k) {
            const Segment& segment = segment_[k];
            texel_runs<B, DEPTH>(segment.pixel, segment.word, polygon_.texture, polygon_.stamp,
                                 run_ + segment.first, segment.runs);
        }
        runs_ = 0;
        segments_ = 0;
    }

private:
    // The batched set-up's first pass: the span's run boundaries.
    void mark(SpanSteps& span, uint8_t* pixel, uint32_t* word) {
        while (span.count > 0) {
            if (boundaries_.count + 2 > BOUNDARIES_MOST) draw();
            const int32_t before = span.count;
            mark_runs(span, boundaries_, BOUNDARIES_MOST - 1 - boundaries_.count, pixel, word, B);
            const int32_t set = before - span.count;
            pixel += static_cast<ptrdiff_t>(set) * B;
            if constexpr (DEPTH) word += set;
        }
    }

    // The second pass, and every queued run drawn: those the kernel may not
    // take by the plain loops, the others in one call of the kernel.
    void draw_batch() {
        // Lanes past the last boundary hold harmless values.
        for (int32_t i = boundaries_.count; i < boundaries_.count + 4; ++i) {
            boundaries_.u_z[i] = 0.0;
            boundaries_.v_z[i] = 0.0;
            boundaries_.w[i] = 1.0;
            boundaries_.per_step[i] = 0.0;
            boundaries_.length[i] = 0;
            boundaries_.depth_step[i] = 0;
        }
        const int32_t count = boundaries_.count;
        const TextureView& texture = polygon_.texture;
        const int32_t unfit = polygon_.batch_setup(boundaries_, kernel_run_, fit_, DEPTH,
                                                   polygon_.stamp, texture, TEXEL_SIZE<B>);
        boundaries_.count = 0;
        if (unfit > 0) {
            for (int32_t i = 0; i < count; ++i) {
                KernelRun& run = kernel_run_[i];
                if (fit_[i] || run.count == 0) continue;
                const TexelRun plain = {run.u,  run.v,    run.du, run.dv, run.z - polygon_.stamp,
                                        run.dz, run.count};
                texel_run<B, DEPTH>(run.pixel, run.word, texture, polygon_.stamp, plain);
                run.count = 0;
            }
        }
        if (texture.kernels != nullptr && unfit < count) {
            texture.kernels->draw[B - 1][DEPTH ? 1 : 0](texture.kernel_texture, kernel_run_, count);
        }
    }

    static constexpr int32_t QUEUE_RUNS = 64;
    static constexpr int32_t QUEUE_SEGMENTS = 32;
    // Consecutive runs of one span, from `pixel` and `word` on.
    struct Segment {
        uint8_t* pixel;
        uint32_t* word;
        int32_t first;
        int32_t runs;
    };
    const Polygon& polygon_;
    TexelRun run_[QUEUE_RUNS];
    // With the batched set-up:
    RunBoundaries boundaries_;
    KernelRun kernel_run_[BOUNDARIES_MOST];
    bool fit_[BOUNDARIES_MOST];
    Segment segment_[QUEUE_SEGMENTS];
    int32_t runs_ = 0;
    int32_t segments_ = 0;
};

// The span's leading pixels, in whole runs, that the depth test hides, so
// that setting up those runs (their divisions above all) can be skipped: the
// whole span when no pixel would pass. A run's depth needs no division: its
// first value is the 1/z the set-up reaches by the same additions, and it
// steps linearly. A run whose depths would be clamped ends the count.
int32_t hidden_prefix(const Polygon& polygon, const SpanSteps& span, const uint32_t* word) {
    // Most spans are in front at their first pixel; that settles it cheaply.
    const uint32_t first_depth = fixed_unsigned(span.w, FIXED_8_24);
    if (first_depth <= DEPTH_MAX && first_depth + polygon.stamp > word[0]) return 0;
    KernelRun runs[RUN_BATCH];
    double w = span.w;
    double run_w = span.run_w;
    int32_t left = span.count;
    int32_t hidden = 0;
    // The first batch is one run: on a span in front the first run decides.
    int32_t batch = 1;
    while (left > 0) {
        int32_t made = 0;
        bool clamped = false;
        for (; made < batch && left > 0; ++made) {
            int32_t length = span.run_length;
            if (left <= span.run_length) {
                length = left;
                run_w = span.g_w * length;
            }
            const int64_t first = fixed_unsigned(w, FIXED_8_24);
            const int64_t last = first + static_cast<int64_t>(length - 1) *
                                             static_cast<int32_t>(span.depth_step);
            if (first > DEPTH_MAX || last < 0 || last > DEPTH_MAX) {
                clamped = true;
                break;
            }
            runs[made] = {0,
                          0,
                          0,
                          0,
                          static_cast<uint32_t>(first) + polygon.stamp,
                          span.depth_step,
                          length,
                          nullptr,
                          nullptr};
            w += run_w;
            left -= length;
        }
        const int32_t covered = polygon.hidden(word, runs, made);
        for (int32_t k = 0; k < covered; ++k) {
            hidden += runs[k].count;
            word += runs[k].count;
        }
        if (covered < made || clamped) break;
        batch = RUN_BATCH;
    }
    return hidden;
}

template <int B, bool DEPTH>
void perspective_span(const Polygon& polygon, RunQueue<B, DEPTH>& queue,
                      const PerspectiveEdge& left, const PerspectiveEdge& right, int32_t y) {
    const int32_t width = right.x - left.x;
    const double per_pixel = 1.0 / width;
    const double g_u = (right.u_z - left.u_z) * per_pixel;
    const double g_v = (right.v_z - left.v_z) * per_pixel;
    const double g_w = (right.w - left.w) * per_pixel;
    double u_z = left.u_z;
    double v_z = left.v_z;
    double w = left.w;

    int32_t x0 = left.x;
    int32_t skipped = 0;
    int32_t count = clip_span(polygon, x0, left.x + width, skipped);
    if (count <= 0) return;
    if (skipped > 0) {
        const double k = skipped;
        u_z += k * g_u;
        v_z += k * g_v;
        w += k * g_w;
    }

    SpanSteps span;
    span.u_z = u_z;
    span.v_z = v_z;
    span.w = w;
    // The batched set-up divides at every run boundary itself.
    if (polygon.batch_setup == nullptr) {
        span.ua = u_z / w;
        span.va = v_z / w;
    }
    span.run_length = polygon.run_length;
    span.run_u = g_u * span.run_length;
    span.run_v = g_v * span.run_length;
    span.run_w = g_w * span.run_length;
    span.g_u = g_u;
    span.g_v = g_v;
    span.g_w = g_w;
    span.per_run_step = polygon.per_run_step;
    span.count = count;
    span.depth_step = DEPTH ? static_cast<uint32_t>(fixed_signed(g_w, FIXED_8_24)) : 0;
    span.depth = DEPTH;
    uint32_t* word = DEPTH ? gx_depth_word(x0, y) : nullptr;
    if constexpr (DEPTH) {
        const int32_t hidden = hidden_prefix(polygon, span, word);
        if (hidden == span.count) return;
        if (hidden > 0) {
            // Only whole runs are passed over, and all but the last run of a
            // span are full: step past them as the set-up would.
            for (int32_t k = 0; k < hidden / span.run_length; ++k) {
                span.w += span.run_w;
                span.u_z += span.run_u;
                span.v_z += span.run_v;
            }
            span.count -= hidden;
            x0 += hidden;
            word += hidden;
            if (polygon.batch_setup == nullptr) {
                span.ua = span.u_z / span.w;
                span.va = span.v_z / span.w;
            }
        }
    }
    queue.add(span, gx_pixel_address(x0, y, B), word);
}

template <int B, bool DEPTH, class Edge>
void affine_span(const Polygon& polygon, const Edge& left, const Edge& right, int32_t y) {
    const int32_t width = right.x - left.x;
    const auto difference = [](int32_t a, int32_t b) {
        return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
    };
    const int32_t du = difference(right.u, left.u) / width;
    const int32_t dv = difference(right.v, left.v) / width;
    uint32_t u = static_cast<uint32_t>(left.u) + static_cast<uint32_t>(du >> 1);
    uint32_t v = static_cast<uint32_t>(left.v) + static_cast<uint32_t>(dv >> 1);
    int32_t dd = 0;
    uint32_t depth = 0;
    if constexpr (DEPTH) {
        dd = difference(static_cast<int32_t>(right.d), static_cast<int32_t>(left.d)) / width;
        depth = left.d;
    }

    int32_t x0 = left.x;
    int32_t skipped = 0;
    const int32_t count = clip_span(polygon, x0, left.x + width, skipped);
    if (count <= 0) return;
    const auto k = static_cast<uint32_t>(skipped);
    u += k * static_cast<uint32_t>(du);
    v += k * static_cast<uint32_t>(dv);
    depth += k * static_cast<uint32_t>(dd);

    const TexelRun run{u + 0x8000u,
                       v + 0x8000u,
                       static_cast<uint32_t>(du),
                       static_cast<uint32_t>(dv),
                       depth,
                       static_cast<uint32_t>(dd),
                       count};
    texel_runs<B, DEPTH>(gx_pixel_address(x0, y, B), DEPTH ? gx_depth_word(x0, y) : nullptr,
                         polygon.texture, polygon.stamp, &run, 1);
}

// Picks left and right by the winding rule and draws row y.
template <bool PERSPECTIVE, bool DEPTH, int B, class Edge>
void draw_span(const Polygon& polygon, RunQueue<B, DEPTH>& queue, const Edge& backward,
               const Edge& forward, int32_t y) {
    const Edge* left = &backward;
    const Edge* right = &forward;
    if constexpr (DEPTH) {
        if (forward.x < backward.x) std::swap(left, right);
    }
    if (right->x <= left->x) return;
    if constexpr (PERSPECTIVE) {
        perspective_span<B, DEPTH>(polygon, queue, *left, *right, y);
    } else {
        affine_span<B, DEPTH>(polygon, *left, *right, y);
    }
}

// ---- The row loop ---------------------------------------------------------------

template <bool PERSPECTIVE, bool DEPTH, int B>
void walk_rows(const Polygon& polygon) {
    auto* edges = edge_pair<PERSPECTIVE, DEPTH>();
    auto& backward = edges[0];
    auto& forward = edges[1];
    backward = {};
    forward = {};
    backward.direction = -1;
    forward.direction = 1;
    const PolygonInput& input = polygon.input;
    if (!edge_setup(backward, input, input.top) || !edge_setup(forward, input, input.top)) return;
    RunQueue<B, DEPTH> queue(polygon);  // perspective runs waiting to be drawn
    for (int32_t y = polygon.y_top;; ++y) {
        if (y >= polygon.clip_min_y) {
            draw_span<PERSPECTIVE, DEPTH, B>(polygon, queue, backward, forward, y);
        }
        if (!edge_advance(backward, input)) break;
        if (!edge_advance(forward, input)) break;
        if (y >= polygon.clip_max_y) break;
    }
    queue.draw();
}

template <bool PERSPECTIVE, bool DEPTH>
int32_t texmap(const ScreenPoint* points, const TexCoord* texcoords, const Vertex3* camera,
               uint32_t count) {
    Polygon polygon;
    if (!prepare<PERSPECTIVE, DEPTH>(polygon, points, texcoords, camera, count)) return 0;
    switch (pixel_bytes(gx_state.active_depth)) {
        case 4: walk_rows<PERSPECTIVE, DEPTH, 4>(polygon); break;
        case 3: walk_rows<PERSPECTIVE, DEPTH, 3>(polygon); break;
        case 2: walk_rows<PERSPECTIVE, DEPTH, 2>(polygon); break;
        default: walk_rows<PERSPECTIVE, DEPTH, 1>(polygon); break;
    }
    return 0;
}

}  // namespace

int32_t gx_texmap_persp_depth(const ScreenPoint* points, const TexCoord* texcoords,
                              const Vertex3* camera, uint32_t count) {
    return texmap<true, true>(points, texcoords, camera, count);
}

int32_t gx_texmap_persp(const ScreenPoint* points, const TexCoord* texcoords, const Vertex3* camera,
                        uint32_t count) {
    return texmap<true, false>(points, texcoords, camera, count);
}

int32_t gx_texmap_affine_depth(const ScreenPoint* points, const TexCoord* texcoords,
                               const Vertex3* camera, uint32_t count) {
    return texmap<false, true>(points, texcoords, camera, count);
}

int32_t gx_texmap_affine(const ScreenPoint* points, const TexCoord* texcoords, uint32_t count) {
    return texmap<false, false>(points, texcoords, nullptr, count);
}
