// The affine view transform: row vectors multiplied from the left, p' = [x y z 1] * M.
#pragma once

// A plain value. Rows 0 to 2 hold the images of the unit vectors, row 3 the translation;
// column 3 is stored but never read. Storage is zero until SetIdentity.
class TMatrix3D
{
public:
    double M[4][4] = {};

    void SetIdentity();
    // Replaces (x, y, z) by its image; the arguments may alias each other.
    void TransformPoint(double& x, double& y, double& z) const;
};
