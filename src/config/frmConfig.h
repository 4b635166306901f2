#pragma once

#include "platform/Form.h"

class GraphicButton;
class ListBox;
class QGroupBox;
class QLabel;

/**
 * The configuration window: the user chooses the parcel layer among the
 * feature layers of the focus map and the parcel ID field among its fields.
 * "Continue" stores the choice and brings up a new search window that lists
 * the new values; "Cancel" shows the search window again. Shown modally; it
 * exists at most once and is deleted when it closes.
 */
class frmConfig : public Form {
  Q_OBJECT
public:
  frmConfig();

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
  void Unload() override;

protected:
  void Form_Load() override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

private:
  QGroupBox* Frame1 = nullptr;
  QLabel* Label1 = nullptr;
  ListBox* List1 = nullptr;
  QLabel* Label2 = nullptr;
  ListBox* List2 = nullptr;
  GraphicButton* Command2 = nullptr;
  GraphicButton* Command1 = nullptr;
};
