#include "qgis/QgisStatusBar.h"

#include "qgis/QgisErrors.h"

#include <QProgressBar>
#include <QStatusBar>
#include <algorithm>

QgisStatusBar::~QgisStatusBar() {
  if (mProgress) {
    if (mStatusBar)
      mStatusBar->removeWidget(mProgress);
    delete mProgress.data();
  }
}

QStatusBar* QgisStatusBar::statusBar() {
  if (!mStatusBar)
    QgisErrors::raise(QgisErrors::DataSourceUnavailable,
                      QStringLiteral("The status bar has been closed."));
  return mStatusBar;
}

QProgressBar* QgisStatusBar::progress() {
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

Ref<IStepProgressor> QgisStatusBar::ProgressBar() {
  progress();
  return shared_from_this();
}

void QgisStatusBar::setStatusMessage(int32_t, const QString& message) {
  if (message.isEmpty())
    statusBar()->clearMessage();
  else
    statusBar()->showMessage(message);
}

void QgisStatusBar::setMinRange(int32_t value) {
  mMin = value;
  progress()->setRange(mMin, std::max(mMin, mMax));
}

void QgisStatusBar::setMaxRange(int32_t value) {
  mMax = value;
  progress()->setRange(mMin, std::max(mMin, mMax));
}

void QgisStatusBar::setPosition(int32_t value) {
  mPosition = value;
  progress()->setValue(std::clamp(mPosition, mMin, std::max(mMin, mMax)));
  if (mShown)
    paint();
}

void QgisStatusBar::setMessage(const QString& message) {
  mMessage = message;
  if (mShown) {
    statusBar()->showMessage(mMessage);
    paint();
  }
}

void QgisStatusBar::Show() {
  mShown = true;
  progress()->show();
  statusBar()->showMessage(mMessage);
  paint();
}

void QgisStatusBar::Step() {
  mPosition += mStep;
  progress()->setValue(std::clamp(mPosition, mMin, std::max(mMin, mMax)));
  if (mShown)
    paint();
}

void QgisStatusBar::Hide() {
  mShown = false;
  progress()->hide();
  statusBar()->clearMessage();
}

void QgisStatusBar::paint() {
  if (statusBar()->isVisible())
    statusBar()->repaint();
}
