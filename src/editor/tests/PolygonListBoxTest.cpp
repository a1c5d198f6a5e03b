// The list box as a view over the polygon list: rows read from the list in any order and
// after removals, the highlight that stays on the loaded entry, and long names.
#include "EditorFixture.h"

#include <QScrollBar>
#include <QTest>

#include <random>

namespace {

const EditorTest::Polygon kShort{QStringLiteral("roof"),
                                 {"0", "0", "0", "10", "0", "0", "0", "10", "0"},
                                 QColor(255, 0, 0),
                                 {}};
const EditorTest::Polygon kWall{QStringLiteral("wall"),
                                {"0", "0", "5", "10", "0", "5", "0", "10", "5"},
                                QColor(0, 255, 0),
                                {}};
const EditorTest::Polygon kLong{QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ1234"),
                                {"0", "0", "0", "10", "0", "0", "0", "10", "0"},
                                QColor(0, 0, 255),
                                {}};

std::vector<std::string> rowTexts(const TPolygonListBox* box, const std::vector<int>& order)
{
    std::vector<std::string> texts;
    for (int row : order)
        texts.push_back(box->text(row).toStdString());
    return texts;
}

TEST_F(EditorTest, RowsShowThePolygonsInAnyReadingOrderAndAfterRemovals)
{
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i) {
        tElement e;
        e.name = "p" + std::to_string(i);
        names.push_back(e.name);
        ASSERT_TRUE(list.Add(e));
    }
    editor->appendListEntries(1);
    TPolygonListBox* box = lbPolygon();
    ASSERT_EQ(box->count(), 40);

    std::vector<int> order(40);
    for (int i = 0; i < 40; ++i)
        order[i] = i;
    std::mt19937 random(7);
    for (int round = 0; round < 3; ++round) {
        std::shuffle(order.begin(), order.end(), random);
        std::vector<std::string> expected;
        for (int row : order)
            expected.push_back(names[row]);
        EXPECT_EQ(rowTexts(box, order), expected);
    }

    // Removals at the row last read, before it and after it, as Remove does them: the
    // polygon leaves the list, then its entry goes.
    for (int row : {20, 5, 30, 0, 35}) {
        (void)box->text(row);
        (void)box->text(row + 1);
        ASSERT_TRUE(list.RemovePosition(row + 1));
        names.erase(names.begin() + row);
        box->removeEntry(row);
        std::vector<int> all(names.size());
        for (int i = 0; i < int(all.size()); ++i)
            all[i] = i;
        EXPECT_EQ(rowTexts(box, all), names) << "after removing row " << row;
        std::reverse(all.begin(), all.end());
        EXPECT_EQ(rowTexts(box, all), std::vector<std::string>(names.rbegin(), names.rend()));
    }
    EXPECT_EQ(box->text(int(names.size())), QString()) << "past the last row";
}

// A click or drag beside the entries used to take the highlight off the loaded entry while
// Remove stayed aimed at it.
TEST_F(EditorTest, ClickBesideTheEntriesKeepsTheLoadedEntryHighlighted)
{
    addPolygon(kShort);
    addPolygon(kWall);
    selectEntry(0);
    ASSERT_EQ(editor->state().mode, EditorMode::EditPolygon);
    TPolygonListBox* box = lbPolygon();
    const QPoint empty(box->viewport()->width() / 2, box->viewport()->height() - 3);
    ASSERT_FALSE(box->indexAt(empty).isValid()) << "the list box has room below its entries";

    QTest::mouseClick(box->viewport(), Qt::LeftButton, {}, empty);
    EXPECT_EQ(box->selectedRows(), QList<int>{0});
    QTest::mousePress(box->viewport(), Qt::LeftButton, {}, box->visibleRowRect(0).center());
    QTest::mouseMove(box->viewport(), empty);
    QTest::mouseRelease(box->viewport(), Qt::LeftButton, {}, empty);
    EXPECT_EQ(box->selectedRows(), QList<int>{0});
    EXPECT_EQ(editor->state().selectedPosition, 1);

    click(btn("btnRemove"));
    EXPECT_EQ(listNames(), std::vector<std::string>{"wall"}) << "the highlighted one went";
    EXPECT_EQ(entryNames(), std::vector<std::string>{"wall"});
}

// One behaviour for a long name, whatever came before it: the row is the list box's width,
// the name is cut at its end, and there is no horizontal scroll bar to hide a row.
TEST_F(EditorTest, LongNameIsCutAtTheListBoxEdgeWithoutScrolling)
{
    TPolygonListBox* box = lbPolygon();
    EXPECT_EQ(box->textElideMode(), Qt::ElideRight);
    for (int adds = 1; adds <= 3; ++adds) {
        addPolygon(adds == 2 ? kShort : kLong);
        QApplication::processEvents();
        EXPECT_FALSE(box->horizontalScrollBar()->isVisible()) << "after add " << adds;
        for (int row = 0; row < adds; ++row) {
            const QRect r = box->visibleRowRect(row);
            EXPECT_EQ(r.left(), 0) << "add " << adds << " row " << row;
            EXPECT_EQ(r.width(), box->viewport()->width()) << "add " << adds << " row " << row;
        }
    }
    EXPECT_EQ(box->text(0), kLong.name) << "the entry keeps the whole name";
}

// A polygon added while the list box was scrolled away from its end showed nowhere.
TEST_F(EditorTest, AddScrollsTheListBoxToTheNewEntry)
{
    for (int i = 0; i < 8; ++i) {
        tElement e;
        e.name = "p" + std::to_string(i);
        ASSERT_TRUE(list.Add(e));
    }
    editor->appendListEntries(1);
    TPolygonListBox* box = lbPolygon();
    box->verticalScrollBar()->setValue(0);
    addPolygon(kShort);
    ASSERT_EQ(box->count(), 9);
    const QRect shown = box->visualRect(box->entries()->index(8));
    EXPECT_TRUE(box->viewport()->rect().contains(shown))
        << "the new entry at " << shown.top() << " of " << box->viewport()->height();
}

} // namespace
