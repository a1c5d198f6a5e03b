#pragma once

#include "DynArray.h"
#include "ViewOptions.h"

// The object's pose as the renderer applies it: Rx * Ry * Rz * T * S.
struct ObjectPose {
    float rotX = 0.0f, rotY = 0.0f, rotZ = 0.0f;
    float transX = 0.0f, transY = 0.0f, transZ = 0.0f;
    float scaleX = 1.0f, scaleY = 1.0f, scaleZ = 1.0f;
};

// The view's size in logical pixels while the main window has its designed size. Pictures
// take it as their default, so that one at that size equals the view's first frame.
inline constexpr int kViewDesignWidth = 523;
inline constexpr int kViewDesignHeight = 529;

// The camera: a perspective this many degrees high, drawing from the near to the far plane,
// this many units in front of the scene's origin. Pictures frame objects by it.
inline constexpr double kViewFieldOfView = 60.0;
inline constexpr double kViewNearPlane = 1.0;
inline constexpr double kViewFarPlane = 500.0;
inline constexpr double kViewCameraDistance = 300.0;

// The ground's first three corners; the shadow matrix flattens onto their plane.
extern const float kGroundPlanePoints[9];

// Immediate-mode OpenGL 1.1 drawing of the scene. Every function needs a current context.
namespace scene {

// The fixed state set once when the context exists.
void SetFixedState();
// Light 0 and the colour material, set once after the fixed state.
void SetupLightAndMaterial();
// Brings culling, depth test, polygon mode, shade model and lighting in line with the switches.
void ApplySwitches(const ViewOptions& options);
// Viewport in device pixels, 60-degree perspective with the aspect of the logical size,
// camera 300 units back, and light 0 placed in the scene frame.
void SetProjection(int viewWidth, int viewHeight, int deviceWidth, int deviceHeight,
                   const float lightPosition[4]);
// Light 0's ambient, diffuse or specular colour from a track bar position 1..10.
void SetLightLevel(unsigned parameter, int position);

// Clears and draws the ground, the shadow pass and the object pass, then flushes.
void DrawScene(const CDynArray& list, const ObjectPose& pose, const ViewOptions& options,
               const float shadowMatrix[16]);
// The axes and every polygon under the current model-view matrix, walking the list once.
void DrawObject(const CDynArray& list, const ViewOptions& options, bool shadowPass);

} // namespace scene
