#include "qgis/QgisModelessFrame.h"

#include "platform/ComError.h"
#include "platform/Form.h"
#include "qgis/QgisErrors.h"

#include <QVBoxLayout>

namespace {
// The frame's window tells the frame when it goes first (with the main window
// that owns it): its children are deleted after this destructor has run, and
// the frame must not delete the window a second time.
class FrameWindow : public QWidget {
public:
  FrameWindow(QWidget* owner, std::shared_ptr<bool> alive)
      : QWidget(owner, Qt::Tool), mAlive(std::move(alive)) {}
  ~FrameWindow() override { *mAlive = false; }

private:
  std::shared_ptr<bool> mAlive;
};
// The size the form asks for: the one it set itself, or else its layout's.
QSize preferredSize(const QWidget* form) {
  const QSize own = form->testAttribute(Qt::WA_Resized) ? form->size() : form->sizeHint();
  return own.expandedTo(form->minimumSize()).expandedTo(QSize(40, 20));
}
} // namespace

QgisModelessFrame::QgisModelessFrame(QWidget* owner)
    : mAlive(std::make_shared<bool>(true)), mWindow(new FrameWindow(owner, mAlive)) {
  mWindow->setObjectName(QStringLiteral("larkhillFrame"));
  auto* layout = new QVBoxLayout(mWindow);
  layout->setContentsMargins(0, 0, 0, 0);
}

QgisModelessFrame::~QgisModelessFrame() {
  if (!*mAlive)
    return;
  if (mForm && mForm->parentWidget() == mWindow) {
    mForm->hide();
    mForm->setParent(nullptr);
  }
  delete mWindow;
}

QWidget* QgisModelessFrame::frame() {
  if (!*mAlive || !mWindow)
    QgisErrors::raise(QgisErrors::DataSourceUnavailable,
                      QStringLiteral("The frame's window has been closed."));
  return mWindow;
}

void QgisModelessFrame::Create(Form* window) {
  if (!window)
    RuntimeError::raise(RuntimeError::ObjectVariableNotSet);
  QWidget* host = frame();
  mForm = window;
  window->setParent(host);
  host->layout()->addWidget(window);
  window->show();
  window->Load();
  host->resize(preferredSize(window));
}

QString QgisModelessFrame::Caption() {
  return frame()->windowTitle();
}

void QgisModelessFrame::setCaption(const QString& caption) {
  frame()->setWindowTitle(caption);
}

bool QgisModelessFrame::Visible() {
  return frame()->isVisible();
}

void QgisModelessFrame::setVisible(bool visible) {
  QWidget* host = frame();
  if (visible) {
    host->show();
    host->raise();
    host->activateWindow();
  } else {
    host->hide();
  }
}

void QgisModelessFrame::Move(int32_t left, int32_t top, int32_t width, int32_t height) {
  QWidget* host = frame();
  host->move(left, top);
  if (width > 0 && height > 0)
    host->resize(width, height);
}
