#include "Geometry.h"

#include <cmath>

float* Normalize(float* v)
{
    float length = static_cast<float>(std::sqrt(double(v[0]) * v[0] + double(v[1]) * v[1] +
                                                double(v[2]) * v[2]));
    if (length == 0.0f)
        length = 1.0f;
    v[0] /= length;
    v[1] /= length;
    v[2] /= length;
    return v;
}

float* FaceNormal(const float* c, float* n)
{
    const float u[3] = {c[0] - c[3], c[1] - c[4], c[2] - c[5]};
    const float v[3] = {c[3] - c[6], c[4] - c[7], c[5] - c[8]};
    n[0] = u[1] * v[2] - u[2] * v[1];
    n[1] = u[2] * v[0] - u[0] * v[2];
    n[2] = u[0] * v[1] - u[1] * v[0];
    return Normalize(n);
}

float* MakeShadowMatrix(const float* points, const float* light, float* m)
{
    float plane[4];
    FaceNormal(points, plane);
    const float* q = points + 6;
    plane[3] = -(plane[0] * q[0] + plane[1] * q[1] + plane[2] * q[2]);
    const float dot =
        plane[0] * light[0] + plane[1] * light[1] + plane[2] * light[2] + plane[3] * light[3];
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            float value = -light[row] * plane[column];
            if (row == column)
                value += dot;
            m[4 * column + row] = value;
        }
    }
    return m;
}
