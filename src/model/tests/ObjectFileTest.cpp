#include "ObjectFile.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include <sys/stat.h>

namespace {

uint32_t noLoad(const std::string&, int, int, int)
{
    ADD_FAILURE() << "no texture should be loaded";
    return 0;
}

// The record of the format, laid out by hand from the field table, so that the writer and
// the reader are checked against the table rather than against each other.
Bytes rawRecord(const tElement& e)
{
    Bytes r(136, 0);
    auto text = [&](std::size_t at, std::size_t field, const std::string& s) {
        for (std::size_t i = 0; i < s.size() && i < field; ++i)
            r[at + i] = uint8_t(s[i]);
    };
    text(0, 9, e.type);
    text(9, 31, e.name);
    for (int i = 0; i < 12; ++i)
        putLe32(r, 40 + 4 * i, std::bit_cast<uint32_t>(e.vertex[i]));
    putLe32(r, 88, uint32_t(e.color));
    putLe32(r, 92, uint32_t(e.red));
    putLe32(r, 96, uint32_t(e.green));
    putLe32(r, 100, uint32_t(e.blue));
    text(104, 32, e.texture);
    return r;
}

Bytes join(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

tElement coloured(const std::string& name, int r, int g, int b)
{
    tElement e;
    e.type = "Quad";
    e.name = name;
    e.color = r | g << 8 | b << 16;
    e.red = r;
    e.green = g;
    e.blue = b;
    const float corners[12] = {-100, -100, 0, 100, -100, 0, 100, 100, 0, -100, 100, 0};
    std::memcpy(e.vertex, corners, sizeof corners);
    return e;
}

void expectSameStoredFields(const tElement& a, const tElement& b)
{
    EXPECT_EQ(a.type, b.type);
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(std::memcmp(a.vertex, b.vertex, sizeof a.vertex), 0) << a.name;
    EXPECT_EQ(a.color, b.color);
    EXPECT_EQ(a.red, b.red);
    EXPECT_EQ(a.green, b.green);
    EXPECT_EQ(a.blue, b.blue);
    EXPECT_EQ(a.texture, b.texture);
}

class ObjectFile : public ::testing::Test {
protected:
    TempDir dir;
    std::string file = dir.file("object.3do");
    CDynArray list;
};

TEST_F(ObjectFile, RedOfTenIsStoredAsCrLfAndReadsBack)
{
    tElement e = coloured("P", 10, 0, 0);
    e.color = 0;  // leaves the red field the record's only 0x0A
    ASSERT_TRUE(WriteObjectFile(file, &e, 1));
    Bytes expected = rawRecord(e);
    expected.insert(expected.begin() + 92, 0x0D);
    Bytes written = readBytes(file);
    ASSERT_EQ(written.size(), 137u);
    EXPECT_EQ(written, expected);

    ASSERT_TRUE(ReadObjectFile(file, list, noLoad));
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.GetAt(1)->red, 10);
    expectSameStoredFields(*list.GetAt(1), e);
}

TEST_F(ObjectFile, LineFeedsInEveryFieldAndSideBySideEachTakeACr)
{
    tElement e = coloured("\nP\n\n", 10, 10, 10);
    e.color = 0x0A0A0A;
    e.texture = std::string(29, 't') + "\n\n";   // as long as the field holds
    ASSERT_TRUE(WriteObjectFile(file, &e, 1));
    Bytes expected;
    for (uint8_t b : rawRecord(e)) {
        if (b == 0x0A)
            expected.push_back(0x0D);
        expected.push_back(b);
    }
    EXPECT_EQ(readBytes(file), expected);

    ASSERT_TRUE(ReadObjectFile(file, list, noLoad));
    ASSERT_EQ(list.Count(), 1);
    expectSameStoredFields(*list.GetAt(1), e);
}

TEST_F(ObjectFile, LoneCrAndCtrlZPassUnchangedBothWays)
{
    tElement a = coloured("A", 0x0D, 0x1A, 0x0D);
    tElement b = coloured("B", 1, 2, 3);
    a.next = &b;
    ASSERT_TRUE(WriteObjectFile(file, &a, 2));
    EXPECT_EQ(readBytes(file), join({rawRecord(a), rawRecord(b)}));

    ASSERT_TRUE(ReadObjectFile(file, list, noLoad));
    ASSERT_EQ(list.Count(), 2);
    expectSameStoredFields(*list.GetAt(1), a);
    expectSameStoredFields(*list.GetAt(2), b);
}

TEST_F(ObjectFile, TrailingPartialRecordIsIgnored)
{
    Bytes bytes = rawRecord(coloured("one", 1, 2, 3));
    bytes.push_back(0x0D);  // a lone 0x0D at the end of the file is a byte like any other
    writeBytes(file, bytes);
    ASSERT_TRUE(ReadObjectFile(file, list, noLoad));
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.GetAt(1)->name, "one");

