#include "Scene.h"

#include "Geometry.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <new>

const float kGroundPlanePoints[9] = {400.0f, -150.0f, -200.0f, -400.0f, -150.0f, -200.0f,
                                     -400.0f, -150.0f, 200.0f};

namespace {

struct GroundCorner {
    float x, y, z;
    GLubyte r, g, b;
};
constexpr GroundCorner kGround[4] = {
    {400.0f, -150.0f, -200.0f, 0, 32, 0},
    {-400.0f, -150.0f, -200.0f, 0, 32, 0},
    {-400.0f, -150.0f, 200.0f, 0, 255, 0},
    {400.0f, -150.0f, 200.0f, 0, 255, 0},
};

constexpr float kAxes[18][3] = {
    {-100, 0, 0}, {100, 0, 0},  {100, 0, 0}, {95, 5, 0},  {100, 0, 0}, {95, -5, 0},
    {0, -100, 0}, {0, 100, 0},  {0, 100, 0}, {5, 95, 0},  {0, 100, 0}, {-5, 95, 0},
    {0, 0, -100}, {0, 0, 100},  {0, 0, 100}, {0, 5, 95},  {0, 0, 100}, {0, -5, 95},
};

constexpr float kTriangleTexCoords[3][2] = {{0, 0}, {1, 0}, {0, 1}};
constexpr float kQuadTexCoords[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};

void setEnabled(GLenum capability, bool on)
{
    if (on)
        glEnable(capability);
    else
        glDisable(capability);
}

void drawGround()
{
    glBegin(GL_QUADS);
    // Its true normal, so its brightness never depends on the polygon drawn last.
    glNormal3f(0.0f, 1.0f, 0.0f);
    for (const GroundCorner& c : kGround) {
        glColor3ub(c.r, c.g, c.b);
        glVertex3f(c.x, c.y, c.z);
    }
    glEnd();
}

void applyPose(const ObjectPose& p)
{
    glRotatef(p.rotX, 1.0f, 0.0f, 0.0f);
    glRotatef(p.rotY, 0.0f, 1.0f, 0.0f);
    glRotatef(p.rotZ, 0.0f, 0.0f, 1.0f);
    glTranslatef(p.transX, 0.0f, 0.0f);
    glTranslatef(0.0f, p.transY, 0.0f);
    glTranslatef(0.0f, 0.0f, p.transZ);
    glScalef(p.scaleX, p.scaleY, p.scaleZ);
}

} // namespace

namespace scene {

void SetFixedState()
{
    glEnable(GL_DEPTH_TEST);
    glCullFace(GL_BACK);
    glDisable(GL_CULL_FACE);
    glFrontFace(GL_CCW);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
}

void SetupLightAndMaterial()
{
    const GLfloat ambient[4] = {0.3f, 0.3f, 0.3f, 1.0f};
    const GLfloat diffuse[4] = {0.7f, 0.7f, 0.7f, 1.0f};
    const GLfloat specular[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glEnable(GL_LIGHTING);
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glEnable(GL_LIGHT0);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glMaterialfv(GL_FRONT, GL_SPECULAR, specular);
    glMateriali(GL_FRONT, GL_SHININESS, 128);
}

void ApplySwitches(const ViewOptions& o)
{
    setEnabled(GL_CULL_FACE, isOn(o.cullFace));
    setEnabled(GL_DEPTH_TEST, isOn(o.depthTest));
    const GLenum mode = isOn(o.outline) ? GL_LINE : GL_FILL;
    glPolygonMode(GL_FRONT, mode);
    glPolygonMode(GL_BACK, mode);
    glShadeModel(isOn(o.smoothShading) ? GL_SMOOTH : GL_FLAT);
    setEnabled(GL_LIGHTING, isOn(o.lighting));
}

void SetProjection(int viewWidth, int viewHeight, int deviceWidth, int deviceHeight,
                   const float lightPosition[4])
{
    if (viewHeight == 0)
        viewHeight = 1;
    glViewport(0, 0, deviceWidth, deviceHeight > 0 ? deviceHeight : 1);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const float aspect = static_cast<float>(viewWidth) / static_cast<float>(viewHeight);
    gluPerspective(kViewFieldOfView, aspect, kViewNearPlane, kViewFarPlane);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -float(kViewCameraDistance));
    glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);
}

