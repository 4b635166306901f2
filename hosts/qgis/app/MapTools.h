#pragma once

#include <QObject>

class MapWindow;
class QAction;
class QLabel;
class QgsMapCanvas;
class QgsMapTool;
class QgsPointXY;
class QgsProject;
class QgsProjectionSelectionWidget;
class QgsScaleComboBox;

/**
 * Map navigation with QGIS's own map tools, on a "Map Navigation" toolbar and
 * in the View menu: pan (the tool the map starts with), zoom in, zoom out,
 * zoom to the whole map, previous and next extent. The canvas keeps QGIS's
 * mouse and key habits (wheel zoom, middle button or space bar pans, arrow
 * keys, Page Up and Down). The status bar shows the mouse position in map
 * units, the scale (which the user may type or pick) and the map's reference
 * system, which QGIS's own reference-system switch changes: the map's,
 * WGS 84 latitude/longitude (QGIS's default), the chosen layer's, the recent
 * ones, or any other from QGIS's full list.
 */
class MapTools : public QObject {
  Q_OBJECT
public:
  explicit MapTools(MapWindow* window);

  /** The tool the map starts with and falls back to. */
  void usePan();

private:
  QAction* addTool(QgsMapTool* tool, const QString& name, const QString& text, const QString& icon,
                   const QKeySequence& key);
  QAction* addAction(const QString& name, const QString& text, const QString& icon,
                     const QKeySequence& key);
  void showPosition(const QgsPointXY& point);
  void showCrs();

  QgsMapCanvas* mCanvas;
  QgsMapTool* mPan;
  QLabel* mPosition;
  QgsScaleComboBox* mScale;
  QgsProject* mProject;
  QgsProjectionSelectionWidget* mCrs;
};
