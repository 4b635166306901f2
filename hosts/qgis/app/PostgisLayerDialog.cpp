#include "PostgisLayerDialog.h"

#include "qgis/common/HostErrors.h"
#include "qgis/database/ReadFailureWatch.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <memory>
#include <qgsabstractdatabaseproviderconnection.h>
#include <qgsdatabaseschemacombobox.h>
#include <qgsdatabasetablecombobox.h>
#include <qgsdatasourceuri.h>
#include <qgsproviderconnectioncombobox.h>
#include <qgsprovidermetadata.h>
#include <qgsproviderregistry.h>
#include <qgsvectorlayer.h>

namespace {
const QString kProvider = QStringLiteral("postgres");

/** The database of a data source as the user knows it: its name and server, or its service. */
QString databaseOf(const QgsDataSourceUri& uri) {
  if (!uri.service().isEmpty())
    return PostgisLayerDialog::tr("the database of service \"%1\"").arg(uri.service());
  QString server = uri.host().isEmpty() ? PostgisLayerDialog::tr("the local server") : uri.host();
  if (!uri.port().isEmpty())
    server += QLatin1Char(':') + uri.port();
  return PostgisLayerDialog::tr("database \"%1\" on %2").arg(uri.database(), server);
}
} // namespace

PostgisLayerDialog::PostgisLayerDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("postgisLayerDialog"));
  setWindowTitle(tr("Add PostGIS Layer"));
  auto* form = new QFormLayout(this);
  mConnections = new QgsProviderConnectionComboBox(kProvider, this);
  mConnections->setObjectName(QStringLiteral("connection"));
  // The tables are listed once a connection is chosen: a connection that
  // cannot be reached is said under the boxes, and a URI can still be typed.
  mSchemas = new QgsDatabaseSchemaComboBox(kProvider, QString(), this);
  mSchemas->comboBox()->setObjectName(QStringLiteral("schema"));
  mTables = new QgsDatabaseTableComboBox(kProvider, QString(), QString(), this);
  mTables->comboBox()->setObjectName(QStringLiteral("table"));
  mProblem = new QLabel(this);
  mProblem->setObjectName(QStringLiteral("problem"));
  mProblem->setWordWrap(true);
  mProblem->hide();
  connect(mConnections, &QgsProviderConnectionComboBox::connectionChanged, this,
          &PostgisLayerDialog::listSchemas);
  connect(mSchemas, &QgsDatabaseSchemaComboBox::schemaChanged, this,
          &PostgisLayerDialog::listTables);
  mUri = new QLineEdit(this);
  mUri->setObjectName(QStringLiteral("uri"));
  mUri->setPlaceholderText(
      QStringLiteral("host=... dbname=... user=... table=\"public\".\"parcels\" (geom)"));
  form->addRow(tr("Saved connection"), mConnections);
  form->addRow(tr("Schema"), mSchemas);
  form->addRow(tr("Table"), mTables);
  form->addRow(mProblem);
  form->addRow(new QLabel(tr("or a data source URI:"), this));
  form->addRow(tr("URI"), mUri);
  mSaveAs = new QLineEdit(this);
  mSaveAs->setObjectName(QStringLiteral("saveAs"));
  mSaveAs->setPlaceholderText(tr("a name, to offer the URI's database again"));
  form->addRow(tr("Save as connection"), mSaveAs);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ok"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);
  resize(520, sizeHint().height());
  listSchemas(mConnections->currentConnection());
}

void PostgisLayerDialog::listSchemas(const QString& connection) {
  if (connection.isEmpty())
    return;
  try {
    mSchemas->setConnectionName(connection, kProvider);
    // "public" first, where tables go unless told otherwise.
    if (mSchemas->comboBox()->findText(QStringLiteral("public")) >= 0)
      mSchemas->setSchema(QStringLiteral("public"));
    mTables->setConnectionName(connection, kProvider);
    mProblem->hide();
  } catch (const QgsProviderConnectionException& e) {
    showProblem(connection, e.what());
    return;
  }
  listTables(mSchemas->currentSchema());
}

