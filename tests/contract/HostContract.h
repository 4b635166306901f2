#pragma once

// The contract every host keeps, written once and run against each host
// through the host interface only. A host's test binary includes this header
// in exactly one source file, implements HostContract::Fixture, and
// instantiates the suite:
//
//   INSTANTIATE_TEST_SUITE_P(MyHost, HostContractTest,
//                            ::testing::Values(HostContract::FixtureFactory(&makeMyFixture)));
//
// The binary's main must start whatever the host needs (a QApplication, QGIS).

#include "mapdata/HostInterface.h"
#include "platform/ComError.h"
#include "platform/Variant.h"
#include "support/QtPrinters.h"

#include <QDate>
#include <QStringList>
#include <QVariantList>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

using namespace Larkhill;

namespace HostContract {

/** A field of a layer's table: its name and its type code (esriFieldType). */
struct FieldDef {
  QString name;
  int32_t type;
};

/**
 * A feature: the values of the described fields, in field order (an invalid
 * QVariant is null; dates are QDate), and its bounding rectangle. A rectangle
 * of no width and height is a point; any other is a polygon (a rectangle is
 * fine) with exactly that bounding rectangle.
 */
struct RowDef {
  QVariantList values;
  double xMin, yMin, xMax, yMax;
};

/**
 * A layer of the map. A feature layer has a table with the described fields
 * (the host may add its object id and shape fields before them) and the rows,
 * stored in this order. A group holds its children in order. Any other layer
 * is neither a group nor a feature layer (a raster, a table without shapes).
 */
struct LayerDef {
  enum Kind { Feature, Group, Other };
  Kind kind;
  QString name;
  std::vector<FieldDef> fields = {};
  std::vector<RowDef> rows = {};
  std::vector<LayerDef> children = {};
};

/**
 * What a host provides to run the contract. Each test makes a fresh fixture
 * and builds a fresh map; the fixture lives until the test ends.
 */
class Fixture {
public:
  virtual ~Fixture() = default;
  /**
   * Builds a document whose focus map holds the layers in order (groups nested
   * as described) and whose active view is the focus map (no page layout).
   * Returns the document; it and everything reached through it stay valid while
   * the fixture lives.
   */
  virtual Ref<IMxDocument> build(const std::vector<LayerDef>& layers) = 0;
  /**
   * The features the view shows marked now, each as "<layer> feature <object
   * id>", read from what the host draws (or records).
   */
  virtual QStringList marks() = 0;
};

using FixtureFactory = std::function<std::unique_ptr<Fixture>()>;

/** The number of rows of the Parcels layer of the standard map. */
constexpr int ParcelRows = 8;

/**
 * The standard map: a "Cadastre" group holding the feature layer "Parcels"
 * (PIN text, ZONE integer, SOLD date; rows with a null, a blank, a padded
 * value, a duplicate and an apostrophe, and one point) and the group
 * "Archive" with the feature layer "Old Parcels"; the top-level feature layer
 * "Roads"; and the other layer "Orthophoto".
 */
inline std::vector<LayerDef> standardMap() {
  const std::vector<FieldDef> parcelFields = {{QStringLiteral("PIN"), esriFieldTypeString},
                                              {QStringLiteral("ZONE"), esriFieldTypeInteger},
                                              {QStringLiteral("SOLD"), esriFieldTypeDate}};
  const std::vector<RowDef> parcelRows = {
      {{QStringLiteral("R-100"), 1, QDate(2020, 1, 5)}, 100, 200, 110, 220},
      {{QStringLiteral("R-200"), 2, QDate(2021, 6, 30)}, 120, 200, 130, 210},
      {{QVariant(), 3, QVariant()}, 140, 200, 150, 210},
      {{QStringLiteral("   "), 4, QDate(2019, 12, 31)}, 160, 200, 170, 210},
      {{QStringLiteral(" R-300 "), 5, QDate(2018, 2, 1)}, 180, 200, 190, 210},
      {{QStringLiteral("R-100"), 6, QDate(2022, 3, 3)}, 200, 200, 210, 210},
      {{QStringLiteral("O'BRIEN"), 7, QDate(2017, 7, 7)}, 220, 200, 230, 210},
      {{QStringLiteral("R-400"), 8, QDate(2016, 8, 8)}, 150, 250, 150, 250},
  };
  return {
      {LayerDef::Group,
       QStringLiteral("Cadastre"),
       {},
       {},
       {{LayerDef::Feature, QStringLiteral("Parcels"), parcelFields, parcelRows},
        {LayerDef::Group,
         QStringLiteral("Archive"),
         {},
         {},
         {{LayerDef::Feature,
           QStringLiteral("Old Parcels"),
           {{QStringLiteral("PIN"), esriFieldTypeString}},
           {{{QStringLiteral("X-1")}, 0, 0, 5, 5}}}}}}},
      {LayerDef::Feature,
       QStringLiteral("Roads"),
       {{QStringLiteral("NAME"), esriFieldTypeString}},
       {{{QStringLiteral("Main St")}, 0, 0, 300, 10}}},
      {LayerDef::Other, QStringLiteral("Orthophoto")},
  };
}

} // namespace HostContract

