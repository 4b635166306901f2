// The QGIS host adapters on generated GeoPackage and shapefile towns.
#include "QgisTestData.h"
#include "QgisTestHost.h"
#include "shared/LarkhillGIS_Public.h"
#include "mapdata/LarkhillGIS_ArcMap.h"
#include "mapdata/RecordingList.h"
#include "platform/ComError.h"
#include "platform/Variant.h"
#include "qgis/readers/DbfColumnReader.h"
#include "qgis/common/HostErrors.h"
#include "qgis/adapters/HostGeometry.h"
#include "qgis/adapters/HostLayers.h"

#include "support/Fixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <ogrsf_frmts.h>
#include <qgsfeatureiterator.h>
#include <qgsvectordataprovider.h>
#include <qgsvectorlayer.h>

using namespace Larkhill;

using namespace LarkhillQgis;

namespace {

Ref<IQueryFilter> where(const QString& clause) {
  auto filter = std::make_shared<QueryFilter>();
  filter->setWhereClause(clause);
  return filter;
}

QStringList fieldNames(const Ref<ITable>& table) {
  QStringList names;
  const Ref<IFields> fields = table->Fields();
  for (int32_t i = 0; i < fields->FieldCount(); ++i)
    names << fields->Field(i)->Name();
  return names;
}

QList<int32_t> fieldTypes(const Ref<ITable>& table) {
  QList<int32_t> types;
  const Ref<IFields> fields = table->Fields();
  for (int32_t i = 0; i < fields->FieldCount(); ++i)
    types << fields->Field(i)->Type();
  return types;
}

QStringList values(const Ref<ITable>& table, const QString& clause, const QString& field) {
  QStringList result;
  const int32_t position = table->FindField(field);
  const Ref<ICursor> cursor = table->Search(where(clause), false);
  while (const Ref<IRow> row = cursor->NextRow())
    result << (isNullValue(row->Value(position)) ? QStringLiteral("<null>")
                                                 : CStr(row->Value(position)));
  return result;
}

int32_t errorNumber(const std::function<void()>& call) {
  try {
    call();
  } catch (const ComError& e) {
    return e.number();
  }
  return 0;
}

class QgisHostTest : public ::testing::Test {
protected:
  static QString gpkg() {
    return QDir(QgisTestData::town(300)).filePath(QStringLiteral("town.gpkg"));
  }
  static QString shapefile() {
    return QDir(QgisTestData::town(300)).filePath(QStringLiteral("parcels.shp"));
  }

  QgisTestHost host;
};

} // namespace

TEST(QgisEnvelopeTest, ExpandsAboutTheCentre) {
  HostEnvelope envelope(QgsRectangle(100, 200, 110, 220), QgsCoordinateReferenceSystem());
  envelope.Expand(1.2, 1.2, true);
  EXPECT_NEAR(envelope.XMin(), 99, 1e-9);
  EXPECT_NEAR(envelope.YMin(), 198, 1e-9);
  EXPECT_NEAR(envelope.XMax(), 111, 1e-9);
  EXPECT_NEAR(envelope.YMax(), 222, 1e-9);
  envelope.Expand(5, 1, false);
  EXPECT_NEAR(envelope.XMin(), 94, 1e-9);
  EXPECT_NEAR(envelope.YMax(), 223, 1e-9);
}

