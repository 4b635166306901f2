#pragma once

#include "platform/Export.h"
#include <QLabel>

namespace LARKHILL_API Larkhill {

/** A label or picture that reports a left-button click, as classic labels and images do. */
class ClickLabel : public QLabel {
  Q_OBJECT
public:
  explicit ClickLabel(QWidget* parent = nullptr);

signals:
  /** The left button was pressed and released over the label. */
  void clicked();

protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

private:
  bool mPressed = false;
};

} // namespace Larkhill
