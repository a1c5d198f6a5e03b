#include "DynArray.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

tElement polygon(const std::string& name)
{
    tElement e;
    e.type = "Quad";
    e.name = name;
    e.color = 0x00FF00;
    e.green = 255;
    return e;
}

std::vector<std::string> namesForward(const CDynArray& list)
{
    std::vector<std::string> names;
    for (const tElement* e = list.First(); e; e = e->next)
        names.push_back(e->name);
    return names;
}

std::vector<std::string> namesBackward(const CDynArray& list)
{
    std::vector<std::string> names;
    for (const tElement* e = list.Last(); e; e = e->prev)
        names.insert(names.begin(), e->name);
    return names;
}

void fill(CDynArray& list, std::initializer_list<const char*> names)
{
    for (const char* n : names)
        ASSERT_TRUE(list.Add(polygon(n)));
}

using Names = std::vector<std::string>;

TEST(DynArray, EmptyListRefusesEverything)
{
    CDynArray list;
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.GetAt(1), nullptr);
    EXPECT_EQ(list.GetAt(0), nullptr);
    EXPECT_FALSE(list.RemoveFirst());
    EXPECT_FALSE(list.RemoveLast());
    EXPECT_FALSE(list.RemoveAt(1));
    EXPECT_FALSE(list.RemovePosition(1));
    EXPECT_FALSE(list.Clear());
    uint32_t id = 7;
    EXPECT_FALSE(list.FindTextureId("", id));
    EXPECT_EQ(id, 7u);
}

TEST(DynArray, OnePolygonEitherRemovalEmptiesTheList)
{
    for (bool fromFront : {true, false}) {
        CDynArray list;
        fill(list, {"a"});
        ASSERT_EQ(list.Count(), 1);
        ASSERT_NE(list.GetAt(1), nullptr);
        EXPECT_EQ(list.GetAt(1)->name, "a");
        EXPECT_EQ(list.GetAt(2), nullptr);
        EXPECT_EQ(list.GetAt(0), nullptr);
        EXPECT_TRUE(fromFront ? list.RemoveFirst() : list.RemoveLast());
        EXPECT_EQ(list.Count(), 0);
        EXPECT_EQ(list.First(), nullptr);
        EXPECT_EQ(list.Last(), nullptr);
    }
}

TEST(DynArray, PositionsAreOneBasedUpToCount)
{
    CDynArray list;
    fill(list, {"a", "b", "c", "d", "e"});
    for (int p = 1; p <= 5; ++p)
        EXPECT_EQ(list.GetAt(p)->name, std::string(1, char('a' + p - 1))) << p;
    EXPECT_EQ(list.GetAt(list.Count()), list.Last());
    EXPECT_EQ(list.GetAt(6), nullptr);
    EXPECT_EQ(list.GetAt(-1), nullptr);
    EXPECT_EQ(list.First()->prev, nullptr);
    EXPECT_EQ(list.Last()->next, nullptr);
}

TEST(DynArray, AddCopiesAndOwnsItsPolygon)
{
    CDynArray list;
    tElement e = polygon("original");
    e.texture = "wood.bmp";
    e.vertex[11] = 4.5f;
    e.textureId = 12;
    e.next = &e;  // the caller's links must not leak into the list
    e.prev = &e;
    ASSERT_TRUE(list.Add(e));
    e.name = "changed";
    e.texture = "stone.bmp";
    e.vertex[11] = 0;
    tElement* stored = list.GetAt(1);
    EXPECT_NE(stored, &e);
    EXPECT_EQ(stored->name, "original");
    EXPECT_EQ(stored->texture, "wood.bmp");
    EXPECT_EQ(stored->vertex[11], 4.5f);
    EXPECT_EQ(stored->textureId, 12u);
    EXPECT_EQ(stored->next, nullptr);
    EXPECT_EQ(stored->prev, nullptr);
}

TEST(DynArray, GetAtGivesAPolygonToChangeInPlace)
{
    CDynArray list;
    fill(list, {"a", "b", "c"});
    list.GetAt(2)->name = "B";
    EXPECT_EQ(namesForward(list), (Names{"a", "B", "c"}));
}

TEST(DynArray, InteriorRemovalRelinksBothWays)
{
    CDynArray list;
    fill(list, {"a", "b", "c"});
    EXPECT_TRUE(list.RemoveAt(2));
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(namesForward(list), (Names{"a", "c"}));
    EXPECT_EQ(namesBackward(list), (Names{"a", "c"}));
    EXPECT_EQ(list.GetAt(2)->prev, list.GetAt(1));
}

