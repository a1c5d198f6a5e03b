#pragma once

#include "DynArray.h"
#include "ViewOptions.h"

#include <cstddef>
#include <cstdint>
#include <vector>

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

// OpenGL 1.1 drawing of the scene. Every function needs a current context.
namespace scene {

// The object's polygons as OpenGL 1.1 client-side vertex arrays, built from the list on the
// first frame after the object changed and reused by every frame after it, so a frame no
// longer walks the list or computes a normal. The frames they give are the immediate-mode
// frames, pixel for pixel.
//
// Nodes edited in place are invisible from outside the list: whoever changes a polygon
// calls markChanged(). Adding, removing or clearing also shows in the list's count and ends,
// which are checked on every frame as a second line of defence.
class ObjectArrays {
public:
    // Lets the arrays go at once, so that they never sit beside a new object being read.
    void markChanged();
    // Draws the polygons as DrawObject does, rebuilding the arrays first when needed;
    // false, having drawn nothing, when there is no memory for them. The options must be
    // those the GL state was last brought in line with.
    bool draw(const CDynArray& list, const ViewOptions& options, bool shadowPass);
    // Bytes held for the arrays, their spare capacity included.
    std::size_t bytesHeld() const;
    // Times the arrays were built from the list.
    long builds() const { return builds_; }

private:
    // What consecutive polygons must share to be drawn at once: a primitive type and, when
    // textured, one texture.
    struct RunKey {
        unsigned mode;
        bool textured;
        uint32_t texture;   // 0 when not textured
        bool operator==(const RunKey&) const = default;
    };
    static RunKey runKeyOf(const tElement& polygon);
    struct Run {
        RunKey key;
        int first;      // corner index
        int count;
        int texFirst;   // into texCoords_, textured runs only
    };

    bool upToDate(const CDynArray& list) const;
    void rebuild(const CDynArray& list);

    // One array per attribute, so that a pass that needs fewer of them reads less.
    std::vector<float> positions_;    // x, y, z per corner
    std::vector<float> normals_;      // the polygon's normal at each of its corners
    std::vector<uint8_t> colours_;    // red, green, blue, 255 per corner
    std::vector<int16_t> texCoords_;  // s, t per corner of the textured polygons
    std::vector<Run> runs_;
    // What the immediate path leaves current after the last polygon: a frame's axes are lit
    // with that normal.
    float lastNormal_[3] = {0.0f, 0.0f, 1.0f};
    uint8_t lastColour_[3] = {255, 255, 255};
    bool stale_ = true;
    long builds_ = 0;
    const CDynArray* builtFrom_ = nullptr;
    int builtCount_ = 0;
    const tElement* builtFirst_ = nullptr;
    const tElement* builtLast_ = nullptr;
};

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
// Without arrays every polygon goes through immediate mode, as a frame drawn once wants.
void DrawScene(const CDynArray& list, const ObjectPose& pose, const ViewOptions& options,
               const float shadowMatrix[16]);
void DrawScene(const CDynArray& list, ObjectArrays& arrays, const ObjectPose& pose,
               const ViewOptions& options, const float shadowMatrix[16]);
// The axes and every polygon under the current model-view matrix, walking the list once.
void DrawObject(const CDynArray& list, const ViewOptions& options, bool shadowPass);
void DrawObject(const CDynArray& list, ObjectArrays& arrays, const ViewOptions& options,
                bool shadowPass);

} // namespace scene