TEST_F(QgisHostTest, TheLayerTreeIsTheFocusMap) {
  host.readProject(QDir(QgisTestData::town(300)).filePath(QStringLiteral("town.qgs")));
  const Ref<IMap> map = host.map();
  ASSERT_EQ(map->LayerCount(), 2);
  const Ref<ILayer> cadastre = map->Layer(0);
  EXPECT_EQ(cadastre->Name(), QStringLiteral("Cadastre"));
  const auto group = QueryInterface<ICompositeLayer>(cadastre);
  ASSERT_TRUE(group);
  EXPECT_TRUE(QueryInterface<IGroupLayer>(cadastre));
  EXPECT_FALSE(QueryInterface<IFeatureLayer>(cadastre));
  QStringList children;
  for (int16_t i = 0; i < group->Count(); ++i)
    children << group->Layer(i)->Name() +
                    (QueryInterface<IFeatureLayer>(group->Layer(i)) ? QStringLiteral(":feature")
                     : QueryInterface<IGroupLayer>(group->Layer(i)) ? QStringLiteral(":group")
                                                                    : QStringLiteral(":other"));
  EXPECT_EQ(children, (QStringList{"Address Points:feature", "Parcels:feature", "Buildings:feature",
                                   "Roads:feature", "Utilities:group"}));
  // A table without geometry is a layer of another kind.
  const Ref<ILayer> owners = map->Layer(1);
  EXPECT_EQ(owners->Name(), QStringLiteral("Owners"));
  EXPECT_FALSE(QueryInterface<IFeatureLayer>(owners));
  EXPECT_FALSE(QueryInterface<ICompositeLayer>(owners));
  EXPECT_LT(errorNumber([&] { map->Layer(2); }), 0);
  EXPECT_LT(errorNumber([&] { group->Layer(5); }), 0);
}

TEST_F(QgisHostTest, AnInvalidLayerIsAnotherKindOfLayer) {
  // A project whose parcels file is gone when it opens.
  const QString folder = QDir(QgisTestData::town(300)).filePath(QStringLiteral("copy-missing"));
  QDir().mkpath(folder);
  const QString source = QDir(QgisTestData::town(300)).filePath(QStringLiteral("town.qgs"));
  QFile::remove(folder + QStringLiteral("/town.qgs"));
  ASSERT_TRUE(QFile::copy(source, folder + QStringLiteral("/town.qgs")));
  host.readProject(folder + QStringLiteral("/town.qgs"));
  const auto group = QueryInterface<ICompositeLayer>(host.map()->Layer(0));
  ASSERT_TRUE(group);
  ASSERT_EQ(group->Count(), 5);
  EXPECT_EQ(group->Layer(1)->Name(), QStringLiteral("Parcels"));
  EXPECT_FALSE(QueryInterface<IFeatureLayer>(group->Layer(1)));
  EXPECT_FALSE(host.featureLayer(QStringLiteral("Parcels")));
}

TEST_F(QgisHostTest, FieldsHaveTheObjectIdAndShapeFirst) {
  host.addLayer(gpkg() + QStringLiteral("|layername=parcels"), QStringLiteral("Parcels"));
  host.addLayer(shapefile(), QStringLiteral("ParcelsShp"));
  const QStringList attributes = {"PARCEL_ID", "OWNER", "ADDRESS",
                                  "SALE_DATE", "ACRES", "LAND_USE"};
  const QList<int32_t> types = {6, 7, 4, 4, 4, 5, 3, 4};

  const Ref<IFeatureLayer> geopackage = host.featureLayer(QStringLiteral("parcels"));
  ASSERT_TRUE(geopackage);
  EXPECT_EQ(fieldNames(geopackage->Table()), (QStringList{"fid", "Shape"} + attributes));
  EXPECT_EQ(fieldTypes(geopackage->Table()), types);
  EXPECT_EQ(geopackage->FeatureClass()->OIDFieldName(), QStringLiteral("fid"));
  EXPECT_TRUE(geopackage->Table()->HasOID());

  // Shapefiles have no key column: the feature id stands in as "FID".
  const Ref<IFeatureLayer> shp = host.featureLayer(QStringLiteral("ParcelsShp"));
  ASSERT_TRUE(shp);
  EXPECT_EQ(fieldNames(shp->Table()), (QStringList{"FID", "Shape"} + attributes));
  EXPECT_EQ(fieldTypes(shp->Table()), types);
  EXPECT_EQ(shp->FeatureClass()->OIDFieldName(), QStringLiteral("FID"));

  EXPECT_EQ(shp->Table()->FindField(QStringLiteral("parcel_id")), 2);
  EXPECT_EQ(shp->Table()->FindField(QStringLiteral("shape")), 1);
  EXPECT_EQ(shp->Table()->FindField(QStringLiteral("PARCEL_ID ")), -1);
}

