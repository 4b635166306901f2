#include "ScriptSession.h"

#include "FileActions.h"
#include "IdentifyPanel.h"
#include "MapWindow.h"
#include "SearchActions.h"
#include "qgis/ui/SelectFromListCommand.h"
#include "qgis/adapters/HostLayers.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QSet>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <memory>
#include <qgsexception.h>
#include <qgslayertree.h>
#include <qgslayertreeview.h>
#include <qgslocator.h>
#include <qgslocatorwidget.h>
#include <qgsmapcanvas.h>
#include <qgsmaptool.h>
#include <qgsmaptopixel.h>
#include <qgsproject.h>
#include <stdexcept>
#include <time.h>

namespace {

struct StepFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The processor time of every thread of the process so far, in seconds.
double processorSeconds() {
  timespec now;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

QString rectangleText(const QgsRectangle& r) {
  return QStringLiteral("(%1, %2) - (%3, %4)")
      .arg(r.xMinimum(), 0, 'f', 2)
      .arg(r.yMinimum(), 0, 'f', 2)
      .arg(r.xMaximum(), 0, 'f', 2)
      .arg(r.yMaximum(), 0, 'f', 2);
}

// The visible windows, the modal one first, then the most recently shown.
QList<QWidget*> searchOrder() {
  QList<QWidget*> windows;
  if (QWidget* modal = QApplication::activeModalWidget())
    windows << modal;
  if (QWidget* active = QApplication::activeWindow())
    if (!windows.contains(active))
      windows << active;
  const QWidgetList all = QApplication::topLevelWidgets();
  for (auto it = all.rbegin(); it != all.rend(); ++it)
    if ((*it)->isVisible() && !windows.contains(*it))
      windows << *it;
  return windows;
}

bool hasAncestorNamed(QWidget* widget, const QString& name) {
  for (QWidget* w = widget->parentWidget(); w; w = w->parentWidget())
    if (w->objectName() == name || w->windowTitle() == name)
      return true;
  return false;
}

/**
 * Presses and releases the key on the widget, the events sent straight to it
 * as the window system would deliver them to the widget with the focus. The
 * release is left out when the press took the widget away.
 */
void pressKey(QWidget* widget, int key, const QString& text = QString()) {
  QPointer<QWidget> target(widget);
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QCoreApplication::sendEvent(target.data(), &press);
  if (!target)
    return;
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QCoreApplication::sendEvent(target.data(), &release);
}

/** Clicks the left mouse button at the point of the widget (its middle when none is given). */
void clickMouse(QWidget* widget, QPoint at = QPoint(-1, -1)) {
  QPointer<QWidget> target(widget);
  if (at == QPoint(-1, -1))
    at = widget->rect().center();
  const QPoint global = widget->mapToGlobal(at);
  QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(target.data(), &press);
  if (!target)
    return;
  QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QCoreApplication::sendEvent(target.data(), &release);
}

/**
 * Types the text into the widget a character at a time, as a keyboard with
 * every letter would: each key event carries its character, so letters beyond
 * ASCII and characters outside the basic plane arrive whole. A character's key
 * is its capital's code, as Qt numbers the keys of Latin-1 letters and signs.
 */
void typeText(QWidget* widget, const QString& text) {
  QPointer<QWidget> target(widget);
  for (int i = 0; i < text.size() && target; ++i) {
    QString character(text[i]);
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
      character += text[++i];
    const ushort code = character.size() == 1 ? character[0].unicode() : 0;
    int key = Qt::Key_unknown;
    if ((code >= 0x20 && code < 0x7f) || (code >= 0xa0 && !QChar::isSurrogate(code)))
      key = character[0].toUpper().unicode();
    pressKey(target.data(), key, character);
  }
}

// A left click at a point of the widget, as the mouse gives it.
void clickAt(QWidget* widget, const QPoint& at) {
  QPointer<QWidget> target(widget);
  const QPoint global = widget->mapToGlobal(at);
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
    if (!target)
      return;
    QMouseEvent event(type, at, global, Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
  }
}

QString menuText(const QAction* action) {
  QString text = action->text().remove(QLatin1Char('&'));
  if (text.endsWith(QLatin1String("...")))
    text.chop(3);
  return text;
}

QString toolName(QgsMapTool* tool) {
  if (!tool)
    return QStringLiteral("none");
  return tool->action() ? tool->action()->text() : tool->toolName();
}

QString windowCaption(const QWidget* window) {
  return window->windowTitle().isEmpty() ? QStringLiteral("(%1)").arg(window->objectName())
                                         : window->windowTitle();
}

} // namespace

ScriptSession::ScriptSession(MapWindow* window, QTextStream& out, QString screenshotDir)
    : mWindow(window), mOut(out), mScreenshotDir(std::move(screenshotDir)) {
  installMessageBoxService(this);
  qApp->installEventFilter(this);
  mSinceTime.start();
  mProcessorAtTime = processorSeconds();
  LarkhillQgis::HostMap::setZoomListener(
      [this](const QgsRectangle& asked, const QgsRectangle& shown) {
        mOut << "ZOOM: extent set to " << rectangleText(asked) << "; the map shows "
             << rectangleText(shown) << '\n';
        mOut.flush();
      });
  LarkhillQgis::HostMap::setHighlightListener([this](const QString& layerName, int32_t objectId) {
    mOut << "HIGHLIGHT: " << layerName << " feature " << objectId << '\n';
    mOut.flush();
  });
  // The feature the identify panel shows, field by field.
  if (auto* panel = mWindow->findChild<IdentifyPanel*>())
    connect(panel, &IdentifyPanel::featureChanged, this, [this, panel] {
      if (mFinished)
        return;
      const QString feature = panel->featureText();
      if (feature.isEmpty())
        mOut << "ATTRIBUTES: none\n";
      else
        mOut << "ATTRIBUTES: " << feature << ": " << panel->attributes().join(QStringLiteral(", "))
             << '\n';
      mOut.flush();
    });
  // What the status bar shows; a cleared bar shows nothing to report.
  connect(mWindow->statusBar(), &QStatusBar::messageChanged, this, [this](const QString& text) {
    if (mFinished || text.isEmpty())
      return;
    mOut << "STATUS: " << text << '\n';
    mOut.flush();
  });
  if (!mScreenshotDir.isEmpty())
    QDir().mkpath(mScreenshotDir);
}

ScriptSession::~ScriptSession() {
  LarkhillQgis::HostMap::setZoomListener(nullptr);
  LarkhillQgis::HostMap::setHighlightListener(nullptr);
  qApp->removeEventFilter(this);
  installMessageBoxService(nullptr);
}

bool ScriptSession::load(const QString& path, QString& error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
    error = QStringLiteral("%1: %2").arg(path, file.errorString());
    return false;
  }
  static const QStringList verbs = {
      QStringLiteral("press"),        QStringLiteral("pick"),       QStringLiteral("type"),
      QStringLiteral("key"),          QStringLiteral("click"),      QStringLiteral("close"),
      QStringLiteral("wait"),         QStringLiteral("screenshot"), QStringLiteral("echo"),
      QStringLiteral("open"),         QStringLiteral("dock"),       QStringLiteral("identify"),
      QStringLiteral("remove-layer"), QStringLiteral("locate"),     QStringLiteral("locate-pick"),
      QStringLiteral("select-list"),  QStringLiteral("time")};
  static const QStringList needArgument = {QStringLiteral("pick"), QStringLiteral("type"),
                                           QStringLiteral("key"), QStringLiteral("dock")};
  QTextStream in(&file);
  in.setCodec("UTF-8");
  int line = 0;
  while (!in.atEnd()) {
    const QString raw = in.readLine();
    ++line;
    const QString text = raw.trimmed();
    if (text.isEmpty() || text.startsWith(QLatin1Char('#')))
      continue;
    Step step;
    step.line = line;
    const int firstBlank = text.indexOf(QLatin1Char(' '));
    step.verb = (firstBlank < 0 ? text : text.left(firstBlank)).toLower();
    const QString rest = firstBlank < 0 ? QString() : text.mid(firstBlank + 1).trimmed();
    if (!verbs.contains(step.verb)) {
      error = QStringLiteral("%1 line %2: unknown step \"%3\"").arg(path).arg(line).arg(step.verb);
      return false;
    }
    if (needArgument.contains(step.verb)) {
      // "<verb> <target> <argument>": the argument is the rest of the line after
      // one blank, so that typed text keeps its own blanks.
      const QString body = raw.mid(raw.indexOf(text.left(1)));
      int pos = firstBlank < 0 ? body.size() : firstBlank;
      while (pos < body.size() && body[pos] == QLatin1Char(' '))
        ++pos;
      const int targetStart = pos;
      while (pos < body.size() && body[pos] != QLatin1Char(' '))
        ++pos;
      step.target = body.mid(targetStart, pos - targetStart);
      step.argument = pos < body.size() ? body.mid(pos + 1) : QString();
      if (step.verb != QLatin1String("type")) {
        step.argument = step.argument.trimmed();
        if (step.argument.isEmpty()) {
          error = QStringLiteral("%1 line %2: \"%3\" needs a widget and a value")
                      .arg(path)
                      .arg(line)
                      .arg(step.verb);
          return false;
        }
      }
    } else {
      step.target = rest;
    }
    if (step.verb != QLatin1String("echo") && step.verb != QLatin1String("screenshot") &&
        step.verb != QLatin1String("time") && step.target.isEmpty()) {
      error = QStringLiteral("%1 line %2: \"%3\" needs a name").arg(path).arg(line).arg(step.verb);
      return false;
    }
    if (step.verb == QLatin1String("identify")) {
      const QStringList xy = step.target.split(QLatin1Char(' '), Qt::SkipEmptyParts);
      bool x = false;
      bool y = xy.size() == 2;
      if (y) {
        xy[0].toDouble(&x);
        xy[1].toDouble(&y);
      }
      if (!x || !y) {
        error = QStringLiteral("%1 line %2: \"identify\" needs the map coordinates X Y")
                    .arg(path)
                    .arg(line);
        return false;
      }
    }
    bool number = false;
    if (step.verb == QLatin1String("wait") && step.target != QLatin1String("map") &&
        (step.target.toInt(&number) < 0 || !number)) {
      error = QStringLiteral("%1 line %2: \"wait\" needs a number of milliseconds, or \"map\"")
                  .arg(path)
                  .arg(line);
      return false;
    }
    mSteps << step;
  }
  return true;
}

