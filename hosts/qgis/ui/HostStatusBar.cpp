#include "qgis/ui/HostStatusBar.h"

#include "qgis/common/HostErrors.h"

#include <QProgressBar>
#include <QStatusBar>
#include <algorithm>
#include <utility>
#include <qgsstatusbar.h>

namespace LarkhillQgis {

HostStatusBar* HostStatusBar::sWaiting = nullptr;

HostStatusBar::~HostStatusBar() {
  if (sWaiting == this)
    sWaiting = nullptr;
  if (!mProgress)
    return;
  if (mStatusBar)
    mStatusBar->removeWidget(mProgress);
  delete mProgress.data();
}

QStatusBar* HostStatusBar::statusBar() {
  if (!mStatusBar)
    HostErrors::raise(HostErrors::DataSourceUnavailable,
                      QStringLiteral("The status bar has been closed."));
  return mStatusBar;
}

QProgressBar* HostStatusBar::progress() {
  if (!mProgress) {
    mProgress = new QProgressBar(statusBar());
    mProgress->setObjectName(QStringLiteral("larkhillProgress"));
    mProgress->setMaximumWidth(240);
    mProgress->setTextVisible(true);
    // Hidden before it is added, so that adding it does not show it: each
    // show or hide of a widget asks the display server where the pointer is,
    // and that round trip took 2 ms at a press while the map was drawing.
    mProgress->hide();
    statusBar()->addPermanentWidget(mProgress);
  }
  return mProgress;
}

QgsStatusBar* HostStatusBar::qgisMessageArea() {
  // QGIS's main window stretches its own status bar widget over the window's
  // status bar and shows the messages there.
  return statusBar()->findChild<QgsStatusBar*>(QString(), Qt::FindDirectChildrenOnly);
}

void HostStatusBar::showText(const QString& text, int timeoutMs) {
  if (QgsStatusBar* area = qgisMessageArea())
    area->showMessage(text, timeoutMs);
  else
    statusBar()->showMessage(text, timeoutMs);
}

QString HostStatusBar::shownText() {
  if (QgsStatusBar* area = qgisMessageArea())
    return area->currentMessage();
  return statusBar()->currentMessage();
}

void HostStatusBar::clearText() {
  if (QgsStatusBar* area = qgisMessageArea())
    area->clearMessage();
  else
    statusBar()->clearMessage();
}

Ref<IStepProgressor> HostStatusBar::ProgressBar() {
  progress();
  return shared_from_this();
}

void HostStatusBar::setStatusMessage(int32_t, const QString& message) {
  if (message.isEmpty()) {
    // Only a text of ours goes; QGIS's own or another plugin's stays.
    if (!mStatusText.isEmpty() && shownText() == mStatusText)
      clearText();
    mStatusText.clear();
    return;
  }
  mStatusText = message;
  showText(message, mMessageMs);
}

void HostStatusBar::setMinRange(int32_t value) {
  mMin = value;
  progress()->setRange(mMin, std::max(mMin, mMax));
}

void HostStatusBar::setMaxRange(int32_t value) {
  mMax = value;
  progress()->setRange(mMin, std::max(mMin, mMax));
}

void HostStatusBar::setPosition(int32_t value) {
  mPosition = value;
  showPosition();
}

void HostStatusBar::setMessage(const QString& message) {
  mMessage = message;
  if (mShown && sWaiting != this) {
    showText(mMessage, 0);
    paint();
  }
}

void HostStatusBar::Show() {
  // Nothing shows yet: the bar and its message come with the first step or
  // read a tenth of a second on (see showPosition), so that a load that ends
  // sooner flashes no bar and costs no paint of the status bar.
  mShown = true;
  progress();
  mSincePaint.start();
  mBehind = false;
  sWaiting = this;
}

void HostStatusBar::catchUp() {
  if (sWaiting && sWaiting->mSincePaint.elapsed() >= PaintMs)
    sWaiting->showPosition();
}

void HostStatusBar::Step() {
  mPosition += mStep;
  showPosition();
}

void HostStatusBar::Hide() {
  mShown = false;
  if (sWaiting == this) {
    sWaiting = nullptr;
    if (progress()->isHidden())
      return; // not shown since Show
  }
  progress()->hide();
  // Only the progress's own text goes: a message shown since then stays.
  if (shownText() == mMessage)
    clearText();
}

void HostStatusBar::showPosition() {
  // The bar paints itself at once when what it shows changes (the load holds
  // the event loop), at most once a hundredth however often the component
  // steps (a row total of 0, or one far below the rows read, steps on every
  // row), and here at most ten times a second: a paint costs a fifth of a
  // millisecond or more, and a load of a million rows takes a tenth of a
  // second. The rest of the status bar (QGIS keeps a dozen widgets there) is
  // not painted again.
  QProgressBar* bar = progress();
  const int value = std::clamp(mPosition, mMin, std::max(mMin, mMax));
  const bool due = !mShown || mSincePaint.elapsed() >= PaintMs;
  if (due && sWaiting == this) {
    // The load has run a tenth of a second: the bar shows, with the message.
    sWaiting = nullptr;
    bar->setValue(value);
    bar->show();
    showText(mMessage, 0);
    paint();
    mSincePaint.start();
    mBehind = false;
    return;
  }
  if (!due) {
    // Only the value for now; its paint comes with the next step that is due.
    if (value != bar->value()) {
      bar->setUpdatesEnabled(false);
      bar->setValue(value);
      bar->setUpdatesEnabled(true);
      mBehind = true;
    }
    return;
  }
  const bool behind = std::exchange(mBehind, false);
  if (value == bar->value() && !behind)
    return;
  bar->setValue(value);
  if (behind)
    bar->repaint();
  mSincePaint.start();
}

void HostStatusBar::paint() {
  if (statusBar()->isVisible())
    statusBar()->repaint();
}

} // namespace LarkhillQgis
