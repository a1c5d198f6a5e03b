// The object drawn from arrays against immediate mode, read back from the view's back buffer.
#include "Geometry.h"
#include "Scene.h"
#include "TGLPanel.h"

#include <GL/gl.h>
#include <QGuiApplication>
#include <QTest>
#include <gtest/gtest.h>

namespace {

tElement polygon(const char* type, std::initializer_list<float> corners, int r, int g, int b,
                 uint32_t texture = kNoTexture)
{
    tElement e;
    e.type = type;
    std::copy(corners.begin(), corners.end(), e.vertex);
    e.red = r, e.green = g, e.blue = b;
    e.color = texture == kNoTexture ? (r | g << 8 | b << 16) : -1;
    e.textureId = texture;
    return e;
}

// Pixels in which two frames differ.
int differing(const std::vector<GLubyte>& a, const std::vector<GLubyte>& b)
{
    int n = 0;
    for (std::size_t i = 0; i + 3 < a.size(); i += 4)
        n += !std::equal(&a[i], &a[i] + 4, &b[i]);
    return n;
}

class ObjectArraysTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "render_tests";
        static char* argv[] = {name, nullptr};
        static QGuiApplication* app = new QGuiApplication(argc, argv);
        (void)app;
    }
    void SetUp() override
    {
        panel.resize(96, 96);
        panel.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
        ASSERT_TRUE(panel.makeContextCurrent());
        scene::SetFixedState();
        scene::SetupLightAndMaterial();
        scene::SetProjection(96, 96, panel.deviceWidth(), panel.deviceHeight(), light);
        MakeShadowMatrix(kGroundPlanePoints, light, shadow);
        for (GLuint& t : textures) {
            GLubyte texels[4 * 4 * 3];
            for (int i = 0; i < 48; ++i)
                texels[i] = GLubyte((i * 37 + (&t - textures) * 101) % 256);
            glGenTextures(1, &t);
            glBindTexture(GL_TEXTURE_2D, t);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
            glTexImage2D(GL_TEXTURE_2D, 0, 3, 4, 4, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
        }
        // Both turning senses, both shapes, "triangle" drawn as a quad, runs of two textures
        // and of none (name 0), coloured after textured, and ties in depth.
        const float s[][12] = {{-60, -40, 0, 20, -40, 0, 20, 40, 0, -60, 40, 0},
                               {0, -50, 0, 0, 50, 0, 60, 50, 30, 60, -50, 30},
                               {-30, 10, 20, 40, 0, 20, 0, 70, -20, 0, 0, 0}};
        for (int i = 0; i < 12; ++i) {
            const float dz = float(i % 4) * 10;
            const float* c = s[i % 3];
            const uint32_t tex[] = {kNoTexture, textures[0], textures[1], 0};
            list.Add(polygon(i % 5 == 2 ? "triangle" : i % 3 == 2 ? "Triangle" : "Quad",
                             {c[0], c[1], c[2] + dz, c[3], c[4], c[5] + dz, c[6], c[7], c[8] - dz,
                              c[9], c[10], c[11] - dz},
                             40 * i, 255 - 20 * i, 90 + i, tex[(i / 2) % 4]));
        }
    }

    // The second of two frames, so that each path starts from what it leaves itself.
    std::vector<GLubyte> frame(scene::ObjectArrays* arrays, const ViewOptions& options)
    {
        std::vector<GLubyte> pixels(panel.deviceWidth() * panel.deviceHeight() * 4);
        for (int i = 0; i < 2; ++i)
            arrays ? scene::DrawScene(list, *arrays, pose, options, shadow)
                   : scene::DrawScene(list, pose, options, shadow);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, panel.deviceWidth(), panel.deviceHeight(), GL_RGBA, GL_UNSIGNED_BYTE,
                     pixels.data());
        return pixels;
    }

    TGLPanel& panel = *new TGLPanel;   // goes with the application, after its context
    CDynArray list;
    GLuint textures[2] = {};
    float light[4] = {0, 350, 50, 1}, shadow[16] = {};
    ObjectPose pose{25, -35, 10, 5, 40, 0, 1.2f, 1, 0.8f};
};

TEST_F(ObjectArraysTest, GiveTheImmediateFramesPixelForPixelInEveryRenderState)
{
    scene::ObjectArrays arrays;
    // The object as it is, then its triangles alone, which need no indices.
    for (int pass = 0; pass < 2; ++pass) {
        const int n = list.Count();
        for (int i = 0; pass == 1 && i < n; ++i) {
            if (list.First()->isTriangle())
                list.Add(*list.First());
            list.RemoveFirst();
        }
        for (int mask = 0; mask < 256; ++mask) {
            ViewOptions o;
            uint8_t* switches[] = {&o.cullFace, &o.depthTest, &o.outline, &o.lighting,
                                   &o.smoothShading, &o.ground, &o.axes};
            for (int bit = 0; bit < 7; ++bit)
                *switches[bit] = (mask >> bit) & 1;
            scene::ApplySwitches(o);
            scene::SetLightLevel(GL_AMBIENT, mask < 128 ? 3 : 10);
            scene::SetLightLevel(GL_SPECULAR, mask < 128 ? 10 : 2);
            ASSERT_EQ(differing(frame(nullptr, o), frame(&arrays, o)), 0)
                << "switches " << mask << (pass ? ", triangles alone" : "");
        }
    }
    EXPECT_EQ(arrays.builds(), 2) << "the arrays are made once per object, not per frame";

    // Enough polygons, overlapping at equal depths, for several draws and flushes.
    for (int i = 0; i < 9000; ++i) {
        const float x = float(i % 90) - 45, y = float(i / 90) - 50, z = float(i % 7) * 3;
        list.Add(polygon(i % 3 ? "Quad" : "Triangle",
                         {x, y, z, x + 9, y, z, x + 9, y + 9, z, x, y + 9, z}, i, 99, 7 * i));
    }
    for (const ViewOptions& o : {ViewOptions{}, ViewOptions{0, 0, 0, 1, 0}}) {
        scene::ApplySwitches(o);
        EXPECT_EQ(differing(frame(nullptr, o), frame(&arrays, o)), 0) << "smooth " << int(o.smoothShading);
    }

    // An edit in place shows once it is announced; a polygon added shows unannounced.
    scene::ApplySwitches({});
    const std::vector<GLubyte> before = frame(nullptr, {});
    tElement edited = polygon("Triangle", {-60, -60, 50, 60, -60, 50, 0, 60, 50}, 255, 0, 0);
    edited.next = list.First()->next;
    *list.First() = edited;
    arrays.markChanged();
    EXPECT_GT(differing(frame(nullptr, {}), before), 0);
    EXPECT_EQ(differing(frame(nullptr, {}), frame(&arrays, {})), 0);
    list.Add(polygon("Quad", {-80, -80, 40, -40, -80, 40, -40, -40, 40, -80, -40, 40}, 9, 9, 250));
    EXPECT_EQ(differing(frame(nullptr, {}), frame(&arrays, {})), 0);
}

} // namespace