void ScriptSession::start() {
  reportMapTool();
  reportMap();
  QTimer::singleShot(0, this, &ScriptSession::runNext);
}

void ScriptSession::show(const QString& text) {
  QStringList lines = text.split(QStringLiteral("\r\n"));
  mOut << "MESSAGE BOX: " << lines.takeFirst() << '\n';
  for (const QString& line : lines)
    mOut << "             " << line << '\n';
  mOut << "  (answered OK)\n";
  mOut.flush();
}

bool ScriptSession::eventFilter(QObject* watched, QEvent* event) {
  if (!mFinished && (event->type() == QEvent::Show || event->type() == QEvent::Hide)) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget && widget->isWindow() && !widget->inherits("QMenu") &&
        !widget->inherits("QToolTip") && widget->windowType() != Qt::ToolTip &&
        widget->windowType() != Qt::Popup) {
      // Spontaneous events come from the window system (minimising); the script reports what the
      // program did.
      if (!event->spontaneous()) {
        mOut << (event->type() == QEvent::Show ? "WINDOW SHOWN: " : "WINDOW HIDDEN: ")
             << windowCaption(widget) << '\n';
        mOut.flush();
      }
    }
    // A docked panel is part of the main window, not a window of its own.
    auto* panel = qobject_cast<QDockWidget*>(watched);
    if (panel && !panel->isWindow() && !event->spontaneous()) {
      mOut << (event->type() == QEvent::Show ? "PANEL SHOWN: " : "PANEL HIDDEN: ")
           << windowCaption(panel) << ", docked "
           << (mWindow->dockWidgetArea(panel) == Qt::LeftDockWidgetArea ? "left" : "right") << '\n';
      mOut.flush();
    }
  }
  return QObject::eventFilter(watched, event);
}

