#pragma once

#include "platform/Export.h"
#include <QDialog>

class QGroupBox;
class QLabel;

namespace LARKHILL_API Larkhill {

class GraphicButton;
class ListBox;

/**
 * The configuration window: the user chooses the parcel layer among the
 * feature layers of the focus map and the parcel ID field among its fields.
 * "Continue" stores the choice and brings up a new search window that lists
 * the new values; "Cancel" shows the search window again. A dialog shown
 * modally: Enter presses the focused button or else "Continue", Escape presses
 * "Cancel". It exists at most once, owns itself and is deleted when it closes.
 */
class frmConfig : public QDialog {
  Q_OBJECT
public:
  frmConfig();

  /** Runs the load handler once; later calls do nothing until the window is unloaded. */
  void Load();
  /** True once the load handler has started. */
  bool isLoaded() const { return mLoaded; }

  /**
   * Creates the window (or takes the one that exists), loads it, centres it on
   * the screen and shows it modally; returns when it has closed.
   */
  static void showModalWindow();
  /** The configuration window that exists, or null. */
  static frmConfig* current();

  /** Fills the field list for the layer chosen in the layer list. */
  void List1_Click();
  /** "Continue": checks the choice, stores it and replaces the search window. */
  void Command1_Click();
  /** "Cancel": closes the window and shows the search window again. */
  void Command2_Click();

  /** Hides the window and deletes it once control is back in the event loop. */
  void Unload();

  /** Escape: presses "Cancel". */
  void reject() override;

protected:
  void Form_Load();
  void closeEvent(QCloseEvent* event) override;

private:
  bool mLoaded = false;
  QGroupBox* Frame1 = nullptr;
  QLabel* Label1 = nullptr;
  ListBox* List1 = nullptr;
  QLabel* Label2 = nullptr;
  ListBox* List2 = nullptr;
  GraphicButton* Command2 = nullptr;
  GraphicButton* Command1 = nullptr;
};

} // namespace Larkhill
