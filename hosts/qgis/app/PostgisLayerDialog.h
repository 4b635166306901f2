#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QgsDatabaseSchemaComboBox;
class QgsDatabaseTableComboBox;
class QgsProviderConnectionComboBox;
class QgsVectorLayer;

/**
 * Asks for a PostGIS table: from a connection saved in QGIS (QGIS's own
 * connection, schema and table boxes), or from a data source URI typed in full
 * ("host=... dbname=... table=\"public\".\"parcels\" (geom)"); the URI wins
 * when both are given. A typed URI's database can be saved as a connection,
 * in the map application's QGIS settings, to be offered the next time.
 */
class PostgisLayerDialog : public QDialog {
  Q_OBJECT
public:
  explicit PostgisLayerDialog(QWidget* parent);

  /** The layer asked for, valid, for the caller to own; null with the reason in `error`. */
  QgsVectorLayer* createLayer(QString& error) const;

  /** Saves the typed URI's database as a connection under the name asked for, if one was; false
   * with the reason in `error` when it cannot be saved. */
  bool saveConnection(QString& error) const;

private:
  void listSchemas(const QString& connection);
  void listTables(const QString& schema);
  void showProblem(const QString& connection, const QString& reason);

  QgsProviderConnectionComboBox* mConnections;
  QgsDatabaseSchemaComboBox* mSchemas;
  QgsDatabaseTableComboBox* mTables;
  QLineEdit* mUri;
  QLineEdit* mSaveAs;
  QLabel* mProblem;
};
