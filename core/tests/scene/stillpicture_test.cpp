// Still pictures: the background where nothing was drawn, and a driver that cannot tell.
#include "scene/stillpicture.h"

#include "raster/softraster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace
{
// A square facing the camera, which the preview's framing shows small in the middle.
const char* const kSquare = "xof 0302txt 0064\nMesh {\n 4;\n 0.0;0.0;0.0;,\n 0.0;1.0;0.0;,\n"
                            " 1.0;1.0;0.0;,\n 1.0;0.0;0.0;;\n 1;\n 4;0,1,2,3;;\n}\n";

// Draws as the software driver does, but its pictures do not say which pixels were drawn.
class TNoCoverageDriver : public TDeviceDriver
{
public:
    TNoCoverageDriver(int width, int height) : FDriver(CreateSoftwareDriver(width, height)) {}
    void Clear(int x, int y, int width, int height, std::uint32_t color) override
    {
        FDriver->Clear(x, y, width, height, color);
    }
    void Render(const TRenderView& view) override { FDriver->Render(view); }
    const TFrameBuffer& Frame() override
    {
        FFrame = FDriver->Frame();
        FFrame.Coverage.clear();
        return FFrame;
    }

private:
    std::unique_ptr<TDeviceDriver> FDriver;
    TFrameBuffer FFrame;
};
} // namespace

TEST(StillPicture, BackgroundFillsWhatWasNotDrawn)
{
    TStillPicture picture;
    picture.Width = 40;
    picture.Height = 30;
    const TFrameBuffer cleared = DrawStillPicture(kSquare, picture);
    ASSERT_EQ(cleared.Pixels.size(), 40u * 30u);
    const auto black = std::count(cleared.Pixels.begin(), cleared.Pixels.end(), 0xFF000000u);
    EXPECT_GT(black, 900);
    picture.Background.Kind = TBackgroundKind::bkTransparent;
    const TFrameBuffer clear = DrawStillPicture(kSquare, picture);
    EXPECT_EQ(std::count(clear.Pixels.begin(), clear.Pixels.end(), 0u), black);
    EXPECT_EQ(clear.Pixels[15 * 40 + 20], cleared.Pixels[15 * 40 + 20]);
    EXPECT_EQ(clear.Pixels[15 * 40 + 20] >> 24, 0xFFu);

    // A driver that cannot tell the model from the rest draws, but cannot give a background.
    TDriverRegistration blind;
    blind.Guid = GUID{0x51ab5711u, 1, 2, {}};
    blind.Name = "blind";
    blind.Factory = [](int width, int height)
    { return std::make_unique<TNoCoverageDriver>(width, height); };
    RegisterD3DDriver(blind);
    picture.Driver = &blind.Guid;
    try
    {
        DrawStillPicture(kSquare, picture);
        ADD_FAILURE() << "a transparent background needs the drawn pixels";
    }
    catch (const EDirectX& e)
    {
        EXPECT_STREQ(e.what(), kNoCoverage);
    }
    picture.Background.Kind = TBackgroundKind::bkCleared;
    EXPECT_EQ(DrawStillPicture(kSquare, picture).Pixels, cleared.Pixels);
    UnregisterD3DDriver(blind.Guid);
}
