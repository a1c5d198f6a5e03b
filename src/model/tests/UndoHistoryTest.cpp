#include "ObjectFile.h"
#include "UndoHistory.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

tElement polygon(const std::string& name)
{
    tElement e;
    e.type = "Quad";
    e.name = name;
    return e;
}

std::string names(const CDynArray& list)
{
    std::string s;
    for (const tElement* p = list.First(); p; p = p->next)
        s += p->name.str() + (p == list.Last() ? "" : ",");
    return s;
}

uint32_t noTexture(const std::string&, int, int, int) { return 0; }

bool fillWith(CDynArray& list, std::initializer_list<const char*> given)
{
    for (const char* n : given)
        if (!list.Add(polygon(n)))
            return false;
    return true;
}

// Every command, undone back to the start and redone to the end, passes through the same
// lists, and a new command after undoing ends the redo.
TEST(UndoHistory, EveryCommandUndoesAndRedoesThroughTheSameLists)
{
    CDynArray list;
    UndoHistory history(list);
    std::vector<std::string> states{names(list)};
    auto step = [&](bool done) {
        ASSERT_TRUE(done);
        states.push_back(names(list));
    };
    step(history.add(polygon("a"), noTexture));
    step(history.add(polygon("b"), noTexture));
    step(history.add(polygon("c"), noTexture));
    step(history.update(2, polygon("B"), noTexture));
    step(history.remove(2));
    step(history.append([](CDynArray& l) { return fillWith(l, {"i1", "i2"}); }, "import"));
    step(history.replace([](CDynArray& l) { return fillWith(l, {"o1", "o2", "o3"}); }, "open"));
    step(history.remove(1));
    step(history.replace({}, {}));

    for (std::size_t i = states.size() - 1; i > 0; --i) {
        history.undo();
        EXPECT_EQ(names(list), states[i - 1]) << "undo to state " << i - 1;
    }
    EXPECT_FALSE(history.canUndo());
    for (std::size_t i = 1; i < states.size(); ++i) {
        history.redo();
        EXPECT_EQ(names(list), states[i]) << "redo to state " << i;
    }
    EXPECT_FALSE(history.canRedo());

    history.undo();
    history.undo();
    ASSERT_TRUE(history.add(polygon("x"), noTexture));
    EXPECT_FALSE(history.canRedo());
    history.undo();
    EXPECT_EQ(names(list), states[states.size() - 3]);
}

// Undo gives back the nodes a command took away, so a texture name settled for them stays
// and nothing of a large object is copied.
TEST(UndoHistory, UndoGivesBackTheVeryNodes)
{
    CDynArray list;
    UndoHistory history(list);
    tElement textured = polygon("t");
    textured.color = -1;
    textured.texture = "wall.bmp";
    ASSERT_TRUE(history.add(textured, [](const std::string&, int, int, int) { return 42u; }));
    ASSERT_TRUE(history.add(polygon("u"), noTexture));
    const tElement* first = list.First();
    const tElement* last = list.Last();
    history.replace({}, {});
    history.undo();
    EXPECT_TRUE(list.First() == first && list.Last() == last);
    EXPECT_EQ(list.First()->textureId, 42u);
    ASSERT_TRUE(history.remove(1));
    history.undo();
    EXPECT_TRUE(list.First() == first && first->next == last && last->prev == first);
}

// Past the bound the oldest steps go; the newest stays undoable however large it is.
TEST(UndoHistory, OldestStepsGoPastTheBound)
{
    CDynArray list;
    const uint64_t one = PolygonFootprint(polygon("p"));
    UndoHistory history(list, 25 * one);
    for (int i = 0; i < 4; ++i)
        history.replace(
            [](CDynArray& l) { return fillWith(l, {"p", "p", "p", "p", "p", "p", "p", "p", "p", "p"}); },
            "f");
    // Each replace keeps the ten polygons before it: three would be over 25.
    EXPECT_LE(history.bytesHeld(), 25 * one + 4 * 256);
    EXPECT_EQ(history.stepCount(), 2u);
    history.undo();
    history.undo();
    EXPECT_FALSE(history.canUndo());
    EXPECT_EQ(list.Count(), 10);

    UndoHistory tiny(list, 1);
    tiny.replace({}, {});
    EXPECT_TRUE(tiny.canUndo());
    tiny.undo();
    EXPECT_EQ(list.Count(), 10);
}

} // namespace