void SetLightLevel(unsigned parameter, int position)
{
    const GLfloat level = static_cast<GLfloat>(position) * 0.1f;
    const GLfloat colour[4] = {level, level, level, 1.0f};
    glLightfv(GL_LIGHT0, parameter, colour);
}

} // namespace scene

namespace {

template <typename DrawPolygons>
void drawFrame(const ObjectPose& pose, const ViewOptions& options, const float shadowMatrix[16],
               DrawPolygons drawPolygons)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (isOn(options.ground))
        drawGround();

    if (isOn(options.lighting) && isOn(options.ground)) {
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_LIGHTING);
        glPushMatrix();
        glMultMatrixf(shadowMatrix);
        applyPose(pose);
        drawPolygons(true);
        glPopMatrix();
        if (isOn(options.depthTest))
            glEnable(GL_DEPTH_TEST);
        if (isOn(options.lighting))
            glEnable(GL_LIGHTING);
    }

    glPushMatrix();
    applyPose(pose);
    drawPolygons(false);
    glPopMatrix();
    glFlush();
}

void drawAxes(const ViewOptions& options, bool shadowPass)
{
    if (!isOn(options.axes))
        return;
    // The colour goes with each corner, as the ground's does: Mesa's software renderer
    // then draws the axes' shadow with the set-up code it has already built for the
    // ground, instead of building more for a colour that stays the same, on the frame
    // that the window's start waits for.
    const GLubyte red = shadowPass ? 0 : 255;
    glEnable(GL_LINE_STIPPLE);
    glLineStipple(1, 0x5555);
    glBegin(GL_LINES);
    for (const auto& v : kAxes) {
        glColor3ub(red, 0, 0);
        glVertex3fv(v);
    }
    glEnd();
    glDisable(GL_LINE_STIPPLE);
}

// Texturing is switched only when it changes: every state change outside a primitive
// makes the GL flush the vertices gathered so far.
class Texturing {
public:
    Texturing() { glDisable(GL_TEXTURE_2D); }
    ~Texturing() { glDisable(GL_TEXTURE_2D); }
    void set(bool on)
    {
        if (on == on_)
            return;
        on_ = on;
        if (on)
            glEnable(GL_TEXTURE_2D);
        else
            glDisable(GL_TEXTURE_2D);
    }

private:
    bool on_ = false;
};

// Corners per draw call: Mesa copies a draw's client arrays into buffers of its own, so a
// bounded draw keeps those copies small however large the object. A multiple of 3 and 4,
// so that no primitive is split; below 65536, so that 16-bit indices reach every corner.
constexpr int kVerticesPerDraw = 12288;

// Quads as triangles split along their first and third corner, as Mesa's immediate mode
// fills a flat quad that nothing lights.
const GLushort* quadSplit()
{
    static const std::vector<GLushort> indices = [] {
        std::vector<GLushort> v;
        v.reserve(kVerticesPerDraw / 4 * 6);
        for (GLushort q = 0; q < kVerticesPerDraw; q += 4)
            for (GLushort k : {0, 1, 2, 0, 2, 3})
                v.push_back(GLushort(q + k));
        return v;
    }();
    return indices.data();
}

// llvmpipe keeps every triangle of a scene binned until the scene is flushed, some two
// hundred bytes each: flushed after every draw, a large object's frame holds that for a
// few thousand triangles, not for all of them. Flushing changes no pixel.
constexpr int kCornersPerFlush = kVerticesPerDraw;

} // namespace

namespace scene {

void DrawScene(const CDynArray& list, const ObjectPose& pose, const ViewOptions& options,
               const float shadowMatrix[16])
{
    drawFrame(pose, options, shadowMatrix,
              [&](bool shadowPass) { DrawObject(list, options, shadowPass); });
}

void DrawScene(const CDynArray& list, ObjectArrays& arrays, const ObjectPose& pose,
               const ViewOptions& options, const float shadowMatrix[16])
{
    drawFrame(pose, options, shadowMatrix,
              [&](bool shadowPass) { DrawObject(list, arrays, options, shadowPass); });
}

} // namespace scene