TEST(DynArray, RemoveAtOutsideTheListChangesNothing)
{
    CDynArray list;
    fill(list, {"a", "b", "c"});
    EXPECT_FALSE(list.RemoveAt(0));
    EXPECT_FALSE(list.RemoveAt(4));
    EXPECT_EQ(namesForward(list), (Names{"a", "b", "c"}));
    // The ends are not the editor's way in, but must leave a sound list.
    EXPECT_TRUE(list.RemoveAt(3));
    EXPECT_TRUE(list.RemoveAt(1));
    EXPECT_EQ(namesForward(list), (Names{"b"}));
    EXPECT_EQ(namesBackward(list), (Names{"b"}));
}

TEST(DynArray, EditorRemovalTakesFirstLastOrInterior)
{
    CDynArray list;
    fill(list, {"a", "b", "c", "d", "e"});
    EXPECT_TRUE(list.RemovePosition(1));
    EXPECT_EQ(namesForward(list), (Names{"b", "c", "d", "e"}));
    EXPECT_TRUE(list.RemovePosition(4));
    EXPECT_EQ(namesForward(list), (Names{"b", "c", "d"}));
    EXPECT_TRUE(list.RemovePosition(2));
    EXPECT_EQ(namesForward(list), (Names{"b", "d"}));
    EXPECT_EQ(namesBackward(list), (Names{"b", "d"}));
    EXPECT_FALSE(list.RemovePosition(0));
    EXPECT_FALSE(list.RemovePosition(3));
    EXPECT_EQ(list.Count(), 2);
}

TEST(DynArray, ClearEmptiesOnceAndTheListStaysUsable)
{
    CDynArray list;
    fill(list, {"a", "b", "c"});
    EXPECT_TRUE(list.Clear());
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.First(), nullptr);
    EXPECT_EQ(list.Last(), nullptr);
    EXPECT_FALSE(list.Clear());
    fill(list, {"x"});
    EXPECT_EQ(namesForward(list), (Names{"x"}));
}

TEST(DynArray, FindTextureIdTakesTheFirstExactMatch)
{
    CDynArray list;
    tElement e = polygon("t");
    e.color = -1;
    e.texture = "Wood.bmp";
    e.textureId = 3;
    ASSERT_TRUE(list.Add(e));
    e.texture = "wood.bmp";
    e.textureId = 4;
    ASSERT_TRUE(list.Add(e));
    e.textureId = 5;
    ASSERT_TRUE(list.Add(e));
    uint32_t id = 0;
    ASSERT_TRUE(list.FindTextureId("wood.bmp", id));
    EXPECT_EQ(id, 4u);
    ASSERT_TRUE(list.FindTextureId("Wood.bmp", id));
    EXPECT_EQ(id, 3u);
    EXPECT_FALSE(list.FindTextureId("WOOD.BMP", id));
    EXPECT_FALSE(list.FindTextureId("wood.bmp ", id));
}

TEST(DynArray, TypeOtherThanTriangleIsAQuad)
{
    tElement e;
    for (const char* type : {"Quad", "triangle", "Triangle ", "", "Pentagon"}) {
        e.type = type;
        EXPECT_FALSE(e.isTriangle()) << type;
    }
    e.type = "Triangle";
    EXPECT_TRUE(e.isTriangle());
}

// A list that runs out of memory after a set number of nodes.
class StarvedList : public CDynArray {
public:
    explicit StarvedList(int nodesLeft) : nodesLeft_(nodesLeft) {}

protected:
    tElement* allocateNode(const tElement& element) override
    {
        if (nodesLeft_ <= 0)
            return nullptr;
        --nodesLeft_;
        return CDynArray::allocateNode(element);
    }

private:
    int nodesLeft_;
};

TEST(DynArray, AddWithoutMemoryLeavesTheListUnchanged)
{
    StarvedList list(2);
    fill(list, {"a", "b"});
    tElement* last = list.Last();
    EXPECT_FALSE(list.Add(polygon("c")));
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Last(), last);
    EXPECT_EQ(last->next, nullptr);
    EXPECT_EQ(namesBackward(list), (Names{"a", "b"}));
}

#if !defined(__SANITIZE_ADDRESS__)
long residentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    long kib = 0;
    while (status >> key && key != "VmRSS:")
        status.ignore(1 << 12, '\n');
    status >> kib;
    return kib;
}

TEST(DynArray, ClearingALargeListGivesItsMemoryBack)
{
    CDynArray list;
    const long before = residentKiB();
    // Blocks made between the polygons and kept, as the rest of a program's are, so that
    // the list's memory is not simply the top of the heap.
    std::vector<std::unique_ptr<char[]>> kept;
    for (int i = 0; i < 300000; ++i) {
        ASSERT_TRUE(list.Add(polygon("p")));
        if (i % 1000 == 0)
            kept.push_back(std::make_unique<char[]>(64));
    }
    const long grown = residentKiB() - before;
    ASSERT_GT(grown, 30000);
    list.Clear();
    EXPECT_LT(residentKiB() - before, grown / 10) << "grown by " << grown << " KiB";
}
#endif

} // namespace
