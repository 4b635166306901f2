#include "search/ParcelListView.h"
#include "search/SortedListModel.h"

#include <QApplication>
#include <QScrollBar>
#include <QStringListModel>
#include <QTest>
#include <gtest/gtest.h>

using namespace Larkhill;

// A thousand entries in a view ten rows high: a row's place is its number
// times the row height, and every row can be reached and shown whole.
TEST(ParcelListView, RowsArePlacedByNumberAndEveryRowCanBeShown) {
  QStringList ids;
  for (int i = 0; i < 1000; ++i)
    ids.append(QStringLiteral("P%1").arg(i, 4, 10, QLatin1Char('0')));
  QStringListModel model(ids);
  ParcelListView view;
  view.setModel(&model);
  const int height = view.rowHeight();
  view.resize(200, 10 * height + 2 * view.frameWidth());
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  ASSERT_EQ(view.viewport()->height(), 10 * height);
  auto shown = [&](int row) {
    return view.viewport()->rect().contains(view.visualRect(model.index(row, 0)));
  };

  EXPECT_EQ(view.indexAt(QPoint(5, 2 * height)).row(), 2);
  EXPECT_EQ(view.indexAt(QPoint(5, 3 * height - 1)).row(), 2);

  // A far row selected is shown in the middle, and a click there finds it.
  view.selectRow(900);
  ASSERT_TRUE(shown(900));
  EXPECT_EQ(view.visualRect(model.index(900, 0)).top(), 5 * height);
  EXPECT_EQ(view.indexAt(view.visualRect(model.index(900, 0)).center()).row(), 900);

  // End shows the last row whole at the bottom; Page Up moves by the rows shown.
  view.setFocus();
  QTest::keyClick(&view, Qt::Key_End);
  EXPECT_EQ(view.currentIndex().row(), 999);
  EXPECT_TRUE(shown(999));
  EXPECT_EQ(view.visualRect(model.index(999, 0)).bottom(), view.viewport()->height() - 1);
  QTest::keyClick(&view, Qt::Key_PageUp);
  EXPECT_EQ(view.currentIndex().row(), 989);
  EXPECT_TRUE(shown(989));

  // Rows taken away leave no room to scroll past the last; below it is no row.
  model.removeRows(5, 995);
  QApplication::processEvents();
  EXPECT_EQ(view.verticalScrollBar()->maximum(), 0);
  EXPECT_EQ(view.indexAt(QPoint(5, 9 * height)), QModelIndex());
  EXPECT_EQ(view.indexAt(QPoint(5, 4 * height)).row(), 4);
}

namespace {

/** The search list, counting the entries a view reads. */
class CountingList : public SortedListModel {
public:
  QVariant data(const QModelIndex& index, int role) const override {
    ++reads;
    return SortedListModel::data(index, role);
  }
  mutable int reads = 0;
};

} // namespace

// Letters typed into the list go to the next entry that begins with them, found
// by the list's search: the entries in between are not read one by one.
TEST(ParcelListView, TypedLettersFindTheNextEntryWithoutReadingEveryEntry) {
  QStringList ids;
  for (int i = 0; i < 50000; ++i)
    ids.append(QStringLiteral("%1-%2").arg(10 + i % 90).arg(i, 5, 10, QLatin1Char('0')));
  ids << QStringLiteral("r7") << QStringLiteral("R10") << QStringLiteral("Rose")
      << QStringLiteral("ra");
  CountingList list;
  list.AddItems(ids);
  ParcelListView view;
  view.setModel(&list);
  view.setCurrentIndex(list.index(0, 0));
  const int interval = QApplication::keyboardInputInterval();
  auto typed = [&] { return view.currentIndex().data().toString(); };

  // Keys in quick succession add up; the same letter again goes on among its
  // entries (in the list's order R10, r7, ra, Rose).
  QApplication::setKeyboardInputInterval(1000000);
  list.reads = 0;
  for (const char* next : {"R10", "r7", "ra"}) {
    view.keyboardSearch(QStringLiteral("r"));
    EXPECT_EQ(typed(), QLatin1String(next));
  }
  view.keyboardSearch(QString());
  view.keyboardSearch(QStringLiteral("r"));
  view.keyboardSearch(QStringLiteral("o"));
  EXPECT_EQ(typed(), QStringLiteral("Rose"));
  view.keyboardSearch(QStringLiteral("x"));
  EXPECT_EQ(typed(), QStringLiteral("Rose")) << "no entry begins with rox";
  EXPECT_LT(list.reads, 100);

  // A new search begins after the current entry, and comes round from the top.
  view.keyboardSearch(QString());
  view.keyboardSearch(QStringLiteral("R"));
  EXPECT_EQ(typed(), QStringLiteral("R10"));
  view.keyboardSearch(QString());
  view.keyboardSearch(QStringLiteral("1"));
  EXPECT_EQ(typed(), QStringLiteral("10-00000"));
  QApplication::setKeyboardInputInterval(interval);
}
