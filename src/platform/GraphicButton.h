#pragma once

#include "platform/Export.h"
#include <QPushButton>

namespace LARKHILL_API Larkhill {

/**
 * A graphical push button: its face is a picture with the caption drawn over
 * it, and a second picture is shown while the button is held down. The
 * pictures are larger than the button and are clipped to it; the mouse
 * pointer over the button is the pointing hand.
 */
class GraphicButton : public QPushButton {
  Q_OBJECT
public:
  explicit GraphicButton(const QString& caption, QWidget* parent = nullptr);

  /** Replaces the face and pressed pictures (both the shared button pictures by default). */
  void setPictures(const QPixmap& face, const QPixmap& pressed);
  /** Makes Enter anywhere in the window press this button. */
  void setDefault(bool isDefault);
  bool isDefault() const { return mDefault; }

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  QPixmap mFace;
  QPixmap mPressed;
  bool mDefault = false;
};

} // namespace Larkhill
