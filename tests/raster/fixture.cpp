#include "fixture.h"

#include <cstring>

#include "gfx/simd.h"
#include "platform/headless/headless.h"

std::string mapper_name(Mapper mapper) {
    static const char* const names[] = {"PerspDepth", "Persp", "AffineDepth", "Affine"};
    return names[static_cast<int>(mapper)];
}

int32_t draw_raw(Mapper mapper, const ScreenPoint* points, const TexCoord* texcoords,
                 const Vertex3* camera, uint32_t count) {
    switch (mapper) {
        case Mapper::PerspDepth: return gx_texmap_persp_depth(points, texcoords, camera, count);
        case Mapper::Persp: return gx_texmap_persp(points, texcoords, camera, count);
        case Mapper::AffineDepth: return gx_texmap_affine_depth(points, texcoords, camera, count);
        case Mapper::Affine: return gx_texmap_affine(points, texcoords, count);
    }
    return -1;
}

int32_t draw(Mapper mapper, const std::vector<ScreenPoint>& points,
             const std::vector<TexCoord>& texcoords, const std::vector<double>& z) {
    std::vector<Vertex3> camera;
    for (double depth : z) camera.push_back({0.0, 0.0, depth});
    return draw_raw(mapper, points.data(), texcoords.data(), camera.data(),
                    static_cast<uint32_t>(points.size()));
}

int32_t draw_flat(Mapper mapper, const std::vector<ScreenPoint>& points,
                  const std::vector<TexCoord>& texcoords, double z) {
    return draw(mapper, points, texcoords, std::vector<double>(points.size(), z));
}

std::vector<ScreenPoint> square(int32_t x, int32_t y, int32_t size) {
    return {{x, y}, {x + size, y}, {x + size, y + size}, {x, y + size}};
}

void RasterTest::SetUp() {
    gx_state = GraphicsState{};
    headless_reset();
    dc_ = headless_window_dc(64, 64);
    gx_set_dc(dc_);
    palette_ = gx_create_palette();
    gx_realize_palette(palette_);
    gx_initialize();
    ASSERT_EQ(gx_texture_table_alloc(4), 0);
}

void RasterTest::close_canvas() {
    gx_buffer_close();
    if (slot_ >= 0) gx_buffer_free(slot_);
    if (depth_ != nullptr) gx_depthbuf_free(depth_);
    slot_ = -1;
    depth_ = nullptr;
}

void RasterTest::TearDown() {
    gx_simd_select(gx_simd_supported());
    close_canvas();
    gx_texture_undefine(-1);
    gx_shutdown();
    pf_delete_object(pf_as_object(palette_));
    pf_delete_dc(dc_);
}

void RasterTest::open_canvas(int32_t depth, int32_t width, int32_t height) {
    close_canvas();
    gx_set_buffer_depth(depth);
    slot_ = gx_buffer_alloc(width, height);
    ASSERT_GE(slot_, 0);
    ASSERT_EQ(gx_buffer_open(slot_), 0);
    width_ = gx_state.active_width;
    height_ = gx_state.active_height;
    depth_ = gx_depthbuf_alloc(width, height);
    ASSERT_NE(depth_, nullptr);
    gx_depthbuf_open(depth_);
    gx_depthbuf_clear();  // stamp 1: the first frame
    clear_pixels();
}

void RasterTest::clear_pixels() {
    std::memset(gx_state.active_pixels, BACKGROUND, static_cast<size_t>(gx_state.active_size));
}

uint32_t RasterTest::texel_value(int32_t u, int32_t v) const {
    const auto u8 = static_cast<uint32_t>(u & 0xFF), v8 = static_cast<uint32_t>(v & 0xFF);
    if (gx_state.active_depth == 16)
        return static_cast<uint32_t>(v * (texture_width_ > 64 ? 8192 : 64) + u);
    if (gx_state.active_depth >= 24) return u8 | v8 << 8 | 0x5A0000u;
    return (u8 + v8 * 37) & 0xFF;  // distinct within any 16 x 4 texels
}

void RasterTest::define_texture(int32_t width, int32_t height,
                                const std::function<uint32_t(int32_t, int32_t)>& texel) {
    texture_width_ = width;
    const int32_t depth = gx_state.active_depth;
    const size_t size = depth == 16 ? 2 : depth >= 24 ? 3 : 1;
    const auto w = static_cast<size_t>(width);
    texture_ = std::vector<uint8_t>(size * w * static_cast<size_t>(height));  // no spare capacity
    uint8_t* texels = texture_.data();
    for (size_t i = 0; i < texture_.size() / size; ++i) {
        const uint32_t value = texel(static_cast<int32_t>(i % w), static_cast<int32_t>(i / w));
        std::memcpy(texels + i * size, &value, size);
    }
    if (texture_slot_ >= 0) gx_texture_undefine(texture_slot_);
    texture_slot_ = gx_texture_define(texels, width, height);
    ASSERT_GE(texture_slot_, 0);
    gx_texture_select(texture_slot_);
}

void RasterTest::use_texture(int32_t width, int32_t height) {
    define_texture(width, height, [this](int32_t u, int32_t v) { return texel_value(u, v); });
}

void RasterTest::use_plain_texture(int32_t width, int32_t height, uint32_t value) {
    define_texture(width, height, [value](int32_t, int32_t) { return value; });
}

uint32_t RasterTest::pixel(int32_t x, int32_t y) const {
    const int32_t bytes = gx_state.active_depth / 8;
    const uint8_t* p = gx_pixel_address(x, y, bytes);
    uint32_t value = 0;
    std::memcpy(&value, p, static_cast<size_t>(bytes));
    return value;
}

uint32_t RasterTest::background() const {
    uint32_t value = 0;
    std::memset(&value, BACKGROUND, static_cast<size_t>(gx_state.active_depth / 8));
    return value;
}

int32_t RasterTest::drawn_count() const {
    int32_t count = 0;
    for (int32_t y = 0; y < height_; ++y)
        for (int32_t x = 0; x < width_; ++x) count += pixel(x, y) != background() ? 1 : 0;
    return count;
}
