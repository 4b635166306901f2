#pragma once

#include "platform/Services.h"

#include <QElapsedTimer>
#include <QHash>
#include <QAbstractItemModel>
#include <QObject>
#include <QStringList>
#include <QTextStream>

using namespace Larkhill;

class MapWindow;
class QAbstractItemView;
class QgsLocatorWidget;

/**
 * A scripted session: reads a script of steps and drives the real widgets by
 * their object names, printing a transcript of what a person would see:
 * each message box's text (every box is answered with OK), each window shown
 * or hidden with its caption, each list's entry count and selected entry, the
 * extent each zoom set, the map tool in use, the text each typed box holds,
 * each feature marked on the map ("HIGHLIGHT: <layer> feature <id>"), each
 * message the status bar shows ("STATUS: <text>"), the layers of the map
 * ("LAYERS: <names>") and its reference system ("MAP CRS: <id>") when they
 * change, and the feature the identify panel shows ("ATTRIBUTES: <layer>
 * feature <id>: <field>=<value>, ..."). With a screenshot folder it
 * saves a PNG of the main window (with the windows over it) after each step.
 *
 * Steps, one per line ('#' starts a comment; a name may be "Window/Widget" to
 * pick the widget inside a window or widget of that name):
 *   press <command caption or name>    presses a toolbar button, else a menu item
 *   pick <list> <entry text>           clicks the entry of a list or combo box (or of the box in a
 *                                      widget)
 *   type <text box> <text>             replaces the box's text, typed key by key (any Unicode)
 *   key <widget> <Enter|Escape|Tab>    presses a key in a widget
 *   click <button>                     clicks a button
 *   close <window caption>             closes a window
 *   dock <panel> <left|right|float>    docks a panel at a side of the window, or floats it
 *   wait <milliseconds>                lets the application run; the next step starts that late
 *   wait map                           lets the application run until the map is drawn (a minute
 *                                      at most)
 *   open <file>                        opens a file as File > Open does
 *   identify <x> <y>                   clicks the map with Identify Features at a point (map units)
 *   remove-layer <layer name>          picks Remove in the layer tree's menu on the layer
 *   locate <text>                      types the text into the locator bar and, once its
 *                                      search has ended, prints "LOCATOR: N results: ..."
 *                                      with the first five results
 *   locate-pick <k>                    chooses the k-th result (from 1) with Enter
 *   select-list <ids>                  pastes the IDs ("\n" for a new line) into Select
 *                                      Parcels from a List, presses Select and prints
 *                                      "SELECTED: N parcels; not found: ..."
 *   screenshot <name>                  saves a PNG now
 *   echo <text>                        prints the text
 *
 * A step that cannot be done ends the session with exit status 1; nothing a
 * step meets ends the application any other way.
 */
class ScriptSession : public QObject, public IMessageBoxService {
  Q_OBJECT
public:
  ScriptSession(MapWindow* window, QTextStream& out, QString screenshotDir);
  ~ScriptSession() override;

  /** Reads the script; false (with the reason in `error`) when it cannot be read or a step is
   * unknown. */
  bool load(const QString& path, QString& error);
  /** Starts the steps once the event loop runs; the application quits after the last (exit code 1
   * on a failed step). */
  void start();

  void show(const QString& text) override;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  struct Step {
    int line;
    QString verb;
    QString target;
    QString argument;
  };

  void runNext();
  void performSafely(const Step& step);
  void endStep(const Step& step);
  void reportMapTool();
  void reportMap();
  void identifyAt(const QString& coordinates);
  void removeLayer(const QString& name);
  void perform(const Step& step);
  void afterStep(const Step& step);
  void finish(int exitCode);
  void reportLists();
  void saveScreenshot(const QString& name);
  /**
   * Lets the application run until no drawing of the map has run for
   * `quietMs`, or for `limitMs` at most; returns whether the map was drawn.
   */
  bool waitForMap(int quietMs, int limitMs);
  void locate(const QString& text);
  /** Lets the application run until the locator's search has ended. */
  void waitForLocator();
  void pickLocated(int k);
  void selectList(const QString& text);
  /** The rows of the locator's results that are results (not headings), in the order shown. */
  QModelIndexList locatedResults() const;
  QWidget* findWidget(const QString& name) const;
  [[noreturn]] void failStep(const QString& reason);
  QString entryText(const QAbstractItemView* view) const;
  QgsLocatorWidget* locatorWidget() const;

  MapWindow* mWindow;
  QTextStream& mOut;
  QString mScreenshotDir;
  QList<Step> mSteps;
  int mNext = 0;
  int mShot = 0;
  bool mFinished = false;
  QHash<QString, QString> mListStates;
  QString mMapTool;
  QString mLayers;
  QString mCrs;
  int mDelay = 0;   // milliseconds a wait step holds the next step back
  int mHolding = 0; // the session itself lets events through (waiting for the map)
  QElapsedTimer mSinceTime;    // wall time since the last time step (or the start)
  double mProcessorAtTime = 0; // the process's processor seconds then
};
