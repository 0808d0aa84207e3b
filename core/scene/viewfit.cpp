// Framing arithmetic.
#include "scene/viewfit.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{
// The eye's offset c along one axis that centres the points seen from depth t: the largest and
// the smallest slope (v - c) / (z - t) are opposite. Both fall as c grows, so halving finds it.
double CentredOffset(const std::vector<D3DVECTOR>& points, float D3DVECTOR::*axis, double t)
{
    double low = std::numeric_limits<double>::max(), high = std::numeric_limits<double>::lowest();
    for (const D3DVECTOR& p : points)
    {
        low = std::min(low, static_cast<double>(p.*axis));
        high = std::max(high, static_cast<double>(p.*axis));
    }
    for (int step = 0; step < 48 && low < high; ++step)
    {
        const double c = (low + high) / 2;
        double most = std::numeric_limits<double>::lowest();
        double least = std::numeric_limits<double>::max();
        for (const D3DVECTOR& p : points)
        {
            const double slope = (p.*axis - c) / (p.z - t);
            most = std::max(most, slope);
            least = std::min(least, slope);
        }
        (most + least > 0 ? low : high) = c;
    }
    return (low + high) / 2;
}

} // namespace

bool FitPointsInView(const std::vector<D3DVECTOR>& points, int width, int height, double field,
                     double fill, TViewFit& fit)
{
    if (points.empty() || width < 1 || height < 1)
        return false;
    // Tangents of the half angles the points may take: the screen is k = height / (2 field)
    // pixels per unit of x / z, and fill of half the width (height) is allowed.
    const double mx = fill * width * field / height;
    const double my = fill * field;
    // Each side of the view is a plane through the eye; the eye goes back until the four
    // planes can hold the points. Right: x - a <= mx (z - t), so a - mx t >= max(x - mx z);
    // with left, a drops out. On the tighter axis the points then touch both planes.
    constexpr double lowest = std::numeric_limits<double>::lowest();
    double right = lowest, left = lowest, top = lowest, bottom = lowest;
    double nearest = std::numeric_limits<double>::max();
    for (const D3DVECTOR& p : points)
    {
        right = std::max(right, p.x - mx * p.z);
        left = std::max(left, -p.x - mx * p.z);
        top = std::max(top, p.y - my * p.z);
        bottom = std::max(bottom, -p.y - my * p.z);
        nearest = std::min(nearest, static_cast<double>(p.z));
    }
    const double t = std::min(-(right + left) / (2 * mx), -(top + bottom) / (2 * my));
    nearest -= t;
    if (!(nearest > 0) || !std::isfinite(t))
        return false;
    fit.Eye = {static_cast<float>(CentredOffset(points, &D3DVECTOR::x, t)),
               static_cast<float>(CentredOffset(points, &D3DVECTOR::y, t)), static_cast<float>(t)};
    fit.Nearest = static_cast<float>(nearest);
    return true;
}
