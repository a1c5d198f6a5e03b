#pragma once

// Plain 32-bit float geometry for the renderer; no GL calls.

// Scales v (three floats) to unit length in place; a zero vector stays zero.
float* Normalize(float* v);

// Unit normal of the polygon through the first three corners (x, y, z each), into n.
float* FaceNormal(const float* corners, float* n);

// The 4 x 4 column-major matrix that flattens geometry onto the plane through three points
// (x, y, z each) along the rays from light (x, y, z, w), into m.
float* MakeShadowMatrix(const float* points, const float* light, float* m);