void ScriptSession::runNext() {
  if (mFinished)
    return;
  if (mNext >= mSteps.size()) {
    finish(0);
    return;
  }
  const Step step = mSteps[mNext++];
  mOut << "\n> " << step.verb;
  if (!step.target.isEmpty())
    mOut << ' ' << step.target;
  if (!step.argument.isNull())
    mOut << " \"" << step.argument << '"';
  mOut << '\n';
  mOut.flush();
  // The step may open a modal window whose loop runs until a later step closes
  // it: the report and the next step are queued behind it, so they run inside
  // that loop and the transcript keeps its order.
  QTimer::singleShot(0, this, [this, step] { performSafely(step); });
  QTimer::singleShot(0, this, [this, step] { endStep(step); });
}

void ScriptSession::performSafely(const Step& step) {
  // Nothing a step meets may leave through the event loop: that would end the
  // application. A failing step ends the session, with exit status 1.
  QString failure;
  try {
    perform(step);
    return;
  } catch (const StepFailure& e) {
    failure = QString::fromStdString(e.what());
  } catch (const QgsException& e) {
    failure = QStringLiteral("the step failed: %1").arg(e.what());
  } catch (const std::exception& e) {
    failure = QStringLiteral("the step failed: %1").arg(QString::fromLocal8Bit(e.what()));
  } catch (...) {
    failure = QStringLiteral("the step failed");
  }
  mOut << "SCRIPT ERROR (line " << step.line << "): " << failure << '\n';
  finish(1);
}

