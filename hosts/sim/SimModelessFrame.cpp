#include "sim/SimModelessFrame.h"

#include "platform/ComError.h"
#include "platform/Form.h"
#include "sim/SimJournal.h"

#include <QVBoxLayout>

SimModelessFrame::SimModelessFrame() : mWidget(std::make_unique<QWidget>(nullptr, Qt::Tool)) {
  auto* layout = new QVBoxLayout(mWidget.get());
  layout->setContentsMargins(0, 0, 0, 0);
  mWidget->setObjectName(QStringLiteral("SimModelessFrame"));
}

SimModelessFrame::~SimModelessFrame() {
  // The frame does not own the window: hand it back before the frame's widget goes.
  if (mWindow) {
    mWindow->hide();
    mWindow->setParent(nullptr);
  }
}

void SimModelessFrame::Create(Form* window) {
  SimJournal::enter("IModelessFrame.Create");
  calls.append(QStringLiteral("Create"));
  if (!window)
    RuntimeError::raise(RuntimeError::ObjectVariableNotSet);
  mWindow = window;
  mWidget->layout()->addWidget(window);
  mWidget->resize(window->size());
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
  mWidget->setWindowTitle(caption);
}

bool SimModelessFrame::Visible() {
  SimJournal::enter("IModelessFrame.Visible");
  return mWidget->isVisible();
}

void SimModelessFrame::setVisible(bool visible) {
  SimJournal::enter("IModelessFrame.setVisible");
  calls.append(visible ? QStringLiteral("Visible true") : QStringLiteral("Visible false"));
  mWidget->setVisible(visible);
}

void SimModelessFrame::Move(int32_t left, int32_t top, int32_t width, int32_t height) {
  SimJournal::enter("IWindowPosition.Move");
  calls.append(QStringLiteral("Move %1 %2 %3 %4").arg(left).arg(top).arg(width).arg(height));
  moves.append(QRect(left, top, width, height));
  mWidget->move(left, top);
  if (width > 0 && height > 0)
    mWidget->resize(width, height);
  else if (width > 0)
    mWidget->resize(width, mWidget->height());
  else if (height > 0)
    mWidget->resize(mWidget->width(), height);
}
