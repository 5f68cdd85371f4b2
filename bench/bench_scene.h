// The program's drawing set-up, shared by the raster benchmarks and the
// peer-comparison mode: a 640 x 480 16-bit buffer with a depth buffer,
// viewport (0, 639, 0, 479) at 0.5, planes 40 and 1000, render flags 13 and
// six 64 x 64 textures. Also the two workloads the peers time: the tilted
// fill quad and whole cube frames.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "app/scene.h"
#include "gfx/gfx.h"
#include "platform/headless/headless.h"

namespace bench {

inline constexpr int32_t WIDTH = 640;
inline constexpr int32_t HEIGHT = 480;
inline constexpr int32_t TEXTURE_SIZE = 64;
inline constexpr int32_t FACES = 6;

// A checker of 8-texel squares with noise, one colour pair per face; never
// white, so covered pixels can be told from the cleared background.
inline std::vector<uint16_t> make_texture(uint32_t face) {
    std::vector<uint16_t> texels(TEXTURE_SIZE * TEXTURE_SIZE);
    uint32_t noise = 0x9E3779B9u * (face + 1);
    for (int32_t v = 0; v < TEXTURE_SIZE; ++v) {
        for (int32_t u = 0; u < TEXTURE_SIZE; ++u) {
            noise = noise * 1664525u + 1013904223u;
            const bool dark = ((u / 8) + (v / 8)) % 2 != 0;
            const uint32_t base = dark ? 0x2104u * (face + 1) : 0xC618u - 0x0821u * face;
            texels[static_cast<size_t>(v * TEXTURE_SIZE + u)] = static_cast<uint16_t>(
                (base ^ (noise >> 27)) & 0xFFDF);
        }
    }
    return texels;
}

// A texture's 5-6-5 texels widened to 8-8-8 for 32-bit buffers.
inline std::vector<uint32_t> widen(const std::vector<uint16_t>& texels) {
    std::vector<uint32_t> wide(texels.size());
    for (size_t i = 0; i < texels.size(); ++i) {
        const uint32_t t = texels[i];
        wide[i] = ((t >> 11) << 19) | (((t >> 5) & 63) << 10) | ((t & 31) << 3);
    }
    return wide;
}

// Widened texels as 3-byte texels for 24-bit buffers.
inline std::vector<uint8_t> pack24(const std::vector<uint32_t>& wide) {
    std::vector<uint8_t> bytes;
    for (const uint32_t t : wide) {
        for (int k = 0; k < 3; ++k) bytes.push_back(static_cast<uint8_t>(t >> (8 * k)));
    }
    return bytes;
}

// A texture's texels as 8-bit colour indices (below 128, so never the
// white background's 255) for 8-bit buffers.
inline std::vector<uint8_t> narrow(const std::vector<uint16_t>& texels) {
    std::vector<uint8_t> indices(texels.size());
    for (size_t i = 0; i < texels.size(); ++i) {
        indices[i] = static_cast<uint8_t>((texels[i] ^ (texels[i] >> 8)) & 0x7F);
    }
    return indices;
}

// The library started headless with the program's buffer (16 bits unless
// asked for 8, 24 or 32), depth buffer, view, planes, flags and six textures;
// torn down at the end.
class Scene {
public:
    explicit Scene(int32_t bits = 16) {
        headless_reset();
        gx_state = GraphicsState{};
        window_ = headless_window_dc(WIDTH, HEIGHT);
        gx_set_dc(window_);
        gx_initialize();
        gx_set_buffer_depth(bits);
        buffer_ = gx_buffer_alloc(WIDTH, HEIGHT);
        gx_buffer_open(buffer_);
        depth_ = gx_depthbuf_alloc(WIDTH, HEIGHT);
        gx_depthbuf_open(depth_);
        gx_3d_viewport(0, WIDTH - 1, 0, HEIGHT - 1, 0.5);
        gx_3d_clip_planes(40.0, 1000.0);
        gx_3d_render_flags(13);
        gx_texture_table_alloc(FACES);
        for (int32_t i = 0; i < FACES; ++i) {
            textures_.push_back(make_texture(static_cast<uint32_t>(i)));
            wide_textures_.push_back(widen(textures_.back()));
            byte_textures_.push_back(bits == 8 ? narrow(textures_.back())
                                               : pack24(wide_textures_.back()));
            void* texels = bits == 32   ? static_cast<void*>(wide_textures_.back().data())
                           : bits == 16 ? static_cast<void*>(textures_.back().data())
                                        : static_cast<void*>(byte_textures_.back().data());
            slots_[i] = gx_texture_define(texels, TEXTURE_SIZE, TEXTURE_SIZE);
        }
        gx_texture_select(slots_[0]);
    }
    ~Scene() {
        gx_buffer_close();
        gx_texture_undefine(-1);
        gx_depthbuf_free(depth_);
        gx_buffer_free(buffer_);
        gx_shutdown();
        pf_delete_dc(window_);
    }
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    int32_t slot(int32_t face) const { return slots_[face]; }

