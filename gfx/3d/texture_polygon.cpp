// One texture-mapped polygon from model space to the screen: transform,
// optional near clipping, projection, and hand-over to the rasterizer that
// the render flags choose. The work lists live in the state's fixed work
// areas, so nothing is allocated per polygon:
//
//   scratch_area:  camera list (n), [clipped camera list (n')], screen list (n')
//   input_buffer:  [clipped texture list (n')]
//
// (bracketed lists with RF_CLIP only; without it n' = n).
#include <cmath>
#include <cstdint>

#include "gfx/gfx.h"

namespace {

// Clipping turns n vertices into at most n + n / 2, so these are the largest
// polygons whose lists always fit.
constexpr uint32_t MAX_VERTICES_CLIPPED = 142;
constexpr uint32_t MAX_VERTICES_UNCLIPPED = 320;

constexpr uint32_t clipped_count(uint32_t n) { return n + n / 2; }

static_assert(sizeof(Vertex3) == 24 && sizeof(ScreenPoint) == 8 && sizeof(TexCoord) == 8);
static_assert(MAX_VERTICES_CLIPPED * sizeof(Vertex3) +
                  clipped_count(MAX_VERTICES_CLIPPED) * (sizeof(Vertex3) + sizeof(ScreenPoint)) <=
              GX_SCRATCH_SIZE);
static_assert(clipped_count(MAX_VERTICES_CLIPPED) * sizeof(TexCoord) <= GX_INPUT_BUFFER_SIZE);
static_assert(MAX_VERTICES_UNCLIPPED * (sizeof(Vertex3) + sizeof(ScreenPoint)) <= GX_SCRATCH_SIZE);
static_assert(alignof(Vertex3) <= 8 && alignof(TexCoord) <= 8 && alignof(ScreenPoint) <= 8);

bool all_finite(const Vertex3* list, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        if (!std::isfinite(list[i].x) || !std::isfinite(list[i].y) || !std::isfinite(list[i].z)) {
            return false;
        }
    }
    return true;
}

}  // namespace

int32_t gx_3d_texture_polygon(const Vertex3* vertices, const TexCoord* texcoords, uint32_t count) {
    if (count < 2) return 0;
    const uint32_t flags = gx_state.render_flags;
    const bool clip = (flags & RF_CLIP) != 0;
    // Polygons too large for the work areas are dropped, not overrun.
    if (count > (clip ? MAX_VERTICES_CLIPPED : MAX_VERTICES_UNCLIPPED)) return 0;

    auto* camera = reinterpret_cast<Vertex3*>(gx_state.scratch_area);
    gx_3d_transform(vertices, camera, count);
    if (!all_finite(camera, count)) return 0;

    Vertex3* current = camera;
    const TexCoord* current_tex = texcoords;
    uint32_t n = count;
    if (clip) {
        Vertex3* clipped = camera + count;
        auto* clipped_tex = reinterpret_cast<TexCoord*>(gx_state.input_buffer);
        const int32_t kept = gx_3d_clip(camera, clipped, texcoords, clipped_tex, count);
        if (kept <= 0) return 0;
        current = clipped;
        current_tex = clipped_tex;
        n = static_cast<uint32_t>(kept);
    }

    // Points behind the eye or too far out for 32-bit edge arithmetic make
    // the whole polygon undrawable.
    auto* screen = reinterpret_cast<ScreenPoint*>(current + n);
    if (gx_3d_project(current, screen, n) != 0) return 0;

    const bool perspective = (flags & RF_PERSPECTIVE) != 0;
    const bool depth = (flags & RF_DEPTH) != 0;
    if (perspective && depth) {
        gx_texmap_persp_depth(screen, current_tex, current, n);
    } else if (perspective) {
        gx_texmap_persp(screen, current_tex, current, n);
    } else if (depth) {
        gx_texmap_affine_depth(screen, current_tex, current, n);
    } else {
        gx_texmap_affine(screen, current_tex, n);
    }
    return 0;
}
