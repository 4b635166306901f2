#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>

class QCheckBox;
class QLabel;
class QPlainTextEdit;

namespace LarkhillQgis {

/**
 * "Select Parcels from a List": a box to paste parcel IDs into (one a line,
 * or between commas, semicolons or tabs; between blanks too when that box is
 * ticked, as IDs may hold blanks), a box to match them ignoring letter case,
 * blanks and punctuation, and "Select". What the selection found is said
 * under it, and the IDs it did not find are listed in a box to copy from.
 * The selection itself is the collaborator's work (given in the constructor).
 */
class ParcelListDialog : public QDialog {
  Q_OBJECT
public:
  /** What a selection did. */
  struct Outcome {
    /** False when nothing could be looked up (the tool is not configured). */
    bool done = false;
    /** The parcels selected. */
    int selected = 0;
    /** The IDs that no parcel holds, in the order given. */
    QStringList missing;
  };
  /** Selects the parcels of the IDs, matched exactly or ignoring formatting. */
  using Select = std::function<Outcome(const QStringList& ids, bool ignoreFormat)>;

  explicit ParcelListDialog(Select select, QWidget* parent = nullptr);

  /** What "Select" does: splits the box's text into IDs and selects their parcels. */
  void selectParcels();
  /** The outcome of the last "Select" (not done before the first). */
  const Outcome& lastOutcome() const { return mOutcome; }

private:
  Select mSelect;
  Outcome mOutcome;
  QPlainTextEdit* mIds;
  QCheckBox* mBlanksSeparate;
  QCheckBox* mIgnoreFormat;
  QLabel* mResult;
  QPlainTextEdit* mMissing;
};

} // namespace LarkhillQgis