void ScriptSession::endStep(const Step& step) {
  if (mFinished)
    return;
  // A wait, or the step's own waiting for the map, lets events through: the
  // next step starts only when that is over.
  if (mHolding > 0 || mDelay > 0) {
    const int delay = mHolding > 0 ? 20 : mDelay;
    mDelay = 0;
    QTimer::singleShot(delay, this, [this, step] { endStep(step); });
    return;
  }
  afterStep(step);
  runNext();
}

void ScriptSession::failStep(const QString& reason) {
  throw StepFailure(reason.toStdString());
}

QWidget* ScriptSession::findWidget(const QString& name) const {
  const int slash = name.lastIndexOf(QLatin1Char('/'));
  const QString scope = slash < 0 ? QString() : name.left(slash);
  const QString leaf = slash < 0 ? name : name.mid(slash + 1);
  for (QWidget* window : searchOrder()) {
    QList<QWidget*> candidates = window->findChildren<QWidget*>(leaf);
    if (window->objectName() == leaf)
      candidates.prepend(window);
    for (QWidget* widget : candidates)
      if (widget->isVisible() && (scope.isEmpty() || hasAncestorNamed(widget, scope)))
        return widget;
  }
  return nullptr;
}

QString ScriptSession::entryText(const QAbstractItemView* view) const {
  const QModelIndex current = view->currentIndex();
  const bool selected =
      view->selectionModel() && current.isValid() && view->selectionModel()->isSelected(current);
  return selected ? QStringLiteral("\"%1\"").arg(current.data().toString())
                  : QStringLiteral("none");
}

