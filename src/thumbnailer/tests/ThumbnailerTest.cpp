// The thumbnailer as file managers run it: no display, SIZE IN OUT, a PNG or one line of
// reason with a failing status and no picture left behind.
#include "ObjectFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Outcome {
    int status = -1;
    QString errors;
};

class ThumbnailerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid() && elsewhere.isValid()); }

    // Runs from another folder than the object's, with no display in the environment.
    Outcome run(const QStringList& arguments)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(elsewhere.path());
        process.start(QStringLiteral(VORLAN_THUMBNAILER), arguments);
        EXPECT_TRUE(process.waitForFinished(30000));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromLocal8Bit(process.readAllStandardError())};
    }

    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    static tElement triangle(float x, float y, float side, int red)
    {
        tElement e;
        e.type = "Triangle";
        e.name = "T";
        const float corners[12] = {x, y, 0, x + side, y, 0, x, y + side, 0, 0, 0, 0};
        std::copy(corners, corners + 12, e.vertex);
        e.red = red;
        e.color = red;
        return e;
    }

    void writeObject(const char* name, const std::vector<tElement>& polygons)
    {
        CDynArray list;
        for (const tElement& e : polygons)
            list.Add(e);
        ASSERT_TRUE(WriteObjectFile(QFile::encodeName(path(name)).toStdString(), list.First(), list.Count()));
    }

    QByteArray contents(const char* name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir, elsewhere;
};

