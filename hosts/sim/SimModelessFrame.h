#pragma once

#include "mapdata/HostInterface.h"

#include <QPointer>
#include <QRect>
#include <QStringList>
#include <QWidget>
#include <memory>

namespace Larkhill {

/**
 * The simulated host's modeless frame: a real top-level tool window that holds
 * the component's window, and records what the component asked of it (caption,
 * visibility, each move). Create puts the window inside the frame, which owns
 * it from then on, and loads it. This object is a handle on the tool window:
 * it deletes the tool window only while no window has been put in; later the
 * component releases the tool window with the window inside.
 */
class SimModelessFrame : public IModelessFrame, public IWindowPosition {
public:
  SimModelessFrame();
  ~SimModelessFrame() override;

  void Create(Form* window) override;
  QString Caption() override;
  void setCaption(const QString& caption) override;
  bool Visible() override;
  void setVisible(bool visible) override;
  void Move(int32_t left, int32_t top, int32_t width, int32_t height) override;

  /** The top-level tool window of the frame, or null once it has been deleted. */
  QWidget* widget() const { return mWidget.data(); }
  /** The window put in the frame by Create, or null (also once the window is gone). */
  Form* window() const;
  /** Every call the component made, in order ("Create", "Caption Search", "Visible true", "Move 1 2
   * 3 4"). */
  QStringList calls;
  /** The arguments of each Move, as left, top, width, height. */
  QList<QRect> moves;

private:
  /** The tool window; raises 91 once it has been deleted. */
  QWidget* checkedWidget() const;
  QPointer<QWidget> mWidget;
  QPointer<Form> mWindow;
  QString mCaption;
};

} // namespace Larkhill
