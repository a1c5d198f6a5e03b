#include "Picture.h"

#include "Geometry.h"
#include "OffscreenContext.h"
#include "TextureLoader.h"
#include "TextureRule.h"

#include <GL/gl.h>

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

} // namespace

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