namespace {

void drawPolygons(const CDynArray& list, bool shadowPass)
{
    Texturing texturing;
    int remaining = list.Count();
    for (const tElement* p = list.First(); p && remaining > 0; p = p->next, --remaining) {
        const bool textured = p->isTextured();
        if (shadowPass) {
            glColor3ub(0, 0, 0);
        } else if (textured) {
            texturing.set(true);
            glBindTexture(GL_TEXTURE_2D, p->textureId);
            glColor3f(1.0f, 1.0f, 1.0f);
        } else {
            texturing.set(false);
            glColor3ub(static_cast<GLubyte>(p->red), static_cast<GLubyte>(p->green),
                       static_cast<GLubyte>(p->blue));
        }

        const bool triangle = p->isTriangle();
        const int corners = triangle ? 3 : 4;
        const float(*tex)[2] = triangle ? kTriangleTexCoords : kQuadTexCoords;
        float normal[3];
        FaceNormal(p->vertex, normal);

        glBegin(triangle ? GL_TRIANGLES : GL_QUADS);
        glNormal3fv(normal);
        for (int k = 0; k < corners; ++k) {
            if (textured)
                glTexCoord2fv(tex[k]);
            glVertex3fv(p->vertex + 3 * k);
        }
        glEnd();
    }
}

} // namespace

