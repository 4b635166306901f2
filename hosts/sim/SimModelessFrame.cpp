#include "sim/SimModelessFrame.h"

#include "platform/Required.h"
#include "platform/Form.h"
#include "sim/SimJournal.h"

#include <QVBoxLayout>

namespace Larkhill {

SimModelessFrame::SimModelessFrame() : mWidget(new QWidget(nullptr, Qt::Tool)) {
  auto* layout = new QVBoxLayout(mWidget.data());
  layout->setContentsMargins(0, 0, 0, 0);
  mWidget->setObjectName(QStringLiteral("SimModelessFrame"));
}

SimModelessFrame::~SimModelessFrame() {
  // Only an empty tool window is this handle's to delete. While a window is in
  // it (also inside that window's own destructor) the tool window is not.
  if (!mWindow && mWidget)
    delete mWidget.data();
}

QWidget* SimModelessFrame::checkedWidget() const {
  return required(mWidget).data();
}

void SimModelessFrame::Create(Form* window) {
  SimJournal::enter("IModelessFrame.Create");
  calls.append(QStringLiteral("Create"));
  required(window);
  QWidget* frame = checkedWidget();
  mWindow = window;
  frame->layout()->addWidget(window);
  frame->resize(window->size());
  window->show();
  window->Load();
}

Form* SimModelessFrame::window() const {
  return mWindow.data();
}

QString SimModelessFrame::Caption() {
  SimJournal::enter("IModelessFrame.Caption");
  return mCaption;
}

void SimModelessFrame::setCaption(const QString& caption) {
  SimJournal::enter("IModelessFrame.setCaption");
  calls.append(QStringLiteral("Caption ") + caption);
  mCaption = caption;
  checkedWidget()->setWindowTitle(caption);
}

bool SimModelessFrame::Visible() {
  SimJournal::enter("IModelessFrame.Visible");
  return checkedWidget()->isVisible();
}

void SimModelessFrame::setVisible(bool visible) {
  SimJournal::enter("IModelessFrame.setVisible");
  calls.append(visible ? QStringLiteral("Visible true") : QStringLiteral("Visible false"));
  checkedWidget()->setVisible(visible);
}

void SimModelessFrame::Move(int32_t left, int32_t top, int32_t width, int32_t height) {
  SimJournal::enter("IWindowPosition.Move");
  calls.append(QStringLiteral("Move %1 %2 %3 %4").arg(left).arg(top).arg(width).arg(height));
  moves.append(QRect(left, top, width, height));
  QWidget* frame = checkedWidget();
  frame->move(left, top);
  if (width > 0 && height > 0)
    frame->resize(width, height);
  else if (width > 0)
    frame->resize(width, frame->height());
  else if (height > 0)
    frame->resize(frame->width(), height);
}

} // namespace Larkhill
