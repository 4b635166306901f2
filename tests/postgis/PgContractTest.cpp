// The host contract on database layers: the QGIS host over tables of the test
// server, with and without an index on every attribute column.
#include "contract/HostContract.h"

#include "PgQgisHost.h"
#include "PgServer.h"
#include "qgis/ui/FeatureMarks.h"

#include <QDate>
#include <qgshighlight.h>
#include <qgslayertree.h>
#include <qgsvectorlayer.h>

using namespace Larkhill;

namespace {

QString sqlType(int32_t type) {
  switch (type) {
  case esriFieldTypeSmallInteger:
    return QStringLiteral("smallint");
  case esriFieldTypeInteger:
    return QStringLiteral("integer");
  case esriFieldTypeSingle:
  case esriFieldTypeDouble:
    return QStringLiteral("double precision");
  case esriFieldTypeDate:
    return QStringLiteral("date");
  default:
    return QStringLiteral("text");
  }
}

QString sqlValue(const QVariant& value) {
  if (!value.isValid() || value.isNull())
    return QStringLiteral("NULL");
  if (value.type() == QVariant::Date)
    return QStringLiteral("DATE '%1'").arg(value.toDate().toString(Qt::ISODate));
  if (value.type() == QVariant::String)
    return QLatin1Char('\'') + value.toString().replace(QLatin1Char('\''), QStringLiteral("''")) +
           QLatin1Char('\'');
  return value.toString();
}

// A rectangle, or for a rectangle of no size a polygon whose corners all lie
// on the point, so that one polygon column holds both.
QString sqlShape(const HostContract::RowDef& row) {
  return QStringLiteral("ST_GeomFromText('POLYGON((%1 %2,%1 %4,%3 %4,%3 %2,%1 %2))', 3857)")
      .arg(row.xMin)
      .arg(row.yMin)
      .arg(row.xMax)
      .arg(row.yMax);
}

class PgFixture : public HostContract::Fixture {
public:
  explicit PgFixture(bool indexed) : mIndexed(indexed) {}
  ~PgFixture() override {
    mHost.reset();
    for (const QString& table : mTables)
      PgServer::exec(QStringLiteral("DROP TABLE IF EXISTS %1").arg(table));
  }

  Ref<IMxDocument> build(const std::vector<HostContract::LayerDef>& layers) override {
    mHost = std::make_unique<PgQgisHost>();
    for (const auto& layerDef : layers)
      add(layerDef, QString());
    return mHost->application->Document();
  }
  QStringList marks() override {
    QStringList marks;
    for (QgsHighlight* highlight : LarkhillQgis::FeatureMarks::highlights(mHost->canvas))
      marks.append(LarkhillQgis::FeatureMarks::description(highlight));
    return marks;
  }

private:
  void add(const HostContract::LayerDef& layerDef, const QString& group) {
    if (layerDef.kind == HostContract::LayerDef::Group) {
      // Groups nest in the layer tree; the contract's map is two levels deep at most.
      if (group.isEmpty()) {
        mHost->project.layerTreeRoot()->addGroup(layerDef.name);
      } else {
        mHost->project.layerTreeRoot()->findGroup(group)->addGroup(layerDef.name);
      }
      for (const auto& child : layerDef.children)
        add(child, layerDef.name);
      return;
    }
    static int sTable = 0;
    const QString table = QStringLiteral("contract_%1").arg(++sTable);
    mTables.append(table);
    const bool feature = layerDef.kind == HostContract::LayerDef::Feature;
    QStringList columns = {QStringLiteral("fid serial PRIMARY KEY")};
    if (feature)
      columns.append(QStringLiteral("geom geometry(Polygon, 3857)"));
    for (const auto& field : layerDef.fields)
      columns.append(QStringLiteral("\"%1\" %2").arg(field.name, sqlType(field.type)));
    if (!feature)
      columns.append(QStringLiteral("note text"));
    QString sql = QStringLiteral("DROP TABLE IF EXISTS %1; CREATE TABLE %1 (%2);")
                      .arg(table, columns.join(", "));
    for (const auto& row : layerDef.rows) {
      QStringList names = {QStringLiteral("geom")};
      QStringList values = {sqlShape(row)};
      for (size_t i = 0; i < layerDef.fields.size() && i < size_t(row.values.size()); ++i) {
        names.append(QLatin1Char('"') + layerDef.fields[i].name + QLatin1Char('"'));
        values.append(sqlValue(row.values[int(i)]));
      }
      sql += QStringLiteral("INSERT INTO %1 (%2) VALUES (%3);")
                 .arg(table, names.join(", "), values.join(", "));
    }
    if (mIndexed)
      for (const auto& field : layerDef.fields)
        sql += QStringLiteral("CREATE INDEX ON %1 (\"%2\");").arg(table, field.name);
    const QString error = PgServer::exec(sql);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();

    QgsVectorLayer* layer;
    if (group.isEmpty()) {
      layer = mHost->addLayer(PgServer::layerSource(table, feature), layerDef.name);
    } else {
      auto* node = mHost->project.layerTreeRoot()->findGroup(group);
      layer = new QgsVectorLayer(PgServer::layerSource(table, feature), layerDef.name,
                                 QStringLiteral("postgres"));
      mHost->project.addMapLayer(layer, false);
      node->addLayer(layer);
    }
    ASSERT_TRUE(layer->isValid()) << table.toStdString();
  }

  bool mIndexed;
  std::unique_ptr<PgQgisHost> mHost;
  QStringList mTables;
};

} // namespace

INSTANTIATE_TEST_SUITE_P(PostGIS, HostContractTest,
                         ::testing::Values(HostContract::FixtureFactory([] {
                                             return std::make_unique<PgFixture>(true);
                                           }),
                                           HostContract::FixtureFactory([] {
                                             return std::make_unique<PgFixture>(false);
                                           })));