    bytes.resize(136 + 135);
    writeBytes(file, bytes);
    CDynArray again;
    ASSERT_TRUE(ReadObjectFile(file, again, noLoad));
    EXPECT_EQ(again.Count(), 1);
}

TEST_F(ObjectFile, CrLfPairCompletingTheRecordIsOneByte)
{
    // 137 bytes that decode to exactly one record whose last byte is 0x0A.
    Bytes bytes(137, 'x');
    bytes[135] = 0x0D;
    bytes[136] = 0x0A;
    writeBytes(file, bytes);
    ASSERT_TRUE(ReadObjectFile(file, list, noLoad));
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.GetAt(1)->texture, std::string(31, 'x') + "\n");
}

TEST_F(ObjectFile, LoneCrAtTheVeryEndCompletesARecord)
{
    Bytes bytes(136, 'x');
    bytes[135] = 0x0D;
    writeBytes(file, bytes);
    ASSERT_TRUE(ReadObjectFile(file, list, noLoad));
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.GetAt(1)->texture, std::string(31, 'x') + "\r");
}

TEST_F(ObjectFile, PairsAndLoneCrsAcrossAnyReadBufferBoundary)
{
    // A pair (or, in the second file, a lone 0x0D) at every offset just before a multiple
    // of 4096, so that any read buffer of such a size ends in the middle of one.
    for (bool pairs : {true, false}) {
        Bytes encoded(300000, 'x');
        Bytes decoded;
        for (std::size_t i = 0; i < encoded.size(); ++i) {
            bool atBoundary = (i + 1) % 4096 == 0 && i + 1 < encoded.size();
            if (atBoundary && pairs) {
                encoded[i] = 0x0D;
                encoded[i + 1] = 0x0A;
                decoded.push_back(0x0A);
                ++i;
            } else if (atBoundary) {
                encoded[i] = 0x0D;
                decoded.push_back(0x0D);
            } else {
                decoded.push_back(encoded[i]);
            }
        }
        writeBytes(file, encoded);
        CDynArray read;
        ASSERT_TRUE(ReadObjectFile(file, read, noLoad));
        ASSERT_EQ(read.Count(), int(decoded.size() / 136)) << pairs;
        Bytes reread;
        for (const tElement* e = read.First(); e; e = e->next) {
            Bytes r = rawRecord(*e);
            reread.insert(reread.end(), r.begin(), r.end());
        }
        decoded.resize(reread.size());
        EXPECT_EQ(reread, decoded) << pairs;
    }
}

