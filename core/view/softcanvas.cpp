// A view canvas over a plain pixel buffer.
#include "view/softcanvas.h"

#include "base/errors.h"

#include <algorithm>
#include <cstdlib>

namespace
{
__extension__ using TInt128 = __int128;
}

TSoftCanvas::TSoftCanvas(int width, int height, std::int32_t fill)
    : FWidth(std::max(width, 0)), FHeight(std::max(height, 0)),
      FPixels(static_cast<std::size_t>(FWidth) * static_cast<std::size_t>(FHeight), ToPixel(fill))
{
}

std::int32_t TSoftCanvas::Pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= FWidth || y >= FHeight)
        throw EListError();
    const std::uint32_t p = FPixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(FWidth) +
                                    static_cast<std::size_t>(x)];
    return static_cast<std::int32_t>(p & 0x00FFFFFFu);
}

void TSoftCanvas::Fill(std::int32_t color)
{
    std::fill(FPixels.begin(), FPixels.end(), ToPixel(color));
}

// Steps along the major axis; the minor coordinate at step i is i * dMinor / n rounded half
// up, which is the pixel set Bresenham's algorithm picks. Only the steps whose major coordinate
// lies inside the buffer are walked, so a line billions of pixels long costs no more than one
// across the buffer.
void TSoftCanvas::Segment(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1)
{
    const std::int64_t dx = x1 - x0;
    const std::int64_t dy = y1 - y0;
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const std::int64_t n = xMajor ? std::llabs(dx) : std::llabs(dy);
    if (n == 0)
        return; // end pixel excluded, so a line to itself draws nothing
    const std::int64_t dMinor = xMajor ? std::llabs(dy) : std::llabs(dx);
    const std::int64_t m0 = xMajor ? x0 : y0;
    const std::int64_t q0 = xMajor ? y0 : x0;
    const std::int64_t mStep = (xMajor ? dx : dy) > 0 ? 1 : -1;
    const std::int64_t qStep = (xMajor ? dy : dx) >= 0 ? 1 : -1;
    const std::int64_t mLimit = xMajor ? FWidth : FHeight;

    std::int64_t first = 0;
    std::int64_t last = n; // exclusive
    if (mStep > 0)
    {
        first = std::max<std::int64_t>(first, -m0);
        last = std::min<std::int64_t>(last, mLimit - m0);
    }
    else
    {
        first = std::max<std::int64_t>(first, m0 - (mLimit - 1));
        last = std::min<std::int64_t>(last, m0 + 1);
    }
    if (first >= last)
        return;

    const std::int64_t twoN = 2 * n;
    const TInt128 num = TInt128(2) * first * dMinor + n;
    const std::int64_t offset = static_cast<std::int64_t>(num / twoN);
    std::int64_t rest = static_cast<std::int64_t>(num % twoN);
    // Walk a pixel index along with the coordinates: the major one stays inside the buffer,
    // so only the minor one needs testing.
    const std::int64_t width = FWidth;
    const std::int64_t qLimit = xMajor ? FHeight : FWidth;
    const std::int64_t mStride = xMajor ? mStep : mStep * width;
    const std::int64_t qStride = xMajor ? qStep * width : qStep;
    std::int64_t q = q0 + offset * qStep;
    const std::int64_t mFirst = m0 + first * mStep;
    std::int64_t index = xMajor ? q * width + mFirst : mFirst * width + q;
    const std::int64_t twoMinor = 2 * dMinor;
    std::uint32_t* const pixels = FPixels.data();
    const std::uint32_t pen = FPen;
    for (std::int64_t i = first; i < last; ++i)
    {
        if (static_cast<std::uint64_t>(q) < static_cast<std::uint64_t>(qLimit))
            pixels[index] = pen;
        index += mStride;
        rest += twoMinor;
        if (rest >= twoN)
        {
            rest -= twoN;
            q += qStep;
            index += qStride;
        }
    }
}

void TSoftCanvas::Polygon(std::span<const TCanvasPoint> points)
{
    if (points.size() < 2)
        return;
    for (std::size_t i = 0; i < points.size(); ++i)
    {
        const TCanvasPoint& a = points[i];
        const TCanvasPoint& b = points[(i + 1) % points.size()];
        Segment(a.X, a.Y, b.X, b.Y);
    }
}

void TSoftCanvas::Rectangle(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2)
{
    const std::int64_t left = x1;
    const std::int64_t top = y1;
    const std::int64_t right = static_cast<std::int64_t>(x2) - 1;
    const std::int64_t bottom = static_cast<std::int64_t>(y2) - 1;
    if (right < left || bottom < top)
        return;
    const std::int64_t xFrom = std::max<std::int64_t>(left, 0);
    const std::int64_t xTo = std::min<std::int64_t>(right, FWidth - 1);
    for (std::int64_t x = xFrom; x <= xTo; ++x)
    {
        Plot(x, top, FPen);
        Plot(x, bottom, FPen);
    }
    const std::int64_t yFrom = std::max<std::int64_t>(top, 0);
    const std::int64_t yTo = std::min<std::int64_t>(bottom, FHeight - 1);
    for (std::int64_t y = yFrom; y <= yTo; ++y)
    {
        Plot(left, y, FPen);
        Plot(right, y, FPen);
    }
}

void TSoftCanvas::MoveTo(std::int32_t x, std::int32_t y)
{
    FPenX = x;
    FPenY = y;
}

void TSoftCanvas::LineTo(std::int32_t x, std::int32_t y)
{
    Segment(FPenX, FPenY, x, y);
    FPenX = x;
    FPenY = y;
}

void TSoftCanvas::SetPixel(std::int32_t x, std::int32_t y, std::int32_t color)
{
    Plot(x, y, ToPixel(color));
}
