#include "Picture.h"

#include "Geometry.h"
#include "OffscreenContext.h"
#include "TextureLoader.h"
#include "TextureRule.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

bool lightLevelsValid(const PictureOptions& o, std::string& error)
{
    for (int level : {o.ambient, o.diffuse, o.specular}) {
        if (level < 1 || level > 10) {
            error = "light level " + std::to_string(level) + " is outside 1 to 10";
            return false;
        }
    }
    return true;
}

// Gives textured polygons texture names of the picture's context by the model's texture
// rule (the first polygon with the same file name shares its texture), walking the list
// once. Returns the names they had, in list order.
std::vector<uint32_t> settleTextures(CDynArray& list, const std::string& folder)
{
    const TextureLoader load = [&folder](const std::string& name, int minFilter, int magFilter,
                                         int wrap) {
        const bool bare = !folder.empty() && (name.empty() || name.front() != '/');
        return LoadTexture(bare ? folder + '/' + name : name, minFilter, magFilter, wrap);
    };
    std::vector<uint32_t> previous;
    previous.reserve(static_cast<std::size_t>(list.Count()));
    CDynArray empty;
    TextureIndex index(empty);
    for (tElement* p = list.First(); p; p = p->next) {
        previous.push_back(p->textureId);
        p->textureId = SettleTextureId(index, *p, load);
        index.noteAppended(*p);
    }
    return previous;
}

void restoreTextureIds(CDynArray& list, const std::vector<uint32_t>& ids)
{
    std::size_t i = 0;
    for (tElement* p = list.First(); p && i < ids.size(); p = p->next)
        p->textureId = ids[i++];
}

// Room left around a framed object, so its outline never touches the picture's edge.
constexpr double kFrameMargin = 0.95;
constexpr double kPi = 3.14159265358979323846;

// Turns p as glRotatef would about the axis k (0, 1, 2) by the angle in degrees.
void rotate(double p[3], int k, double degrees)
{
    const double a = degrees * kPi / 180.0, c = std::cos(a), s = std::sin(a);
    const int i = (k + 1) % 3, j = (k + 2) % 3;
    const double pi = p[i], pj = p[j];
    p[i] = c * pi - s * pj;
    p[j] = s * pi + c * pj;
}

} // namespace

void FrameObject(CDynArray& list, PictureOptions& options)
{
    double lo[3], hi[3];
    std::fill(lo, lo + 3, std::numeric_limits<double>::max());
    std::fill(hi, hi + 3, -std::numeric_limits<double>::max());
    for (const tElement* p = list.First(); p; p = p->next)
        for (int k = 0; k < (p->isTriangle() ? 3 : 4); ++k)
            for (int a = 0; a < 3; ++a)
                if (std::isfinite(p->vertex[3 * k + a])) {
                    lo[a] = std::min(lo[a], double(p->vertex[3 * k + a]));
                    hi[a] = std::max(hi[a], double(p->vertex[3 * k + a]));
                }
    if (lo[0] > hi[0] || lo[1] > hi[1] || lo[2] > hi[2])
        return;

    // The sphere about the bounding box, which no turn of the object takes out of itself.
    double centre[3], radius = 0;
    for (int a = 0; a < 3; ++a) {
        centre[a] = (lo[a] + hi[a]) / 2;
        radius += (hi[a] - lo[a]) * (hi[a] - lo[a]) / 4;
    }
    radius = std::sqrt(radius);
    // The half angles of the view up and across; the narrower one bounds the sphere.
    const double up = kViewFieldOfView / 2 * kPi / 180.0;
    const double across = std::atan(std::tan(up) * options.width / std::max(1, options.height));

    // Where the pose puts the sphere now: Rx * Ry * Rz * T * S, as the renderer applies it.
    ObjectPose& pose = options.pose;
    const double scale[3] = {pose.scaleX, pose.scaleY, pose.scaleZ};
    const double largest = std::max({std::fabs(scale[0]), std::fabs(scale[1]), std::fabs(scale[2])});
    double at[3] = {pose.transX + scale[0] * centre[0], pose.transY + scale[1] * centre[1],
                    pose.transZ + scale[2] * centre[2]};
    rotate(at, 2, pose.rotZ);
    rotate(at, 1, pose.rotY);
    rotate(at, 0, pose.rotX);
    const double r = largest * radius, depth = kViewCameraDistance - at[2];
    const bool inView = depth - r >= kViewNearPlane && depth + r <= kViewFarPlane &&
                        std::fabs(at[1]) * std::cos(up) + r <= depth * std::sin(up) &&
                        std::fabs(at[0]) * std::cos(across) + r <= depth * std::sin(across);
    if (inView)
        return;

    // Centred on the scene's origin and, when larger, sized to the largest sphere the view
    // holds.
    const double room =
        kFrameMargin * std::min({kViewCameraDistance * std::sin(std::min(up, across)),
                                 kViewCameraDistance - kViewNearPlane,
                                 kViewFarPlane - kViewCameraDistance});
    const double factor = r > room ? room / r : 1.0;
    if (factor < 1.0)
        for (tElement* p = list.First(); p; p = p->next)
            for (float& v : p->vertex)
                v = float(v * factor);
    pose.transX = float(-scale[0] * factor * centre[0]);
    pose.transY = float(-scale[1] * factor * centre[1]);
    pose.transZ = float(-scale[2] * factor * centre[2]);
}

bool RenderPicture(CDynArray& list, const PictureOptions& options, QImage& image,
                   std::string& error)
{
    if (!lightLevelsValid(options, error))
        return false;
    OffscreenContext context;
    if (!context.create(options.width, options.height, error))
        return false;

    // The view's start-up steps in their order, then its resize, as the window runs them.
    scene::SetFixedState();
    scene::SetupLightAndMaterial();
    scene::ApplySwitches(options.view);
    scene::SetLightLevel(GL_AMBIENT, options.ambient);
    scene::SetLightLevel(GL_DIFFUSE, options.diffuse);
    scene::SetLightLevel(GL_SPECULAR, options.specular);
    scene::SetProjection(options.width, options.height, options.width, options.height,
                         options.view.lightPosition);

    const std::vector<uint32_t> previousIds = settleTextures(list, options.textureFolder);
    float shadowMatrix[16];
    MakeShadowMatrix(kGroundPlanePoints, options.view.lightPosition, shadowMatrix);
    scene::DrawScene(list, options.pose, options.view, shadowMatrix);
    image = context.read();
    restoreTextureIds(list, previousIds);

    if (image.isNull()) {
        error = "no memory for a " + std::to_string(options.width) + " x " +
                std::to_string(options.height) + " picture";
        return false;
    }
    return true;
}
