// The affine view transform.
#include "view/matrix3d.h"

void TMatrix3D::SetIdentity()
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            M[r][c] = r == c ? 1.0 : 0.0;
}

void TMatrix3D::TransformPoint(double& x, double& y, double& z) const
{
    // Copied first so that the same storage can be input and output.
    const double px = x;
    const double py = y;
    const double pz = z;
    const double rx = px * M[0][0] + py * M[1][0] + pz * M[2][0] + M[3][0];
    const double ry = px * M[0][1] + py * M[1][1] + pz * M[2][1] + M[3][1];
    const double rz = px * M[0][2] + py * M[1][2] + pz * M[2][2] + M[3][2];
    x = rx;
    y = ry;
    z = rz;
}
