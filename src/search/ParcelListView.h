#pragma once

#include "platform/Export.h"
#include <QTableView>

namespace LARKHILL_API Larkhill {

/**
 * The view of the search list. It tells when the user chose an entry: a mouse
 * click on an entry (also on the one already selected, so that it can be
 * chosen again) or a keyboard move of the selection. A selection set by the
 * program is not reported; the program acts on it itself.
 *
 * It is a table of one column without headers or grid, which looks and
 * answers the keys as a list does: a list view places every row when the
 * list is shown (a fifth of a second for three million parcels), where a
 * table of rows of one height places none.
 */
class ParcelListView : public QTableView {
  Q_OBJECT
public:
  explicit ParcelListView(QWidget* parent = nullptr);

  /** The row of the selected entry, or -1. */
  int selectedRow() const;
  /** Selects the row and makes it visible, without reporting a choice. */
  void selectRow(int row);

signals:
  /** The user chose the selected entry. */
  void entryChosen();

protected:
  /** Home and End go to the first and the last entry, as in a list. */
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
  void changeEvent(QEvent* event) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

private:
  /** Every row as high as the font's line: the height a list gives its entries. */
  void fitRowHeight();

  bool mMouseDown = false;
  bool mByProgram = false;
};

} // namespace Larkhill