namespace scene {

void DrawObject(const CDynArray& list, const ViewOptions& options, bool shadowPass)
{
    drawAxes(options, shadowPass);
    drawPolygons(list, shadowPass);
}

void DrawObject(const CDynArray& list, ObjectArrays& arrays, const ViewOptions& options,
                bool shadowPass)
{
    drawAxes(options, shadowPass);
    if (!arrays.draw(list, options, shadowPass))
        drawPolygons(list, shadowPass);
}

ObjectArrays::RunKey ObjectArrays::runKeyOf(const tElement& polygon)
{
    const bool textured = polygon.isTextured();
    return {GLenum(polygon.isTriangle() ? GL_TRIANGLES : GL_QUADS), textured,
            textured ? polygon.textureId : 0};
}

bool ObjectArrays::upToDate(const CDynArray& list) const
{
    return !stale_ && builtFrom_ == &list && builtCount_ == list.Count() &&
           builtFirst_ == list.First() && builtLast_ == list.Last();
}

void ObjectArrays::markChanged()
{
    std::vector<float>().swap(positions_);
    std::vector<float>().swap(normals_);
    std::vector<uint8_t>().swap(colours_);
    std::vector<int16_t>().swap(texCoords_);
    std::vector<Run>().swap(runs_);
    stale_ = true;
}

void ObjectArrays::rebuild(const CDynArray& list)
{
    // Sized before they are filled, so that a large object never holds an array and a copy
    // twice its size at once; the old arrays go first.
    markChanged();
    std::size_t vertexCount = 0, texturedCount = 0, runCount = 0;
    {
        RunKey last{};
        int remaining = list.Count();
        for (const tElement* p = list.First(); p && remaining > 0; p = p->next, --remaining) {
            const int corners = p->isTriangle() ? 3 : 4;
            vertexCount += corners;
            if (p->isTextured())
                texturedCount += corners;
            const RunKey key = runKeyOf(*p);
            if (runCount == 0 || key != last)
                ++runCount;
            last = key;
        }
    }
    positions_.reserve(3 * vertexCount);
    normals_.reserve(3 * vertexCount);
    colours_.reserve(4 * vertexCount);
    texCoords_.reserve(2 * texturedCount);
    runs_.reserve(runCount);
    int remaining = list.Count();
    for (const tElement* p = list.First(); p && remaining > 0; p = p->next, --remaining) {
        const bool textured = p->isTextured();
        const bool triangle = p->isTriangle();
        const int corners = triangle ? 3 : 4;
        const RunKey key = runKeyOf(*p);
        if (runs_.empty() || runs_.back().key != key)
            runs_.push_back({key, static_cast<int>(positions_.size() / 3), 0,
                             static_cast<int>(texCoords_.size() / 2)});
        float normal[3];
        FaceNormal(p->vertex, normal);
        uint8_t colour[4] = {255, 255, 255, 255};
        if (!textured) {
            colour[0] = static_cast<uint8_t>(p->red);
            colour[1] = static_cast<uint8_t>(p->green);
            colour[2] = static_cast<uint8_t>(p->blue);
        }
        const float(*tex)[2] = triangle ? kTriangleTexCoords : kQuadTexCoords;
        positions_.insert(positions_.end(), p->vertex, p->vertex + 3 * corners);
        for (int k = 0; k < corners; ++k) {
            normals_.insert(normals_.end(), normal, normal + 3);
            colours_.insert(colours_.end(), colour, colour + 4);
            if (textured) {
                texCoords_.push_back(static_cast<int16_t>(tex[k][0]));
                texCoords_.push_back(static_cast<int16_t>(tex[k][1]));
            }
        }
        runs_.back().count += corners;
        std::copy(normal, normal + 3, lastNormal_);
        std::copy(colour, colour + 3, lastColour_);
    }

    stale_ = false;
    ++builds_;
    builtFrom_ = &list;
    builtCount_ = list.Count();
    builtFirst_ = list.First();
    builtLast_ = list.Last();
}

bool ObjectArrays::draw(const CDynArray& list, const ViewOptions& options, bool shadowPass)
{
    if (!upToDate(list)) {
        try {
            rebuild(list);
        } catch (const std::bad_alloc&) {
            // Memory has run out: the list is drawn as it is, and the arrays are tried
            // again on the next frame.
            markChanged();
            return false;
        }
    }
    Texturing texturing;
    if (runs_.empty())
        return true;

    glEnableClientState(GL_VERTEX_ARRAY);
    // Unlit, the GL reads no normal.
    const bool lit = !shadowPass && isOn(options.lighting);
    if (lit)
        glEnableClientState(GL_NORMAL_ARRAY);
    if (shadowPass) {
        glDisableClientState(GL_COLOR_ARRAY);
        glColor3ub(0, 0, 0);
    } else {
        glEnableClientState(GL_COLOR_ARRAY);
    }
    bool texCoordArray = false;
    auto setTexture = [&](bool textured, uint32_t texture) {
        if (shadowPass)
            return;
        texturing.set(textured);
        if (textured)
            glBindTexture(GL_TEXTURE_2D, texture);
        if (textured != texCoordArray) {
            texCoordArray = textured;
            if (textured)
                glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            else
                glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        }
    };
    auto point = [&](std::size_t corner, std::size_t texCorner) {
        glVertexPointer(3, GL_FLOAT, 0, positions_.data() + 3 * corner);
        if (lit)
            glNormalPointer(GL_FLOAT, 0, normals_.data() + 3 * corner);
        if (!shadowPass)
            glColorPointer(4, GL_UNSIGNED_BYTE, 0, colours_.data() + 4 * corner);
        if (texCoordArray)
            glTexCoordPointer(2, GL_SHORT, 0, texCoords_.data() + 2 * texCorner);
    };

    // Flat and unlit, Mesa's immediate mode fills a quad split along its first and third
    // corner, the colour being the same at every corner; from a colour array it splits
    // along the second and fourth, as a flat quad whose corners differ needs. Outlines
    // show no split.
    const bool splitQuads = !shadowPass && !lit && !isOn(options.smoothShading) &&
                            !isOn(options.outline);
    int unflushed = 0;
    auto drawn = [&unflushed](int corners) {
        unflushed += corners;
        if (unflushed >= kCornersPerFlush) {
            unflushed = 0;
            glFlush();
        }
    };
    for (std::size_t r = 0; r < runs_.size(); ++r) {
        const Run& run = runs_[r];
        int count = run.count;
        if (shadowPass) {
            // Flattened and black, texture runs of one primitive type draw as one.
            while (r + 1 < runs_.size() && runs_[r + 1].key.mode == run.key.mode)
                count += runs_[++r].count;
        }
        setTexture(run.key.textured, run.key.texture);
        for (int done = 0; done < count; done += kVerticesPerDraw) {
            point(std::size_t(run.first) + done, std::size_t(run.texFirst) + done);
            const int corners = std::min(kVerticesPerDraw, count - done);
            if (splitQuads && run.key.mode == GL_QUADS)
                glDrawElements(GL_TRIANGLES, corners / 4 * 6, GL_UNSIGNED_SHORT, quadSplit());
            else
                glDrawArrays(run.key.mode, 0, corners);
            drawn(corners);
        }
    }

    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    // An array leaves its attribute undefined; the next pass's axes take the current
    // normal (and colour) as the last polygon left them.
    glNormal3fv(lastNormal_);
    if (!shadowPass)
        glColor3ubv(lastColour_);
    return true;
}

std::size_t ObjectArrays::bytesHeld() const
{
    return positions_.capacity() * sizeof(float) + normals_.capacity() * sizeof(float) +
           colours_.capacity() + texCoords_.capacity() * sizeof(int16_t) +
           runs_.capacity() * sizeof(Run);
}

} // namespace scene
