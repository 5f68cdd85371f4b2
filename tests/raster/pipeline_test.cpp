// The mappers behind the polygon pipeline, in the program's 640 x 480
// setting: viewport (0, 639, 0, 479) at 0.5, planes 40 and 1000.
#include "fixture.h"

namespace {

class ThroughPipeline : public RasterTest, public ::testing::WithParamInterface<Mapper> {
protected:
    void SetUp() override {
        RasterTest::SetUp();
        open_canvas(16, 640, 480);
        use_texture(64, 64);
        gx_3d_viewport(0, 639, 0, 479, 0.5);
        gx_3d_clip_planes(40.0, 1000.0);
        const uint32_t flags = RF_CLIP | (is_perspective(GetParam()) ? RF_PERSPECTIVE : 0u) |
                               (has_depth(GetParam()) ? RF_DEPTH : 0u);
        gx_3d_render_flags(flags);
    }
};

// The cube's front face at (0, 0, 100), not turned: corners (400, 320),
// (240, 320), (240, 160) and (400, 160), 160 x 160 pixels.
TEST_P(ThroughPipeline, FrontFaceOfTheCube) {
    gx_3d_set_object(0.0, 0.0, 100.0, 0, 0, 0);
    const Vertex3 face[4] = {{20, -20, -20}, {-20, -20, -20}, {-20, 20, -20}, {20, 20, -20}};
    const TexCoord tex[4] = {{63, 63}, {0, 63}, {0, 0}, {63, 0}};
    gx_3d_texture_polygon(face, tex, 4);
    EXPECT_EQ(drawn_count(), 160 * 160);
    EXPECT_EQ(drawn_columns(160).front(), 240);
    EXPECT_EQ(drawn_columns(160).back(), 399);
    EXPECT_EQ(pixel(240, 160), texel_value(0, 0));
    EXPECT_EQ(pixel(399, 319), texel_value(63, 63));
    if (has_depth(GetParam()))
        EXPECT_EQ(depth_word(300, 200), gx_state.depth_stamp + 0x33333u);  // 1/80
}

// The tilted rectangle of the fill-rate benchmark: on screen (16, 12),
// (624, 103), (624, 377), (16, 468). Row y spans columns 16 to the right
// boundary's ceiling, 222010 pixels in all.
TEST_P(ThroughPipeline, TiltedRectangleCoverage) {
    const Vertex3 quad[4] = {
        {-57.0, 42.75, 60.0}, {95.0, 42.75, 100.0}, {95.0, -42.75, 100.0}, {-57.0, -42.75, 60.0}};
    const TexCoord tex[4] = {{0, 0}, {63, 0}, {63, 63}, {0, 63}};
    gx_3d_texture_polygon(quad, tex, 4);
    EXPECT_EQ(drawn_count(), 222010);
    EXPECT_TRUE(drawn_columns(12).empty());  // the top corner's row: 16 up to ceil(16)
    EXPECT_EQ(drawn_columns(13),
              (std::vector<int32_t>{16, 17, 18, 19, 20, 21, 22}));  // ceil(16 + 608 / 91) = 23
    EXPECT_EQ(drawn_columns(200).front(), 16);
    EXPECT_EQ(drawn_columns(200).back(), 623);
    EXPECT_TRUE(drawn_columns(468).empty());
}

INSTANTIATE_TEST_SUITE_P(AllMappers, ThroughPipeline, ::testing::ValuesIn(ALL_MAPPERS),
                         [](const auto& info) { return mapper_name(info.param); });

}  // namespace