TEST_F(ObjectFile, TextsAreCutToTheirFieldsWithZerosAfterTheTerminator)
{
    tElement e = coloured(std::string(30, 'N'), 1, 2, 3);
    e.type = "Triangle";
    ASSERT_TRUE(WriteObjectFile(file, &e, 1));
    ASSERT_TRUE(ReadObjectFile(file, list, noLoad));
    EXPECT_EQ(list.GetAt(1)->name, std::string(30, 'N'));
    EXPECT_EQ(list.GetAt(1)->type, "Triangle");

    tElement longer = coloured(std::string(45, 'L'), 1, 2, 3);
    longer.type = "Triangles";
    longer.color = -1;
    longer.texture = std::string(40, 'T');
    ASSERT_TRUE(WriteObjectFile(file, &longer, 1));
    Bytes bytes = readBytes(file);
    ASSERT_EQ(bytes.size(), 136u);
    EXPECT_EQ(bytes[8], 0);
    EXPECT_EQ(bytes[9 + 30], 0);
    EXPECT_EQ(bytes[135], 0);
    EXPECT_EQ(bytes[40], 0x00);  // the float after the name is untouched: corner 1 x of -100
    EXPECT_EQ(bytes[43], 0xC2);

    CDynArray cut;
    ASSERT_TRUE(ReadObjectFile(file, cut, [](const std::string&, int, int, int) { return 1u; }));
    EXPECT_EQ(cut.GetAt(1)->type, "Triangle");
    EXPECT_EQ(cut.GetAt(1)->name, std::string(30, 'L'));
    EXPECT_EQ(cut.GetAt(1)->texture, std::string(31, 'T'));
    EXPECT_EQ(cut.GetAt(1)->vertex[0], -100.0f);

    // A short text after a long one leaves nothing of the long one behind its terminator.
    tElement shorter = coloured("ab", 1, 2, 3);
    ASSERT_TRUE(WriteObjectFile(file, &shorter, 1));
    EXPECT_EQ(readBytes(file), rawRecord(shorter));
}

TEST_F(ObjectFile, FieldsWithoutTerminatorStopAtTheirEnd)
{
    Bytes r(136, 0);
    std::memset(&r[0], 'A', 9);
    std::memset(&r[9], 'B', 31);
    std::memset(&r[104], 'C', 32);
    putLe32(r, 88, uint32_t(-1));
    // Bytes after a terminator carry nothing.
    Bytes second = rawRecord(coloured("ok", 1, 2, 3));
    std::memcpy(&second[12], "\0junk", 5);
    writeBytes(file, join({r, second}));
    uint32_t loads = 0;
    ASSERT_TRUE(ReadObjectFile(file, list, [&](const std::string&, int, int, int) { return ++loads; }));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.GetAt(1)->type, std::string(9, 'A'));
    EXPECT_EQ(list.GetAt(1)->name, std::string(31, 'B'));
    EXPECT_EQ(list.GetAt(1)->texture, std::string(32, 'C'));
    EXPECT_FALSE(list.GetAt(1)->isTriangle());
    EXPECT_EQ(list.GetAt(2)->name, "ok");
}

TEST_F(ObjectFile, EveryStoredFieldSurvivesWriteAndRead)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    tElement polys[4] = {coloured("first", 255, 128, 0), coloured("second", 10, 13, 26),
                         coloured("", 0, 0, 0), coloured("textured", -1, -1, -1)};
    polys[0].type = "Triangle";
    polys[0].vertex[9] = polys[0].vertex[10] = polys[0].vertex[11] = 0;
    const float odd[12] = {-0.0f, 1e-45f, 3.4e38f, -640, 640, nan, std::bit_cast<float>(0x0A0D0A0Du),
                           std::bit_cast<float>(0x7F800001u), 0.1f, -1, 2.5f, 1e7f};
    std::memcpy(polys[1].vertex, odd, sizeof odd);
    polys[1].type = "Quad";
    polys[2].type = "Hexagon";
    polys[3].color = -1;
    polys[3].texture = "bricks.bmp";
    for (int i = 0; i < 3; ++i)
        polys[i].next = &polys[i + 1];

    ASSERT_TRUE(WriteObjectFile(file, &polys[0], 4));
    ASSERT_TRUE(ReadObjectFile(file, list, [](const std::string&, int, int, int) { return 9u; }));
    ASSERT_EQ(list.Count(), 4);
    int i = 0;
    for (const tElement* e = list.First(); e; e = e->next, ++i)
        expectSameStoredFields(*e, polys[i]);
    EXPECT_EQ(list.GetAt(1)->textureId, kNoTexture);
    EXPECT_EQ(list.GetAt(4)->textureId, 9u);
}

