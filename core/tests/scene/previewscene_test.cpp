#include "scene/previewscene.h"

#include "d3drmfake.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

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
