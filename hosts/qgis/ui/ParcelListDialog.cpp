#include "qgis/ui/ParcelListDialog.h"

#include "search/PastedIds.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace LarkhillQgis {
using namespace Larkhill;

ParcelListDialog::ParcelListDialog(Select select, QWidget* parent)
    : QDialog(parent), mSelect(std::move(select)) {
  setObjectName(QStringLiteral("parcelListDialog"));
  setWindowTitle(QStringLiteral("Select Parcels from a List"));
  auto* layout = new QVBoxLayout(this);
  auto* intro = new QLabel(
      QStringLiteral("Parcel IDs, one a line or separated by commas, semicolons or tabs:"), this);
  intro->setWordWrap(true);
  layout->addWidget(intro);
  mIds = new QPlainTextEdit(this);
  mIds->setObjectName(QStringLiteral("idsText"));
  mIds->setTabChangesFocus(false);
  layout->addWidget(mIds, 2);
  mBlanksSeparate = new QCheckBox(QStringLiteral("Blanks separate IDs too"), this);
  mBlanksSeparate->setObjectName(QStringLiteral("blanksSeparate"));
  mBlanksSeparate->setToolTip(
      QStringLiteral("Leave it unticked when the IDs themselves hold blanks."));
  layout->addWidget(mBlanksSeparate);
  mIgnoreFormat = new QCheckBox(QStringLiteral("Ignore letter case, blanks and punctuation"), this);
  mIgnoreFormat->setObjectName(QStringLiteral("ignoreFormat"));
  mIgnoreFormat->setToolTip(QStringLiteral(
      "Match \"01001 0105\" to 01-001-0105: dashes, dots, slashes, commas, apostrophes and "
      "blanks are left out of both."));
  layout->addWidget(mIgnoreFormat);
  mResult = new QLabel(this);
  mResult->setObjectName(QStringLiteral("resultText"));
  mResult->setWordWrap(true);
  layout->addWidget(mResult);
  mMissing = new QPlainTextEdit(this);
  mMissing->setObjectName(QStringLiteral("missingText"));
  mMissing->setReadOnly(true);
  mMissing->setPlaceholderText(QStringLiteral("IDs not found are listed here."));
  layout->addWidget(mMissing, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  QPushButton* selectButton = buttons->addButton(QStringLiteral("Select"),
                                                 QDialogButtonBox::ActionRole);
  selectButton->setObjectName(QStringLiteral("selectButton"));
  selectButton->setDefault(true);
  layout->addWidget(buttons);
  connect(selectButton, &QPushButton::clicked, this, [this] { selectParcels(); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  resize(420, 460);
}

void ParcelListDialog::selectParcels() {
  const QStringList ids =
      PastedIds::split(mIds->toPlainText(), mBlanksSeparate->isChecked());
  mOutcome = mSelect ? mSelect(ids, mIgnoreFormat->isChecked()) : Outcome();
  if (!mOutcome.done) {
    mResult->setText(QStringLiteral("Nothing was selected: configure the parcel layer and its "
                                    "ID field with the LarkhillParcelSearch button first."));
    mMissing->clear();
    return;
  }
  const QLocale locale;
  QString text = QStringLiteral("%1 of %2 IDs found; %3 parcels selected.")
                     .arg(locale.toString(ids.size() - mOutcome.missing.size()),
                          locale.toString(ids.size()), locale.toString(mOutcome.selected));
  if (!mOutcome.missing.isEmpty())
    text += QStringLiteral(" Not found: %1 (below).").arg(locale.toString(mOutcome.missing.size()));
  mResult->setText(text);
  mMissing->setPlainText(mOutcome.missing.join(QLatin1Char('\n')));
}

} // namespace LarkhillQgis
