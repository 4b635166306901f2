#include "IdentifyPanel.h"

#include "IdentifyTool.h"
#include "MapWindow.h"
#include "qgis/ui/FeatureMarks.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <qgsapplication.h>
#include <qgsfeature.h>
#include <qgshighlight.h>
#include <qgslayertree.h>
#include <qgsmapcanvas.h>
#include <qgsproject.h>
#include <qgsvectorlayer.h>

namespace {
enum Column { FieldColumn, ValueColumn };

// A value as QGIS shows it, but whole numbers as they are stored: they are IDs and codes
// more often than quantities, and "100,036" is not the parcel ID 100036.
QString valueText(const QgsField& field, const QVariant& value) {
  if (!value.isNull())
    switch (value.userType()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
      return value.toString();
    default:
      break;
    }
  return field.displayString(value);
}
} // namespace

IdentifyPanel::IdentifyPanel(MapWindow* window)
    : QDockWidget(tr("Identify Results"), window), mWindow(window), mCanvas(window->canvas()) {
  setObjectName(QStringLiteral("identifyDock"));
  auto* content = new QWidget(this);
  auto* layout = new QVBoxLayout(content);
  layout->setContentsMargins(4, 4, 4, 4);
  mTitle = new QLabel(content);
  mTitle->setObjectName(QStringLiteral("identifyFeature"));
  layout->addWidget(mTitle);
  mTable = new QTableWidget(0, 2, content);
  mTable->setObjectName(QStringLiteral("identifyTable"));
  mTable->setHorizontalHeaderLabels({tr("Field"), tr("Value")});
  mTable->horizontalHeader()->setStretchLastSection(true);
  mTable->verticalHeader()->hide();
  mTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  mTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  // A long value ends in an ellipsis on its line; its tooltip holds it whole.
  mTable->setWordWrap(false);
  layout->addWidget(mTable);
  setWidget(content);
  window->addDockWidget(Qt::LeftDockWidgetArea, this);
  hide();

  // The identify tool belongs to the canvas, which deletes it.
  auto* tool = new IdentifyTool(mCanvas, window->layerTree());
  auto* identify = new QAction(QgsApplication::getThemeIcon(QStringLiteral("/mActionIdentify.svg")),
                               tr("Identify Features"), this);
  identify->setObjectName(QStringLiteral("mActionIdentify"));
  identify->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+I")));
  identify->setToolTip(tr("Identify Features (%1): click a feature to see its attributes")
                           .arg(identify->shortcut().toString(QKeySequence::NativeText)));
  identify->setCheckable(true);
  tool->setAction(identify);
  connect(identify, &QAction::triggered, mCanvas, [this, tool] { mCanvas->setMapTool(tool); });
  mIdentifyAction = identify;

  connect(tool, &IdentifyTool::featureIdentified, this,
          [this](QgsVectorLayer* layer, const QgsFeature& feature) {
            showFeature(layer, feature, true);
          });
  connect(tool, &IdentifyTool::nothingIdentified, this, [this] {
    clear();
    mWindow->statusBar()->showMessage(tr("No feature found at this position."), 5000);
  });
  connect(tool, &QgsMapTool::deactivated, this, &IdentifyPanel::removeOutline);
  // What the parcel search finds.
  connect(LarkhillQgis::FeatureMarks::MarkSet::of(mCanvas),
          &LarkhillQgis::FeatureMarks::MarkSet::marked, this, &IdentifyPanel::showMarked);
  // Nothing shown outlives its layer's place on the map (the tree tells at once; QGIS lets the
  // layer itself go from the project later).
  QgsLayerTreeGroup* root = window->project()->layerTreeRoot();
  connect(root, &QgsLayerTreeNode::removedChildren, this, [this, root] {
    if (mFeatureId != FID_NULL && !(mLayer && root->findLayer(mLayer)))
      clear();
  });
}

IdentifyPanel::~IdentifyPanel() {
  removeOutline();
}

void IdentifyPanel::showMarked(QgsVectorLayer* layer, QgsFeatureId featureId) {
  if (!layer)
    return;
  const QgsFeature feature = layer->getFeature(featureId);
  if (feature.isValid())
    showFeature(layer, feature, false);
}

void IdentifyPanel::showFeature(QgsVectorLayer* layer, const QgsFeature& feature, bool outline) {
  removeOutline();
  mLayer = layer;
  mFeatureId = feature.id();
  mTitle->setText(tr("%1, feature %2").arg(layer->name()).arg(feature.id()));
  const QgsFields fields = layer->fields();
  mTable->setRowCount(fields.count());
  for (int i = 0; i < fields.count(); ++i) {
    const QgsField field = fields.at(i);
    auto* name = new QTableWidgetItem(field.displayName());
    name->setData(Qt::UserRole, field.name());
    const QString value = valueText(field, feature.attribute(i));
    auto* shown = new QTableWidgetItem(value);
    shown->setToolTip(value);
    mTable->setItem(i, FieldColumn, name);
    mTable->setItem(i, ValueColumn, shown);
  }
  mTable->resizeColumnToContents(FieldColumn);
  if (outline && feature.hasGeometry()) {
    mOutline = new QgsHighlight(mCanvas, feature.geometry(), layer);
    QColor colour = LarkhillQgis::FeatureMarks::highlightColour();
    mOutline->setColor(colour);
    colour.setAlpha(63);
    mOutline->setFillColor(colour);
    mOutline->setWidth(2);
    mOutline->show();
  }
  if (isHidden()) {
    show();
    // Once laid out, the panel takes room for every row (up to half the window's height) from
    // the panels above and below it in its column.
    QTimer::singleShot(0, this, &IdentifyPanel::fitRows);
  }
  raise();
  emit featureChanged();
}

void IdentifyPanel::fitRows() {
  const int wanted =
      std::min(height() - mTable->viewport()->height() + mTable->verticalHeader()->length(),
               mWindow->height() / 2);
  QList<QDockWidget*> docks{this};
  QList<int> heights{wanted};
  for (QDockWidget* other : mWindow->findChildren<QDockWidget*>())
    if (other != this && other->isVisible() && !other->isFloating() && other->x() == x() &&
        mWindow->dockWidgetArea(other) == mWindow->dockWidgetArea(this)) {
      docks << other;
      heights << std::max(other->minimumSizeHint().height(), other->height() - (wanted - height()));
    }
  mWindow->resizeDocks(docks, heights, Qt::Vertical);
}

void IdentifyPanel::clear() {
  removeOutline();
  const bool hadFeature = mFeatureId != FID_NULL;
  mLayer = nullptr;
  mFeatureId = FID_NULL;
  mTitle->clear();
  mTable->setRowCount(0);
  if (hadFeature)
    emit featureChanged();
}

void IdentifyPanel::removeOutline() {
  delete mOutline.data();
}

void IdentifyPanel::closeEvent(QCloseEvent* event) {
  removeOutline();
  QDockWidget::closeEvent(event);
}

QString IdentifyPanel::featureText() const {
  if (!mLayer || mFeatureId == FID_NULL)
    return QString();
  return QStringLiteral("%1 feature %2").arg(mLayer->name()).arg(mFeatureId);
}

QStringList IdentifyPanel::attributes() const {
  QStringList pairs;
  for (int row = 0; row < mTable->rowCount(); ++row)
    pairs << QStringLiteral("%1=%2").arg(
        mTable->item(row, FieldColumn)->data(Qt::UserRole).toString(),
        mTable->item(row, ValueColumn)->text());
  return pairs;
}