/** The contract suite, run once per host fixture. */
class HostContractTest : public ::testing::TestWithParam<HostContract::FixtureFactory> {
protected:
  void SetUp() override {
    mFixture = GetParam()();
    ASSERT_TRUE(mFixture);
    mDocument = mFixture->build(HostContract::standardMap());
    ASSERT_TRUE(mDocument);
    mMap = mDocument->FocusMap();
    ASSERT_TRUE(mMap);
  }

  /** The feature layer at a top-level position, or inside the group at that position. */
  Ref<IFeatureLayer> parcels() {
    auto cadastre = QueryInterface<ICompositeLayer>(mMap->Layer(0));
    return cadastre ? QueryInterface<IFeatureLayer>(cadastre->Layer(0)) : nullptr;
  }
  Ref<ITable> parcelTable() {
    auto layer = parcels();
    return layer ? layer->Table() : nullptr;
  }
  static Ref<IQueryFilter> where(const QString& clause) {
    auto filter = std::make_shared<QueryFilter>();
    filter->setWhereClause(clause);
    return filter;
  }
  /** The value of a field in each row the cursor gives, as text ("<null>" for null). */
  static QStringList texts(const Ref<ICursor>& cursor, int32_t field) {
    QStringList result;
    while (Ref<IRow> row = cursor->NextRow()) {
      const QVariant value = row->Value(field);
      result.append(isNullValue(value) ? QStringLiteral("<null>") : CStr(value));
    }
    return result;
  }
  QStringList pinsWhere(const QString& clause) {
    auto table = parcelTable();
    return texts(table->Search(where(clause), false), table->FindField(QStringLiteral("PIN")));
  }
  /** True when the clause is rejected by Search or by the first read. */
  static bool rejects(const Ref<ITable>& table, const QString& clause) {
    try {
      table->Search(where(clause), false)->NextRow();
      return false;
    } catch (const ComError&) {
      return true;
    }
  }
  static void expectBounds(const Ref<IEnvelope>& envelope, double xMin, double yMin, double xMax,
                           double yMax) {
    ASSERT_TRUE(envelope);
    EXPECT_NEAR(envelope->XMin(), xMin, 1e-6);
    EXPECT_NEAR(envelope->YMin(), yMin, 1e-6);
    EXPECT_NEAR(envelope->XMax(), xMax, 1e-6);
    EXPECT_NEAR(envelope->YMax(), yMax, 1e-6);
  }
  /** The feature of Parcels whose object id is that of the first row where PIN holds `pin`. */
  Ref<IFeature> parcelFeature(const QString& pin) {
    auto table = parcelTable();
    auto row = table->Search(where(QStringLiteral("PIN = '%1'").arg(pin)), true)->NextRow();
    if (!row)
      return nullptr;
    auto layer = parcels();
    const QString clause =
        layer->FeatureClass()->OIDFieldName() + QStringLiteral(" = ") + QString::number(row->OID());
    return layer->Search(where(clause), true)->NextFeature();
  }

  std::unique_ptr<HostContract::Fixture> mFixture;
  Ref<IMxDocument> mDocument;
  Ref<IMap> mMap;
};

