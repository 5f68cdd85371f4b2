// The polygon pipeline and the four texture mappers, with geometry, texture
// coordinates, counts, render flags, viewport, depth planes, angles and
// texture size chosen by the fuzzer, into buffers of every depth with no,
// a fitting, a too small or a freed depth buffer.
//
// Input layout: a set-up, then operations until the bytes run out.
//   set-up  byte: bits 0-1 buffer depth, bits 2-3 depth buffer (none, fits,
//           one row too small, opened then freed), bits 4-5 texture (none,
//           selected, selected then undefined, zero or negative size),
//           bit 6 a palette screen;
//           buffer width - 1 and height - 1 (bytes, mod 200 and 150);
//           texture width and height - 1 (bytes, the height mod 64; a
//           width of 0 picks 40000 x 1, wider than 16.16 coordinates reach;
//           the height byte's top two bits choose the instruction-set level
//           of the fast paths, mod 3, and a run at a fast level is repeated
//           with the plain code and must leave the same pixels and words);
//           viewport x1, x2, y1, y2 and factor; near and far plane;
//           render flags; object position and three angles.
//   ops     0 draw a polygon through the pipeline; 1 call one mapper
//           directly; 2 start new depth frames; 3 new render flags;
//           4 clip a list directly; 5 project a list directly;
//           6 new object transform; 7 new depth planes.
//
// Lists always have exactly the length the call is told, so any read past
// them is caught. Besides the sanitizers it checks: every result as
// documented; no pixel written by a call that must draw nothing (no texture,
// no fitting depth buffer for a depth-tested mapper, fewer than 2 vertices);
// every depth word's stamp byte no newer than the current frame's; the
// clipped list within n + n/2 entries with every z above the near plane or
// on it.
#include <algorithm>
#include <memory>
#include <vector>

#include "fuzz/fuzz_support.h"