TEST_F(QgisHostTest, WhereClausesFindTheSameRowsInBothFormats) {
  host.addLayer(gpkg() + QStringLiteral("|layername=parcels"), QStringLiteral("Parcels"));
  host.addLayer(shapefile(), QStringLiteral("ParcelsShp"));
  for (const QString& name : {QStringLiteral("Parcels"), QStringLiteral("ParcelsShp")}) {
    SCOPED_TRACE(name.toStdString());
    const Ref<ITable> table = host.featureLayer(name)->Table();
    EXPECT_EQ(values(table, QStringLiteral("PARCEL_ID = 'R0000012'"), QStringLiteral("PARCEL_ID")),
              QStringList{"R0000012"});
    EXPECT_EQ(
        values(table, QStringLiteral("parcel_id = 'L''ANSE-0042'"), QStringLiteral("OWNER")).size(),
        1);
    EXPECT_TRUE(values(table, QStringLiteral("PARCEL_ID = 'r0000012'"), QStringLiteral("PARCEL_ID"))
                    .isEmpty());
    EXPECT_TRUE(
        values(table, QStringLiteral("PARCEL_ID = 'no such parcel'"), QStringLiteral("PARCEL_ID"))
            .isEmpty());
    EXPECT_EQ(table->RowCount(nullptr), 300);
    EXPECT_EQ(table->RowCount(where(QString())), 300);
    EXPECT_EQ(table->RowCount(where(QStringLiteral("LAND_USE = 'VACANT'"))),
              values(table, QString(), QStringLiteral("LAND_USE")).count(QStringLiteral("VACANT")));

    // The apostrophe left as it is cannot be read, as a data source would refuse it.
    EXPECT_EQ(errorNumber(
                  [&] { table->Search(where(QStringLiteral("PARCEL_ID = 'L'ANSE-0042'")), true); }),
              HostErrors::InvalidSql);
    EXPECT_EQ(errorNumber([&] { table->Search(where(QStringLiteral("NO_FIELD = 'x'")), true); }),
              HostErrors::FieldNotFound);
    EXPECT_EQ(errorNumber([&] { table->Search(where(QStringLiteral("PARCEL_ID = 12")), true); }),
              HostErrors::InvalidSql);

    // Dates compare as dates, whatever form the literal has.
    const QStringList dates = values(table, QString(), QStringLiteral("SALE_DATE"));
    const QString first = dates.value(1);
    ASSERT_NE(first, QStringLiteral("<null>"));
    const int expected = dates.count(first);
    const QDate d = QDate::fromString(first, Qt::ISODate);
    EXPECT_EQ(
        values(table, QStringLiteral("SALE_DATE = #%1#").arg(first), QStringLiteral("SALE_DATE"))
            .size(),
        expected);
    EXPECT_EQ(values(table,
                     QStringLiteral("SALE_DATE = #%1#").arg(d.toString(QStringLiteral("M/d/yyyy"))),
                     QStringLiteral("SALE_DATE"))
                  .size(),
              expected);
  }
}

TEST_F(QgisHostTest, AnObjectIdClauseReadsOneFeatureById) {
  host.addLayer(gpkg() + QStringLiteral("|layername=parcels"), QStringLiteral("Parcels"));
  host.addLayer(shapefile(), QStringLiteral("ParcelsShp"));
  for (const QString& name : {QStringLiteral("Parcels"), QStringLiteral("ParcelsShp")}) {
    SCOPED_TRACE(name.toStdString());
    const Ref<IFeatureLayer> layer = host.featureLayer(name);
    const Ref<ITable> table = layer->Table();
    const Ref<IRow> row =
        table->Search(where(QStringLiteral("PARCEL_ID = 'R0000012'")), true)->NextRow();
    ASSERT_TRUE(row);
    const QString clause =
        QStringLiteral("%1 = %2").arg(layer->FeatureClass()->OIDFieldName()).arg(row->OID());
    const Ref<IFeatureCursor> features = layer->Search(where(clause), true);
    const Ref<IFeature> feature = features->NextFeature();
    ASSERT_TRUE(feature);
    EXPECT_EQ(feature->OID(), row->OID());
    EXPECT_EQ(CStr(feature->Value(table->FindField(QStringLiteral("PARCEL_ID")))),
              QStringLiteral("R0000012"));
    EXPECT_FALSE(features->NextFeature());
    // A parcel is 30 m by 40 m.
    const Ref<IEnvelope> box = feature->Shape()->Envelope();
    EXPECT_NEAR(box->XMax() - box->XMin(), 30.0, 1e-6);
    EXPECT_NEAR(box->YMax() - box->YMin(), 40.0, 1e-6);
    EXPECT_FALSE(
        layer
            ->Search(where(layer->FeatureClass()->OIDFieldName() + QStringLiteral(" = 999999")),
                     true)
            ->NextFeature());
    EXPECT_EQ(errorNumber([&] {
                layer->Search(
                    where(layer->FeatureClass()->OIDFieldName() + QStringLiteral(" = '3'")), true);
              }),
              HostErrors::InvalidSql);
  }
}