void PostgisLayerDialog::listTables(const QString& schema) {
  try {
    mTables->setSchema(schema);
  } catch (const QgsProviderConnectionException& e) {
    showProblem(mConnections->currentConnection(), e.what());
  }
}

void PostgisLayerDialog::showProblem(const QString& connection, const QString& reason) {
  mProblem->setText(tr("The tables of \"%1\" cannot be listed: %2")
                        .arg(connection, QgsDataSourceUri::removePassword(reason)));
  mProblem->show();
}

QgsVectorLayer* PostgisLayerDialog::createLayer(QString& error) const {
  QString uri = mUri->text().trimmed();
  if (uri.isEmpty()) {
    const QString connectionName = mConnections->currentConnection();
    const QString table = mTables->currentTable();
    if (connectionName.isEmpty() || table.isEmpty()) {
      error = tr("Choose a saved connection and a table, or type a data source URI.");
      return nullptr;
    }
    try {
      QgsProviderMetadata* metadata = QgsProviderRegistry::instance()->providerMetadata(kProvider);
      std::unique_ptr<QgsAbstractProviderConnection> connection(
          metadata ? metadata->createConnection(connectionName) : nullptr);
      auto* database = dynamic_cast<QgsAbstractDatabaseProviderConnection*>(connection.get());
      if (!database) {
        error = tr("The connection \"%1\" cannot be used.").arg(connectionName);
        return nullptr;
      }
      // The table's URI names no geometry column, which the provider would
      // read as a table without geometry: the column is named here.
      QgsDataSourceUri tableUri(database->tableUri(mSchemas->currentSchema(), table));
      if (tableUri.geometryColumn().isEmpty())
        tableUri.setGeometryColumn(
            database->table(mSchemas->currentSchema(), table).geometryColumn());
      uri = tableUri.uri(false);
    } catch (const QgsProviderConnectionException& e) {
      error =
          tr("The table %1 of the connection \"%2\" cannot be opened: %3")
              .arg(table, connectionName, QgsDataSourceUri::removePassword(e.what()).simplified());
      return nullptr;
    }
  }
  const QgsDataSourceUri parsed(uri);
  const QString name = parsed.table().isEmpty() ? tr("PostGIS layer") : parsed.table();
  // The provider tells why a layer cannot be opened only in QGIS's message log.
  const LarkhillQgis::ReadFailureWatch reports;
  auto layer = std::make_unique<QgsVectorLayer>(uri, name, kProvider);
  if (layer->isValid())
    return layer.release();
  QString reason = LarkhillQgis::HostErrors::layerError(*layer);
  if (reason.isEmpty())
    reason = reports.failure();
  if (reason.isEmpty())
    reason = tr("the server gave no reason");
  // libpq and the provider break their reasons over several lines.
  reason = reason.simplified();
  const QString database = databaseOf(parsed);
  error = parsed.table().isEmpty() ? tr("No layer of %1 can be opened: %2").arg(database, reason)
                                   : tr("The table %1 of %2 cannot be opened: %3")
                                         .arg(parsed.quotedTablename(), database, reason);
  error = QgsDataSourceUri::removePassword(error);
  return nullptr;
}

bool PostgisLayerDialog::saveConnection(QString& error) const {
  const QString name = mSaveAs->text().trimmed();
  const QString uri = mUri->text().trimmed();
  if (name.isEmpty() || uri.isEmpty())
    return true;
  // The database only, without the table and without a password: like a
  // connection saved in QGIS without "store password".
  QgsDataSourceUri database(uri);
  database.setDataSource(QString(), QString(), QString());
  database.setPassword(QString());
  try {
    QgsProviderMetadata* metadata = QgsProviderRegistry::instance()->providerMetadata(kProvider);
    if (!metadata) {
      error = tr("PostGIS connections cannot be saved here.");
      return false;
    }
    std::unique_ptr<QgsAbstractProviderConnection> connection(
        metadata->createConnection(database.uri(false), {{QStringLiteral("saveUsername"), true}}));
    metadata->saveConnection(connection.get(), name);
  } catch (const QgsProviderConnectionException& e) {
    error = QStringLiteral("%1: %2").arg(name, e.what());
    return false;
  }
  return true;
}