TEST_F(ThumbnailerTest, DrawsTheViewsShapeWithTexturesFromBesideTheObject)
{
    // An 8 x 8 bitmap, lower half red and upper half blue, beside the object.
    QImage bitmap(8, 8, QImage::Format_RGB888);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            bitmap.setPixelColor(x, y, y < 4 ? Qt::blue : Qt::red);
    ASSERT_TRUE(bitmap.save(path("halves.bmp"), "BMP"));
    tElement e;
    e.type = "Quad";
    e.name = "Crate";
    const float corners[12] = {-60, -60, 0, 60, -60, 0, 60, 60, 0, -60, 60, 0};
    std::copy(corners, corners + 12, e.vertex);
    e.color = e.red = e.green = e.blue = -1;
    e.texture = "halves.bmp";
    CDynArray list;
    list.Add(e);
    ASSERT_TRUE(WriteObjectFile(QFile::encodeName(path("crate.3do")).toStdString(), list.First(), 1));

    const Outcome r = run({"-s", "128", path("crate.3do"), path("crate.png")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.errors, "");
    const QImage picture(path("crate.png"));
    ASSERT_EQ(picture.size(), QSize(127, 128)) << "the view's 523 x 529, its longer side 128";
    // The lit quad spans the middle third; its lower half is red, its upper half blue.
    const QRgb low = picture.pixel(70, 75), high = picture.pixel(70, 52);
    EXPECT_TRUE(qRed(low) > 60 && qBlue(low) < qRed(low) / 3) << std::hex << low;
    EXPECT_TRUE(qBlue(high) > 60 && qRed(high) < qBlue(high) / 3) << std::hex << high;
    EXPECT_FALSE(QDir(dir.path()).entryList(QDir::Files).join(' ').contains("crate.png."))
        << "no temporary file left";
}

TEST_F(ThumbnailerTest, FailuresSayWhyInOneLineAndLeaveNoPicture)
{
    QFile(path("empty.3do")).open(QIODevice::WriteOnly);
    QFile partial(path("partial.3do"));
    ASSERT_TRUE(partial.open(QIODevice::WriteOnly) && partial.write(QByteArray(135, 'x')) == 135);
    partial.close();
    QFile old(path("old.png"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old picture") == 11);
    old.close();

    struct Case {
        QStringList arguments;
        QString reason;
        const char* output;
    };
    const Case cases[] = {
        {{"-s", "256", path("missing.3do"), path("out.png")}, "missing.3do: No such file", "out.png"},
        {{"-s", "256", dir.path(), path("out.png")}, ": not a regular file", "out.png"},
        {{"-s", "256", path("empty.3do"), path("out.png")}, "holds no complete polygon", "out.png"},
        {{"-s", "256", path("partial.3do"), path("old.png")}, "holds no complete polygon", nullptr},
        {{"-s", "0", path("partial.3do"), path("out.png")}, "size '0' is not a whole number", "out.png"},
        {{"-s", "12x", path("partial.3do"), path("out.png")}, "size '12x'", "out.png"},
        {{path("partial.3do"), path("out.png")}, "usage: 3dvorlan-thumbnailer -s SIZE", "out.png"},
        {{"-s", "64", "--frob", path("partial.3do"), path("out.png")}, "unknown option --frob", "out.png"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const Outcome r = run(c.arguments);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.errors.startsWith("3dvorlan-thumbnailer: ")) << r.errors.toStdString();
        EXPECT_TRUE(r.errors.contains(c.reason)) << r.errors.toStdString();
        EXPECT_EQ(r.errors.count('\n'), 1) << "one line";
        if (c.output) {
            EXPECT_FALSE(QFile::exists(path(c.output)));
        }
    }
    QFile kept(path("old.png"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "old picture") << "an existing picture is untouched on failure";
}

TEST_F(ThumbnailerTest, AnOutputThatCannotBeWrittenIsReported)
{
    writeObject("one.3do", {triangle(0, 0, 40, 255)});
    const Outcome r = run({"-s", "32", path("one.3do"), path("no-such-folder/one.png")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.errors.startsWith("3dvorlan-thumbnailer: " + path("no-such-folder/one.png") + ": "))
        << r.errors.toStdString();
    EXPECT_EQ(r.errors.count('\n'), 1);
}

TEST_F(ThumbnailerTest, OnlyObjectFilesAreDrawn)
{
    // A text of two records' length, a binary glTF, and object files spoilt in one field.
    QByteArray text;
    while (text.size() < 272)
        text += "root:x:0:0:root:/root:/bin/bash\n";
    QFile passwd(path("passwd.3do"));
    ASSERT_TRUE(passwd.open(QIODevice::WriteOnly) && passwd.write(text.left(272)) == 272);
    passwd.close();
    QFile::copy("/usr/share/assimp/models/glTF2/BoxTextured-glTF-Binary/BoxTextured.glb", path("box.3do"));
    ASSERT_TRUE(QFile::exists(path("box.3do")));
    writeObject("good.3do", {triangle(0, 0, 40, 10), triangle(0, 0, 40, 200)});
    const QByteArray good = contents("good.3do");
    ASSERT_EQ(good.size(), 2 * 136 + 2) << "colour and red 10 are stored as 0x0D 0x0A";
    const int second = good.size() - 136;
    const auto spoilt = [&](const char* name, int at, const QByteArray& bytes) {
        QByteArray b = good.left(at) + bytes;
        if (at + bytes.size() < good.size())
            b += good.mid(at + bytes.size());
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(b) == b.size());
    };
    spoilt("type.3do", second, "Pentagon");
    spoilt("colour.3do", second + 92, QByteArray("\x00\x01\x00\x00", 4));
    spoilt("name.3do", second + 9, QByteArray(31, 'n'));
    spoilt("rest.3do", good.size(), "xy");

    const Outcome drawn = run({"-s", "32", path("good.3do"), path("good.png")});
    EXPECT_EQ(drawn.status, 0) << drawn.errors.toStdString();
    for (const char* name : {"passwd.3do", "box.3do", "type.3do", "colour.3do", "name.3do", "rest.3do"}) {
        SCOPED_TRACE(name);
        const Outcome r = run({"-s", "32", path(name), path("out.png")});
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.errors.startsWith("3dvorlan-thumbnailer: " + path(name) + ": ")) << r.errors.toStdString();
        EXPECT_EQ(r.errors.count('\n'), 1);
        EXPECT_FALSE(QFile::exists(path("out.png")));
    }
}

TEST_F(ThumbnailerTest, TheWholeObjectIsInThePictureWhateverItsSizeAndPlace)
{
    // Far too large for the view at rest, and small but far off to one side.
    writeObject("large.3do", {triangle(-2000, -2000, 4000, 255)});
    writeObject("aside.3do", {triangle(900, 0, 60, 255)});
    for (const char* name : {"large.3do", "aside.3do"}) {
        SCOPED_TRACE(name);
        const Outcome r = run({"-s", "128", path(name), path("out.png")});
        ASSERT_EQ(r.status, 0) << r.errors.toStdString();
        const QImage picture(path("out.png"));
        const auto red = [&](int x, int y) {
            const QRgb c = picture.pixel(x, y);
            return qRed(c) > 60 && qRed(c) > 2 * (qGreen(c) + qBlue(c));
        };
        int inside = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                inside += red(x, y);
        EXPECT_GT(inside, 100) << "the object is drawn";
        for (int k = 0; k < picture.width(); ++k)
            EXPECT_FALSE(red(k, 0) || red(k, picture.height() - 1)) << "clipped at " << k;
        for (int k = 0; k < picture.height(); ++k)
            EXPECT_FALSE(red(0, k) || red(picture.width() - 1, k)) << "clipped at " << k;
    }
}

TEST_F(ThumbnailerTest, OutputsKeepWhatTheyWriteTo)
{
    writeObject("one.3do", {triangle(0, 0, 40, 255)});
    // A link is followed: its target gets the picture and the link stays.
    ASSERT_TRUE(QDir(dir.path()).mkdir("real"));
    QFile old(path("real/one.png"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    old.close();
    ASSERT_TRUE(QFile::link("real/one.png", path("one.png")));
    Outcome r = run({"-s", "32", path("one.3do"), path("one.png")});
    EXPECT_EQ(r.status, 0) << r.errors.toStdString();
    EXPECT_TRUE(QFileInfo(path("one.png")).isSymLink());
    EXPECT_EQ(QImage(path("real/one.png")).size(), QSize(32, 32));

    // A FIFO with a reader is written into and stays a FIFO.
    const QByteArray fifo = QFile::encodeName(path("pipe.png"));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    const int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    r = run({"-s", "32", path("one.3do"), path("pipe.png")});
    EXPECT_EQ(r.status, 0) << r.errors.toStdString();
    QByteArray sent(1 << 16, '\0');
    const ssize_t got = ::read(reader, sent.data(), std::size_t(sent.size()));
    ::close(reader);
    ASSERT_GT(got, 0);
    sent.resize(int(got));
    EXPECT_EQ(QImage::fromData(sent, "PNG").size(), QSize(32, 32));
    struct stat st;
    ASSERT_EQ(::lstat(fifo.constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
