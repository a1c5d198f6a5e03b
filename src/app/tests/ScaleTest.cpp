// The view fills its panel sharply at any screen scale factor (run again with
// QT_SCALE_FACTOR=2 by the build): the viewport is in device pixels.
#include "FormFixture.h"

#include <GL/gl.h>

namespace {

using ScaleTest = FormTest;

TEST_F(ScaleTest, ViewportCoversThePanelInDevicePixels)
{
    TGLPanel* panel = form->glPanel();
    const qreal ratio = panel->devicePixelRatioF();
    EXPECT_EQ(panel->size(), QSize(523, 529)) << "the layout is in logical pixels";
    EXPECT_EQ(panel->deviceWidth(), qRound(523 * ratio));
    EXPECT_EQ(panel->deviceHeight(), qRound(529 * ratio));

    form->DrawScene();
    ASSERT_TRUE(panel->makeContextCurrent());
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], panel->deviceWidth());
    EXPECT_EQ(viewport[3], panel->deviceHeight());

    const QImage image = frame();
    EXPECT_EQ(image.size(), QSize(panel->deviceWidth(), panel->deviceHeight()));
    // The ground reaches both lower corners: the picture is not drawn into a corner only.
    for (int x : {2, image.width() - 3}) {
        const QRgb c = image.pixel(x, image.height() - 3);
        EXPECT_GT(qGreen(c), 100) << "x " << x;
    }
}

} // namespace
