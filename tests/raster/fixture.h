// Shared set-up for the texture mapper tests: the library started on the
// headless backend, one open virtual buffer with an open depth buffer of
// the same size, and a texture in the caller's memory with guard bytes on
// both sides. Texels encode where they come from, so a pixel tells which
// texel it shows.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "gfx/gfx.h"

// The four mappers, as the render flags choose them.
enum class Mapper { PerspDepth, Persp, AffineDepth, Affine };

inline constexpr Mapper ALL_MAPPERS[] = {Mapper::PerspDepth, Mapper::Persp, Mapper::AffineDepth,
                                         Mapper::Affine};

bool has_depth(Mapper mapper);
bool is_perspective(Mapper mapper);
std::string mapper_name(Mapper mapper);

int32_t draw_raw(Mapper mapper, const ScreenPoint* points, const TexCoord* texcoords,
                 const Vertex3* camera, uint32_t count);
// Calls the mapper; `z` gives the camera depth of each vertex (the affine
// mapper without depth receives none).
int32_t draw(Mapper mapper, const std::vector<ScreenPoint>& points,
             const std::vector<TexCoord>& texcoords, const std::vector<double>& z);
// The same with the same z at every vertex.
int32_t draw_flat(Mapper mapper, const std::vector<ScreenPoint>& points,
                  const std::vector<TexCoord>& texcoords, double z = 64.0);

class RasterTest : public ::testing::Test {
protected:
    // Every pixel byte starts as this, so untouched pixels are recognised.
    static constexpr uint8_t BACKGROUND = 0xEE;
    static constexpr uint8_t GUARD = 0xA5;
    static constexpr size_t GUARD_BYTES = 64;

    void SetUp() override;
    void TearDown() override;

    // Allocates and opens a buffer and a depth buffer of that size, in
    // place of any opened before.
    void open_canvas(int32_t depth, int32_t width = 128, int32_t height = 96);
    void close_canvas();
    // Makes a width x height texture current. Texels per buffer depth:
    //   16 bits: v * 64 + u (v * 8192 + u for textures wider than 64)
    //   24, 32 bits: bytes u, v, 0x5A     8 bits: u
    void use_texture(int32_t width, int32_t height);
    // A texture whose texels all hold `value` (low bytes first).
    void use_plain_texture(int32_t width, int32_t height, uint32_t value);
    uint32_t texel_value(int32_t u, int32_t v) const;

    // The pixel's bytes as a little-endian value.
    uint32_t pixel(int32_t x, int32_t y) const;
    uint32_t background() const;
    bool drawn(int32_t x, int32_t y) const { return pixel(x, y) != background(); }
    int32_t drawn_count() const;
    // Columns drawn on row y, as a sorted list.
    std::vector<int32_t> drawn_columns(int32_t y) const;
    // The texel column and row a 16-bit pixel shows (needs a 16-bit canvas
    // and the encoding of use_texture).
    int32_t texel_u(int32_t x, int32_t y) const;
    int32_t texel_v(int32_t x, int32_t y) const;

    uint32_t depth_word(int32_t x, int32_t y) const;
    // Resets every pixel to the background.
    void clear_pixels();
    // A new depth frame, as each frame of the program starts one.
    void new_frame() { gx_depthbuf_clear(); }
    bool texture_guards_intact() const;

    int32_t width_ = 0;
    int32_t height_ = 0;

private:
    void define_texture(int32_t width, int32_t height,
                        const std::function<uint32_t(int32_t, int32_t)>& texel);

    PfDC dc_ = nullptr;
    PfPalette palette_ = nullptr;
    int32_t slot_ = -1;
    uint32_t* depth_ = nullptr;
    int32_t texture_slot_ = -1;
    std::vector<uint8_t> texture_;  // guard, texels, guard
    int32_t texture_width_ = 0;
};

// Square corners listed clockwise on the screen (row 0 at the top).
std::vector<ScreenPoint> square(int32_t x, int32_t y, int32_t size);
