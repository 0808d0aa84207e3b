// Framing arithmetic for still pictures: where a camera goes so that points fill its picture.
#pragma once

#include "scene/d3dtypes.h"

#include <vector>

// Added: where a camera with fixed axes goes so that points fill a picture. Points are given
// in the camera's axes (x right, y up, z ahead) from any origin; Eye is in the same terms. The
// points' extreme lines of sight then lie `fill` of the way from the picture's middle to its
// edges, left and right or top and bottom, whichever is tighter; they are centred on both.
// `field` is the viewport's field (half the view's height at distance 1). False when no such
// place exists (no points, or all on one line of sight).
struct TViewFit
{
    D3DVECTOR Eye;
    float Nearest = 0; // the smallest distance ahead of the eye among the points
};

bool FitPointsInView(const std::vector<D3DVECTOR>& points, int width, int height, double field,
                     double fill, TViewFit& fit);
