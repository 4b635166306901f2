#include "qgis/ui/HostModelessFrame.h"

#include "platform/Form.h"
#include "platform/Required.h"
#include "qgis/common/HostErrors.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QDockWidget>
#include <QHash>
#include <QMainWindow>
#include <QTimer>
#include <QVBoxLayout>
#include <qgsmapcanvas.h>
#include <qgssettings.h>

namespace LarkhillQgis {
using namespace Larkhill;

namespace {
// The size the form asks for: the one it set itself, or else its layout's.
QSize preferredSize(const QWidget* form) {
  const QSize own = form->testAttribute(Qt::WA_Resized) ? form->size() : form->sizeHint();
  return own.expandedTo(form->minimumSize()).expandedTo(QSize(40, 20));
}

// The forms that become dock panels: the search window, which a user keeps
// open beside the map while working. Help and configuration windows are
// passing ones and stay tool windows. The component names each form after its
// module, and that name is how tests and scripts find it too.
bool isPanelForm(const QWidget* form) {
  return form->objectName() == QLatin1String("frmMain");
}

// A form laid out at fixed places, made to fill a dock's height: the list in it
// (and every box that holds the list) grows by what the dock has beyond the
// form's own height, and what lies below them moves down by as much.
class PanelStretch : public QObject {
public:
  PanelStretch(QWidget* form, QAbstractItemView* list) : QObject(form), mForm(form) {
    mHeight = form->height();
    for (QWidget* w = list; w && w != form; w = w->parentWidget())
      mChain.append(w);
    for (QWidget* child : form->findChildren<QWidget*>())
      mPlaces.insert(child, child->geometry());
    form->setMinimumHeight(mHeight);
    form->setMaximumHeight(QWIDGETSIZE_MAX);
    form->installEventFilter(this);
  }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == mForm && event->type() == QEvent::Resize)
      stretch(std::max(0, mForm->height() - mHeight));
    return false;
  }

private:
  void stretch(int extra) {
    for (QWidget* grown : mChain) {
      const QRect place = mPlaces.value(grown);
      grown->resize(place.width(), place.height() + extra);
      for (QWidget* sibling : grown->parentWidget()->findChildren<QWidget*>(
               QString(), Qt::FindDirectChildrenOnly)) {
        const QRect from = mPlaces.value(sibling);
        if (sibling != grown && mPlaces.contains(sibling) && from.top() >= place.bottom())
          sibling->move(from.left(), from.top() + extra);
      }
    }
  }

  QWidget* mForm;
  int mHeight;
  QList<QWidget*> mChain;
  QHash<QWidget*, QRect> mPlaces;
};

// Keeps a map from drawing for a scope: a drawing in progress is stopped, and
// the map is drawn again a moment after the scope ends. Keys typed while the
// list loaded are then answered first: the drawing, once started, takes the
// processors (as the list's first keys took 7-10 ms more on 1M parcels) and
// its start holds the window a few milliseconds itself. Nothing in the scope
// may let events through, or a drawing the map schedules meanwhile would start.
class DrawingPause {
public:
  explicit DrawingPause(QgsMapCanvas* map) : mMap(map) {
    mStopped = mMap && mMap->isDrawing();
    if (mStopped)
      mMap->stopRendering();
  }
  ~DrawingPause() {
    if (mStopped && mMap)
      QTimer::singleShot(kResumeMs, mMap.data(), &QgsMapCanvas::refresh);
  }

private:
  static constexpr int kResumeMs = 250;
  QPointer<QgsMapCanvas> mMap;
  bool mStopped = false;
};

// The settings that keep the panel's place, in QGIS's own settings.
const QString kDockedKey = QStringLiteral("LarkhillGIS/searchPanel/docked");
const QString kAreaKey = QStringLiteral("LarkhillGIS/searchPanel/area");

// A dock panel that says when it is closed or goes.
class PanelDock : public QDockWidget {
public:
  PanelDock(QMainWindow* mainWindow, std::function<void()> closed)
      : QDockWidget(mainWindow), mClosed(std::move(closed)) {}
  ~PanelDock() override {
    if (mClosed)
      mClosed();
  }

protected:
  void closeEvent(QCloseEvent* event) override {
    QDockWidget::closeEvent(event);
    if (event->isAccepted() && mClosed)
      mClosed();
  }

private:
  std::function<void()> mClosed;
};
} // namespace

