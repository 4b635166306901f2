#pragma once

#include "platform/Export.h"
#include "shared/WindowInterfaces.h"
#include "platform/Form.h"

class QGroupBox;
class QLabel;
class QLineEdit;

namespace LARKHILL_API Larkhill {

class ClickLabel;
class GraphicButton;
class ParcelListView;
class SortedListModel;

/**
 * The search window: lists every value of the configured parcel ID field,
 * finds the first entry that begins with the typed text ("Go"), zooms the map
 * to the parcel of the chosen entry, and leads to the configuration and help
 * windows. It lives in a modeless host frame, created on first use of Frame().
 */
class frmMain : public Form, public ISearchWindow {
  Q_OBJECT
public:
  frmMain();
  ~frmMain() override;

  /**
   * The host frame around the window; the first call creates it (hidden), puts
   * it around the window, which loads the window, and sets its caption. A
   * failure to create the frame is reported and gives none.
   */
  Ref<IModelessFrame> Frame() override;
  /** Hides the frame and the window and empties the list; a later load fills it anew. */
  void Unload() override;
  void RefreshList() override;

  /** "Go": selects the first entry that begins with the text of the search box. */
  void Command4_Click();
  /** Zooms the map to the parcel of the selected entry. */
  void List1_Click();
  /** "Configure": hides this window and shows the configuration window modally. */
  void Command1_Click();
  /** "?": opens one more help window. */
  void btnHelp2_Click();
  /** The logo: opens the vendor's web site. */
  void Image2_Click();

  /**
   * Selects the row and zooms the map to its parcel and marks it, as a click
   * on the row does (other ways of finding a parcel end here).
   */
  void showEntry(int row);

  /** The list's entries. */
  SortedListModel& listModel() { return *mModel; }

protected:
  void Form_Load() override;
  /** Fills the list with the configured field's values (raises ComError). */
  void loadList();
  void keyPressEvent(QKeyEvent* event) override;

private:
  Ref<IModelessFrame> mFrame;
  SortedListModel* mModel = nullptr;
  QGroupBox* Frame1 = nullptr;
  QLabel* Label11 = nullptr;
  QLineEdit* Text1 = nullptr;
  GraphicButton* Command4 = nullptr;
  QLabel* Label1 = nullptr;
  ParcelListView* List1 = nullptr;
  ClickLabel* Image2 = nullptr;
  QLabel* txtVersion = nullptr;
  GraphicButton* btnHelp2 = nullptr;
  GraphicButton* Command1 = nullptr;
};

} // namespace Larkhill
