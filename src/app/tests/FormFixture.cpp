#include "FormFixture.h"

#include "TVorlanApplication.h"

#include <QFile>
#include <QSurfaceFormat>
#include <cmath>

QPoint FormTest::project(float x, float y, float z) const
{
    const TGLPanel* panel = form->glPanel();
    const double aspect = double(float(form->viewWidth()) / float(form->viewHeight()));
    const double f = 1.0 / std::tan(M_PI / 6.0);
    const double ze = double(z) - 300.0;        // camera 300 units back
    const double xn = f / aspect * x / -ze;
    const double yn = f * y / -ze;
    const double w = panel->deviceWidth();
    const double h = panel->deviceHeight();
    return QPoint(int(std::floor((xn + 1.0) / 2.0 * w)), int(std::floor((1.0 - yn) / 2.0 * h)));
}

namespace {
tElement make(const char* type, const char* name, std::initializer_list<float> corners)
{
    tElement e;
    e.type = type;
    e.name = name;
    int i = 0;
    for (float v : corners)
        e.vertex[i++] = v;
    return e;
}
void colour(tElement& e, int r, int g, int b)
{
    e.color = r | (g << 8) | (b << 16);
    e.red = r;
    e.green = g;
    e.blue = b;
}
} // namespace

tElement quad(const char* name, std::initializer_list<float> corners, int r, int g, int b)
{
    tElement e = make("Quad", name, corners);
    colour(e, r, g, b);
    return e;
}

tElement triangle(const char* name, std::initializer_list<float> corners, int r, int g, int b)
{
    tElement e = make("Triangle", name, corners);
    colour(e, r, g, b);
    return e;
}

tElement texturedQuad(const char* name, std::initializer_list<float> corners, const char* texture)
{
    tElement e = make("Quad", name, corners);
    e.color = e.red = e.green = e.blue = -1;
    e.texture = texture;
    return e;
}

bool writeBitmap(const QString& path, int width, int height,
                 const std::function<QColor(int x, int row)>& pixel)
{
    const int stride = (width * 3 + 3) / 4 * 4;
    QByteArray data;
    auto put = [&data](quint32 v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            data.append(char((v >> (8 * i)) & 0xFF));
    };
    data.append("BM");
    put(54 + stride * height, 4);
    put(0, 4);
    put(54, 4);
    put(40, 4);
    put(width, 4);
    put(height, 4);
    put(1, 2);
    put(24, 2);
    put(0, 4);
    put(stride * height, 4);
    put(2835, 4);
    put(2835, 4);
    put(0, 4);
    put(0, 4);
    for (int row = 0; row < height; ++row) {
        for (int x = 0; x < width; ++x) {
            const QColor c = pixel(x, row);
            data.append(char(c.blue()));
            data.append(char(c.green()));
            data.append(char(c.red()));
        }
        data.append(QByteArray(stride - width * 3, '\0'));
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

#ifndef VORLAN_OWN_MAIN
int main(int argc, char** argv)
{
    QSurfaceFormat::setDefaultFormat(TGLPanel::requestedFormat());
    TVorlanApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
#endif