void ScriptSession::perform(const Step& step) {
  if (step.verb == QLatin1String("echo")) {
    mOut << step.target << '\n';
  } else if (step.verb == QLatin1String("time")) {
    const double processor = processorSeconds();
    mOut << "TIME: " << QString::number(double(mSinceTime.nsecsElapsed()) / 1e6, 'f', 1)
         << " ms, processor " << QString::number((processor - mProcessorAtTime) * 1e3, 'f', 1)
         << " ms\n";
    mSinceTime.restart();
    mProcessorAtTime = processor;
  } else if (step.verb == QLatin1String("wait") && step.target == QLatin1String("map")) {
    if (!waitForMap(300, 60000))
      failStep(QStringLiteral("the map was still drawing after a minute"));
  } else if (step.verb == QLatin1String("wait")) {
    // The application runs on; the next step is started that much later.
    mDelay = step.target.toInt();
  } else if (step.verb == QLatin1String("open")) {
    auto* files = mWindow->findChild<FileActions*>();
    if (!files)
      failStep(QStringLiteral("the window has no File menu"));
    // What the menu does: a file that cannot be opened is reported in a message box.
    files->open({step.target});
  } else if (step.verb == QLatin1String("locate")) {
    locate(step.target);
  } else if (step.verb == QLatin1String("locate-pick")) {
    bool number = false;
    const int k = step.target.toInt(&number);
    if (!number || k < 1)
      failStep(QStringLiteral("\"locate-pick\" needs the number of a result, from 1"));
    pickLocated(k);
  } else if (step.verb == QLatin1String("select-list")) {
    selectList(QString(step.target)
                   .replace(QLatin1String("\\n"), QLatin1String("\n"))
                   .replace(QLatin1String("\\t"), QLatin1String("\t")));
  } else if (step.verb == QLatin1String("identify")) {
    identifyAt(step.target);
  } else if (step.verb == QLatin1String("remove-layer")) {
    removeLayer(step.target);
  } else if (step.verb == QLatin1String("screenshot")) {
    saveScreenshot(step.target.isEmpty() ? QStringLiteral("shot") : step.target);
  } else if (step.verb == QLatin1String("press")) {
    for (QToolBar* toolbar : mWindow->findChildren<QToolBar*>())
      for (QAction* action : toolbar->actions())
        if (action->objectName() == step.target ||
            action->text().compare(step.target, Qt::CaseInsensitive) == 0) {
          action->trigger();
          return;
        }
    // Then the menus, by name or by the item's text without its "&" and "...".
    for (QMenu* menu : mWindow->menuBar()->findChildren<QMenu*>())
      for (QAction* action : menu->actions())
        if (!action->isSeparator() && !action->menu() &&
            (action->objectName() == step.target ||
             menuText(action).compare(step.target, Qt::CaseInsensitive) == 0)) {
          if (!action->isEnabled())
            failStep(QStringLiteral("\"%1\" is disabled").arg(step.target));
          action->trigger();
          return;
        }
    failStep(QStringLiteral("no command \"%1\" on the toolbars or menus").arg(step.target));
  } else if (step.verb == QLatin1String("dock")) {
    // As a user drags a panel's title bar to a side of the window, or off it.
    QDockWidget* panel = nullptr;
    for (QDockWidget* dock : mWindow->findChildren<QDockWidget*>())
      if (dock->isVisible() &&
          (dock->objectName() == step.target || dock->windowTitle() == step.target))
        panel = dock;
    if (!panel)
      failStep(QStringLiteral("no open panel \"%1\"").arg(step.target));
    const QString side = step.argument.toLower();
    if (side == QLatin1String("float")) {
      panel->setFloating(true);
    } else if (side == QLatin1String("left") || side == QLatin1String("right")) {
      const Qt::DockWidgetArea area =
          side == QLatin1String("left") ? Qt::LeftDockWidgetArea : Qt::RightDockWidgetArea;
      if (!panel->isAreaAllowed(area))
        failStep(QStringLiteral("\"%1\" cannot dock there").arg(step.target));
      mWindow->addDockWidget(area, panel);
      panel->setFloating(false);
      panel->show();
    } else {
      failStep(QStringLiteral("dock to left, right or float, not \"%1\"").arg(step.argument));
    }
    mOut << "PANEL " << windowCaption(panel) << ": "
         << (panel->isFloating() ? QStringLiteral("floating")
             : mWindow->dockWidgetArea(panel) == Qt::LeftDockWidgetArea
                 ? QStringLiteral("docked left")
                 : QStringLiteral("docked right"))
         << '\n';
  } else if (step.verb == QLatin1String("close")) {
    for (QWidget* window : searchOrder())
      if (window->windowTitle() == step.target || window->objectName() == step.target) {
        window->close();
        return;
      }
    failStep(QStringLiteral("no open window \"%1\"").arg(step.target));
  } else {
    QWidget* widget = findWidget(step.target);
    if (!widget)
      failStep(QStringLiteral("no visible widget named \"%1\"").arg(step.target));
    if (step.verb == QLatin1String("click")) {
      auto* button = qobject_cast<QAbstractButton*>(widget);
      if (!button)
        failStep(QStringLiteral("\"%1\" is not a button").arg(step.target));
      if (!button->isEnabled())
        failStep(QStringLiteral("\"%1\" is disabled").arg(step.target));
      clickMouse(button);
    } else if (step.verb == QLatin1String("type")) {
      auto* edit = qobject_cast<QLineEdit*>(widget);
      if (!edit)
        failStep(QStringLiteral("\"%1\" is not a text box").arg(step.target));
      edit->setFocus();
      edit->selectAll();
      pressKey(edit, Qt::Key_Backspace);
      QPointer<QLineEdit> typedInto(edit);
      typeText(edit, step.argument);
      if (typedInto)
        mOut << "TEXT " << step.target << ": \"" << typedInto->text() << "\"\n";
    } else if (step.verb == QLatin1String("key")) {
      static const QHash<QString, Qt::Key> keys = {
          {QStringLiteral("enter"), Qt::Key_Return},  {QStringLiteral("return"), Qt::Key_Return},
          {QStringLiteral("escape"), Qt::Key_Escape}, {QStringLiteral("tab"), Qt::Key_Tab},
          {QStringLiteral("down"), Qt::Key_Down},     {QStringLiteral("up"), Qt::Key_Up}};
      const auto key = keys.find(step.argument.toLower());
      if (key == keys.end())
        failStep(QStringLiteral("unknown key \"%1\"").arg(step.argument));
      widget->setFocus();
      pressKey(widget, key.value());
    } else if (step.verb == QLatin1String("pick")) {
      auto* combo = qobject_cast<QComboBox*>(widget);
      // A widget made around a combo box (QGIS's reference-system switch) is picked in its box.
      if (!combo && !qobject_cast<QAbstractItemView*>(widget))
        combo = widget->findChild<QComboBox*>();
      if (combo) {
        const int index = combo->findText(step.argument);
        if (index < 0)
          failStep(QStringLiteral("\"%1\" has no entry \"%2\"").arg(step.target, step.argument));
        combo->setCurrentIndex(index);
        emit combo->activated(index);
        return;
      }
      auto* view = qobject_cast<QAbstractItemView*>(widget);
      if (!view || !view->model())
        failStep(QStringLiteral("\"%1\" is not a list").arg(step.target));
      const QModelIndexList found =
          view->model()->match(view->model()->index(0, 0, view->rootIndex()), Qt::DisplayRole,
                               step.argument, 1, Qt::MatchExactly | Qt::MatchCaseSensitive);
      if (found.isEmpty())
        failStep(QStringLiteral("\"%1\" has no entry \"%2\"").arg(step.target, step.argument));
      view->scrollTo(found.first());
      const QRect area = view->visualRect(found.first());
      clickMouse(view->viewport(), area.center());
    }
  }
}

