// The offscreen picture against the main window's own frame: same size, pose, switches and
// light, pixel for pixel.
#include "FormFixture.h"

#include "ObjectFile.h"
#include "Picture.h"

#include <QDir>
#include <QSlider>
#include <QTemporaryDir>

namespace {

class PictureWindowTest : public FormTest {
protected:
    void SetUp() override
    {
        FormTest::SetUp();
        previousCurrent = QDir::currentPath();
    }
    void TearDown() override
    {
        QDir::setCurrent(previousCurrent);
        FormTest::TearDown();
    }

    void open(const QString& file)
    {
        dialogs.files.push_back(file);
        form->FileOpenExecute();
        ASSERT_TRUE(dialogs.messages.empty()) << dialogs.messages.front().text.toStdString();
        ASSERT_GT(form->polygons().Count(), 0);
    }

    int light(const char* name) { return find<QSlider>(name)->value(); }

    // Draws the window's state offscreen and compares it with the frame the view shows.
    void expectPictureEqualsView(const char* what)
    {
        SCOPED_TRACE(what);
        form->DrawScene();
        settle();
        const QImage view = frame();

        const ObjectTransform& t = form->objectTransform();
        PictureOptions options;
        options.width = form->viewWidth();
        options.height = form->viewHeight();
        options.pose = {t.rotX, t.rotY, t.rotZ, t.transX, t.transY, t.transZ,
                        t.scaleX, t.scaleY, t.scaleZ};
        options.view = form->viewOptions();
        options.ambient = light("TBAmbient");
        options.diffuse = light("TBDiffuse");
        options.specular = light("TBSpecular");
        QImage picture;
        std::string error;
        ASSERT_TRUE(RenderPicture(form->polygons(), options, picture, error)) << error;

        ASSERT_EQ(picture.size(), view.size());
        int differing = 0;
        QPoint first;
        for (int y = 0; y < view.height(); ++y)
            for (int x = 0; x < view.width(); ++x)
                if ((view.pixel(x, y) & 0xFFFFFF) != (picture.pixel(x, y) & 0xFFFFFF) &&
                    differing++ == 0)
                    first = QPoint(x, y);
        EXPECT_EQ(differing, 0) << "first at (" << first.x() << ", " << first.y() << "): view "
                                << std::hex << view.pixel(first) << ", picture "
                                << picture.pixel(first);
        // The window's textures stay its own: drawing again after the picture is unchanged.
        form->DrawScene();
        settle();
        EXPECT_EQ(frame(), view) << "the window's frame after the picture was drawn";
    }

    QString previousCurrent;
};

TEST_F(PictureWindowTest, ExampleAtStartUpEqualsTheViewsFirstFrame)
{
    open(QStringLiteral(VORLAN_EXAMPLES_DIR "/crate.3do"));
    expectPictureEqualsView("crate at rest");
}

TEST_F(PictureWindowTest, TurnedObjectThroughTheGroundEqualsTheViewUnderEverySwitch)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(writeBitmap(dir.filePath("stripes.bmp"), 16, 8, [](int x, int row) {
        return QColor(x * 16, row * 30, 255 - x * 16);
    }));
    // Colours, a texture shared by two polygons, one missing, and a quad through the ground.
    CDynArray list;
    list.Add(quad("Front", {-60, -60, 40, 60, -60, 40, 60, 60, 40, -60, 60, 40}, 200, 60, 40));
    list.Add(triangle("Roof", {-60, 60, 40, 60, 60, 40, 0, 120, 0}, 30, 140, 220));
    list.Add(texturedQuad("Side", {60, -60, 40, 60, -60, -40, 60, 60, -40, 60, 60, 40},
                          "stripes.bmp"));
    list.Add(texturedQuad("Back", {60, -60, -40, -60, -60, -40, -60, 60, -40, 60, 60, -40},
                          "stripes.bmp"));
    list.Add(texturedQuad("Lost", {-60, -60, -40, -60, -60, 40, -60, 60, 40, -60, 60, -40},
                          "missing.bmp"));
    list.Add(quad("Sunk", {-150, -180, -100, 150, -180, -100, 150, -120, 100, -150, -120, 100},
                  250, 250, 90));
    const QString file = dir.filePath("scene.3do");
    ASSERT_TRUE(WriteObjectFile(QFile::encodeName(file).toStdString(), list.First(), list.Count()));
    open(file);

    ObjectTransform& t = form->objectTransform();
    t.rotX = 23.0f;
    t.rotY = -37.5f;
    t.rotZ = 11.0f;
    t.transX = 14.0f;
    t.transY = -9.0f;
    t.transZ = 31.0f;
    t.scaleX = 1.1f;
    t.scaleY = 0.9f;
    t.scaleZ = 1.25f;
    find<QSlider>("TBAmbient")->setValue(6);
    find<QSlider>("TBDiffuse")->setValue(4);
    find<QSlider>("TBSpecular")->setValue(2);
    expectPictureEqualsView("turned, other light levels");

    form->CullExecute();
    form->ShadingExecute();
    expectPictureEqualsView("culled, flat");

    form->OutlineExecute();
    form->OptionsGridClick();
    form->DepthExecute();
    expectPictureEqualsView("outlined, no axes, no depth test");

    form->OutlineExecute();
    form->LightningExecute();
    form->OptionsGroundClick();
    expectPictureEqualsView("unlit, no ground");
}

} // namespace
