// The edge walk shared by the four texture mappers: two walkers descend the
// polygon's two boundary chains from the top vertex to the bottom vertex,
// one going backward through the vertex list and one forward. Each carries
// the boundary's column, stepped with an integer error term so that on the
// k-th row of an edge it is exactly ceil(x_s + k * dx / dy), and the values
// the mapper interpolates: u/z, v/z and 1/z in doubles (PerspectiveEdge), or
// 16.16 texel coordinates and optionally an 8.24 depth (AffineEdge,
// AffineDepthEdge).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "gfx/gfx.h"

namespace gx_raster {

// The polygon as the walkers read it, checked by the mapper beforehand:
// count within the work-area limit, the two chains never moving upward, and
// every z with 1/|z| in (0, 256).
struct PolygonInput {
    const ScreenPoint* points;
    const TexCoord* texcoords;
    const Vertex3* camera;  // null for the affine mapper without depth
    int32_t count;
    int32_t top;
    int32_t bottom;
    int32_t max_u;  // texture coordinates are clamped to 0..max_u, 0..max_v
    int32_t max_v;
};

// 1/|z| of a vertex, as the depth and perspective values use it.
inline double inverse_depth(const PolygonInput& polygon, int32_t vertex) {
    return std::fabs(1.0 / polygon.camera[vertex].z);
}

inline int32_t clamped_u(const PolygonInput& polygon, int32_t vertex) {
    return std::clamp(polygon.texcoords[vertex].u, 0, polygon.max_u);
}

inline int32_t clamped_v(const PolygonInput& polygon, int32_t vertex) {
    return std::clamp(polygon.texcoords[vertex].v, 0, polygon.max_v);
}

// A vertex's 8.24 depth, held below the stamp byte. The polygon check keeps
// 1/|z| below 256, so the product fits 32 bits before it is clamped.
inline uint32_t vertex_depth(const PolygonInput& polygon, int32_t vertex) {
    const auto depth = static_cast<uint32_t>(inverse_depth(polygon, vertex) * 16777216.0);
    return std::min<uint32_t>(depth, 0xFFFFFF);
}

// A whole texel coordinate (0..32767) in 16.16.
inline int32_t to_16_16(int32_t texel) {
    return static_cast<int32_t>(static_cast<uint32_t>(texel) << 16);
}

// ---- Interpolated values: set up per edge, stepped per row ----------------

inline void setup_values(PerspectiveEdge& edge, const PolygonInput& polygon, int32_t s, int32_t e,
                         int32_t dy) {
    const double w_s = inverse_depth(polygon, s);
    const double w_e = inverse_depth(polygon, e);
    const double u_s = clamped_u(polygon, s);
    const double v_s = clamped_v(polygon, s);
    const double u_e = clamped_u(polygon, e);
    const double v_e = clamped_v(polygon, e);
    edge.w = w_s;
    edge.u_z = u_s * w_s;
    edge.v_z = v_s * w_s;
    edge.end_w = w_e;
    const double per_row = 1.0 / dy;
    edge.u_z_step = (u_e * w_e - u_s * w_s) * per_row;
    edge.v_z_step = (v_e * w_e - v_s * w_s) * per_row;
    edge.w_step = (w_e - w_s) * per_row;
}

inline void advance_values(PerspectiveEdge& edge) {
    edge.u_z += edge.u_z_step;
    edge.v_z += edge.v_z_step;
    edge.w += edge.w_step;
}

template <class Edge>
inline void setup_texels(Edge& edge, const PolygonInput& polygon, int32_t s, int32_t e,
                         int32_t dy) {
    edge.u = to_16_16(clamped_u(polygon, s));
    edge.v = to_16_16(clamped_v(polygon, s));
    // Clamped coordinates keep both ends below 2^31, so the differences fit.
    edge.u_step = (to_16_16(clamped_u(polygon, e)) - edge.u) / dy;
    edge.v_step = (to_16_16(clamped_v(polygon, e)) - edge.v) / dy;
}

inline void setup_values(AffineEdge& edge, const PolygonInput& polygon, int32_t s, int32_t e,
                         int32_t dy) {
    setup_texels(edge, polygon, s, e, dy);
}

inline void setup_values(AffineDepthEdge& edge, const PolygonInput& polygon, int32_t s, int32_t e,
                         int32_t dy) {
    setup_texels(edge, polygon, s, e, dy);
    const uint32_t d_s = vertex_depth(polygon, s);
    const uint32_t d_e = vertex_depth(polygon, e);
    edge.d = d_s;
    edge.d_step = (static_cast<int32_t>(d_e) - static_cast<int32_t>(d_s)) / dy;
}

// 16.16 coordinates and the depth wrap modulo 2^32, as their formats do.
template <class Edge>
inline void advance_texels(Edge& edge) {
    edge.u = static_cast<int32_t>(static_cast<uint32_t>(edge.u) +
                                  static_cast<uint32_t>(edge.u_step));
    edge.v = static_cast<int32_t>(static_cast<uint32_t>(edge.v) +
                                  static_cast<uint32_t>(edge.v_step));
}

inline void advance_values(AffineEdge& edge) { advance_texels(edge); }

inline void advance_values(AffineDepthEdge& edge) {
    advance_texels(edge);
    edge.d += static_cast<uint32_t>(edge.d_step);
}

// ---- The walk --------------------------------------------------------------

// Starts the walker on the first edge from vertex s that is not horizontal.
// Returns false when the walk has ended (s is the bottom vertex).
template <class Edge>
bool edge_setup(Edge& edge, const PolygonInput& polygon, int32_t s) {
    for (;;) {
        if (s == polygon.bottom) return false;
        int32_t e = s + edge.direction;
        if (e < 0) {
            e = polygon.count - 1;
        } else if (e == polygon.count) {
            e = 0;
        }
        const ScreenPoint& start = polygon.points[s];
        const ScreenPoint& end = polygon.points[e];
        const int32_t dy = end.y - start.y;  // >= 0: the chains never move upward
        if (dy == 0) {
            s = e;
            continue;
        }
        edge.rows_left = dy;
        edge.end_vertex = e;
        edge.x = start.x;
        setup_values(edge, polygon, s, e, dy);

        const int32_t dx = end.x - start.x;
        const int32_t abs_dx = dx < 0 ? -dx : dx;
        edge.x_step = dx < 0 ? -(abs_dx / dy) : abs_dx / dy;
        edge.x_error_add = abs_dx % dy;
        edge.x_error_sub = dy;
        edge.x_carry = dx < 0 ? -1 : 1;
        edge.x_error = dx < 0 ? 1 - dy : 0;
        return true;
    }
}

// Moves the walker down one row. Returns false when the walk has ended.
template <class Edge>
bool edge_advance(Edge& edge, const PolygonInput& polygon) {
    if (--edge.rows_left == 0) return edge_setup(edge, polygon, edge.end_vertex);
    advance_values(edge);
    edge.x += edge.x_step;
    edge.x_error += edge.x_error_add;
    if (edge.x_error > 0) {
        edge.x += edge.x_carry;
        edge.x_error -= edge.x_error_sub;
    }
    return true;
}

}  // namespace gx_raster
