#include "Scene.h"

#include "Geometry.h"

#include <GL/gl.h>
#include <GL/glu.h>

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

void DrawScene(const CDynArray& list, const ObjectPose& pose, const ViewOptions& options,
               const float shadowMatrix[16])
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
        DrawObject(list, options, true);
        glPopMatrix();
        if (isOn(options.depthTest))
            glEnable(GL_DEPTH_TEST);
        if (isOn(options.lighting))
            glEnable(GL_LIGHTING);
    }

    glPushMatrix();
    applyPose(pose);
    DrawObject(list, options, false);
    glPopMatrix();
    glFlush();
}

void DrawObject(const CDynArray& list, const ViewOptions& options, bool shadowPass)
{
    if (isOn(options.axes)) {
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
    bool texturing = false;
    glDisable(GL_TEXTURE_2D);
    auto setTexturing = [&texturing](bool on) {
        if (on == texturing)
            return;
        texturing = on;
        if (on)
            glEnable(GL_TEXTURE_2D);
        else
            glDisable(GL_TEXTURE_2D);
    };

    int remaining = list.Count();
    for (const tElement* p = list.First(); p && remaining > 0; p = p->next, --remaining) {
        const bool textured = p->color == -1;
        if (shadowPass) {
            glColor3ub(0, 0, 0);
        } else if (textured) {
            setTexturing(true);
            glBindTexture(GL_TEXTURE_2D, p->textureId);
            glColor3f(1.0f, 1.0f, 1.0f);
        } else {
            setTexturing(false);
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
    glDisable(GL_TEXTURE_2D);
}

} // namespace scene
