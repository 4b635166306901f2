#include "PostgisLayerDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <memory>
#include <qgsabstractdatabaseproviderconnection.h>
#include <qgsdatabasetablecombobox.h>
#include <qgsdatasourceuri.h>
#include <qgsproviderconnectioncombobox.h>
#include <qgsprovidermetadata.h>
#include <qgsproviderregistry.h>
#include <qgsvectorlayer.h>

namespace {
const QString kProvider = QStringLiteral("postgres");
}

PostgisLayerDialog::PostgisLayerDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("postgisLayerDialog"));
  setWindowTitle(tr("Add PostGIS Layer"));
  auto* form = new QFormLayout(this);
  mConnections = new QgsProviderConnectionComboBox(kProvider, this);
  mConnections->setObjectName(QStringLiteral("connection"));
  mTables =
      new QgsDatabaseTableComboBox(kProvider, mConnections->currentConnection(), QString(), this);
  mTables->setObjectName(QStringLiteral("table"));
  connect(mConnections, &QgsProviderConnectionComboBox::connectionChanged, mTables,
          [this](const QString& connection) { mTables->setConnectionName(connection, kProvider); });
  mUri = new QLineEdit(this);
  mUri->setObjectName(QStringLiteral("uri"));
  mUri->setPlaceholderText(
      QStringLiteral("host=... dbname=... user=... table=\"public\".\"parcels\" (geom)"));
  form->addRow(tr("Saved connection"), mConnections);
  form->addRow(tr("Table"), mTables);
  form->addRow(new QLabel(tr("or a data source URI:"), this));
  form->addRow(tr("URI"), mUri);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);
  resize(520, sizeHint().height());
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
      uri = database->tableUri(mTables->currentSchema(), table);
    } catch (const QgsProviderConnectionException& e) {
      error = QStringLiteral("%1: %2").arg(connectionName, e.what());
      return nullptr;
    }
  }
  const QgsDataSourceUri parsed(uri);
  const QString name = parsed.table().isEmpty() ? tr("PostGIS layer") : parsed.table();
  auto layer = std::make_unique<QgsVectorLayer>(uri, name, kProvider);
  if (!layer->isValid()) {
    error = QStringLiteral("%1: %2").arg(
        parsed.table().isEmpty() ? QgsDataSourceUri::removePassword(uri) : name,
        layer->error().summary().isEmpty() ? tr("the layer cannot be opened")
                                           : layer->error().summary());
    return nullptr;
  }
  return layer.release();
}
