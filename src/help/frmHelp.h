#pragma once

#include "platform/Export.h"
#include "mapdata/HostInterface.h"
#include "platform/Form.h"

#include <QPixmap>
#include <vector>

class QFrame;

namespace LARKHILL_API Larkhill {

class ClickLabel;

/**
 * The help window: a picture of the tool's usage and three links (the vendor's
 * web site, an e-mail message to the vendor, the tool's update page). It lives
 * in a modeless host frame, which owns it; every press of the search
 * window's "?" opens one more, and each stays until the user closes its frame.
 */
class frmHelp : public Form {
  Q_OBJECT
public:
  frmHelp();
  ~frmHelp() override;

  /**
   * The host frame, created on first use around the window (which loads it)
   * and captioned with the product name and " - Help". Failures of the host
   * pass to the caller.
   */
  Ref<IModelessFrame> Frame();

  /**
   * Creates one more help window and makes its frame visible; the frame owns
   * the window. Help windows whose frames the user has closed are deleted
   * with their frames. A window whose frame fails is deleted and the failure
   * passes to the caller.
   */
  static frmHelp* openNew();
  /** The help windows that exist, oldest first. */
  static std::vector<frmHelp*> openWindows();
  /** Deletes every help window with its frame (the component's unload does). */
  static void closeAll();

  /** Opens the vendor's web site. */
  void Label2_Click();
  /** Opens a new e-mail message to the vendor. */
  void Label3_Click();
  /** Opens the tool's page for updates. */
  void Label4_Click();

  /** The help page picture (733x533). */
  static QPixmap pagePicture();

protected:
  void Form_Load() override;
  void paintEvent(QPaintEvent* event) override;

private:
  Ref<IModelessFrame> mFrame;
  QPixmap mPage;
  QFrame* Frame1 = nullptr;
  ClickLabel* Label2 = nullptr;
  ClickLabel* Label3 = nullptr;
  ClickLabel* Label4 = nullptr;
};

} // namespace Larkhill