void ScriptSession::identifyAt(const QString& coordinates) {
  // The Identify Features button, then a click on the map at the point (in the map's system).
  auto* action = mWindow->findChild<QAction*>(QStringLiteral("mActionIdentify"));
  if (!action || !action->isEnabled())
    failStep(QStringLiteral("the window has no identify tool"));
  action->trigger();
  const QStringList xy = coordinates.split(QLatin1Char(' '), Qt::SkipEmptyParts);
  QgsMapCanvas* canvas = mWindow->canvas();
  const QgsPointXY pixel =
      canvas->getCoordinateTransform()->transform(xy[0].toDouble(), xy[1].toDouble());
  const QPoint at(qRound(pixel.x()), qRound(pixel.y()));
  if (!canvas->viewport()->rect().contains(at))
    failStep(QStringLiteral("%1 is not on the map as it is shown").arg(coordinates));
  clickAt(canvas->viewport(), at);
}

void ScriptSession::removeLayer(const QString& name) {
  // As a user does: choose the layer in the tree, open its menu and pick Remove.
  QgsLayerTreeView* tree = mWindow->layerTree();
  QgsMapLayer* layer = nullptr;
  for (QgsLayerTreeLayer* node : mWindow->project()->layerTreeRoot()->findLayers())
    if (node->name() == name && node->layer()) {
      layer = node->layer();
      break;
    }
  if (!layer)
    failStep(QStringLiteral("no layer \"%1\" in the layer tree").arg(name));
  tree->setCurrentLayer(layer);
  const std::unique_ptr<QMenu> menu(tree->menuProvider() ? tree->menuProvider()->createContextMenu()
                                                         : nullptr);
  if (menu)
    for (QAction* action : menu->actions())
      if (menuText(action) == QLatin1String("Remove")) {
        action->trigger();
        return;
      }
  failStep(QStringLiteral("the layer tree's menu has no Remove"));
}

void ScriptSession::reportMap() {
  QStringList names;
  for (QgsLayerTreeLayer* node : mWindow->project()->layerTreeRoot()->findLayers())
    names << node->name();
  const QString layers =
      names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", "));
  if (layers != mLayers) {
    mLayers = layers;
    mOut << "LAYERS: " << layers << '\n';
  }
  const QgsCoordinateReferenceSystem crs = mWindow->canvas()->mapSettings().destinationCrs();
  const QString system = crs.isValid() ? crs.authid() : QStringLiteral("none");
  if (system != mCrs) {
    mCrs = system;
    mOut << "MAP CRS: " << system << '\n';
  }
}

void ScriptSession::afterStep(const Step&) {
  reportLists();
  reportMapTool();
  reportMap();
  if (!mScreenshotDir.isEmpty())
    saveScreenshot(QStringLiteral("step"));
  mOut.flush();
}