// A search by value remembers the rows it read, for the fetch by id after it;
// an edit in between must be seen.
TEST_F(QgisHostTest, AFeatureEditedAfterTheSearchIsFetchedAsItIsNow) {
  QgsVectorLayer* raw =
      host.addLayer(gpkg() + QStringLiteral("|layername=parcels"), QStringLiteral("Parcels"));
  const Ref<IFeatureLayer> layer = host.featureLayer(QStringLiteral("Parcels"));
  const Ref<IRow> row =
      layer->Table()->Search(where(QStringLiteral("PARCEL_ID = 'R0000012'")), true)->NextRow();
  ASSERT_TRUE(row);
  const QgsRectangle before = raw->getFeature(row->OID()).geometry().boundingBox();
  ASSERT_TRUE(raw->startEditing());
  QgsGeometry moved = raw->getFeature(row->OID()).geometry();
  moved.translate(1000.0, 0.0);
  ASSERT_TRUE(raw->changeGeometry(row->OID(), moved));
  const Ref<IFeature> feature =
      layer
          ->Search(where(layer->FeatureClass()->OIDFieldName() + QStringLiteral(" = ") +
                         QString::number(row->OID())),
                   true)
          ->NextFeature();
  ASSERT_TRUE(feature);
  EXPECT_NEAR(feature->Shape()->Envelope()->XMin(), before.xMinimum() + 1000.0, 1e-6);
  raw->rollBack();
}

// A shapefile without an attribute index is searched in its DBF file, which is
// read a megabyte at a time: the rows found there must be QGIS's own rows.
TEST_F(QgisHostTest, AShapefileSearchedInItsDbfFindsQgisRowsPastTheFirstMegabyte) {
  QTemporaryDir folder;
  const QString path = folder.filePath(QStringLiteral("many.shp"));
  {
    GDALDataset* dataset = GetGDALDriverManager()->GetDriverByName("ESRI Shapefile")->Create(
        path.toUtf8().constData(), 0, 0, 0, GDT_Unknown, nullptr);
    ASSERT_TRUE(dataset);
    OGRLayer* layer = dataset->CreateLayer("many", nullptr, wkbPoint, nullptr);
    OGRFieldDefn pin("PIN", OFTString), owner("OWNER", OFTString);
    pin.SetWidth(20);
    owner.SetWidth(80);
    ASSERT_EQ(layer->CreateField(&pin), OGRERR_NONE);
    ASSERT_EQ(layer->CreateField(&owner), OGRERR_NONE);
    // 101-byte records: a megabyte holds 10,381 of them.
    for (int i = 0; i < 25000; ++i) {
      OGRFeature feature(layer->GetLayerDefn());
      const QByteArray id = i == 7 || i == 21000 ? QByteArray("SHARED")
                            : i == 22000         ? QByteArray("shared")
                                                 : QStringLiteral("P-%1").arg(i).toLatin1();
      feature.SetField(0, id.constData());
      feature.SetField(1, QByteArray::number(i).constData());
      OGRPoint point(i, 0);
      feature.SetGeometry(&point);
      ASSERT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
    }
    GDALClose(dataset);
  }
  QgsVectorLayer* raw = host.addLayer(path, QStringLiteral("Many"));
  ASSERT_TRUE(DbfColumnReader::openForSearch(raw, raw->fields().indexOf(QStringLiteral("PIN"))));
  const Ref<ITable> table = host.featureLayer(QStringLiteral("Many"))->Table();
  const int32_t owner = table->FindField(QStringLiteral("OWNER"));
  auto owners = [&](const QString& clause) {
    QStringList found;
    const Ref<ICursor> cursor = table->Search(where(clause), true);
    while (const Ref<IRow> row = cursor->NextRow())
      found << QStringLiteral("%1:%2").arg(row->OID()).arg(CStr(row->Value(owner)));
    return found;
  };
  EXPECT_EQ(owners(QStringLiteral("PIN = 'SHARED'")), (QStringList{"7:7", "21000:21000"}));
  EXPECT_EQ(owners(QStringLiteral("PIN = 'P-24999'")), QStringList{"24999:24999"});
  EXPECT_EQ(owners(QStringLiteral("PIN = 'P-10381'")), QStringList{"10381:10381"});
  EXPECT_EQ(table->RowCount(where(QStringLiteral("PIN = 'shared'"))), 1);
}

