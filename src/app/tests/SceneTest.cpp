// What the view shows, read back from the rendered frame.
#include "FormFixture.h"

#include <QDir>
#include <QTemporaryDir>
#include <QToolButton>

namespace {

bool isBlack(QRgb c) { return qRed(c) < 16 && qGreen(c) < 16 && qBlue(c) < 16; }
bool isGroundGreen(QRgb c) { return qGreen(c) > 20 && qRed(c) < 40 && qBlue(c) < 40; }
bool isAxisRed(QRgb c) { return qRed(c) > 150 && qGreen(c) < 60 && qBlue(c) < 60; }
bool isShadowDark(QRgb c) { return qRed(c) < 20 && qGreen(c) < 20 && qBlue(c) < 20; }
bool near(QRgb c, int r, int g, int b, int tolerance = 3)
{
    return std::abs(qRed(c) - r) <= tolerance && std::abs(qGreen(c) - g) <= tolerance &&
           std::abs(qBlue(c) - b) <= tolerance;
}

std::string describe(QRgb c)
{
    return "rgb(" + std::to_string(qRed(c)) + ", " + std::to_string(qGreen(c)) + ", " +
           std::to_string(qBlue(c)) + ")";
}

int countInRows(const QImage& image, int fromRow, int toRow, int fromX, int toX,
                bool (*test)(QRgb))
{
    int n = 0;
    for (int y = std::max(0, fromRow); y <= std::min(image.height() - 1, toRow); ++y)
        for (int x = std::max(0, fromX); x <= std::min(image.width() - 1, toX); ++x)
            n += test(image.pixel(x, y)) ? 1 : 0;
    return n;
}

// A square facing the camera at depth z, corners counter-clockwise as seen from it.
tElement facing(const char* name, float half, float z, int r, int g, int b)
{
    return quad(name, {-half, -half, z, half, -half, z, half, half, z, -half, half, z}, r, g, b);
}

class SceneTest : public FormTest {
protected:
    QRgb at(const QImage& image, float x, float y, float z) const
    {
        return image.pixel(project(x, y, z));
    }
    void add(const tElement& e) { ASSERT_TRUE(form->addPolygon(e)); }
    void redraw()
    {
        form->DrawScene();
        settle();
    }
    void lightOff() { form->LightningExecute(); }
    void axesOff() { form->OptionsGridClick(); }

