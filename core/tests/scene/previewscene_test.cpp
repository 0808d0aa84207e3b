#include "scene/previewscene.h"

#include "d3drmfake.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace
{
std::vector<D3DVECTOR> Cube(float cx, float cy, float cz)
{
    std::vector<D3DVECTOR> corners;
    for (const float x : {-1.0f, 1.0f})
        for (const float y : {-1.0f, 1.0f})
            for (const float z : {-1.0f, 1.0f})
                corners.push_back({cx + x, cy + y, cz + z});
    return corners;
}
} // namespace

TEST(PreviewScene, FitPutsTheOutermostLinesOfSightAtTheAskedShare)
{
    TViewFit fit;
    // Square picture, field 0.5, 90%: the sides may be 0.45 across per unit ahead. The near
    // face's corners (+-1, +-1, -1) touch them when 1 = 0.45 (-1 - t): t = -29/9.
    ASSERT_TRUE(FitPointsInView(Cube(0, 0, 0), 100, 100, 0.5, 0.9, fit));
    EXPECT_NEAR(fit.Eye.x, 0, 1e-6);
    EXPECT_NEAR(fit.Eye.y, 0, 1e-6);
    EXPECT_FLOAT_EQ(fit.Eye.z, -29.0f / 9);
    EXPECT_FLOAT_EQ(fit.Nearest, 20.0f / 9);

    // Moved points move the eye with them.
    ASSERT_TRUE(FitPointsInView(Cube(5, 2, 0), 100, 100, 0.5, 0.9, fit));
    EXPECT_FLOAT_EQ(fit.Eye.x, 5);
    EXPECT_FLOAT_EQ(fit.Eye.y, 2);
    EXPECT_FLOAT_EQ(fit.Eye.z, -29.0f / 9);

    // Twice as wide as high: x may take 0.9 per unit, so the height decides (x alone would
    // need only t = -19/9).
    ASSERT_TRUE(FitPointsInView(Cube(0, 0, 0), 200, 100, 0.5, 0.9, fit));
    EXPECT_FLOAT_EQ(fit.Eye.z, -29.0f / 9);
    // Twice as high as wide: 0.225 across per unit, 1 = 0.225 (-1 - t) gives t = -49/9.
    ASSERT_TRUE(FitPointsInView(Cube(0, 0, 0), 100, 200, 0.5, 0.9, fit));
    EXPECT_FLOAT_EQ(fit.Eye.z, -49.0f / 9);

    // Perspective: (1, 0, 0) and (-1, 0, 2) with the full field (0.5 per unit) are seen from
    // (0.5, 0, -1): 0.5 / 1 to the right, -1.5 / 3 to the left.
    ASSERT_TRUE(FitPointsInView({{1, 0, 0}, {-1, 0, 2}}, 100, 100, 0.5, 1.0, fit));
    EXPECT_FLOAT_EQ(fit.Eye.x, 0.5f);
    EXPECT_NEAR(fit.Eye.y, 0, 1e-6);
    EXPECT_FLOAT_EQ(fit.Eye.z, -1);
    EXPECT_FLOAT_EQ(fit.Nearest, 1);
    // The looser axis is centred on the lines of sight, not on the points: with (0, 0.2, 0)
    // and (0, -0.2, 1) added, 0.2 - y = (y + 0.2) / 2 gives y = 1/15.
    ASSERT_TRUE(FitPointsInView({{1, 0, 0}, {-1, 0, 2}, {0, 0.2f, 0}, {0, -0.2f, 1}}, 100, 100, 0.5,
                                1.0, fit));
    EXPECT_FLOAT_EQ(fit.Eye.x, 0.5f);
    EXPECT_FLOAT_EQ(fit.Eye.y, 1.0f / 15);
    EXPECT_FLOAT_EQ(fit.Eye.z, -1);

    // Nothing, or everything on one line of sight, cannot be framed.
    EXPECT_FALSE(FitPointsInView({}, 100, 100, 0.5, 0.9, fit));
    EXPECT_FALSE(FitPointsInView({{1, 2, 3}, {1, 2, 3}}, 100, 100, 0.5, 0.9, fit));
}

TEST(PreviewScene, LooksGoToEachLoadedMeshBeforeItIsScaled)
{
    const auto log = std::make_shared<TFakeLog>();
    SetD3DPlatform(std::make_shared<TFakePlatform>(log));
    {
        TPreviewScene scene;
        scene.Build(nullptr);
        scene.CreateDevice(nullptr, 40, 30, 32);
        auto loadCalls = [&]
        {
            const std::size_t from = log->Calls.size();
            scene.LoadModel("model.x");
            std::vector<std::string> calls;
            for (const std::string& c : log->Since(from))
                if (c.find(".Load(") != std::string::npos ||
                    c.find(".SetFaceLooks(") != std::string::npos ||
                    c.find(".Scale(") != std::string::npos)
                    calls.push_back(c.substr(c.find('.')));
            return calls;
        };
        // Without looks the design's calls, nothing more.
        EXPECT_EQ(loadCalls(), (std::vector<std::string>{".Load(model.x)", ".Scale(2, 2, 2)"}));
        TFaceLooks looks;
        looks.FaceTextures = {-1, -1, 0};
        looks.Textures.resize(1);
        scene.SetFaceLooks(looks);
        const std::vector<std::string> withLooks = {
            ".Load(model.x)", ".SetFaceLooks(3 faces, 1 textures)", ".Scale(2, 2, 2)"};
        EXPECT_EQ(loadCalls(), withLooks);
        // Looks that do not fit the file are left off; any other failure is an error.
        log->Failures["SetFaceLooks"] = D3DRMERR_BADVALUE;
        EXPECT_EQ(loadCalls(), withLooks);
        log->Failures["SetFaceLooks"] = DDERR_GENERIC;
        EXPECT_THROW(scene.LoadModel("model.x"), EDirectX);
        scene.Release();
    }
    SetD3DPlatform(nullptr);
}