TEST_F(ObjectFile, WritesOnlyTheGivenNumberOfPolygons)
{
    tElement a = coloured("a", 1, 1, 1), b = coloured("b", 2, 2, 2);
    a.next = &b;
    ASSERT_TRUE(WriteObjectFile(file, &a, 1));
    EXPECT_EQ(readBytes(file), rawRecord(a));
}

TEST_F(ObjectFile, EmptyListAndEmptyFile)
{
    writeBytes(file, Bytes(500, 'x'));
    ASSERT_TRUE(WriteObjectFile(file, nullptr, 0));
    EXPECT_TRUE(readBytes(file).empty());
    ASSERT_TRUE(ReadObjectFile(file, list, noLoad));
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(ObjectFile, ReadingAppendsAfterThePolygonsThere)
{
    ASSERT_TRUE(list.Add(coloured("kept1", 1, 1, 1)));
    ASSERT_TRUE(list.Add(coloured("kept2", 1, 1, 1)));
    tElement* kept = list.GetAt(1);
    writeBytes(file, join({rawRecord(coloured("f1", 2, 2, 2)), rawRecord(coloured("f2", 3, 3, 3))}));
    ASSERT_TRUE(ReadObjectFile(file, list, noLoad));
    ASSERT_EQ(list.Count(), 4);
    EXPECT_EQ(list.GetAt(1), kept);
    EXPECT_EQ(list.GetAt(2)->name, "kept2");
    EXPECT_EQ(list.GetAt(3)->name, "f1");
    EXPECT_EQ(list.GetAt(4)->name, "f2");
    EXPECT_EQ(list.Last()->prev, list.GetAt(3));
}

TEST_F(ObjectFile, WhatCannotBeReadLeavesTheListAlone)
{
    ASSERT_TRUE(list.Add(coloured("kept", 1, 1, 1)));
    EXPECT_FALSE(ReadObjectFile(dir.file("missing.3do"), list, noLoad));
    EXPECT_FALSE(ReadObjectFile(dir.path(), list, noLoad));
    // Neither a FIFO without writer nor an endless device may hang or exhaust the reader.
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(ReadObjectFile(dir.file("fifo"), list, noLoad));
    EXPECT_FALSE(ReadObjectFile("/dev/zero", list, noLoad));
    EXPECT_EQ(list.Count(), 1);
}

class StarvedList : public CDynArray {
public:
    explicit StarvedList(int nodesLeft) : nodesLeft_(nodesLeft) {}

protected:
    tElement* allocateNode(const tElement& element) override
    {
        if (nodesLeft_-- <= 0)
            return nullptr;
        return CDynArray::allocateNode(element);
    }

private:
    int nodesLeft_;
};

TEST_F(ObjectFile, OutOfMemoryFailsAndKeepsWhatWasRead)
{
    Bytes bytes;
    for (const char* n : {"r1", "r2", "r3", "r4", "r5"}) {
        Bytes r = rawRecord(coloured(n, 1, 1, 1));
        bytes.insert(bytes.end(), r.begin(), r.end());
    }
    writeBytes(file, bytes);
    StarvedList starved(3);
    EXPECT_FALSE(ReadObjectFile(file, starved, noLoad));
    ASSERT_EQ(starved.Count(), 3);
    EXPECT_EQ(starved.GetAt(1)->name, "r1");
    EXPECT_EQ(starved.GetAt(3)->name, "r3");
    EXPECT_EQ(starved.Last()->next, nullptr);
}

} // namespace
