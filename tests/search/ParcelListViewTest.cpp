#include "search/ParcelListView.h"

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
