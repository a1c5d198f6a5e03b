// The program as a user runs it: exit status, the one line on standard error, and no
// output file left behind by a failure.
#include "BitmapFile.h"
#include "DynArray.h"
#include "ObjectFile.h"
#include "TestFiles.h"
#include "Version.h"

#include <gtest/gtest.h>

#include <QImage>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

std::string slurp(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs the program as the user `as` when it is not 0.
Outcome run(const std::vector<std::string>& args, const TempDir& dir, uid_t as = 0)
{
    const std::string out = dir.file(".stdout"), err = dir.file(".stderr");
    pid_t pid = ::fork();
    if (pid == 0) {
        int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(o, 1);
        ::dup2(e, 2);
        if (as != 0 && (::setgid(as) != 0 || ::setuid(as) != 0))
            ::_exit(126);
        std::vector<char*> argv{const_cast<char*>(CONVERT_PROGRAM)};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        // A crash of the import library inside the program's per-file child is a case under
        // test: in a sanitizer build the signal must reach the program, not the sanitizer.
        std::string asan = std::string(getenv("ASAN_OPTIONS") ? getenv("ASAN_OPTIONS") : "");
        ::setenv("ASAN_OPTIONS", (asan + ":handle_segv=0:handle_sigbus=0").c_str(), 1);
        ::execv(CONVERT_PROGRAM, argv.data());
        ::_exit(127);
    }
    Outcome r;
    int status = 0;
    ::waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = slurp(out);
    r.err = slurp(err);
    ::unlink(out.c_str());
    ::unlink(err.c_str());
    return r;
}

const std::string kExamples = EXAMPLES_DIR;
const std::string kData = TEST_DATA_DIR;

struct BadCase {
    std::string what;
    std::vector<std::string> args;   // "@" stands for the case's folder
    std::string file;                // named in the message
    std::string reason;
};

TEST(ConvertCommand, BadInputGivesOneLineStatusOneAndNoOutput)
{
    TempDir dir;
    const std::string d = dir.path();
    writeBytes(dir.file("empty.stl"), {});
    // A binary STL that promises two triangles and holds one.
    Bytes stl(84 + 50, 0);
    putLe32(stl, 80, 2);
    writeBytes(dir.file("short.stl"), stl);
    std::ofstream(dir.file("points.obj")) << "v 0 0 0\nv 1 0 0\np 1\np 2\n";
    std::ofstream(dir.file("flat.obj")) << "v 1 1 1\nv 1 1 1\nv 1 1 1\nf 1 2 3\n";
    std::ofstream(dir.file("tri.obj")) << "v 0 0 0\nv 9 0 0\nv 0 9 0\nf 1 2 3\n";
    std::ofstream(dir.file("notes.xyz9")) << "hello\n";
    Bytes cut = readBytes(kExamples + "/cube.3do");
    cut.resize(cut.size() - 3);
    writeBytes(dir.file("cut.3do"), cut);
    ::mkdir(dir.file("folder.obj").c_str(), 0755);
    // A 3MF package with five bytes of its model's compressed data swapped: the import
    // library's own internal check fails on it, which used to end the process.
    Bytes package = readBytes("/usr/share/assimp/models/3MF/box.3mf");
    ASSERT_GT(package.size(), 117u);
    for (auto [at, value] : {std::pair{111, 0240}, {112, 0361}, {113, 0247}, {114, 0203}, {116, 0266}})
        package[std::size_t(at)] = uint8_t(value);
    writeBytes(dir.file("broken.3mf"), package);
    const std::string cube = kExamples + "/cube.3do";

    const BadCase cases[] = {
        {"missing", {d + "/nothing.obj", d + "/o.3do"}, d + "/nothing.obj", "No such file"},
        {"empty", {d + "/empty.stl", d + "/o.3do"}, d + "/empty.stl", "is empty"},
        {"truncated", {d + "/short.stl", d + "/o.3do"}, d + "/short.stl", "STL"},
        {"unknown format", {d + "/notes.xyz9", d + "/o.3do"}, d + "/notes.xyz9", "unknown format"},
        {"no faces", {d + "/points.obj", d + "/o.3do"}, d + "/points.obj", "faces"},
        {"only degenerate", {d + "/flat.obj", d + "/o.3do"}, d + "/flat.obj", "no face"},
        {"folder", {d + "/folder.obj", d + "/o.3do"}, d + "/folder.obj", "is a folder"},
        {"reader's check", {d + "/broken.3mf", d + "/o.3do"}, d + "/broken.3mf", "broken file"},
        {"reader crashes", {kData + "/garbled-header.ply", d + "/o.3do"}, kData + "/garbled-header.ply",
         "the import library crashed"},
        {"cut object", {d + "/cut.3do", d + "/o.obj"}, d + "/cut.3do", "truncated"},
        {"unwritable", {cube, d + "/none/o.glb"}, d + "/none/o.glb", "No such file"},
        // The reason comes from the object file writer, which may word it its own way.
        {"unwritable object", {d + "/tri.obj", d + "/none/o.3do"}, d + "/none/o.3do", ""},
        {"unknown output", {cube, d + "/o.dwg"}, d + "/o.dwg", "cannot write '.dwg'"},
    };
    const auto before = listFolder(d);
    for (const BadCase& c : cases) {
        SCOPED_TRACE(c.what);
        Outcome r = run(c.args, dir);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err.rfind("3dvorlan-convert: " + c.file + ": ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(listFolder(d), before) << "no output, no temporary file";
    }

    // A failed conversion leaves an existing output as it was.
    writeBytes(dir.file("keep.3do"), {1, 2, 3});
    Outcome r = run({d + "/short.stl", d + "/keep.3do"}, dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(readBytes(dir.file("keep.3do")), Bytes({1, 2, 3}));
}

TEST(ConvertCommand, WrongCommandLinesExitTwo)
{
    TempDir dir;
    const std::string cube = kExamples + "/cube.3do";
    const std::vector<std::vector<std::string>> lines = {
        {},
        {cube},
        {cube, dir.file("a.obj"), dir.file("b.obj")},
        {"--frobnicate", cube, dir.file("a.obj")},
        {"--scale", "-2", cube, dir.file("a.obj")},
        {"--size", "0x10", cube, dir.file("a.png")},
        {"--light", "3,7,11", cube, dir.file("a.png")},
        {"--turn", "1,2", cube, dir.file("a.png")},
        {"--up", "x", cube, dir.file("a.3do")},
        {"-o", dir.path(), cube},
        {"--scale"},
    };
    for (const auto& line : lines) {
        Outcome r = run(line, dir);
        EXPECT_EQ(r.status, 2) << (line.empty() ? "" : line[0]);
        EXPECT_NE(r.err.find("Try '3dvorlan-convert --help'"), std::string::npos) << r.err;
    }
    EXPECT_EQ(listFolder(dir.path()).size(), 0u);
    Outcome help = run({"--help"}, dir);
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--keep-fractions"), std::string::npos);
    Outcome version = run({"--version"}, dir);
    EXPECT_EQ(version.out, std::string("3dvorlan-convert ") + VORLAN_VERSION + "\n");
}

TEST(ConvertCommand, BatchConvertsWhatItCanAndReportsTheRest)
{
    TempDir dir;
    ::mkdir(dir.file("out").c_str(), 0755);
    std::ofstream(dir.file("tri.obj")) << "o t\nv 0 0 0\nv 4 0 0\nv 0 4 0\nf 1 2 3\n";
    Outcome r = run({"-o", dir.file("out"), "--to", "3do", dir.file("tri.obj"), dir.file("gone.stl"),
                 kExamples + "/pyramid.3do"},
                dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(listFolder(dir.file("out")), std::vector<std::string>({"pyramid.3do", "tri.3do"}));
    EXPECT_EQ(readBytes(dir.file("out/pyramid.3do")), readBytes(kExamples + "/pyramid.3do"));
    EXPECT_EQ(readBytes(dir.file("out/tri.3do")).size(), 136u);
    EXPECT_NE(r.out.find("1 polygons (1 triangles, 0 quads); 0 faces split"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("gone.stl: No such file"), std::string::npos) << r.err;
    // Quiet is quiet, and nothing but the answer reaches a pipe: no progress bar.
    Outcome quiet = run({"-q", dir.file("tri.obj"), dir.file("tri.3do")}, dir);
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.out + quiet.err, "");
}

TEST(ConvertCommand, InfoNamesCountsColoursAndTextures)
{
    TempDir dir;
    for (const char* f : {"crate.3do", "crate.bmp"})
        writeBytes(dir.file(f), readBytes(kExamples + "/" + f));
    writeBytes(dir.file("alone.3do"), readBytes(kExamples + "/crate.3do"));
    Outcome r = run({"--info", dir.file("crate.3do")}, dir);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("polygons: 6 (0 triangles, 6 quads)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("bounding box: x -60..60 y -60..60 z -60..60"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("#785028 (120, 80, 40): 2 polygons"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("crate.bmp: 4 polygons, found"), std::string::npos) << r.out;
    ::unlink(dir.file("crate.bmp").c_str());
    r = run({"--info", dir.file("crate.3do")}, dir);
    EXPECT_NE(r.out.find("crate.bmp: 4 polygons, missing"), std::string::npos) << r.out;
}

TEST(ConvertCommand, PictureOfAnObject)
{
    TempDir dir;
    const std::string png = dir.file("cube.png");
    Outcome r = run({kExamples + "/cube.3do", png, "--size", "64x48", "--turn", "30,45,0"}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    QImage withGround(QString::fromStdString(png));
    ASSERT_EQ(withGround.size(), QSize(64, 48));
    r = run({kExamples + "/cube.3do", png, "--size", "64x48", "--no-ground", "--no-axes"}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    QImage bare(QString::fromStdString(png));
    // The ground fills the bottom corners green; without it they show the cleared background.
    const QRgb corner = withGround.pixel(0, 47);
    EXPECT_GT(qGreen(corner), qRed(corner));
    EXPECT_GT(qGreen(corner), qBlue(corner));
    EXPECT_NE(bare.pixel(0, 47), withGround.pixel(0, 47));
}

TEST(ConvertCommand, DefaultPictureIsTheViewsSize)
{
    TempDir dir;
    Outcome r = run({kExamples + "/cube.3do", dir.file("cube.png")}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(QImage(QString::fromStdString(dir.file("cube.png"))).size(), QSize(523, 529));
}

TEST(ConvertCommand, BatchRefusesOutputsTwoInputsWouldShare)
{
    TempDir dir;
    for (const char* folder : {"a", "b", "out"})
        ::mkdir(dir.file(folder).c_str(), 0755);
    const std::string tri = "v 0 0 0\nv 4 0 0\nv 0 4 0\nf 1 2 3\n";
    std::ofstream(dir.file("a/cube.obj")) << tri;
    std::ofstream(dir.file("b/cube.obj")) << tri;
    std::ofstream(dir.file("cube.off")) << "OFF\n3 1 0\n0 0 0\n4 0 0\n0 4 0\n3 0 1 2\n";
    std::ofstream(dir.file("other.obj")) << tri;
    Outcome r = run({"-q", "-o", dir.file("out"), "--to", "3do", dir.file("other.obj"), dir.file("a/cube.obj"),
                     dir.file("b/cube.obj"), dir.file("cube.off")},
                    dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(listFolder(dir.file("out")).size(), 0u) << "nothing converted, not even other.obj";
    std::istringstream lines(r.err);
    std::string line;
    for (const char* second : {"b/cube.obj", "cube.off"}) {
        ASSERT_TRUE(std::getline(lines, line)) << r.err;
        EXPECT_EQ(line.rfind("3dvorlan-convert: " + dir.file("out/cube.3do") + ": ", 0), 0u) << line;
        EXPECT_NE(line.find(dir.file("a/cube.obj")), std::string::npos) << line;
        EXPECT_NE(line.find(dir.file(second)), std::string::npos) << line;
    }
    EXPECT_FALSE(std::getline(lines, line)) << r.err;
}

TEST(ConvertCommand, OutputsKeepWhatTheyWriteTo)
{
    TempDir dir;
    ::mkdir(dir.file("real").c_str(), 0755);
    // More triangles than the converter keeps in memory, so the object file is streamed.
    {
        std::ofstream big(dir.file("big.obj"));
        big << "v 0 0 0\nv 4 0 0\nv 0 4 0\n";
        for (int i = 0; i < 70000; ++i)
            big << "f 1 2 3\n";
    }
    const std::string cube = kExamples + "/cube.3do";
    const struct {
        std::string in, name;
    } outputs[] = {{cube, "cube.obj"}, {cube, "cube.png"}, {cube, "cube.glb"}, {dir.file("big.obj"), "big.3do"}};
    for (const auto& o : outputs) {
        SCOPED_TRACE(o.name);
        writeBytes(dir.file("real/" + o.name), {'o', 'l', 'd'});
        ASSERT_EQ(::symlink(("real/" + o.name).c_str(), dir.file(o.name).c_str()), 0);
        Outcome r = run({"-q", o.in, dir.file(o.name)}, dir);
        EXPECT_EQ(r.status, 0) << r.err;
        struct stat st;
        ASSERT_EQ(::lstat(dir.file(o.name).c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link stays a link";
        EXPECT_GT(readBytes(dir.file("real/" + o.name)).size(), 3u) << "its target holds the output";
    }
    EXPECT_EQ(readBytes(dir.file("real/big.3do")).size(), 70000u * 136);

    // A file the user may not write is refused, not replaced; root may write any, so for
    // root it is another user who tries.
    writeBytes(dir.file("theirs.png"), {'o', 'l', 'd'});
    ASSERT_EQ(::chmod(dir.file("theirs.png").c_str(), 0444), 0);
    const uid_t someone = ::geteuid() == 0 ? 65534 : 0;
    ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
    Outcome theirs = run({cube, dir.file("theirs.png")}, dir, someone);
    EXPECT_EQ(theirs.status, 1);
    EXPECT_EQ(theirs.err, "3dvorlan-convert: " + dir.file("theirs.png") + ": Permission denied\n");
    EXPECT_EQ(readBytes(dir.file("theirs.png")), Bytes({'o', 'l', 'd'}));
    ASSERT_EQ(::chmod(dir.path().c_str(), 0700), 0);

    // A FIFO no program reads is refused at once and stays a FIFO.
    ASSERT_EQ(::mkfifo(dir.file("pipe.png").c_str(), 0600), 0);
    Outcome r = run({cube, dir.file("pipe.png")}, dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "3dvorlan-convert: " + dir.file("pipe.png") + ": is a FIFO that no program reads\n");
    struct stat st;
    ASSERT_EQ(::lstat(dir.file("pipe.png").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(ConvertCommand, ImportFailuresAreToldInTheProgramsWords)
{
    TempDir dir;
    std::ofstream(dir.file("points.obj")) << "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1\nf 2\n";
    std::ofstream(dir.file("lines.obj")) << "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2\n";
    std::ofstream(dir.file("text.glb")) << "not a model";
    std::ofstream(dir.file("text.ply")) << "not a model\n";
    const struct {
        const char* file;
        std::string reason;
    } cases[] = {
        {"points.obj", "holds only points or lines, no faces\n"},
        {"lines.obj", "holds only points or lines, no faces\n"},
        {"text.glb", "unknown or unsupported file format\n"},
        // The library's own words only after the program's.
        {"text.ply", "is broken, truncated or of another format (Invalid .ply file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Outcome r = run({dir.file(c.file), dir.file("o.3do")}, dir);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err.rfind("3dvorlan-convert: " + dir.file(c.file) + ": " + c.reason, 0), 0u) << r.err;
    }
}

TEST(ConvertCommand, LinesAmongFacesAreSkipped)
{
    TempDir dir;
    std::ofstream(dir.file("mixed.obj")) << "v 0 0 0\nv 4 0 0\nv 0 4 0\nf 1 2 3\nf 1 2\n";
    Outcome r = run({dir.file("mixed.obj"), dir.file("mixed.3do")}, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("1 polygons (1 triangles, 0 quads)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("1 points or lines skipped"), std::string::npos) << r.out;
}

TEST(ConvertCommand, ObjectsComeBackFromObjAndGlbRecordForRecord)
{
    TempDir dir;
    // Besides the examples: a numbered run, a name with spaces and a Latin-1 letter, a lone
    // "Lid 1" after the run, and triangles between quads.
    CDynArray list;
    const char* names[] = {"Lid 1", "Lid 2", "Lid 3", "Flap side \xe9", "Lid 1", "Z 2"};
    for (int i = 0; i < 6; ++i) {
        tElement e;
        e.type = i % 2 ? "Triangle" : "Quad";
        e.name = names[i];
        const float v[12] = {0, 0, float(i), 8, 0, 0, 8, 8, -3, -5, 9, 0};
        std::copy(v, v + (i % 2 ? 9 : 12), e.vertex);
        e.red = i < 3 ? 40 : 10 * i, e.green = 255, e.blue = 7;
        e.color = e.red | e.green << 8 | e.blue << 16;
        list.Add(e);
    }
    ASSERT_TRUE(WriteObjectFile(dir.file("made.3do"), list.First(), list.Count()));
    for (const std::string& source : {kExamples + "/crate.3do", kExamples + "/cube.3do",
                                     kExamples + "/pyramid.3do", dir.file("made.3do")})
        for (const char* format : {"obj", "glb"}) {
            const std::string stem = source.substr(source.find_last_of('/') + 1, source.size() - 4 - source.find_last_of('/') - 1);
            const std::string folder = dir.file(stem + "-" + format);
            ::mkdir(folder.c_str(), 0755);
            const std::string mesh = folder + "/" + stem + "." + format, back = folder + "/" + stem + ".3do";
            Outcome out = run({"-q", source, mesh}, dir);
            ASSERT_EQ(out.status, 0) << out.err;
            Outcome in = run({"-q", "--no-fit", mesh, back}, dir);
            ASSERT_EQ(in.status, 0) << in.err;
            EXPECT_EQ(readBytes(back), readBytes(source)) << back;
        }
    // The OBJ carried the crate's bitmap beside it, and coming back reused it.
    EXPECT_EQ(readBytes(dir.file("crate-obj/crate.bmp")), readBytes(kExamples + "/crate.bmp"));
    EXPECT_EQ(listFolder(dir.file("crate-obj")).size(), 4u);
}

// A 4 x 2 picture of eight colours and an OBJ whose faces show parts of it.
struct PictureModel {
    TempDir dir;
    QImage picture{4, 2, QImage::Format_RGB32};

    explicit PictureModel(const char* faces, const char* pictureFile = "pic.png")
    {
        for (int i = 0; i < 8; ++i)
            picture.setPixel(i % 4, i / 4, qRgb(30 * i, 255 - 30 * i, i % 2 ? 200 : 9));
        picture.save(QString::fromStdString(dir.file("pic.png")));
        std::ofstream(dir.file("m.mtl")) << "newmtl pic\nKd 1 1 1\nmap_Kd " << pictureFile << "\n";
        std::ofstream(dir.file("m.obj"))
            << "mtllib m.mtl\nusemtl pic\nv 0 0 0\nv 9 0 0\nv 9 9 0\nv 0 9 0\n"
               "vt 1 0\nvt 1 1\nvt 0.5 1\nvt 0.5 0\nvt 0 0\nvt 0.3 0.7\n"
            << faces;
    }
    // The colour of the picture's pixel x from the left, y from the bottom, as a BMP holds it.
    std::vector<uint8_t> bgr(int x, int y) const
    {
        const QRgb c = picture.pixel(x, 1 - y);
        return {uint8_t(qBlue(c)), uint8_t(qGreen(c)), uint8_t(qRed(c))};
    }
};

std::vector<uint8_t> pixelsOf(const BitmapImage& image)
{
    std::vector<uint8_t> out;
    for (int y = 0; y < image.height; ++y)
        out.insert(out.end(), image.pixels.begin() + y * image.rowStride(),
                   image.pixels.begin() + y * image.rowStride() + image.width * 3);
    return out;
}

TEST(ConvertCommand, FacesShowingARectangleOfTheirPictureComeInTextured)
{
    // A quad showing the right half turned a quarter; a triangle, its corners given from the
    // second, showing the left half mirrored; a quad whose mapping is no rectangle.
    PictureModel model("f 1/1 2/2 3/3 4/4\nf 2/5 3/3 1/4\nf 1/5 2/6 3/1 4/2\n");
    // A file of the wished name with other pixels is there already and must stay.
    const Bytes other = readBytes(kExamples + "/crate.bmp");
    writeBytes(model.dir.file("pic.bmp"), other);
    Outcome r = run({"--no-fit", model.dir.file("m.obj"), model.dir.file("m.3do")}, model.dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("2 textured, 2 bitmaps written"), std::string::npos) << r.out;
    EXPECT_EQ(readBytes(model.dir.file("pic.bmp")), other);
    CDynArray list;
    ASSERT_TRUE(ReadObjectFile(model.dir.file("m.3do"), list, [](const std::string&, int, int, int) { return 1u; }));
    ASSERT_EQ(list.Count(), 3);
    const tElement* quad = list.First();
    const tElement* triangle = quad->next;
    EXPECT_EQ(quad->texture, "pic-2.bmp");
    EXPECT_EQ(triangle->texture, "pic-3.bmp");
    EXPECT_EQ(quad->color, -1);
    EXPECT_EQ(std::vector<float>(triangle->vertex, triangle->vertex + 9),
              std::vector<float>({0, 0, 0, 9, 0, 0, 9, 9, 0}));
    EXPECT_FALSE(triangle->next->isTextured());
    // Bottom row first: the renderer's corner 1 shows the picture's lower right.
    const auto turned = ReadBitmapFile(model.dir.file("pic-2.bmp"));
    const auto mirrored = ReadBitmapFile(model.dir.file("pic-3.bmp"));
    ASSERT_TRUE(turned && mirrored);
    std::vector<uint8_t> expectTurned, expectMirrored;
    for (auto [x, y] : {std::pair{3, 0}, {3, 1}, {2, 0}, {2, 1}})
        for (uint8_t b : model.bgr(x, y))
            expectTurned.push_back(b);
    for (auto [x, y] : {std::pair{1, 0}, {0, 0}, {1, 1}, {0, 1}})
        for (uint8_t b : model.bgr(x, y))
            expectMirrored.push_back(b);
    EXPECT_EQ(pixelsOf(*turned), expectTurned);
    EXPECT_EQ(pixelsOf(*mirrored), expectMirrored);
}

TEST(ConvertCommand, PictureThatCannotBeDecodedIsNamed)
{
    PictureModel model("f 1/1 2/2 3/3 4/4\n", "pic.tga");
    writeBytes(model.dir.file("pic.tga"), Bytes(40, 7));
    Outcome r = run({model.dir.file("m.obj"), model.dir.file("m.3do")}, model.dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("picture 'pic.tga' cannot be read"), std::string::npos) << r.out;
}

TEST(ConvertCommand, SummaryTellsWhyFractionsAreKeptAndRoundForcesWholeUnits)
{
    // Fitted to 200 units, the small triangle is a unit across: whole numbers flatten it.
    TempDir dir;
    std::ofstream(dir.file("m.obj")) << "v 0 0 0.3\nv 200 0 0\nv 0 200 0\nv 0 0 0\nv 0.4 0 0\n"
                                        "v 0 0.4 0\nf 1 2 3\nf 4 5 6\n";
    Outcome r = run({dir.file("m.obj"), dir.file("m.3do")}, dir);
    EXPECT_NE(r.out.find("0 rounded to whole units; fractions kept: whole units would leave face 2 "
                         "without area"),
              std::string::npos)
        << r.out;
    r = run({"--round", dir.file("m.obj"), dir.file("m.3do")}, dir);
    EXPECT_NE(r.out.find("1 dropped as degenerate, 0 clamped, 1 rounded to whole units\n"),
              std::string::npos)
        << r.out;
}

} // namespace
