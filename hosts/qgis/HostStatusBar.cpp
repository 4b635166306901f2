#include "qgis/HostStatusBar.h"

#include "qgis/HostErrors.h"

#include <QProgressBar>
#include <QStatusBar>
#include <algorithm>
#include <qgsstatusbar.h>

namespace LarkhillQgis {

HostStatusBar::~HostStatusBar() {
  if (mProgress) {
    if (mStatusBar)
      mStatusBar->removeWidget(mProgress);
    delete mProgress.data();
  }
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
    statusBar()->addPermanentWidget(mProgress);
    mProgress->hide();
  }
  return mProgress;
}

Ref<IStepProgressor> HostStatusBar::ProgressBar() {
  progress();
  return shared_from_this();
}

void HostStatusBar::setStatusMessage(int32_t, const QString& message) {
  // QGIS fills its main window's status bar with a status bar of its own,
  // which would cover a message of the outer one: QGIS's own shows it there.
  if (auto* qgisBar = statusBar()->findChild<QgsStatusBar*>()) {
    if (message.isEmpty())
      qgisBar->clearMessage();
    else
      qgisBar->showMessage(message);
    return;
  }
  if (message.isEmpty())
    statusBar()->clearMessage();
  else
    statusBar()->showMessage(message);
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
  progress()->setValue(std::clamp(mPosition, mMin, std::max(mMin, mMax)));
  if (mShown)
    paint();
}

void HostStatusBar::setMessage(const QString& message) {
  mMessage = message;
  if (mShown) {
    statusBar()->showMessage(mMessage);
    paint();
  }
}

void HostStatusBar::Show() {
  mShown = true;
  progress()->show();
  statusBar()->showMessage(mMessage);
  paint();
}

void HostStatusBar::Step() {
  mPosition += mStep;
  progress()->setValue(std::clamp(mPosition, mMin, std::max(mMin, mMax)));
  if (mShown)
    paint();
}

void HostStatusBar::Hide() {
  mShown = false;
  progress()->hide();
  // Only the progress's own text goes: a message shown since then stays.
  if (statusBar()->currentMessage() == mMessage)
    statusBar()->clearMessage();
}

void HostStatusBar::paint() {
  if (statusBar()->isVisible())
    statusBar()->repaint();
}

} // namespace LarkhillQgis
