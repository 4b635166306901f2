#pragma once

#include "mapdata/HostInterface.h"

#include <QPointer>
#include <QWidget>

namespace LarkhillQgis {

/**
 * A modeless frame: a tool window over the host's main window that holds one
 * of the component's forms. The tool window is a child of the main window and
 * owns the form through the Qt object tree. This object is only a handle on
 * it: it deletes the tool window only while no form has been put in.
 */
class HostModelessFrame : public IModelessFrame, public IWindowPosition {
public:
  /** A frame over `owner` (none: a free window). */
  explicit HostModelessFrame(QWidget* owner);
  ~HostModelessFrame() override;

  /** Puts the form into the frame, sizes the frame to it and loads the form. */
  void Create(Form* window) override;
  QString Caption() override;
  void setCaption(const QString& caption) override;
  bool Visible() override;
  void setVisible(bool visible) override;
  void Move(int32_t left, int32_t top, int32_t width, int32_t height) override;

  /** The frame's window (object name "larkhillFrame"). */
  QWidget* window() const { return mWindow; }

private:
  QWidget* frame();
  QPointer<QWidget> mWindow;
  QPointer<QWidget> mForm;
};

} // namespace LarkhillQgis