TEST_F(QgisHostTest, RowsReadFieldsTheSearchDidNotFetch) {
  QgsVectorLayer* raw =
      host.addLayer(gpkg() + QStringLiteral("|layername=parcels"), QStringLiteral("Parcels"));
  const Ref<ITable> table = host.featureLayer(QStringLiteral("Parcels"))->Table();
  // The reference: every feature with every attribute, straight from QGIS.
  QList<QgsFeature> expected;
  QgsFeatureIterator it = raw->getFeatures();
  QgsFeature f;
  while (it.nextFeature(f))
    expected << f;
  ASSERT_EQ(expected.size(), 300);

  const int32_t id = table->FindField(QStringLiteral("PARCEL_ID"));
  const int32_t owner = table->FindField(QStringLiteral("OWNER"));
  const int32_t shape = table->FindField(QStringLiteral("Shape"));
  const int ownerAttribute = raw->fields().indexOf(QStringLiteral("OWNER"));
  const int idAttribute = raw->fields().indexOf(QStringLiteral("PARCEL_ID"));
  const Ref<ICursor> cursor = table->Search(nullptr, false);
  int n = 0;
  while (const Ref<IRow> row = cursor->NextRow()) {
    ASSERT_LT(n, expected.size());
    EXPECT_EQ(row->OID(), expected[n].id()) << n;
    // The owner is first asked for on the 3rd row, the shape on the 10th: the
    // rows after them must still come in order, with the right values.
    if (n >= 2)
      EXPECT_EQ(row->Value(owner), expected[n].attribute(ownerAttribute)) << n;
    if (n == 9)
      EXPECT_FALSE(row->Value(shape).toByteArray().isEmpty());
    EXPECT_EQ(row->Value(id), expected[n].attribute(idAttribute)) << n;
    ++n;
  }
  EXPECT_EQ(n, 300);
  // The town has one null ID, one empty and one of blanks.
  const QStringList ids = values(table, QString(), QStringLiteral("PARCEL_ID"));
  EXPECT_EQ(ids.count(QStringLiteral("<null>")), 1);
  EXPECT_EQ(ids.count(QString()), 1);
  EXPECT_EQ(ids.count(QStringLiteral("   ")), 1);
}

TEST_F(QgisHostTest, BulkValuesMatchRowByRowValues) {
  host.addLayer(shapefile(), QStringLiteral("ParcelsShp"));
  const Ref<ITable> table = host.featureLayer(QStringLiteral("ParcelsShp"))->Table();
  const int32_t id = table->FindField(QStringLiteral("PARCEL_ID"));
  QVector<QVariant> rowByRow;
  const Ref<ICursor> rows = table->Search(nullptr, false);
  while (const Ref<IRow> row = rows->NextRow())
    rowByRow << row->Value(id);

  const Ref<ICursor> cursor = table->Search(nullptr, false);
  QVector<QVariant> bulk;
  // The first row is read as a row, the rest in bulk, as a list fill does.
  bulk << cursor->NextRow()->Value(id);
  const auto reader = QueryInterface<IBulkValueCursor>(cursor);
  ASSERT_TRUE(reader);
  QVector<QVariant> chunk;
  while (reader->NextValues(id, 64, chunk)) {
    EXPECT_LE(chunk.size(), 64);
    bulk += chunk;
  }
  EXPECT_TRUE(chunk.isEmpty());
  EXPECT_EQ(bulk.size(), 300);
  EXPECT_EQ(bulk, rowByRow);
}

