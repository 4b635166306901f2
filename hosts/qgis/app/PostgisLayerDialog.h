#pragma once

#include <QDialog>

class QLineEdit;
class QgsDatabaseTableComboBox;
class QgsProviderConnectionComboBox;
class QgsVectorLayer;

/**
 * Asks for a PostGIS table: from a connection saved in QGIS (QGIS's own
 * connection and table boxes), or from a data source URI typed in full
 * ("host=... dbname=... table=\"public\".\"parcels\" (geom)"); the URI wins
 * when both are given.
 */
class PostgisLayerDialog : public QDialog {
  Q_OBJECT
public:
  explicit PostgisLayerDialog(QWidget* parent);

  /** The layer asked for, valid, for the caller to own; null with the reason in `error`. */
  QgsVectorLayer* createLayer(QString& error) const;

private:
  QgsProviderConnectionComboBox* mConnections;
  QgsDatabaseTableComboBox* mTables;
  QLineEdit* mUri;
};