PanelPlace PanelPlace::remembered() {
  const QgsSettings settings;
  PanelPlace place;
  place.docked = settings.value(kDockedKey, true, QgsSettings::Plugins).toBool();
  const int area = settings.value(kAreaKey, int(Qt::RightDockWidgetArea), QgsSettings::Plugins)
                       .toInt();
  place.area = area == Qt::LeftDockWidgetArea ? Qt::LeftDockWidgetArea : Qt::RightDockWidgetArea;
  return place;
}

void PanelPlace::remember() const {
  QgsSettings settings;
  settings.setValue(kDockedKey, docked, QgsSettings::Plugins);
  settings.setValue(kAreaKey, int(area), QgsSettings::Plugins);
}

HostModelessFrame::HostModelessFrame(QWidget* owner, std::shared_ptr<PanelPlace> place,
                                     std::function<void()> panelClosed, QgsMapCanvas* map)
    : mWindow(new QWidget(owner, Qt::Tool)), mPlace(std::move(place)),
      mPanelClosed(std::move(panelClosed)), mMap(map) {
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

bool HostModelessFrame::isDockedPanel() const {
  const auto* dock = qobject_cast<const QDockWidget*>(mWindow.data());
  return dock && !dock->isFloating();
}

void HostModelessFrame::makePanel(Form* form) {
  auto* mainWindow = qobject_cast<QMainWindow*>(mWindow->parentWidget());
  const QString caption = mWindow->windowTitle();
  // The empty tool window made for any form gives way to the panel.
  delete mWindow.data();
  if (!mPlace)
    mPlace = std::make_shared<PanelPlace>();
  auto* dock = new PanelDock(mainWindow, mPanelClosed);
  dock->setObjectName(QStringLiteral("larkhillFrame"));
  dock->setWindowTitle(caption);
  dock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
  dock->setWidget(form);
  dock->hide();
  mainWindow->addDockWidget(mPlace->area, dock);
  dock->setFloating(!mPlace->docked);
  dock->hide();
  const std::weak_ptr<PanelPlace> place = mPlace;
  QObject::connect(dock, &QDockWidget::topLevelChanged, dock, [place](bool floating) {
    if (const auto shared = place.lock()) {
      shared->docked = !floating;
      shared->remember();
    }
  });
  QObject::connect(dock, &QDockWidget::dockLocationChanged, dock, [place](Qt::DockWidgetArea area) {
    const auto shared = place.lock();
    if (shared && area != Qt::NoDockWidgetArea) {
      shared->area = area;
      shared->remember();
    }
  });

  mWindow = dock;
}

void HostModelessFrame::Create(Form* window) {
  required(window);
  QWidget* host = frame();
  mForm = window;
  if (isPanelForm(window) && qobject_cast<QMainWindow*>(host->parentWidget())) {
    makePanel(window);
    host = mWindow;
  } else {
    window->setParent(host);
    host->layout()->addWidget(window);
  }
  window->show();
  {
    // The map drawing beside the load would take half of the load's processors;
    // a docked panel, once shown, narrows the map and so starts its drawing again.
    const DrawingPause pause(isDockedPanel() ? mMap.data() : nullptr);
    window->Load();
  }
  // A panel's list takes the height the dock gives it, from the form's layout
  // as its load left it.
  auto* list = window->findChild<QAbstractItemView*>();
  if (list && qobject_cast<QDockWidget*>(host))
    new PanelStretch(window, list);
  if (!isDockedPanel())
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
    const bool wasShown = host->isVisible();
    host->hide();
    if (wasShown && mPanelClosed && qobject_cast<QDockWidget*>(host))
      mPanelClosed();
  }
}

void HostModelessFrame::Move(int32_t left, int32_t top, int32_t width, int32_t height) {
  QWidget* host = frame();
  if (isDockedPanel())
    return;
  host->move(left, top);
  if (width > 0 && height > 0)
    host->resize(width, height);
}

} // namespace LarkhillQgis