TEST_F(QgisHostTest, IntegerIdsWithAndWithoutAnIndex) {
  for (const QStringList& options :
       {QStringList{"--int-id"}, QStringList{"--int-id", "--no-index"}}) {
    SCOPED_TRACE(options.join(' ').toStdString());
    QgisTestHost local;
    const QString folder = QgisTestData::town(300, options);
    local.addLayer(QDir(folder).filePath(QStringLiteral("town.gpkg")) +
                       QStringLiteral("|layername=parcels"),
                   QStringLiteral("Parcels"));
    local.addLayer(QDir(folder).filePath(QStringLiteral("parcels.shp")),
                   QStringLiteral("ParcelsShp"));
    for (const QString& name : {QStringLiteral("Parcels"), QStringLiteral("ParcelsShp")}) {
      const Ref<ITable> table = local.featureLayer(name)->Table();
      EXPECT_EQ(fieldTypes(table).value(2), esriFieldTypeInteger);
      EXPECT_EQ(values(table, QStringLiteral("PARCEL_ID = 100036"), QStringLiteral("PARCEL_ID")),
                QStringList{"100036"});
      EXPECT_TRUE(values(table, QStringLiteral("PARCEL_ID = 100037"), QStringLiteral("PARCEL_ID"))
                      .isEmpty());
      EXPECT_TRUE(values(table, QStringLiteral("PARCEL_ID = 100036.5"), QStringLiteral("PARCEL_ID"))
                      .isEmpty());
      EXPECT_EQ(
          errorNumber([&] { table->Search(where(QStringLiteral("PARCEL_ID = '100036'")), true); }),
          HostErrors::InvalidSql);
    }
    EXPECT_EQ(QFile::exists(QDir(folder).filePath(QStringLiteral("parcels.ind"))),
              !options.contains("--no-index"));
  }
}

TEST_F(QgisHostTest, ARemovedLayerFailsWithAHostError) {
  QgsVectorLayer* raw = host.addLayer(shapefile(), QStringLiteral("ParcelsShp"));
  const Ref<IFeatureLayer> layer = host.featureLayer(QStringLiteral("ParcelsShp"));
  const Ref<ITable> table = layer->Table();
  host.project.removeMapLayer(raw);
  EXPECT_EQ(errorNumber([&] { table->RowCount(nullptr); }), HostErrors::DataSourceUnavailable);
  EXPECT_EQ(errorNumber([&] { layer->Search(nullptr, true); }), HostErrors::DataSourceUnavailable);
}

TEST_F(QgisHostTest, TextsInBulkAreTheConvertedValues) {
  auto* layer =
      new QgsVectorLayer(QStringLiteral("Point?crs=EPSG:26917&field=PIN:string&field=N:integer"),
                         QStringLiteral("Memory"), QStringLiteral("memory"));
  ASSERT_TRUE(layer->isValid());
  QgsFeatureList features;
  const QVariantList pins = {QStringLiteral("R-1"),      QVariant(QVariant::String),
                             QStringLiteral("  "),       QStringLiteral("Zoë-7"),
                             QStringLiteral("Ørsted 2"), QStringLiteral("r-1")};
  for (int i = 0; i < pins.size(); ++i) {
    QgsFeature f(layer->fields());
    f.setAttribute(0, pins[i]);
    f.setAttribute(1, i);
    f.setGeometry(QgsGeometry::fromPointXY(QgsPointXY(i, i)));
    features << f;
  }
  ASSERT_TRUE(layer->dataProvider()->addFeatures(features));
  host.project.addMapLayer(layer);
  const Ref<ITable> table = host.featureLayer(QStringLiteral("Memory"))->Table();
  const int32_t pin = table->FindField(QStringLiteral("PIN"));
  const auto cursor = QueryInterface<IBulkTextCursor>(table->Search(nullptr, false));
  ASSERT_TRUE(cursor);
  EXPECT_TRUE(cursor->HasTextValues(pin));
  EXPECT_FALSE(cursor->HasTextValues(table->FindField(QStringLiteral("N"))));
  EXPECT_FALSE(cursor->HasTextValues(table->FindField(QStringLiteral("FID"))));
  EXPECT_FALSE(cursor->HasTextValues(table->FindField(QStringLiteral("Shape"))));
  QStringList read;
  TextBatch batch;
  while (cursor->NextTexts(pin, 4, batch)) {
    EXPECT_LE(batch.size(), 4);
    for (int i = 0; i < batch.size(); ++i)
      read << (batch.isNull(i) ? QStringLiteral("<null>") : batch.toQString(i));
  }
  EXPECT_EQ(read, values(table, QString(), QStringLiteral("PIN")));
  EXPECT_EQ(read.value(3), QStringLiteral("Zoë-7"));
  EXPECT_EQ(read.size(), 6);
}

