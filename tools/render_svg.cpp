// Renders SVG pictures to PNG at one size and at twice that size (name.png, name@2x.png):
//   render_svg [--raw] <out-folder> <width> <in.svg>...
// With --raw the pictures are written as bare premultiplied RGBA bytes (name.rgba,
// name@2x.rgba), for a program to show without decoding anything.
// The height follows the picture's own proportions. Fails on a picture that does not load
// or comes out blank, so a broken icon stops the build.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool render(const QString& svg, const QString& png, int width, bool raw)
{
    QSvgRenderer renderer(svg);
    if (!renderer.isValid()) {
        std::fprintf(stderr, "render_svg: cannot read %s\n", qPrintable(svg));
        return false;
    }
    const QSizeF box = renderer.viewBoxF().size();
    const int height = qRound(width * box.height() / box.width());
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    bool drawn = false;
    for (int y = 0; y < height && !drawn; ++y)
        for (int x = 0; x < width && !drawn; ++x)
            drawn = qAlpha(image.pixel(x, y)) > 40;
    if (!drawn) {
        std::fprintf(stderr, "render_svg: %s comes out blank\n", qPrintable(svg));
        return false;
    }
    if (!raw)
        return image.save(png);
    image.convertTo(QImage::Format_RGBA8888_Premultiplied);
    QFile file(png);
    return file.open(QIODevice::WriteOnly) &&
           file.write(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()) ==
               image.sizeInBytes();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const bool raw = argc > 1 && std::strcmp(argv[1], "--raw") == 0;
    if (raw) {
        --argc;
        ++argv;
    }
    if (argc < 4) {
        std::fprintf(stderr, "usage: render_svg [--raw] <out-folder> <width> <in.svg>...\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const int width = std::atoi(argv[2]);
    const QString suffix = raw ? ".rgba" : ".png";
    if (!out.mkpath(".") || width <= 0)
        return 2;
    bool ok = true;
    for (int i = 3; i < argc; ++i) {
        const QString svg = QString::fromLocal8Bit(argv[i]);
        const QString name = QFileInfo(svg).completeBaseName();
        ok = render(svg, out.filePath(name + suffix), width, raw) && ok;
        ok = render(svg, out.filePath(name + "@2x" + suffix), 2 * width, raw) && ok;
    }
    return ok ? 0 : 1;
}
