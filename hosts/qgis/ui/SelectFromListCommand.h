#pragma once

#include "qgis/ui/ParcelListDialog.h"

#include <QObject>
#include <QPointer>

class QAction;

namespace LarkhillQgis {

/**
 * The menu command "Select Parcels from a List…": its action opens the
 * dialog over the owner window, or brings the open one forward. There is one
 * dialog at a time; it goes when this command goes.
 */
class SelectFromListCommand : public QObject {
  Q_OBJECT
public:
  /** A command whose dialog selects with `select`; the action is a child of this object. */
  SelectFromListCommand(QWidget* owner, ParcelListDialog::Select select,
                        QObject* parent = nullptr);
  ~SelectFromListCommand() override;

  QAction* action() const { return mAction; }
  /** The open dialog, or null. */
  ParcelListDialog* dialog() const { return mDialog; }
  /** Opens the dialog (made at the first call), or raises it. */
  void open();

private:
  QPointer<QWidget> mOwner;
  ParcelListDialog::Select mSelect;
  QAction* mAction;
  QPointer<ParcelListDialog> mDialog;
};

} // namespace LarkhillQgis
