#include "ObjectFile.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

struct Load {
    std::string fileName;
    int minFilter, magFilter, wrapMode;
};

// Hands out 100, 101, ... and remembers every call.
struct CountingLoader {
    std::vector<Load> loads;
    uint32_t next = 100;
    TextureLoader loader()
    {
        return [this](const std::string& f, int minF, int magF, int wrap) {
            loads.push_back({f, minF, magF, wrap});
            return next++;
        };
    }
};

tElement textured(const std::string& texture)
{
    tElement e;
    e.type = "Quad";
    e.name = texture;
    e.color = e.red = e.green = e.blue = -1;
    e.texture = texture;
    return e;
}

Bytes record(const tElement& e)
{
    Bytes r(136, 0);
    for (std::size_t i = 0; i < e.type.size(); ++i)
        r[i] = uint8_t(e.type[i]);
    for (std::size_t i = 0; i < e.name.size(); ++i)
        r[9 + i] = uint8_t(e.name[i]);
    putLe32(r, 88, uint32_t(e.color));
    for (std::size_t i = 0; i < e.texture.size(); ++i)
        r[104 + i] = uint8_t(e.texture[i]);
    return r;
}

void writeRecords(const std::string& file, std::initializer_list<tElement> polys)
{
    Bytes bytes;
    for (const tElement& e : polys) {
        Bytes r = record(e);
        bytes.insert(bytes.end(), r.begin(), r.end());
    }
    writeBytes(file, bytes);
}

TEST(TextureRule, ColouredPolygonsNeverLoad)
{
    CDynArray list;
    CountingLoader counter;
    tElement e = textured("wood.bmp");
    e.color = 0x102030;
    EXPECT_EQ(SettleTextureId(list, e, counter.loader()), kNoTexture);
    EXPECT_TRUE(counter.loads.empty());
}

TEST(TextureRule, NewNameIsLoadedWithLinearFiltersAndRepeat)
{
    CDynArray list;
    CountingLoader counter;
    EXPECT_EQ(SettleTextureId(list, textured("wood.bmp"), counter.loader()), 100u);
    ASSERT_EQ(counter.loads.size(), 1u);
    EXPECT_EQ(counter.loads[0].fileName, "wood.bmp");
    EXPECT_EQ(counter.loads[0].minFilter, 0x2601);
    EXPECT_EQ(counter.loads[0].magFilter, 0x2601);
    EXPECT_EQ(counter.loads[0].wrapMode, 0x2901);
    EXPECT_EQ(SettleTextureId(list, textured("wood.bmp"), [](auto&&...) { return 0u; }), 0u);
}

TEST(TextureRule, NameWhoseLastUserWentIsLoadedAgain)
{
    CDynArray list;
    CountingLoader counter;
    tElement e = textured("wood.bmp");
    e.textureId = SettleTextureId(list, e, counter.loader());
    ASSERT_TRUE(list.Add(e));
    EXPECT_EQ(SettleTextureId(list, e, counter.loader()), 100u);
    ASSERT_TRUE(list.RemoveFirst());
    EXPECT_EQ(SettleTextureId(list, e, counter.loader()), 101u);
    EXPECT_EQ(counter.loads.size(), 2u);
}

TEST(TextureRule, FileRecordsShareTexturesAndNamesAreCaseSensitive)
{
    TempDir dir;
    std::string file = dir.file("t.3do");
    tElement coloured = textured("");
    coloured.color = 0;
    writeRecords(file, {textured("a.bmp"), coloured, textured("a.bmp"), textured("b.bmp"),
                        textured("A.bmp"), textured("b.bmp")});
    CDynArray list;
    CountingLoader counter;
    ASSERT_TRUE(ReadObjectFile(file, list, counter.loader()));
    ASSERT_EQ(list.Count(), 6);
    ASSERT_EQ(counter.loads.size(), 3u);
    EXPECT_EQ(counter.loads[0].fileName, "a.bmp");
    EXPECT_EQ(counter.loads[1].fileName, "b.bmp");
    EXPECT_EQ(counter.loads[2].fileName, "A.bmp");
    const uint32_t expected[6] = {100, kNoTexture, 100, 101, 102, 101};
    for (int p = 1; p <= 6; ++p)
        EXPECT_EQ(list.GetAt(p)->textureId, expected[p - 1]) << p;
    // Records of one bitmap hold its name once between them, not a copy each.
    EXPECT_EQ(list.GetAt(6)->texture.data(), list.GetAt(4)->texture.data());
    EXPECT_NE(list.GetAt(5)->texture.data(), list.GetAt(4)->texture.data());
}

TEST(TextureRule, ImportReusesTexturesAlreadyInTheList)
{
    TempDir dir;
    std::string file = dir.file("t.3do");
    writeRecords(file, {textured("wood.bmp"), textured("new.bmp"), textured("wood.bmp")});
    CDynArray list;
    tElement there = textured("wood.bmp");
    there.textureId = 42;
    ASSERT_TRUE(list.Add(there));
    CountingLoader counter;
    ASSERT_TRUE(ReadObjectFile(file, list, counter.loader()));
    ASSERT_EQ(counter.loads.size(), 1u);
    EXPECT_EQ(counter.loads[0].fileName, "new.bmp");
    EXPECT_EQ(list.GetAt(2)->textureId, 42u);
    EXPECT_EQ(list.GetAt(3)->textureId, 100u);
    EXPECT_EQ(list.GetAt(4)->textureId, 42u);
}

TEST(TextureRule, FailedLoadGivesZeroAndIsSharedLikeAnyName)
{
    TempDir dir;
    std::string file = dir.file("t.3do");
    writeRecords(file, {textured("missing.bmp"), textured("missing.bmp")});
    CDynArray list;
    int loads = 0;
    ASSERT_TRUE(ReadObjectFile(file, list, [&](auto&&...) { ++loads; return 0u; }));
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(list.GetAt(1)->textureId, 0u);
    EXPECT_EQ(list.GetAt(2)->textureId, 0u);
}

TEST(TextureRule, IndexAgreesWithTheListWalk)
{
    // Lists mixing textured and coloured polygons, some coloured ones carrying a texture
    // text: the index must give what FindTextureId gives, first match included.
    std::mt19937 random(7);
    const char* names[] = {"", "a", "b", "A", "c"};
    for (int round = 0; round < 50; ++round) {
        CDynArray list;
        for (int i = 0, n = int(random() % 12); i < n; ++i) {
            tElement e = textured(names[random() % 5]);
            if (random() % 3 == 0)
                e.color = 5;
            e.textureId = uint32_t(random() % 1000);
            ASSERT_TRUE(list.Add(e));
        }
        TextureIndex index(list);
        for (const char* name : names) {
            uint32_t fromList = 1, fromIndex = 2;
            bool inList = list.FindTextureId(name, fromList);
            ASSERT_EQ(index.find(name, fromIndex), inList) << round << name;
            if (inList) {
                EXPECT_EQ(fromIndex, fromList) << round << name;
            }
        }
    }
}

} // namespace
