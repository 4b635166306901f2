#include "qgis/HostModelessFrame.h"

#include "platform/Required.h"
#include "platform/Form.h"
#include "qgis/HostErrors.h"

#include <QVBoxLayout>

namespace LarkhillQgis {

namespace {
// The size the form asks for: the one it set itself, or else its layout's.
QSize preferredSize(const QWidget* form) {
  const QSize own = form->testAttribute(Qt::WA_Resized) ? form->size() : form->sizeHint();
  return own.expandedTo(form->minimumSize()).expandedTo(QSize(40, 20));
}
} // namespace

HostModelessFrame::HostModelessFrame(QWidget* owner) : mWindow(new QWidget(owner, Qt::Tool)) {
  mWindow->setObjectName(QStringLiteral("larkhillFrame"));
  auto* layout = new QVBoxLayout(mWindow);
  layout->setContentsMargins(0, 0, 0, 0);
}

HostModelessFrame::~HostModelessFrame() {
  // A frame that never received a form is nobody else's to delete. One that
  // did belongs to the component, which releases it, or goes with the main
  // window; this handle may be dropped from inside the form's own destructor.
  if (!mForm && mWindow)
    delete mWindow.data();
}

QWidget* HostModelessFrame::frame() {
  if (!mWindow)
    HostErrors::raise(HostErrors::DataSourceUnavailable,
                      QStringLiteral("The frame's window has been closed."));
  return mWindow;
}

void HostModelessFrame::Create(Form* window) {
  required(window);
  QWidget* host = frame();
  mForm = window;
  window->setParent(host);
  host->layout()->addWidget(window);
  window->show();
  window->Load();
  host->resize(preferredSize(window));
}

QString HostModelessFrame::Caption() {
  return frame()->windowTitle();
}

void HostModelessFrame::setCaption(const QString& caption) {
  frame()->setWindowTitle(caption);
}

bool HostModelessFrame::Visible() {
  return frame()->isVisible();
}

void HostModelessFrame::setVisible(bool visible) {
  QWidget* host = frame();
  if (visible) {
    host->show();
    host->raise();
    host->activateWindow();
  } else {
    host->hide();
  }
}

void HostModelessFrame::Move(int32_t left, int32_t top, int32_t width, int32_t height) {
  QWidget* host = frame();
  host->move(left, top);
  if (width > 0 && height > 0)
    host->resize(width, height);
}

} // namespace LarkhillQgis
