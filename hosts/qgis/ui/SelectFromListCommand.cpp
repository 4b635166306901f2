#include "qgis/ui/SelectFromListCommand.h"

#include <QAction>

namespace LarkhillQgis {

SelectFromListCommand::SelectFromListCommand(QWidget* owner, ParcelListDialog::Select select,
                                             QObject* parent)
    : QObject(parent), mOwner(owner), mSelect(std::move(select)) {
  mAction = new QAction(QStringLiteral("Select Parcels from a List…"), this);
  mAction->setObjectName(QStringLiteral("selectParcelsFromList"));
  mAction->setToolTip(QStringLiteral("Select the parcels of pasted IDs and zoom to them"));
  connect(mAction, &QAction::triggered, this, &SelectFromListCommand::open);
}

SelectFromListCommand::~SelectFromListCommand() {
  delete mDialog;
}

void SelectFromListCommand::open() {
  if (!mDialog)
    mDialog = new ParcelListDialog(mSelect, mOwner);
  mDialog->show();
  mDialog->raise();
  mDialog->activateWindow();
}

} // namespace LarkhillQgis
