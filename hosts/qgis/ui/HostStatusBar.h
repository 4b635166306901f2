#pragma once

#include "mapdata/HostInterface.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QStatusBar>

class QProgressBar;
class QgsStatusBar;

namespace LarkhillQgis {
using namespace Larkhill;

/**
 * A main window's status bar and its progress bar. The progress bar (object
 * name "larkhillProgress") is added to the status bar on first use and shown
 * only while a list loads; it is the one widget of ours in the status bar.
 * Every text (the progress's message and the status messages) goes to the
 * window's own temporary message: in QGIS's main window QGIS's message area
 * (QgsStatusBar), elsewhere the status bar's message. The bar and its message
 * show once the load has run a tenth of a second (a shorter one shows none),
 * with its first step after that or its first read of rows (catchUp). Changes
 * during a load are painted at once, as the work that reports progress does
 * not return to the event loop, but no more often than the filled share of
 * the bar changes by a hundredth, whatever the steps are, nor more than ten
 * times a second.
 */
class HostStatusBar : public IStatusBar,
                      public IStepProgressor,
                      public std::enable_shared_from_this<HostStatusBar> {
public:
  /** How long a status message shows, unless the next one replaces it. */
  static constexpr int MessageMs = 10000;
  /** The least time between two paints of the bar during a load, and from Show to the first. */
  static constexpr int PaintMs = 100;

  /**
   * Shows a progress bar whose load has run PaintMs since Show and that no
   * step has shown yet. The host's reads of rows call it between batches, so
   * that a load whose first step is slow to come (a tenth of the rows of a
   * slow source) shows its progress all the same. On the user-interface thread.
   */
  static void catchUp();

  /** The status bar of the window; a status message shows for `messageMs` milliseconds. */
  explicit HostStatusBar(QStatusBar* statusBar, int messageMs = MessageMs)
      : mStatusBar(statusBar), mMessageMs(messageMs) {}
  /** Takes the progress bar it added out of the status bar again. */
  ~HostStatusBar() override;

  /** The progress bar: the status bar object itself (it must be held by a Ref). */
  Ref<IStepProgressor> ProgressBar() override;
  /**
   * Shows the text as the window's temporary message (any pane: QGIS has
   * one) for MessageMs, or until the next message; empty takes away the text
   * this status bar showed last, and nothing else. The progress bar's Hide
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
  /** QGIS's message area of QGIS's main window; none in another window. */
  QgsStatusBar* qgisMessageArea();
  void showText(const QString& text, int timeoutMs);
  QString shownText();
  void clearText();
  /**
   * Puts the position on the bar, which is painted at once when what it shows
   * changes, at most ten times a second.
   */
  void showPosition();
  /** Paints the whole status bar at once: the message with the bar. */
  void paint();

  QPointer<QStatusBar> mStatusBar;
  QPointer<QProgressBar> mProgress;
  int mMessageMs;
  int32_t mMin = 0;
  int32_t mMax = 100;
  int32_t mStep = 1;
  int32_t mPosition = 0;
  QString mMessage;
  /** The last status message shown, which an empty one takes away. */
  QString mStatusText;
  bool mShown = false;
  QElapsedTimer mSincePaint; // since the bar was last painted
  bool mBehind = false;      // the bar holds a value not painted yet
  /** The status bar whose Show has not shown the bar yet, if any. */
  static HostStatusBar* sWaiting;
};

} // namespace LarkhillQgis
