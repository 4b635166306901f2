#include "platform/GraphicButton.h"

#include "platform/WindowLook.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace Larkhill {

GraphicButton::GraphicButton(const QString& caption, QWidget* parent)
    : QPushButton(caption, parent), mFace(WindowLook::buttonFace()),
      mPressed(WindowLook::buttonPressed()) {
  setCursor(WindowLook::handCursor());
  // Enter presses a focused button only in a dialog, which turns this on for
  // its own buttons; other windows handle Enter themselves.
  setAutoDefault(false);
}

void GraphicButton::setPictures(const QPixmap& face, const QPixmap& pressed) {
  mFace = face;
  mPressed = pressed;
  update();
}

void GraphicButton::setDefault(bool isDefault) {
  mDefault = isDefault;
  // In a dialog, Enter presses the default button.
  QPushButton::setDefault(isDefault);
  update();
}

void GraphicButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect area = rect();
  painter.fillRect(area, palette().button());
  const QPixmap& picture = isDown() ? mPressed : mFace;
  painter.drawPixmap(0, 0, picture);

  // A classic bevel: light on top and left, dark on bottom and right; sunken while down.
  const QColor light(Qt::white), dark(64, 64, 64);
  painter.setPen(isDown() ? dark : light);
  painter.drawLine(area.topLeft(), area.topRight());
  painter.drawLine(area.topLeft(), area.bottomLeft());
  painter.setPen(isDown() ? light : dark);
  painter.drawLine(area.bottomLeft(), area.bottomRight());
  painter.drawLine(area.topRight(), area.bottomRight());
  if (mDefault) {
    painter.setPen(Qt::black);
    painter.drawRect(area.adjusted(0, 0, -1, -1));
  }

  QRect textArea = area;
  if (isDown())
    textArea.translate(1, 1);
  painter.setPen(isEnabled() ? palette().color(QPalette::ButtonText)
                             : palette().color(QPalette::Disabled, QPalette::ButtonText));
  painter.setFont(font());
  painter.drawText(textArea, Qt::AlignCenter | Qt::TextShowMnemonic, text());

  if (hasFocus()) {
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = area.adjusted(3, 3, -3, -3);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
  }
}

} // namespace Larkhill
