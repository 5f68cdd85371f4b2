// Shared set-up for the mapper tests: the library on the headless backend,
// one open buffer with a depth buffer of its size, and a texture in a block
// of exactly its size (the sanitizer build sees any read beyond it) whose
// texels encode where they come from, so a pixel tells which texel it shows.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "gfx/gfx.h"
#include "gfx/row_rule.h"

// The four mappers, as the render flags choose them.
enum class Mapper { PerspDepth, Persp, AffineDepth, Affine };
inline constexpr Mapper ALL_MAPPERS[] = {Mapper::PerspDepth, Mapper::Persp, Mapper::AffineDepth,
                                         Mapper::Affine};
inline bool has_depth(Mapper m) { return m == Mapper::PerspDepth || m == Mapper::AffineDepth; }
inline bool is_perspective(Mapper m) { return m == Mapper::PerspDepth || m == Mapper::Persp; }
std::string mapper_name(Mapper mapper);
inline std::string param_name(const testing::TestParamInfo<Mapper>& info) {
    return mapper_name(info.param);
}

int32_t draw_raw(Mapper mapper, const ScreenPoint* points, const TexCoord* texcoords,
                 const Vertex3* camera, uint32_t count);
// `z` is each vertex's camera depth (the affine mapper without depth gets none).
int32_t draw(Mapper mapper, const std::vector<ScreenPoint>& points,
             const std::vector<TexCoord>& texcoords, const std::vector<double>& z);
int32_t draw_flat(Mapper mapper, const std::vector<ScreenPoint>& points,
                  const std::vector<TexCoord>& texcoords, double z = 64.0);
// Square corners listed clockwise on the screen (row 0 at the top).
std::vector<ScreenPoint> square(int32_t x, int32_t y, int32_t size);

class RasterTest : public ::testing::Test {
protected:
    static constexpr uint8_t BACKGROUND = 0xEE;  // every pixel byte before drawing

    void SetUp() override;
    void TearDown() override;  // also selects the processor's own level again

    // A buffer and a depth buffer of that size, in place of any before.
    void open_canvas(int32_t depth, int32_t width = 128, int32_t height = 96);
    void close_canvas();
    // A current width x height texture. Texels per buffer depth:
    //   16 bits: v * 64 + u (v * 8192 + u for textures wider than 64)
    //   24, 32 bits: bytes u, v, 0x5A     8 bits: u
    void use_texture(int32_t width, int32_t height);
    // A texture whose texels all hold `value` (low bytes first).
    void use_plain_texture(int32_t width, int32_t height, uint32_t value);
    uint32_t texel_value(int32_t u, int32_t v) const;

    uint32_t pixel(int32_t x, int32_t y) const;  // the pixel's bytes, little-endian
    uint32_t background() const;
    int32_t drawn_count() const;
    uint32_t depth_word(int32_t x, int32_t y) const { return *gx_depth_word(x, y); }
    void clear_pixels();
    void new_frame() { gx_depthbuf_clear(); }  // as each frame of the program starts

    int32_t width_ = 0, height_ = 0;

private:
    void define_texture(int32_t width, int32_t height,
                        const std::function<uint32_t(int32_t, int32_t)>& texel);

    PfDC dc_ = nullptr;
    PfPalette palette_ = nullptr;
    int32_t slot_ = -1;
    uint32_t* depth_ = nullptr;
    int32_t texture_slot_ = -1;
    std::vector<uint8_t> texture_;
    int32_t texture_width_ = 0;
};