TEST_P(HostContractTest, TopLevelLayersAndGroupsKeepTheirKindsNamesAndOrder) {
  ASSERT_EQ(mMap->LayerCount(), 3);
  QStringList names;
  for (int32_t i = 0; i < 3; ++i)
    names.append(mMap->Layer(i)->Name());
  EXPECT_EQ(names, QStringList({"Cadastre", "Roads", "Orthophoto"}));

  auto cadastre = QueryInterface<IGroupLayer>(mMap->Layer(0));
  ASSERT_TRUE(cadastre);
  EXPECT_FALSE(QueryInterface<IFeatureLayer>(mMap->Layer(0)));
  ASSERT_EQ(cadastre->Count(), 2);
  auto parcelLayer = QueryInterface<IFeatureLayer>(cadastre->Layer(0));
  ASSERT_TRUE(parcelLayer);
  EXPECT_EQ(parcelLayer->Name(), "Parcels");
  EXPECT_FALSE(QueryInterface<IGroupLayer>(cadastre->Layer(0)));

  auto archive = QueryInterface<IGroupLayer>(cadastre->Layer(1));
  ASSERT_TRUE(archive);
  EXPECT_EQ(archive->Name(), "Archive");
  ASSERT_EQ(archive->Count(), 1);
  auto old = QueryInterface<IFeatureLayer>(archive->Layer(0));
  ASSERT_TRUE(old);
  EXPECT_EQ(old->Name(), "Old Parcels");

  EXPECT_TRUE(QueryInterface<IFeatureLayer>(mMap->Layer(1)));
  EXPECT_FALSE(QueryInterface<IGroupLayer>(mMap->Layer(1)));
  EXPECT_FALSE(QueryInterface<IFeatureLayer>(mMap->Layer(2)));
  EXPECT_FALSE(QueryInterface<IGroupLayer>(mMap->Layer(2)));
}

TEST_P(HostContractTest, FieldsKeepTheirOrderAndTypesAndAreFoundIgnoringCase) {
  auto table = parcelTable();
  ASSERT_TRUE(table);
  auto fields = table->Fields();
  QStringList described;
  for (int32_t i = 0; i < fields->FieldCount(); ++i) {
    const QString name = fields->Field(i)->Name();
    if (QStringList({"PIN", "ZONE", "SOLD"}).contains(name))
      described.append(name);
  }
  EXPECT_EQ(described, QStringList({"PIN", "ZONE", "SOLD"}));

  const int32_t pin = table->FindField("pin");
  ASSERT_GE(pin, 0);
  EXPECT_EQ(fields->Field(pin)->Name(), "PIN");
  EXPECT_EQ(fields->Field(pin)->Type(), esriFieldTypeString);
  const int32_t zone = table->FindField("Zone");
  ASSERT_GE(zone, 0);
  EXPECT_TRUE(fields->Field(zone)->Type() == esriFieldTypeInteger ||
              fields->Field(zone)->Type() == esriFieldTypeSmallInteger);
  const int32_t sold = table->FindField("SOLD");
  ASSERT_GE(sold, 0);
  EXPECT_EQ(fields->Field(sold)->Type(), esriFieldTypeDate);
  EXPECT_LT(table->FindField("NOSUCH"), 0);
  EXPECT_LT(table->FindField("PIN "), 0);
}

TEST_P(HostContractTest, TheObjectIdFieldIsNamedByTheFeatureClassAndIsAFieldOfTheTable) {
  auto layer = parcels();
  auto table = layer->Table();
  ASSERT_TRUE(table->HasOID());
  auto featureClass = layer->FeatureClass();
  ASSERT_TRUE(featureClass);
  ASSERT_TRUE(featureClass->HasOID());
  const int32_t oidField = table->FindField(featureClass->OIDFieldName());
  ASSERT_GE(oidField, 0);
  EXPECT_EQ(table->Fields()->Field(oidField)->Type(), esriFieldTypeOID);

  QList<int32_t> oids;
  auto cursor = table->Search(nullptr, false);
  while (auto row = cursor->NextRow()) {
    EXPECT_EQ(row->Value(oidField).toLongLong(), row->OID());
    EXPECT_FALSE(oids.contains(row->OID()));
    oids.append(row->OID());
  }
  EXPECT_EQ(oids.size(), HostContract::ParcelRows);
}