namespace {

/**
 * A parcel layer written through GDAL: a text field PIN, fields whose names
 * need quoting, real numbers that 15 digits do not give back and, where the
 * format has them, times that differ only in milliseconds; five rows.
 */
QString writeOddLayer(const QString& driverName, const QString& path) {
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(driverName.toLatin1().constData());
  if (!driver)
    return QString();
  GDALDataset* dataset = driver->Create(path.toUtf8().constData(), 0, 0, 0, GDT_Unknown, nullptr);
  if (!dataset)
    return QString();
  OGRSpatialReference crs;
  crs.importFromEPSG(3857);
  OGRLayer* layer = dataset->CreateLayer("odd", &crs, wkbPolygon, nullptr);
  const bool dates = driverName == QLatin1String("GPKG");
  for (const char* name : {"PIN", "PARCEL ID", "PARCEL-ID", "1ST", "A=B"}) {
    OGRFieldDefn field(name, OFTString);
    layer->CreateField(&field);
  }
  OGRFieldDefn area("AREA", OFTReal);
  layer->CreateField(&area);
  if (dates) {
    OGRFieldDefn sold("SOLD", OFTDateTime);
    layer->CreateField(&sold);
  }
  const double areas[] = {0.1 + 0.2, 1.0 / 3.0, -1234.5678901234567, 1.5, 98765.4321};
  for (int i = 0; i < 5; ++i) {
    OGRFeature feature(layer->GetLayerDefn());
    const QByteArray id = QStringLiteral("W-%1").arg(i).toLatin1();
    for (int f = 0; f < 5; ++f)
      feature.SetField(f, id.constData());
    feature.SetField(5, areas[i]);
    if (dates)
      feature.SetField(6, 2020, 1, 5, 12, 0, float(i) / 1000.0f, 100);
    OGRPolygon square;
    OGRLinearRing ring;
    ring.addPoint(i * 100.0, 0);
    ring.addPoint(i * 100.0 + 90, 0);
    ring.addPoint(i * 100.0 + 90, 90);
    ring.addPoint(i * 100.0, 90);
    ring.addPoint(i * 100.0, 0);
    square.addRing(&ring);
    feature.SetGeometry(&square);
    layer->CreateFeature(&feature);
  }
  GDALClose(dataset);
  return path;
}

class QgisOddValuesTest : public ComponentTest {
protected:
  void SetUp() override {
    ComponentTest::SetUp();
    gApplication = host.application;
    gDocument = host.application->Document();
  }
  void TearDown() override {
    gApplication.reset();
    gDocument.reset();
    ComponentTest::TearDown();
  }
  /** Lists the field as the search window does; each entry must find the parcel it came from. */
  void expectEachEntryFindsItsParcel(const QString& layerName, const QString& field,
                                     const QStringList& expected) {
    SCOPED_TRACE(field.toStdString());
    RecordingList list;
    LarkhillGIS_ArcMap::LoadListWithFieldValues(layerName, field, list, nullptr);
    if (!expected.isEmpty())
      EXPECT_EQ(list.items, expected);
    const Ref<IFeatureLayer> layer = LarkhillGIS_ArcMap::FindLayer(layerName);
    ASSERT_TRUE(layer);
    QStringList found;
    for (const QString& entry : list.items) {
      const Ref<IFeature> feature = LarkhillGIS_ArcMap::GetFeatureByValue(layer, field, entry);
      found << (feature ? QString::number(feature->OID()) : QStringLiteral("none"));
    }
    QStringList own;
    for (int i = 0; i < list.items.size(); ++i)
      own << QString::number(mFirstOid + i);
    EXPECT_EQ(found, own);
    EXPECT_TRUE(mMessages.texts.isEmpty()) << mMessages.texts.join(" | ").toStdString();
    mMessages.texts.clear();
  }

