// The component and the QGIS host as the county benchmark drives them.
#pragma once

#include "qgis/adapters/HostApplication.h"
#include "search/SortedListModel.h"

#include <QMainWindow>
#include <qgsproject.h>

class QgsMapCanvas;
class QgsVectorLayer;

namespace County {

/**
 * The component and the QGIS host around one project with one parcel layer: a
 * main window with an undrawn map canvas, installed as the component's
 * application and document while the object lives.
 */
class Host {
public:
  Host();
  ~Host();

  /**
   * Replaces the project's layers with the layer "Parcels" from `uri` through `provider`, and
   * zooms the canvas to it. Returns the layer (the project owns it); exits when it is not valid.
   */
  QgsVectorLayer* open(const QString& uri, const QString& provider);

  /** Click to list shown: the list loaded, sorted and handed to the view. */
  void loadList(Larkhill::SortedListModel& model, const QString& field);

  /** The time the last loadList took to sort and show the list, after the read. */
  double lastSort = 0.0;

  QMainWindow window;
  QgsProject project;
  QgsMapCanvas* canvas;
  Larkhill::Ref<LarkhillQgis::HostApplication> application;
};

} // namespace County
