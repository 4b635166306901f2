#include "platform/ClickLabel.h"

#include <QMouseEvent>

namespace Larkhill {

ClickLabel::ClickLabel(QWidget* parent) : QLabel(parent) {}

void ClickLabel::mousePressEvent(QMouseEvent* event) {
  mPressed = event->button() == Qt::LeftButton;
  event->accept();
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
  const bool wasPressed = mPressed;
  mPressed = false;
  event->accept();
  if (wasPressed && event->button() == Qt::LeftButton && rect().contains(event->pos()))
    emit clicked();
}

} // namespace Larkhill
