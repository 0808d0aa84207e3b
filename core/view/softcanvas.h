// A view canvas over a plain pixel buffer, for tests, benchmarks and quillmark-cli.
#pragma once

#include "view/viewcore.h"

#include <cstdint>
#include <vector>

// Pixels are 0xAABBGGRR (red in the low byte, alpha 255), row after row from the top.
// Lines follow the window system's rules: one pixel wide, end pixel excluded. Everything
// outside the buffer is clipped; work per line is bounded by the buffer size.
class TSoftCanvas : public TViewCanvas
{
public:
    // `fill` is a 0x00BBGGRR colour.
    TSoftCanvas(int width, int height, std::int32_t fill);

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // The pixel's colour as 0x00BBGGRR; throws EListError outside the buffer.
    std::int32_t Pixel(int x, int y) const;
    const std::vector<std::uint32_t>& Pixels() const { return FPixels; }
    void Fill(std::int32_t color);

    void SetPenColor(std::int32_t color) override { FPen = ToPixel(color); }
    void Polygon(std::span<const TCanvasPoint> points) override;
    void Rectangle(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) override;
    void MoveTo(std::int32_t x, std::int32_t y) override;
    void LineTo(std::int32_t x, std::int32_t y) override;
    void SetPixel(std::int32_t x, std::int32_t y, std::int32_t color) override;

private:
    static std::uint32_t ToPixel(std::int32_t color)
    {
        return 0xFF000000u | (static_cast<std::uint32_t>(color) & 0x00FFFFFFu);
    }
    void Plot(std::int64_t x, std::int64_t y, std::uint32_t pixel)
    {
        if (x >= 0 && y >= 0 && x < FWidth && y < FHeight)
            FPixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(FWidth) +
                    static_cast<std::size_t>(x)] = pixel;
    }
    void Segment(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1);

    int FWidth;
    int FHeight;
    std::vector<std::uint32_t> FPixels;
    std::uint32_t FPen = 0xFF000000u;
    std::int64_t FPenX = 0, FPenY = 0;
};
