// The software rasterizer behind the emulation driver: flat-shaded, lit, depth-tested solid
// polygons through a perspective camera, textured where a mesh has looks. The same input gives the
// same pixels on every run, whatever the number of threads used.
#pragma once

#include "scene/d3ddriver.h"
#include "raster/rastershared.h"

#include <cstdint>
#include <memory>
#include <vector>

// Owns its picture and depth buffer. Depth holds 1/z of the nearest surface drawn (0 for
// none): larger is nearer, and on a tie the surface drawn first stays.
class TSoftwareRasterizer : public TDeviceDriver
{
public:
    TSoftwareRasterizer(int width, int height);
    ~TSoftwareRasterizer() override;

    void Clear(int x, int y, int width, int height, std::uint32_t color) override;
    void Render(const TRenderView& view) override;
    const TFrameBuffer& Frame() override { return FFrame; }

    const std::vector<float>& Depth() const { return FDepth; }
    // Threads used for large scenes (1 or 2); small scenes always use one.
    void SetThreadCount(int count) { FThreadCount = count < 2 ? 1 : 2; }

private:
    struct TScreenVertex;
    // Draws the item's opaque faces, or its translucent ones.
    void RenderItem(const TRenderView& view, const TRenderItem& item, bool translucent);

    TFrameBuffer FFrame;
    std::vector<float> FDepth;
    int FThreadCount = 2;
    // Vertices in camera coordinates, and the second thread's picture and depth, which are
    // merged into the main ones after each large mesh. Kept to avoid reallocating per frame.
    std::vector<float> FCameraPositions;
    std::vector<TScreenVertex> FScreen;
    std::vector<std::uint32_t> FAuxColor;
    std::vector<float> FAuxDepth;
};

std::unique_ptr<TDeviceDriver> CreateSoftwareDriver(int width, int height);
