#include "qgis/ui/HostStatusBar.h"

#include "qgis/common/HostErrors.h"

#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>
#include <algorithm>
#include <qgsstatusbar.h>

namespace LarkhillQgis {

HostStatusBar::~HostStatusBar() {
  auto takeOut = [this](QWidget* widget) {
    if (!widget)
      return;
    if (mStatusBar)
      mStatusBar->removeWidget(widget);
    delete widget;
  };
  takeOut(mText);
  takeOut(mProgress);
}

QStatusBar* HostStatusBar::statusBar() {
  if (!mStatusBar)
    HostErrors::raise(HostErrors::DataSourceUnavailable,
                      QStringLiteral("The status bar has been closed."));
  return mStatusBar;
}

QProgressBar* HostStatusBar::progress() {
  if (!mProgress) {
    // QGIS's main window passes temporary messages on to its own status bar
    // widget, whose message field the coordinate, scale and other widgets
    // squeeze to a few letters. There the message gets a label of its own,
    // beside the progress bar, that is always as wide as its text.
    if (statusBar()->findChild<QgsStatusBar*>(QString(), Qt::FindDirectChildrenOnly)) {
      mText = new QLabel(statusBar());
      mText->setObjectName(QStringLiteral("larkhillProgressText"));
      statusBar()->addPermanentWidget(mText);
      mText->hide();
    }
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
  // In QGIS's main window the text goes to the label beside the progress bar,
  // where it shows whole (see progress()).
  progress();
  if (mText) {
    mText->setText(message);
    mText->setVisible(!message.isEmpty());
    paint();
  } else if (message.isEmpty()) {
    statusBar()->clearMessage();
  } else {
    statusBar()->showMessage(message);
  }
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
    showMessage();
    paint();
  }
}

void HostStatusBar::Show() {
  mShown = true;
  progress()->show();
  showMessage();
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
  if (mText) {
    if (mText->text() == mMessage)
      mText->hide();
  } else if (statusBar()->currentMessage() == mMessage) {
    statusBar()->clearMessage();
  }
}

void HostStatusBar::showMessage() {
  if (!mText) {
    statusBar()->showMessage(mMessage);
    return;
  }
  mText->setText(mMessage);
  mText->setVisible(!mMessage.isEmpty());
}

void HostStatusBar::paint() {
  if (statusBar()->isVisible())
    statusBar()->repaint();
}

} // namespace LarkhillQgis
