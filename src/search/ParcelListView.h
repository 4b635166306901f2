#pragma once

#include "platform/Export.h"
#include <QAbstractItemView>
#include <QElapsedTimer>

namespace LARKHILL_API Larkhill {

/**
 * The view of the search list. It tells when the user chose an entry: a mouse
 * click on an entry (also on the one already selected, so that it can be
 * chosen again) or a keyboard move of the selection. A selection set by the
 * program is not reported; the program acts on it itself.
 *
 * Every entry is one line of the same height, so a row's place is its number
 * times that height: showing a list of millions of entries places none of
 * them and keeps nothing per entry (a list or table view of Qt's keeps a
 * position or a height for each, a fifth of a second and tens of megabytes
 * for three million parcels). It scrolls an entry at a time.
 */
class ParcelListView : public QAbstractItemView {
  Q_OBJECT
public:
  explicit ParcelListView(QWidget* parent = nullptr);

  /** The row of the selected entry, or -1. */
  int selectedRow() const;
  /** Selects the row and makes it visible, without reporting a choice. */
  void selectRow(int row);
  /** The height of every entry, in pixels. */
  int rowHeight() const { return mRowHeight; }

  void setModel(QAbstractItemModel* model) override;
  QRect visualRect(const QModelIndex& index) const override;
  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
  QModelIndex indexAt(const QPoint& point) const override;
  /**
   * Letters typed while the list has the focus, as in any list: the next
   * entry from the current one that begins with them (letter case aside),
   * keys typed in quick succession adding up, one letter typed again going
   * on to the next entry that begins with it. Over the search list it is
   * found by the list's own search, not by reading every entry from the
   * current one (a second for a million parcels, a read of the whole table
   * for a list served from the database).
   */
  void keyboardSearch(const QString& search) override;

signals:
  /** The user chose the selected entry. */
  void entryChosen();

protected:
  /** Up, Down, Page Up, Page Down, Home and End, as in a list; Left and Right stay. */
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
  int horizontalOffset() const override;
  int verticalOffset() const override;
  bool isIndexHidden(const QModelIndex& index) const override;
  void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags flags) override;
  QRegion visualRegionForSelection(const QItemSelection& selection) const override;
  void updateGeometries() override;
  void scrollContentsBy(int dx, int dy) override;
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

private:
  int rowCount() const;
  /** The first row shown. */
  int firstRow() const;
  /** The rows that fit the viewport whole, at least one. */
  int rowsShown() const;
  /** Every row as high as the item delegate makes a line of text in the font. */
  void fitRowHeight();

  QList<QMetaObject::Connection> mRowConnections;
  int mRowHeight = 16;
  bool mMouseDown = false;
  bool mByProgram = false;
  QString mTyped;            // the keys typed in quick succession
  QElapsedTimer mSinceTyped; // since the last of them
};

} // namespace Larkhill