void ScriptSession::reportLists() {
  QSet<QAbstractItemView*> seen;
  for (QWidget* top : searchOrder())
    for (QAbstractItemView* view : top->findChildren<QAbstractItemView*>()) {
      // The layer tree and the identify panel have lines of their own.
      if (seen.contains(view) || !view->isVisible() || view->objectName().isEmpty() ||
          !view->model() || view->objectName() == QLatin1String("layerTree") ||
          view->objectName() == QLatin1String("identifyTable"))
        continue;
      seen.insert(view);
      // Named after the form that holds it, which may sit inside a host frame;
      // captioned as the user sees it: the panel's title where it is docked.
      QWidget* window = view->window();
      for (QWidget* w = view->parentWidget(); w && w != window; w = w->parentWidget())
        if (qobject_cast<QDockWidget*>(w)) {
          window = w;
          break;
        }
      QString owner = window->objectName();
      for (QWidget* w = view->parentWidget(); w; w = w->parentWidget())
        if (w->inherits("Larkhill::Form")) {
          owner = w->objectName();
          break;
        }
      const QString name = QStringLiteral("%1/%2").arg(owner, view->objectName());
      const QString state = QStringLiteral("%1 entries, selected: %2")
                                .arg(view->model()->rowCount(view->rootIndex()))
                                .arg(entryText(view));
      if (mListStates.value(name) != state) {
        mListStates[name] = state;
        mOut << "LIST " << name << " (" << windowCaption(window) << "): " << state << '\n';
      }
    }
}

void ScriptSession::reportMapTool() {
  const QString tool = toolName(mWindow->canvas()->mapTool());
  if (tool != mMapTool) {
    mMapTool = tool;
    mOut << "MAP TOOL: " << tool << '\n';
  }
}

bool ScriptSession::waitForMap(int quietMs, int limitMs) {
  QgsMapCanvas* canvas = mWindow->canvas();
  ++mHolding;
  QElapsedTimer timer;
  timer.start();
  // The canvas starts a drawing shortly after a change, and a window just
  // opened draws its map more than once (at its first size, then at its
  // last): the map is drawn when no drawing has run for a while.
  QElapsedTimer quiet;
  quiet.start();
  while (quiet.elapsed() < quietMs && timer.elapsed() < limitMs) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    if (canvas->isDrawing()) {
      canvas->waitWhileRendering();
      quiet.restart();
    }
  }
  QApplication::processEvents();
  --mHolding;
  return quiet.elapsed() >= quietMs;
}

void ScriptSession::saveScreenshot(const QString& name) {
  waitForMap(150, 3000);
  QImage image = mWindow->grab().toImage();
  QPainter painter(&image);
  const QPoint origin = mWindow->mapToGlobal(QPoint(0, 0));
  // Windows over the main window are drawn where they stand, inside the picture.
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window == mWindow || !window->isVisible())
      continue;
    const QPixmap pixmap = window->grab();
    QPoint at = window->mapToGlobal(QPoint(0, 0)) - origin;
    at.setX(std::clamp(at.x(), 0, std::max(0, image.width() - pixmap.width())));
    at.setY(std::clamp(at.y(), 0, std::max(0, image.height() - pixmap.height())));
    painter.fillRect(QRect(at - QPoint(1, 1), pixmap.size() + QSize(2, 2)), Qt::darkGray);
    painter.drawPixmap(at, pixmap);
  }
  painter.end();
  const QString path =
      QDir(mScreenshotDir.isEmpty() ? QStringLiteral(".") : mScreenshotDir)
          .filePath(QStringLiteral("%1-%2.png").arg(++mShot, 2, 10, QLatin1Char('0')).arg(name));
  if (image.save(path))
    mOut << "SCREENSHOT: " << path << '\n';
  else
    mOut << "SCREENSHOT FAILED: " << path << '\n';
}

void ScriptSession::finish(int exitCode) {
  if (mFinished)
    return;
  mOut << (exitCode == 0 ? "\nEnd of script.\n" : "\nScript stopped.\n");
  mOut.flush();
  mFinished = true;
  // Modal windows run loops of their own: hiding every window ends them.
  for (QWidget* window : QApplication::topLevelWidgets())
    if (window->isVisible())
      window->hide();
  QApplication::exit(exitCode);
}

QgsLocatorWidget* ScriptSession::locatorWidget() const {
  return mWindow->findChild<QgsLocatorWidget*>(QStringLiteral("locator"));
}

