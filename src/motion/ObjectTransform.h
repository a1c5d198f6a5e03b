#pragma once

// The object's pose: applied as Rx * Ry * Rz * T * S to every vertex.
struct ObjectTransform {
    float rotX = 0.0f;   // degrees
    float rotY = 0.0f;
    float rotZ = 0.0f;
    float transX = 0.0f; // scene units
    float transY = 0.0f;
    float transZ = 0.0f;
    float scaleX = 1.0f;
    float scaleY = 1.0f;
    float scaleZ = 1.0f;
    bool scalingX = true; // "Size up" and "Size down" act on an axis only while its switch is on
    bool scalingY = true;
    bool scalingZ = true;
};
