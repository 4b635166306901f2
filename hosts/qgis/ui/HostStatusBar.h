#pragma once

#include "mapdata/HostInterface.h"

#include <QPointer>

class QLabel;
class QProgressBar;
class QStatusBar;

namespace LarkhillQgis {
using namespace Larkhill;

/**
 * A main window's status bar and its progress bar. The progress bar (object
 * name "larkhillProgress") is added to the status bar on first use; `Show`
 * shows it with the message, `Hide` hides both (a message shown since stays).
 * The message is the status bar's temporary message, or, in QGIS's main
 * window, a label (object name "larkhillProgressText") beside the progress
 * bar, so that it shows whole. Each change is painted at once, as the work
 * that reports progress does not return to the event loop.
 */
class HostStatusBar : public IStatusBar,
                      public IStepProgressor,
                      public std::enable_shared_from_this<HostStatusBar> {
public:
  explicit HostStatusBar(QStatusBar* statusBar) : mStatusBar(statusBar) {}
  /** Takes the progress bar it added out of the status bar again. */
  ~HostStatusBar() override;

  /** The progress bar: the status bar object itself (it must be held by a Ref). */
  Ref<IStepProgressor> ProgressBar() override;
  /**
   * Shows the text where the progress's message shows (any pane: QGIS has
   * one) until the next message; empty clears it. The progress bar's Hide
   * leaves it.
   */
  void setStatusMessage(int32_t pane, const QString& message) override;

  void setMinRange(int32_t value) override;
  void setMaxRange(int32_t value) override;
  void setStepValue(int32_t value) override { mStep = value; }
  void setPosition(int32_t value) override;
  void setMessage(const QString& message) override;
  void Show() override;
  void Step() override;
  void Hide() override;

private:
  QStatusBar* statusBar();
  QProgressBar* progress();
  void paint();
  void showMessage();

  QPointer<QStatusBar> mStatusBar;
  QPointer<QProgressBar> mProgress;
  QPointer<QLabel> mText;
  int32_t mMin = 0;
  int32_t mMax = 100;
  int32_t mStep = 1;
  int32_t mPosition = 0;
  QString mMessage;
  bool mShown = false;
};

} // namespace LarkhillQgis
