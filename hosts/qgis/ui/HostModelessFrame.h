#pragma once

#include "mapdata/HostInterface.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class QgsMapCanvas;

namespace LarkhillQgis {
using namespace Larkhill;

/**
 * Where the user left the search panel: docked (and in which area of the
 * main window) or floating. The frames one host makes share it, so that a new
 * search window opens where the last one was. A panel first opens docked on
 * the right of the map, as QGIS's own panels do, so that it never covers the
 * parcel a search has just zoomed to.
 */
struct PanelPlace {
  bool docked = true;
  Qt::DockWidgetArea area = Qt::RightDockWidgetArea;

  /** The place kept in QGIS's settings by the last panel (docked right when none). */
  static PanelPlace remembered();
  /** Keeps this place in QGIS's settings, for panels after an unload or a restart. */
  void remember() const;
};

/**
 * A modeless frame that holds one of the component's forms: a tool window
 * over the host's main window, or for the search window (the form named
 * "frmMain") a dock panel of the main window, as QGIS's own panels are.
 *
 * The frame's window is a child of the main window and owns the form through
 * the Qt object tree: deleting the form's parent widget releases both. This
 * object is only a handle on it: it deletes the window only while no form has
 * been put in.
 *
 * A panel opens where the place says: docked, where the component's moves
 * leave it alone and its list takes the panel's height, or floating, where it
 * goes where the component moves it (the centre of the screen). Where the user
 * docks or floats it is where the next panel (the next load) opens.
 *
 * While a docked panel's form loads (the search list is read and sorted), the
 * map does not draw: a drawing in progress is stopped and started again once
 * the load is over. The drawing of a large layer takes seconds of a processor
 * that the load would use, and the panel narrows the map when it appears,
 * which starts the drawing again in any case.
 */
class HostModelessFrame : public IModelessFrame, public IWindowPosition {
public:
  /**
   * A frame over `owner` (none: a free window). Panels record their place in
   * `place` (none: each panel starts floating) and call `panelClosed` when the
   * user or the component closes them, or they go. `map` (none: no map) is
   * the map that does not draw while a docked panel's form loads.
   */
  explicit HostModelessFrame(QWidget* owner, std::shared_ptr<PanelPlace> place = nullptr,
                             std::function<void()> panelClosed = {}, QgsMapCanvas* map = nullptr);
  ~HostModelessFrame() override;

  /**
   * Puts the form into the frame (a dock panel for the search window when the
   * owner is a main window), sizes the frame to it and loads the form.
   */
  void Create(Form* window) override;
  QString Caption() override;
  void setCaption(const QString& caption) override;
  bool Visible() override;
  void setVisible(bool visible) override;
  /** Moves and sizes a floating frame; a docked panel keeps its place. */
  void Move(int32_t left, int32_t top, int32_t width, int32_t height) override;

  /** The frame's window (object name "larkhillFrame"): a QDockWidget for a panel. */
  QWidget* window() const { return mWindow; }

private:
  QWidget* frame();
  bool isDockedPanel() const;
  void makePanel(Form* form);
  QPointer<QWidget> mWindow;
  QPointer<QWidget> mForm;
  std::shared_ptr<PanelPlace> mPlace;
  std::function<void()> mPanelClosed;
  QPointer<QgsMapCanvas> mMap;
};

} // namespace LarkhillQgis