    // Where the X axis's shadow falls: the light flattens (x, 0, 0) onto z = -150/7.
    int xAxisShadowRow() const { return project(0, -150, -150.0f / 7.0f).y(); }
};

TEST_F(SceneTest, EmptySceneShowsGroundAxesAndTheirShadow)
{
    redraw();
    const QImage image = frame();
    const int w = image.width(), h = image.height();

    // Ground: bright green at the near (bottom) edge, dark green just below its far edge.
    const QRgb nearGround = image.pixel(w / 2 + 40, h - 2);
    EXPECT_TRUE(isGroundGreen(nearGround) && qGreen(nearGround) > 150) << describe(nearGround);
    const int farRow = project(0, -150, -195).y() + 2;
    const QRgb farGround = image.pixel(w / 2 + 40, farRow);
    EXPECT_TRUE(isGroundGreen(farGround) && qGreen(farGround) < 90) << describe(farGround);
    EXPECT_TRUE(isBlack(image.pixel(w / 2 + 40, farRow - 12))) << "sky above the far edge";

    // The X axis runs red and stippled through the centre.
    const int centre = project(0, 0, 0).y();
    const int red = countInRows(image, centre - 1, centre + 1, project(-90, 0, 0).x(),
                                project(90, 0, 0).x(), isAxisRed);
    EXPECT_GT(red, 60);
    EXPECT_LT(red, 3 * 2 * project(90, 0, 0).x()) << "stippled, not solid";

    // Its black shadow lies across the ground.
    const int row = xAxisShadowRow();
    EXPECT_GT(countInRows(image, row - 2, row + 2, project(-120, -150, -21).x(),
                          project(120, -150, -21).x(), isShadowDark),
              60);
}

TEST_F(SceneTest, ColouredQuadShowsItsColourLit)
{
    add(facing("Lit", 60, 0, 200, 60, 40));
    redraw();
    const QRgb lit = at(frame(), 30, 30, 0);
    EXPECT_TRUE(qRed(lit) > 2 * qGreen(lit) && qRed(lit) > 2 * qBlue(lit)) << describe(lit);
    EXPECT_LT(qRed(lit), 190) << "the light falls steeply onto it, so it is darker than its colour";

    lightOff();
    EXPECT_TRUE(near(at(frame(), 30, 30, 0), 200, 60, 40)) << "unlit it is its own colour";
}

TEST_F(SceneTest, ColoursUseTheLowByteOfEachComponent)
{
    tElement e = facing("Bytes", 60, 0, 0, 0, 0);
    e.red = 0x1C8;   // low byte 200
    e.green = 0x23C; // 60
    e.blue = 40;
    add(e);
    lightOff();
    EXPECT_TRUE(near(at(frame(), 30, 30, 0), 200, 60, 40)) << describe(at(frame(), 30, 30, 0));
}

TEST_F(SceneTest, TextureShowsItsBottomRowAlongTheFirstCornersInTrueColours)
{
    QTemporaryDir dir;
    const QString oldCurrent = QDir::currentPath();
    QDir::setCurrent(dir.path());
    ASSERT_TRUE(writeBitmap("halves.bmp", 8, 8, [](int, int row) {
        return row < 4 ? QColor(255, 0, 0) : QColor(0, 0, 255);
    }));
    add(texturedQuad("Tex", {-60, -60, 0, 60, -60, 0, 60, 60, 0, -60, 60, 0}, "halves.bmp"));
    QDir::setCurrent(oldCurrent);
    EXPECT_NE(form->polygons().First()->textureId, 0u);

    lightOff();
    const QImage image = frame();
    EXPECT_TRUE(near(at(image, 30, -40, 0), 255, 0, 0, 8)) << describe(at(image, 30, -40, 0));
    EXPECT_TRUE(near(at(image, 30, 40, 0), 0, 0, 255, 8)) << describe(at(image, 30, 40, 0));
}

TEST_F(SceneTest, TriangleShowsTheLowerLeftHalfOfItsTexture)
{
    QTemporaryDir dir;
    const QString oldCurrent = QDir::currentPath();
    QDir::setCurrent(dir.path());
    // Left half green, right half blue: the triangle's corner 3 is at the image's upper left.
    ASSERT_TRUE(writeBitmap("sides.bmp", 8, 8, [](int x, int) {
        return x < 4 ? QColor(0, 255, 0) : QColor(0, 0, 255);
    }));
    tElement e = texturedQuad("Tri", {-60, -60, 0, 60, -60, 0, -60, 60, 0}, "sides.bmp");
    e.type = "Triangle";
    add(e);
    QDir::setCurrent(oldCurrent);
    lightOff();
    axesOff();
    const QImage image = frame();
    EXPECT_TRUE(near(at(image, -40, 30, 0), 0, 255, 0, 8)) << describe(at(image, -40, 30, 0));
    EXPECT_TRUE(near(at(image, 40, -50, 0), 0, 0, 255, 8)) << describe(at(image, 40, -50, 0));
    EXPECT_TRUE(isBlack(at(image, 40, 40, 0))) << "no fourth corner";
}

TEST_F(SceneTest, BitmapOnePixelHighWorksAsATexture)
{
    QTemporaryDir dir;
    const QString oldCurrent = QDir::currentPath();
    QDir::setCurrent(dir.path());
    ASSERT_TRUE(writeBitmap("strip.bmp", 3, 1, [](int, int) { return QColor(250, 200, 0); }));
    add(texturedQuad("Strip", {-60, -60, 0, 60, -60, 0, 60, 60, 0, -60, 60, 0}, "strip.bmp"));
    QDir::setCurrent(oldCurrent);
    EXPECT_NE(form->polygons().First()->textureId, 0u);
    lightOff();
    EXPECT_TRUE(near(at(frame(), 30, 30, 0), 250, 200, 0, 8)) << describe(at(frame(), 30, 30, 0));
}

TEST_F(SceneTest, TextureThatCannotBeLoadedIsDrawnWhite)
{
    add(texturedQuad("Missing", {-60, -60, 0, 60, -60, 0, 60, 60, 0, -60, 60, 0},
                     "no-such-bitmap.bmp"));
    EXPECT_EQ(form->polygons().First()->textureId, 0u);
    lightOff();
    EXPECT_TRUE(near(at(frame(), 30, 30, 0), 255, 255, 255)) << describe(at(frame(), 30, 30, 0));
}

TEST_F(SceneTest, OnlyTheExactTypeTriangleMakesATriangle)
{
    tElement e = facing("Lower case", 60, 0, 0, 0, 200);
    e.type = "triangle";
    add(e);
    lightOff();
    // The upper right lies only inside the quad made of all four corners.
    EXPECT_TRUE(near(at(frame(), 40, 40, 0), 0, 0, 200));
}

TEST_F(SceneTest, OutlineDrawsOnlyTheEdges)
{
    add(facing("Outlined", 60, 0, 200, 60, 40));
    lightOff();
    form->OutlineExecute();
    const QImage image = frame();
    EXPECT_TRUE(isBlack(at(image, 30, 30, 0))) << describe(at(image, 30, 30, 0));
    const QPoint corner = project(60, 30, 0);
    int edge = 0;
    for (int dx = -1; dx <= 1; ++dx)
        edge += near(image.pixel(corner + QPoint(dx, 0)), 200, 60, 40) ? 1 : 0;
    EXPECT_GE(edge, 1) << "the right edge is drawn";
}

TEST_F(SceneTest, CullHidesPolygonsSeenFromBehind)
{
    // Clockwise as the camera sees it: its back faces the camera.
    add(quad("Back", {-60, 60, 0, 60, 60, 0, 60, -60, 0, -60, -60, 0}, 200, 60, 40));
    lightOff();
    EXPECT_TRUE(near(at(frame(), 30, 30, 0), 200, 60, 40));
    form->CullExecute();
    EXPECT_TRUE(isBlack(at(frame(), 30, 30, 0)));
}

TEST_F(SceneTest, WithoutDepthTestLaterPolygonsPaintOverEarlierOnes)
{
    add(facing("Near", 60, 20, 200, 0, 0));
    add(facing("Far", 60, -20, 0, 0, 200));
    lightOff();
    EXPECT_TRUE(near(at(frame(), 30, 30, 20), 200, 0, 0)) << "the near one hides the far one";
    form->DepthExecute();
    EXPECT_TRUE(near(at(frame(), 30, 30, 20), 0, 0, 200)) << "list order decides";
}

TEST_F(SceneTest, GroundOffRemovesGroundAndShadowButKeepsTheAxes)
{
    form->OptionsGroundClick();
    const QImage image = frame();
    EXPECT_TRUE(isBlack(image.pixel(image.width() / 2 + 40, image.height() - 2)));
    const int row = xAxisShadowRow();
    EXPECT_EQ(countInRows(image, row - 3, row + 3, 0, image.width() - 1, isGroundGreen), 0);
    const int centre = project(0, 0, 0).y();
    EXPECT_GT(countInRows(image, centre - 1, centre + 1, 0, image.width() - 1, isAxisRed), 60);
}

TEST_F(SceneTest, SourcelightOffRemovesTheShadow)
{
    lightOff();
    const QImage image = frame();
    const int row = xAxisShadowRow();
    const int left = project(-120, -150, -21).x(), right = project(120, -150, -21).x();
    EXPECT_EQ(countInRows(image, row - 2, row + 2, left, right, isShadowDark), 0);
    EXPECT_GT(countInRows(image, row - 2, row + 2, left, right, isGroundGreen), 0);

    lightOff(); // on again: the shadow is back
    EXPECT_GT(countInRows(frame(), row - 2, row + 2, left, right, isShadowDark), 60);
}

TEST_F(SceneTest, ShadowOfAPointLandsWhereTheShadowMatrixSendsIt)
{
    axesOff();
    // A small patch around (10, 0, 20), facing up; the light flattens that point onto
    // (14.2857, -150, 7.1429).
    add(quad("Patch", {6, 0, 24, 14, 0, 24, 14, 0, 16, 6, 0, 16}, 255, 255, 255));
    redraw();
    const QImage image = frame();
    const QRgb centre = at(image, 14.2857f, -150, 7.1429f);
    EXPECT_TRUE(isShadowDark(centre)) << describe(centre);
    EXPECT_TRUE(isGroundGreen(at(image, 14.2857f + 20, -150, 7.1429f)));
    EXPECT_TRUE(isGroundGreen(at(image, 14.2857f, -150, 7.1429f + 20)));
}

TEST_F(SceneTest, ShadowFollowsTheObjectTransform)
{
    axesOff();
    add(quad("Patch", {6, 0, 24, 14, 0, 24, 14, 0, 16, 6, 0, 16}, 255, 255, 255));
    form->objectTransform().transX = 40;   // (50, 0, 20) now casts onto (71.4286, -150, 7.1429)
    redraw();
    const QImage image = frame();
    EXPECT_TRUE(isShadowDark(at(image, 71.4286f, -150, 7.1429f)));
    EXPECT_TRUE(isGroundGreen(at(image, 14.2857f, -150, 7.1429f)));
}

} // namespace