QModelIndexList ScriptSession::locatedResults() const {
  QModelIndexList results;
  for (QTreeView* view : mWindow->findChildren<QTreeView*>()) {
    if (!view->inherits("QgsLocatorResultsView") || !view->model())
      continue;
    // Headings (a filter's name, a group) are neither enabled nor selectable.
    const QAbstractItemModel* model = view->model();
    for (int row = 0; row < model->rowCount(); ++row) {
      const QModelIndex index = model->index(row, 0);
      const Qt::ItemFlags flags = model->flags(index);
      if (flags.testFlag(Qt::ItemIsEnabled) && flags.testFlag(Qt::ItemIsSelectable))
        results << index;
    }
  }
  return results;
}

void ScriptSession::locate(const QString& text) {
  QgsLocatorWidget* locator = locatorWidget();
  if (!locator)
    failStep(QStringLiteral("the window has no locator bar"));
  auto* edit = locator->findChild<QLineEdit*>();
  if (!edit)
    failStep(QStringLiteral("the locator bar has no text box"));
  edit->setFocus();
  edit->selectAll();
  pressKey(edit, Qt::Key_Backspace);
  typeText(edit, text);
  waitForLocator();
  const QModelIndexList results = locatedResults();
  QStringList shown;
  for (int i = 0; i < results.size() && i < 5; ++i)
    shown << QStringLiteral("\"%1\"").arg(results[i].data().toString());
  mOut << "LOCATOR: " << results.size() << " results"
       << (shown.isEmpty() ? QString() : QStringLiteral(": ") + shown.join(QStringLiteral(", ")))
       << '\n';
}

void ScriptSession::waitForLocator() {
  QgsLocator* locator = locatorWidget()->locator();
  ++mHolding;
  QElapsedTimer timer;
  timer.start();
  // The widget starts its search a moment after the last key, and runs a
  // search asked for while one runs once that one ends: the search has ended
  // when one has finished and nothing has started or ended for a while.
  qint64 lastEvent = 0;
  bool finished = false;
  const QMetaObject::Connection started =
      connect(locator, &QgsLocator::searchPrepared, this, [&] { lastEvent = timer.elapsed(); });
  const QMetaObject::Connection ended = connect(locator, &QgsLocator::finished, this, [&] {
    lastEvent = timer.elapsed();
    finished = true;
  });
  while (timer.elapsed() < 30000 &&
         !(finished && !locator->isRunning() && timer.elapsed() - lastEvent > 300))
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  disconnect(started);
  disconnect(ended);
  QApplication::processEvents();
  --mHolding;
  if (!finished)
    failStep(QStringLiteral("the locator's search did not end"));
}

void ScriptSession::pickLocated(int k) {
  QgsLocatorWidget* locator = locatorWidget();
  const QModelIndexList results = locator ? locatedResults() : QModelIndexList();
  if (k > results.size())
    failStep(QStringLiteral("the locator shows %1 results, not %2").arg(results.size()).arg(k));
  QTreeView* view = nullptr;
  for (QTreeView* candidate : mWindow->findChildren<QTreeView*>())
    if (candidate->model() == results[k - 1].model())
      view = candidate;
  if (!view || !view->isVisible())
    failStep(QStringLiteral("the locator's results are not shown"));
  view->setCurrentIndex(results[k - 1]);
  mOut << "LOCATOR PICKED: \"" << results[k - 1].data().toString() << "\"\n";
  pressKey(locator->findChild<QLineEdit*>(), Qt::Key_Return);
}

void ScriptSession::selectList(const QString& text) {
  auto* actions = mWindow->findChild<SearchActions*>();
  if (!actions)
    failStep(QStringLiteral("the window has no Select Parcels from a List"));
  actions->selectFromList()->open();
  LarkhillQgis::ParcelListDialog* dialog = actions->selectFromList()->dialog();
  auto* ids = dialog->findChild<QPlainTextEdit*>(QStringLiteral("idsText"));
  auto* select = dialog->findChild<QAbstractButton*>(QStringLiteral("selectButton"));
  if (!ids || !select)
    failStep(QStringLiteral("the dialog has no box for IDs or no Select button"));
  ids->setPlainText(text);
  select->click();
  const LarkhillQgis::ParcelListDialog::Outcome& outcome = dialog->lastOutcome();
  if (!outcome.done) {
    mOut << "SELECTED: nothing, the tool is not configured\n";
    return;
  }
  QStringList missing;
  for (const QString& id : outcome.missing)
    missing << QStringLiteral("\"%1\"").arg(id);
  mOut << "SELECTED: " << outcome.selected << " parcels; not found: "
       << (missing.isEmpty() ? QStringLiteral("none") : missing.join(QStringLiteral(", "))) << '\n';
}
