#pragma once

#include "mapdata/HostInterface.h"

#include <QPointer>
#include <QRect>
#include <QStringList>
#include <QWidget>
#include <memory>

/**
 * The simulated host's modeless frame: a real top-level tool window that holds
 * the component's window, and records what the component asked of it (caption,
 * visibility, each move). Create puts the window inside the frame and loads
 * it. The frame never deletes the window: when the frame goes, the window is
 * taken out of it first.
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

  /** The top-level tool window of the frame. */
  QWidget* widget() const { return mWidget.get(); }
  /** The window put in the frame by Create, or null (also once the window is gone). */
  Form* window() const;
  /** Every call the component made, in order ("Create", "Caption Search", "Visible true", "Move 1 2
   * 3 4"). */
  QStringList calls;
  /** The arguments of each Move, as left, top, width, height. */
  QList<QRect> moves;

private:
  std::unique_ptr<QWidget> mWidget;
  QPointer<Form> mWindow;
  QString mCaption;
};
