// The mappers behind the polygon pipeline, in the program's 640 x 480
// setting: viewport (0, 639, 0, 479) at 0.5, planes 40 and 1000. (The
// cube's front face is drawn in 3d/texture_polygon_test.cpp.)
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
