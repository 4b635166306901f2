#pragma once

#include "platform/Export.h"
#include <QListView>

namespace LARKHILL_API Larkhill {

/**
 * The view of the search list. It tells when the user chose an entry: a mouse
 * click on an entry (also on the one already selected, so that it can be
 * chosen again) or a keyboard move of the selection. A selection set by the
 * program is not reported; the program acts on it itself.
 */
class ParcelListView : public QListView {
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
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

private:
  bool mMouseDown = false;
  bool mByProgram = false;
};

} // namespace Larkhill