TEST_P(HostContractTest, RowsComeInOrderWithNullsBlanksAndPaddingIntact) {
  auto table = parcelTable();
  EXPECT_EQ(table->RowCount(nullptr), HostContract::ParcelRows);
  EXPECT_EQ(table->RowCount(where("")), HostContract::ParcelRows);
  EXPECT_EQ(
      texts(table->Search(nullptr, false), table->FindField("PIN")),
      QStringList({"R-100", "R-200", "<null>", "   ", " R-300 ", "R-100", "O'BRIEN", "R-400"}));
  EXPECT_EQ(texts(table->Search(nullptr, false), table->FindField("ZONE")),
            QStringList({"1", "2", "3", "4", "5", "6", "7", "8"}));
  EXPECT_EQ(texts(table->Search(nullptr, true), table->FindField("SOLD")),
            QStringList({"2020-01-05", "2021-06-30", "<null>", "2019-12-31", "2018-02-01",
                         "2022-03-03", "2017-07-07", "2016-08-08"}));
}

TEST_P(HostContractTest, BulkValuesWhereOfferedEqualTheRowByRowValues) {
  auto table = parcelTable();
  const int32_t pin = table->FindField("PIN");
  auto cursor = table->Search(nullptr, false);
  auto bulk = QueryInterface<IBulkValueCursor>(cursor);
  if (!bulk)
    GTEST_SKIP() << "this host reads row by row only";
  QStringList values;
  QVector<QVariant> batch;
  while (bulk->NextValues(pin, 3, batch)) {
    EXPECT_LE(batch.size(), 3);
    for (const QVariant& value : batch)
      values.append(isNullValue(value) ? QStringLiteral("<null>") : CStr(value));
  }
  EXPECT_EQ(values, texts(table->Search(nullptr, false), pin));
}

TEST_P(HostContractTest, BulkTextsWhereOfferedAreTheTextsOfTheRows) {
  auto table = parcelTable();
  const int32_t pin = table->FindField("PIN");
  auto texts = QueryInterface<IBulkTextCursor>(table->Search(nullptr, false));
  if (!texts)
    GTEST_SKIP() << "this host hands out no text in bulk";
  EXPECT_FALSE(texts->HasTextValues(table->FindField("ZONE")));
  ASSERT_TRUE(texts->HasTextValues(pin));
  QStringList values;
  TextBatch batch;
  while (texts->NextTexts(pin, 3, batch)) {
    EXPECT_LE(batch.size(), 3);
    for (int i = 0; i < batch.size(); ++i)
      values.append(batch.isNull(i) ? QStringLiteral("<null>") : batch.toQString(i));
  }
  // A whole-table read may come straight from the data source, in its order.
  QStringList rows = HostContractTest::texts(table->Search(nullptr, false), pin);
  values.sort();
  rows.sort();
  EXPECT_EQ(values, rows);
}

TEST_P(HostContractTest, SearchesUnderstandEachClauseFormTheComponentBuilds) {
  EXPECT_EQ(pinsWhere("PIN = 'R-100'"), QStringList({"R-100", "R-100"}));
  EXPECT_EQ(pinsWhere("pin = ' R-300 '"), QStringList({" R-300 "}));
  EXPECT_EQ(pinsWhere("PIN = 'R-300'"), QStringList());
  EXPECT_EQ(pinsWhere("PIN = 'O''BRIEN'"), QStringList({"O'BRIEN"}));
  EXPECT_EQ(pinsWhere("ZONE = 7"), QStringList({"O'BRIEN"}));
  EXPECT_EQ(pinsWhere("SOLD = #2020-01-05#"), QStringList({"R-100"}));
  EXPECT_EQ(pinsWhere("PIN = 'NOPE'"), QStringList());
  EXPECT_EQ(parcelTable()->RowCount(where("PIN = 'R-100'")), 2);
}

TEST_P(HostContractTest, AClauseTheDataSourceCannotReadIsAFailure) {
  auto table = parcelTable();
  EXPECT_TRUE(rejects(table, "PIN = 'O'BRIEN'"));
  EXPECT_TRUE(rejects(table, "NOSUCH = 1"));
  EXPECT_TRUE(rejects(table, "SOLD = #not a date#"));
}