  QgisTestHost host;
  QTemporaryDir mFolder;
  int mFirstOid = 1;
};

} // namespace

TEST_F(QgisOddValuesTest, EveryListedValueFindsItsOwnParcelInAGeoPackageAndAShapefile) {
  const QString gpkg = writeOddLayer(QStringLiteral("GPKG"), mFolder.filePath("odd.gpkg"));
  ASSERT_FALSE(gpkg.isEmpty());
  host.addLayer(gpkg + QStringLiteral("|layername=odd"), QStringLiteral("Odd"));
  for (const char* field : {"PARCEL ID", "PARCEL-ID", "1ST", "A=B"})
    expectEachEntryFindsItsParcel("Odd", field, {"W-0", "W-1", "W-2", "W-3", "W-4"});
  expectEachEntryFindsItsParcel(
      "Odd", "AREA",
      {"0.30000000000000004", "0.3333333333333333", "-1234.5678901234567", "1.5", "98765.4321"});
  expectEachEntryFindsItsParcel("Odd", "SOLD",
                                {"2020-01-05 12:00:00", "2020-01-05 12:00:00.001",
                                 "2020-01-05 12:00:00.002", "2020-01-05 12:00:00.003",
                                 "2020-01-05 12:00:00.004"});

  const QString shp = writeOddLayer(QStringLiteral("ESRI Shapefile"), mFolder.filePath("odd.shp"));
  ASSERT_FALSE(shp.isEmpty());
  host.addLayer(shp, QStringLiteral("OddShp"));
  mFirstOid = 0; // a shapefile's feature ids count from 0
  for (const char* field : {"PARCEL ID", "PARCEL-ID", "1ST", "A=B", "AREA"})
    expectEachEntryFindsItsParcel("OddShp", field, {});
}

// A text that the GeoPackage holds with a NUL inside, or in bytes that are not
// UTF-8, is listed as QGIS reads it (cut at the NUL, a replacement character
// for the bad bytes) by the direct reader and QGIS's iteration alike, and a
// click on it finds its parcel.
TEST_F(QgisOddValuesTest, TextWithANulOrBytesThatAreNotUtf8FindsItsParcel) {
  const QString gpkg = writeOddLayer(QStringLiteral("GPKG"), mFolder.filePath("odd.gpkg"));
  ASSERT_FALSE(gpkg.isEmpty());
  GDALDataset* dataset = static_cast<GDALDataset*>(GDALOpenEx(
      gpkg.toUtf8().constData(), GDAL_OF_VECTOR | GDAL_OF_UPDATE, nullptr, nullptr, nullptr));
  ASSERT_TRUE(dataset);
  // W-1, a NUL and more; W-, a byte that is not UTF-8, and 3.
  dataset->ExecuteSQL("UPDATE odd SET PIN = CAST(X'572D3100787878' AS TEXT) WHERE fid = 2", nullptr,
                      nullptr);
  dataset->ExecuteSQL("UPDATE odd SET PIN = CAST(X'572DFF33' AS TEXT) WHERE fid = 4", nullptr,
                      nullptr);
  GDALClose(dataset);
  auto* layer = host.addLayer(gpkg + QStringLiteral("|layername=odd"), QStringLiteral("Odd"));
  const QStringList shown = {QStringLiteral("W-0"), QStringLiteral("W-1"), QStringLiteral("W-2"),
                             QStringLiteral("W-\uFFFD3"), QStringLiteral("W-4")};
  // The whole table comes through the direct reader; with a subset, through QGIS.
  expectEachEntryFindsItsParcel("Odd", "PIN", shown);
  ASSERT_TRUE(layer->setSubsetString(QStringLiteral("fid > 0")));
  expectEachEntryFindsItsParcel("Odd", "PIN", shown);
}