    // Pixels that differ from the top left one, which every workload here
    // leaves as the cleared background.
    static int64_t covered() {
        const auto size = static_cast<size_t>((gx_state.active_depth + 7) / 8);
        const uint8_t* background = gx_state.active_pixels;
        int64_t n = 0;
        for (int32_t y = 0; y < HEIGHT; ++y) {
            const uint8_t* row = gx_state.active_pixels +
                                 static_cast<ptrdiff_t>(y) * gx_state.active_pitch;
            for (int32_t x = 0; x < WIDTH; ++x) {
                n += std::memcmp(row + static_cast<size_t>(x) * size, background, size) != 0;
            }
        }
        return n;
    }

private:
    PfDC window_ = nullptr;
    int32_t buffer_ = -1;
    uint32_t* depth_ = nullptr;
    std::vector<std::vector<uint16_t>> textures_;
    std::vector<std::vector<uint32_t>> wide_textures_;
    std::vector<std::vector<uint8_t>> byte_textures_;  // 8- or 24-bit texels
    int32_t slots_[FACES] = {};
};

inline void clear_white() {
    gx_set_color(-1);
    gx_fill_buffer();
}

// ---- The tilted fill quad -----------------------------------------------------
//
// A plane rectangle tilted about the vertical axis, its left edge at
// x = -57, z = 60 and its right edge at x = 95, z = 100, y = +-42.75,
// projected with scale 320 about (320, 240): a trapezoid over 72 % of the
// screen, with one 64 x 64 texture across it and 1/z changing 1.67 : 1.

enum Mapper { PERSP_DEPTH, PERSP, AFFINE_DEPTH, AFFINE };

struct FillQuad {
    // Clockwise on the screen: top left, top right, bottom right, bottom left.
    Vertex3 camera[4] = {
        {-57.0, 42.75, 60.0}, {95.0, 42.75, 100.0}, {95.0, -42.75, 100.0}, {-57.0, -42.75, 60.0}};
    TexCoord texcoords[4] = {{0, 0}, {63, 0}, {63, 63}, {0, 63}};
    ScreenPoint points[4] = {};

    FillQuad() { gx_3d_project(camera, points, 4); }  // (16, 12) (624, 103) (624, 377) (16, 468)

    // One fill: a new depth frame (so that every pixel passes the test
    // again) and the quad.
    void draw(Mapper mapper) const {
        gx_depthbuf_clear();
        switch (mapper) {
            case PERSP_DEPTH: gx_texmap_persp_depth(points, texcoords, camera, 4); break;
            case PERSP: gx_texmap_persp(points, texcoords, camera, 4); break;
            case AFFINE_DEPTH: gx_texmap_affine_depth(points, texcoords, camera, 4); break;
            case AFFINE: gx_texmap_affine(points, texcoords, 4); break;
        }
    }

    // Pixels one fill covers.
    int64_t pixels(Mapper mapper) const {
        clear_white();
        draw(mapper);
        return Scene::covered();
    }
};

// ---- Cube frames --------------------------------------------------------------
//
// Depth clear, white fill, object transform and the six faces of the 40-unit
// cube at (0, 0, 100), turned 42, 30 and 18 degrees about x, y and z (the
// transform turns about x first), or not turned. Angles in tenths of a degree.

inline void cube_frame(const Scene& scene, bool turned) {
    gx_depthbuf_clear();
    clear_white();
    gx_3d_set_object(0.0, 0.0, 100.0, turned ? 420 : 0, turned ? 300 : 0, turned ? 180 : 0);
    for (int32_t i = 0; i < FACES; ++i) {
        gx_texture_select(scene.slot(i));
        gx_3d_texture_polygon(cube_faces[i], face_texcoords, 4);
    }
}

}  // namespace bench