TEST_P(HostContractTest, TheObjectIdClauseFetchesExactlyThatFeatureWithItsShape) {
  auto table = parcelTable();
  auto cursor = table->Search(where("PIN = 'R-200'"), true);
  auto row = cursor->NextRow();
  ASSERT_TRUE(row);
  const int32_t oid = row->OID();
  auto layer = parcels();
  auto features = layer->Search(
      where(layer->FeatureClass()->OIDFieldName() + " = " + QString::number(oid)), true);
  auto feature = features->NextFeature();
  ASSERT_TRUE(feature);
  EXPECT_EQ(feature->OID(), oid);
  EXPECT_EQ(CStr(feature->Value(table->FindField("PIN"))), "R-200");
  EXPECT_FALSE(features->NextFeature());
  expectBounds(feature->Shape()->Envelope(), 120, 200, 130, 210);
}

TEST_P(HostContractTest, EnvelopesAreBoundingRectanglesAndExpandAboutTheirCentre) {
  auto polygon = parcelFeature("R-100");
  ASSERT_TRUE(polygon);
  auto envelope = polygon->Shape()->Envelope();
  expectBounds(envelope, 100, 200, 110, 220);
  envelope->Expand(1.2, 1.2, true);
  expectBounds(envelope, 99, 198, 111, 222);
  envelope->Expand(1, 2, false);
  expectBounds(envelope, 98, 196, 112, 224);
  // Each call gives a new envelope: expanding one leaves the shape as it was.
  expectBounds(polygon->Shape()->Envelope(), 100, 200, 110, 220);

  auto point = parcelFeature("R-400");
  ASSERT_TRUE(point);
  auto pointEnvelope = point->Shape()->Envelope();
  expectBounds(pointEnvelope, 150, 250, 150, 250);
  pointEnvelope->Expand(1.2, 1.2, true);
  expectBounds(pointEnvelope, 150, 250, 150, 250);
}

TEST_P(HostContractTest, TheActiveViewIsTheFocusMapAndShowsTheExtentItIsGiven) {
  auto view = mDocument->ActiveView();
  ASSERT_TRUE(view);
  EXPECT_FALSE(QueryInterface<IPageLayout>(view));
  EXPECT_TRUE(QueryInterface<IActiveView>(mMap));
  ASSERT_TRUE(view->FocusMap());
  EXPECT_EQ(view->FocusMap()->LayerCount(), 3);

  auto target = parcelFeature("R-100")->Shape()->Envelope();
  target->Expand(1.2, 1.2, true);
  view->setExtent(target);
  view->Refresh();
  // A host may widen the extent to its window's shape; it shows at least the
  // rectangle asked for, about the same centre.
  auto shown = view->Extent();
  ASSERT_TRUE(shown);
  EXPECT_LE(shown->XMin(), 99 + 1e-6);
  EXPECT_LE(shown->YMin(), 198 + 1e-6);
  EXPECT_GE(shown->XMax(), 111 - 1e-6);
  EXPECT_GE(shown->YMax(), 222 - 1e-6);
  EXPECT_NEAR((shown->XMin() + shown->XMax()) / 2, 105, 1e-3);
  EXPECT_NEAR((shown->YMin() + shown->YMax()) / 2, 210, 1e-3);
}

TEST_P(HostContractTest, TheViewMarksTheFeatureItIsGivenInPlaceOfTheMarkBefore) {
  auto highlight = QueryInterface<IFeatureHighlight>(mDocument->ActiveView());
  ASSERT_TRUE(highlight);
  auto layer = parcels();
  // Of the two rows that hold R-100 the first is the one a search finds.
  auto first = parcelFeature("R-100");
  ASSERT_TRUE(first);
  highlight->HighlightFeature(layer, first);
  EXPECT_EQ(mFixture->marks(), QStringList{"Parcels feature " + QString::number(first->OID())});
  auto point = parcelFeature("R-400");
  ASSERT_TRUE(point);
  highlight->HighlightFeature(layer, point);
  EXPECT_EQ(mFixture->marks(), QStringList{"Parcels feature " + QString::number(point->OID())});

  EXPECT_THROW(highlight->HighlightFeature(nullptr, first), ComError);
  EXPECT_THROW(highlight->HighlightFeature(layer, nullptr), ComError);
}