namespace {

constexpr int MAX_OPERATIONS = 48;
constexpr uint32_t MAX_LIST = 400;  // beyond the pipeline's 142 and 320

struct Scene {
    int32_t depth = 16;
    bool depth_fits = false;   // a depth buffer covering the open buffer is open
    bool has_texture = false;  // a texture with a positive size is current
    std::vector<uint8_t> texture;
};

uint32_t checksum(const uint8_t* p, size_t n) {
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 16777619u;
    return h;
}

uint32_t buffer_checksum() { return checksum(gx_state.active_pixels, fuzz::active_bytes()); }

void check_depth_words() {
    if (gx_state.depth_buffer == nullptr) return;
    const uint64_t words = std::min<uint64_t>(gx_state.depth_buffer_words,
                                              static_cast<uint64_t>(gx_state.active_width) *
                                                  static_cast<uint64_t>(gx_state.active_height));
    const uint32_t stamp = gx_state.depth_stamp >> 24;
    for (uint64_t i = 0; i < words; ++i) {
        FUZZ_CHECK((gx_state.depth_buffer[i] >> 24) <= stamp, "depth value spilled into the stamp");
    }
}

uint32_t list_length(fuzz::Input& in) {
    const uint16_t raw = in.u16();
    // Mostly short polygons; sometimes long ones past the work-area limits.
    return (raw & 0x8000) != 0 ? (raw & 0x7FFF) % (MAX_LIST + 1) : (raw & 0x7FFF) % 9;
}

std::vector<TexCoord> texcoords(fuzz::Input& in, uint32_t n) {
    std::vector<TexCoord> list(n);
    const bool raw = (in.u8() & 1) != 0;
    for (TexCoord& t : list) {
        if (raw) {
            t = {in.any_int(), in.any_int()};
        } else {
            // Mostly inside a 64-texel texture, sometimes a little outside.
            t = {static_cast<int8_t>(in.u8()), static_cast<int8_t>(in.u8())};
        }
    }
    return list;
}

// Does a call that tests depth have a depth buffer it may use?
bool draws_nothing(bool uses_depth, uint32_t count, const Scene& scene) {
    return count < 2 || !scene.has_texture || (uses_depth && !scene.depth_fits);
}

void pipeline_polygon(fuzz::Input& in, const Scene& scene) {
    const uint32_t n = list_length(in);
    std::unique_ptr<Vertex3[]> vertices(new Vertex3[n == 0 ? 1 : n]);
    const double near_plane = gx_state.near_plane;
    for (uint32_t i = 0; i < n; ++i) {
        vertices[i].x = in.any_double();
        vertices[i].y = in.any_double();
        vertices[i].z = in.any_double(near_plane);
    }
    const std::vector<TexCoord> tex = texcoords(in, n);
    const uint32_t before = buffer_checksum();
    const bool uses_depth = (gx_state.render_flags & RF_DEPTH) != 0;
    // The pipeline takes the count as unsigned; tell it nothing longer than the list.
    FUZZ_CHECK(gx_3d_texture_polygon(vertices.get(), n == 0 ? nullptr : tex.data(), n) == 0,
               "pipeline result");
    if (draws_nothing(uses_depth, n, scene)) {
        FUZZ_CHECK(buffer_checksum() == before, "pipeline drew what must draw nothing");
    }
    check_depth_words();
}

void direct_mapper(fuzz::Input& in, const Scene& scene) {
    const uint8_t which = in.u8() & 3;
    const uint32_t n = list_length(in);
    std::vector<ScreenPoint> points(n);
    const bool small = (in.u8() & 1) != 0;
    for (ScreenPoint& p : points) {
        if (small) {
            // Around the buffer, a little beyond each edge.
            p = {static_cast<int16_t>(in.u16()) % 260 - 30,
                 static_cast<int16_t>(in.u16()) % 200 - 25};
        } else {
            p = {in.any_int(), in.any_int()};
        }
    }
    const std::vector<TexCoord> tex = texcoords(in, n);
    std::vector<Vertex3> camera(n);
    for (Vertex3& c : camera) c = {0.0, 0.0, in.any_double(1.0)};

    const ScreenPoint* pts = n == 0 ? nullptr : points.data();
    const TexCoord* tcs = n == 0 ? nullptr : tex.data();
    const Vertex3* cam = n == 0 ? nullptr : camera.data();
    const uint32_t before = buffer_checksum();
    int32_t result = 0;
    switch (which) {
        case 0: result = gx_texmap_persp_depth(pts, tcs, cam, n); break;
        case 1: result = gx_texmap_persp(pts, tcs, cam, n); break;
        case 2: result = gx_texmap_affine_depth(pts, tcs, cam, n); break;
        default: result = gx_texmap_affine(pts, tcs, n); break;
    }
    FUZZ_CHECK(result == 0, "mapper result");
    if (draws_nothing(which == 0 || which == 2, n, scene)) {
        FUZZ_CHECK(buffer_checksum() == before, "mapper drew what must draw nothing");
    }
    check_depth_words();
}

void direct_clip(fuzz::Input& in) {
    const uint32_t n = list_length(in);
    std::vector<Vertex3> source(n);
    std::vector<TexCoord> source_tex(n);
    const double near_plane = gx_state.near_plane;
    for (uint32_t i = 0; i < n; ++i) {
        source[i] = {in.any_double(), in.any_double(), in.any_double(near_plane)};
        source_tex[i] = {in.any_int(), in.any_int()};
    }
    const uint32_t room = n + n / 2;
    std::vector<Vertex3> target(room);
    std::vector<TexCoord> target_tex(room);
    const int32_t kept = gx_3d_clip(
        n == 0 ? nullptr : source.data(), room == 0 ? nullptr : target.data(),
        n == 0 ? nullptr : source_tex.data(), room == 0 ? nullptr : target_tex.data(), n);
    FUZZ_CHECK(kept >= 0 && static_cast<uint32_t>(kept) <= room, "clip count out of range");
    for (int32_t i = 0; i < kept; ++i) {
        FUZZ_CHECK(target[static_cast<size_t>(i)].z >= near_plane,
                   "clipped vertex before the near plane");
    }
}

void direct_project(fuzz::Input& in) {
    const uint32_t n = list_length(in);
    std::vector<Vertex3> camera(n);
    for (Vertex3& c : camera) c = {in.any_double(), in.any_double(), in.any_double(1.0)};
    std::vector<ScreenPoint> screen(n);
    const int32_t result = gx_3d_project(n == 0 ? nullptr : camera.data(),
                                         n == 0 ? nullptr : screen.data(), n);
    FUZZ_CHECK(result == 0 || result == -1, "project result");
    for (const ScreenPoint& p : screen) {
        const bool inside = p.x >= -GX_COORD_LIMIT && p.x <= GX_COORD_LIMIT &&
                            p.y >= -GX_COORD_LIMIT && p.y <= GX_COORD_LIMIT;
        FUZZ_CHECK(inside || result == -1, "projected point beyond the limit without a failure");
    }
}

void set_object(fuzz::Input& in) {
    const double x = in.any_double(), y = in.any_double(), z = in.any_double();
    const int32_t ax = in.any_int(), ay = in.any_int(), az = in.any_int();
    gx_3d_set_object(x, y, z, ax, ay, az);
}

// What one run left in the buffer and the depth buffer, for comparing
// instruction-set levels.
struct Outcome {
    std::vector<uint8_t> pixels;
    std::vector<uint32_t> depth_words;
};

Outcome draw_once(const uint8_t* data, size_t size, int32_t simd_level) {
    Outcome outcome;
    fuzz::Input in(data, size);
    const uint8_t setup = in.u8();
    Scene scene;
    scene.depth = fuzz::depth_of(setup);
    const int32_t width = in.u8() % 200 + 1;
    const int32_t height = in.u8() % 150 + 1;

    fuzz::Session session((setup & 0x40) != 0 ? 8 : 32);
    fuzz::select_simd(simd_level);
    if (fuzz::open_buffer(scene.depth, width, height) < 0) return outcome;

    // Depth buffer.
    uint32_t* depth_buffer = nullptr;
    switch ((setup >> 2) & 3) {
        case 1:
            depth_buffer = gx_depthbuf_alloc(width, height);
            gx_depthbuf_open(depth_buffer);
            scene.depth_fits = depth_buffer != nullptr;
            break;
        case 2:
            depth_buffer = gx_depthbuf_alloc(width, height - 1);
            gx_depthbuf_open(depth_buffer);
            break;
        case 3:
            // A freed buffer must not stay in use.
            gx_depthbuf_open(gx_depthbuf_alloc(width, height));
            gx_depthbuf_free(gx_state.depth_buffer);
            break;
        default: break;
    }

    // Texture, in the caller's memory of exactly width x height texels.
    const int32_t texel_bytes = scene.depth == 32 ? 3 : scene.depth / 8;
    int32_t tex_w = in.u8();
    int32_t tex_h = in.u8() % 64 + 1;
    if (tex_w == 0) {
        tex_w = 40000;
        tex_h = 1;
    }
    const int texture_mode = (setup >> 4) & 3;
    gx_texture_table_alloc(2);
    if (texture_mode != 0) {
        scene.texture.resize(static_cast<size_t>(tex_w) * static_cast<size_t>(tex_h) *
                             static_cast<size_t>(texel_bytes));
        for (size_t i = 0; i < scene.texture.size(); ++i)
            scene.texture[i] = static_cast<uint8_t>(i * 7 + 1);
        int32_t defined_w = tex_w;
        int32_t defined_h = tex_h;
        if (texture_mode == 3) {
            // A texture that claims no texels.
            defined_w = (in.u8() & 1) != 0 ? 0 : -tex_w;
            defined_h = (in.u8() & 1) != 0 ? tex_h : -1;
        }
        const int32_t slot = gx_texture_define(scene.texture.data(), defined_w, defined_h);
        gx_texture_select(slot);
        // Undefining keeps the current texture in force.
        if (texture_mode == 2) gx_texture_undefine(-1);
        scene.has_texture = texture_mode != 3;
    }

    const int32_t x1 = in.any_int(), x2 = in.any_int(), y1 = in.any_int(), y2 = in.any_int();
    gx_3d_viewport(x1, x2, y1, y2, in.any_double(0.5));
    const double near_plane = in.any_double(1.0);
    gx_3d_clip_planes(near_plane, in.any_double(1000.0));
    gx_3d_render_flags(in.u32());
    set_object(in);
    // A plain viewport over the buffer half the time, so that most polygons
    // land on it.
    if ((setup & 0x80) != 0) gx_3d_viewport(0, width - 1, 0, height - 1, 0.5);

    for (int op = 0; op < MAX_OPERATIONS && !in.empty(); ++op) {
        switch (in.u8() & 7) {
            case 0: pipeline_polygon(in, scene); break;
            case 1: direct_mapper(in, scene); break;
            case 2: {
                const int frames = in.u8() + 1;
                for (int i = 0; i < frames; ++i) gx_depthbuf_clear();
                check_depth_words();
                break;
            }
            case 3: gx_3d_render_flags(in.u32()); break;
            case 4: direct_clip(in); break;
            case 5: direct_project(in); break;
            case 6: set_object(in); break;
            default: {
                const double n = in.any_double(1.0);
                gx_3d_clip_planes(n, in.any_double(1000.0));
                break;
            }
        }
    }

    outcome.pixels.assign(gx_state.active_pixels, gx_state.active_pixels + fuzz::active_bytes());
    if (gx_state.depth_buffer != nullptr) {
        const size_t words = std::min<size_t>(
            gx_state.depth_buffer_words, static_cast<size_t>(width) * static_cast<size_t>(height));
        outcome.depth_words.assign(gx_state.depth_buffer, gx_state.depth_buffer + words);
    }
    gx_texture_undefine(-1);
    if (depth_buffer != nullptr) gx_depthbuf_free(depth_buffer);
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The top two bits of the texture height byte choose the instruction-set
    // level of the fast paths; a run at a fast level is repeated with the
    // plain code and must leave exactly the same pixels and depth words.
    const int32_t level = size > 4 ? (data[4] >> 6) % 3 : 0;
    const Outcome fast = draw_once(data, size, level);
    if (fuzz::has_simd_levels() && level != 0) {
        const Outcome plain = draw_once(data, size, 0);
        FUZZ_CHECK(fast.pixels == plain.pixels, "pixels differ from the plain code's");
        FUZZ_CHECK(fast.depth_words == plain.depth_words,
                   "depth words differ from the plain code's");
    }
    return 0;
}
