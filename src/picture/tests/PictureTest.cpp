// Pictures drawn with no display: the options change what is drawn, textured records find
// their bitmaps, and bad options are refused. These run with no display in the environment.
#include "Picture.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

namespace {

tElement facingQuad(float x0, float y0, float x1, float y1, int r, int g, int b)
{
    tElement e;
    e.type = "Quad";
    e.name = "Quad";
    const float corners[12] = {x0, y0, 0, x1, y0, 0, x1, y1, 0, x0, y1, 0};
    std::copy(corners, corners + 12, e.vertex);
    e.color = r | (g << 8) | (b << 16);
    e.red = r;
    e.green = g;
    e.blue = b;
    return e;
}

// A 24-bit bitmap whose lower half is red and upper half blue.
bool writeHalvesBitmap(const QString& path)
{
    QImage image(8, 8, QImage::Format_RGB888);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            image.setPixelColor(x, y, y < 4 ? Qt::blue : Qt::red);
    return image.save(path, "BMP");
}

class PictureTest : public ::testing::Test {
protected:
    QImage draw(CDynArray& list)
    {
        QImage image;
        std::string error;
        EXPECT_TRUE(RenderPicture(list, options, image, error)) << error;
        EXPECT_EQ(image.size(), QSize(options.width, options.height));
        return image;
    }

    // Where a scene point of the object at rest lands in the picture.
    QPoint project(float x, float y, float z) const
    {
        const double aspect = double(options.width) / options.height;
        const double f = 1.0 / std::tan(M_PI / 6.0);
        const double depth = 300.0 - z;
        return QPoint(int(std::floor((f / aspect * x / depth + 1.0) / 2.0 * options.width)),
                      int(std::floor((1.0 - f * y / depth) / 2.0 * options.height)));
    }

    static int count(const QImage& image, bool (*test)(QRgb))
    {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += test(image.pixel(x, y)) ? 1 : 0;
        return n;
    }
    static bool groundGreen(QRgb c) { return qGreen(c) > 20 && qRed(c) < 40 && qBlue(c) < 40; }
    static bool axisRed(QRgb c) { return qRed(c) > 150 && qGreen(c) < 60 && qBlue(c) < 60; }

    PictureOptions options;
};

TEST_F(PictureTest, GroundAxesAndTurnFollowTheOptions)
{
    options.width = 320;
    options.height = 200;
    CDynArray empty;
    const QImage scene = draw(empty);
    EXPECT_TRUE(groundGreen(scene.pixel(160, 198))) << "ground along the bottom";
    EXPECT_GT(count(scene, axisRed), 40) << "red axes";

    options.view.ground = 0;
    const QImage noGround = draw(empty);
    EXPECT_EQ(count(noGround, groundGreen), 0);
    EXPECT_GT(count(noGround, axisRed), 40);

    options.view.ground = 1;
    options.view.axes = 0;
    const QImage noAxes = draw(empty);
    EXPECT_EQ(count(noAxes, axisRed), 0);
    EXPECT_TRUE(groundGreen(noAxes.pixel(160, 198)));

    // A yellow quad in the upper right, unlit so it keeps its colour: half a turn about Z
    // takes it to the lower left.
    CDynArray list;
    list.Add(facingQuad(20, 20, 80, 80, 250, 250, 0));
    options.view.lighting = 0;
    const QRgb yellow = qRgb(250, 250, 0);
    const QImage atRest = draw(list);
    EXPECT_EQ(atRest.pixel(project(50, 50, 0)), yellow);
    EXPECT_NE(atRest.pixel(project(-50, -50, 0)), yellow);
    options.pose.rotZ = 180.0f;
    const QImage turned = draw(list);
    EXPECT_NE(turned.pixel(project(50, 50, 0)), yellow);
    EXPECT_EQ(turned.pixel(project(-50, -50, 0)), yellow);
}

TEST_F(PictureTest, TexturedRecordFindsItsBitmapInTheTextureFolderAndKeepsItsTextureName)
{
    QTemporaryDir objectFolder, elsewhere;
    ASSERT_TRUE(objectFolder.isValid() && elsewhere.isValid());
    ASSERT_TRUE(writeHalvesBitmap(objectFolder.filePath("halves.bmp")));
    const QString previousCurrent = QDir::currentPath();
    QDir::setCurrent(elsewhere.path());

    CDynArray list;
    tElement e = facingQuad(-60, -60, 60, 60, 0, 0, 0);
    e.color = e.red = e.green = e.blue = -1;
    e.texture = "halves.bmp";
    e.textureId = 77;
    list.Add(e);
    list.Add(e); // the second shares the first one's texture
    options.view.lighting = 0;
    options.view.axes = 0;
    options.textureFolder = QFile::encodeName(objectFolder.path()).toStdString();
    const QImage found = draw(list);
    EXPECT_EQ(found.pixel(project(30, -40, 0)), qRgb(255, 0, 0)) << "bottom row at the first corners";
    EXPECT_EQ(found.pixel(project(30, 40, 0)), qRgb(0, 0, 255));
    EXPECT_EQ(list.First()->textureId, 77u);
    EXPECT_EQ(list.Last()->textureId, 77u);

    options.textureFolder.clear(); // the current folder, which does not hold it
    const QImage missing = draw(list);
    EXPECT_NE(missing.pixel(project(30, -40, 0)), qRgb(255, 0, 0));
    EXPECT_NE(missing.pixel(project(30, -40, 0)), qRgb(0, 0, 0)) << "drawn, untextured";
    QDir::setCurrent(previousCurrent);
}

TEST_F(PictureTest, OptionsOutOfRangeAreRefusedWithAReason)
{
    CDynArray list;
    list.Add(facingQuad(0, 0, 10, 10, 1, 2, 3));
    const auto refused = [&](const PictureOptions& o, const char* words) {
        QImage image;
        std::string error;
        EXPECT_FALSE(RenderPicture(list, o, image, error));
        EXPECT_NE(error.find(words), std::string::npos) << error;
    };
    PictureOptions o;
    o.width = 0;
    refused(o, "picture size 0 x 529");
    o.width = 100;
    o.height = 1000000;
    refused(o, "picture size 100 x 1000000 is outside");
    o.height = 100;
    o.ambient = 0;
    refused(o, "light level 0 is outside 1 to 10");
    o.ambient = 3;
    o.specular = 11;
    refused(o, "light level 11");
}

} // namespace
