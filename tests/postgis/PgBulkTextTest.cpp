// A text column of a database table read in bulk: straight from the server
// with COPY where QGIS would show the same texts, through QGIS otherwise.
#include "PgQgisHost.h"
#include "PgServer.h"

#include "shared/LarkhillGIS_Public.h"
#include "mapdata/LarkhillGIS_ArcMap.h"
#include "platform/ComError.h"
#include "qgis/readers/DirectColumnReader.h"
#include "qgis/common/HostErrors.h"
#include "qgis/database/DatabaseLimit.h"
#include "qgis/readers/PgColumnReader.h"
#include "qgis/readers/PgParallelColumnReader.h"
#include "support/TableTexts.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <optional>
#include <set>
#include <qgsvectorlayer.h>

using namespace Larkhill;

using namespace LarkhillQgis;

namespace {

/** The tests' small tables are copied in two halves as large ones are. */
constexpr long long kSplitSmallTables = 2;

class PgBulkTextTest : public ::testing::Test {
protected:
  void SetUp() override {
    // Values COPY writes with escapes: tab, line ends, backslashes; and
    // blanks, nulls, letters beyond ASCII, an apostrophe.
    const QString error = PgServer::exec(QStringLiteral(
        "DROP TABLE IF EXISTS bulk_text; "
        "CREATE TABLE bulk_text (fid integer PRIMARY KEY, pin text, code varchar(12), n integer, "
        "geom geometry(Polygon, 3857)); "
        "INSERT INTO bulk_text VALUES "
        "(1, '12-034-0056', 'A', 1), (2, NULL, NULL, 2), (3, '', 'B', 3), (4, '  ', 'C', 4), "
        "(5, E'tab\\there', 'D', 5), (6, E'two\\nlines\\r', 'E', 6), (7, E'back\\\\slash\\\\N', "
        "'F', 7), (8, '\\N', 'G', 8), (9, 'Åß-9', 'H', 9), (10, 'O''BRIEN', 'I', 10), "
        "(11, ' r-7 ', 'J', 11); "
        "UPDATE bulk_text SET geom = ST_MakeEnvelope(n * 100, 0, n * 100 + 90, 90, 3857)"));
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    mLayer = mHost.addLayer(PgServer::layerSource(QStringLiteral("bulk_text")),
                            QStringLiteral("Parcels"));
    ASSERT_TRUE(mLayer && mLayer->isValid());
  }

  Texts byTexts(const QString& field) {
    const Ref<ITable> table = tableOf();
    return table ? textsInBulk(table, field, 4) : Texts();
  }
  Texts byRows(const QString& field) {
    const Ref<ITable> table = tableOf();
    return table ? textsByRows(table, field) : Texts();
  }
  Ref<ITable> tableOf() {
    const Ref<IFeatureLayer> layer = LarkhillGIS_ArcMap::FindLayer(QStringLiteral("Parcels"));
    EXPECT_TRUE(layer);
    return layer ? layer->Table() : nullptr;
  }
  static std::multiset<std::optional<std::string>> unordered(const Texts& texts) {
    return {texts.begin(), texts.end()};
  }

  void TearDown() override {
    if (mServerDown)
      PgServer::up();
  }

  PgQgisHost mHost;
  QgsVectorLayer* mLayer = nullptr;
  bool mServerDown = false;
};

} // namespace

TEST_F(PgBulkTextTest, ATableIsCopiedStraightWithTheTextsQgisGives) {
  EXPECT_TRUE(DirectColumnReader::open(mLayer, mLayer->fields().indexOf("pin")));
  EXPECT_TRUE(DirectColumnReader::open(mLayer, mLayer->fields().indexOf("code")));
  const Texts expected = {"12-034-0056",  std::nullopt,     "",    "  ",   "tab\there",
                          "two\nlines\r", "back\\slash\\N", "\\N", "Åß-9", "O'BRIEN",
                          " r-7 "};
  // The server may hand rows out in any order; the list sorts them anyway.
  EXPECT_EQ(unordered(byTexts("pin")), unordered(expected));
  EXPECT_EQ(unordered(byRows("pin")), unordered(expected));
  EXPECT_EQ(unordered(byTexts("code")), unordered(byRows("code")));
}

TEST_F(PgBulkTextTest, ATableOfManyPagesIsCopiedInTwoHalvesInTheOrderOfOneCopy) {
  const QString error = PgServer::exec(QStringLiteral(
      "DROP TABLE IF EXISTS bulk_pages; "
      "CREATE TABLE bulk_pages AS SELECT n AS fid, CASE WHEN n % 97 = 0 THEN NULL "
      "WHEN n % 89 = 0 THEN E'tab\\t' || n ELSE 'P-' || (n * 7919 % 3000) END AS pin, "
      "repeat('o', 200) AS owner, "
      "ST_MakeEnvelope(n, 0, n + 1, 1, 3857)::geometry(Polygon, 3857) AS geom "
      "FROM generate_series(1, 3000) AS n; "
      "ALTER TABLE bulk_pages ADD PRIMARY KEY (fid)"));
  ASSERT_TRUE(error.isEmpty()) << error.toStdString();
  QgsVectorLayer* pages =
      mHost.addLayer(PgServer::layerSource(QStringLiteral("bulk_pages")), QStringLiteral("Pages"));
  ASSERT_TRUE(pages && pages->isValid());
  const int pin = pages->fields().indexOf("pin");
  auto all = [](DirectColumnReader& reader) {
    Texts texts;
    TextBatch batch;
    while (reader.next(500, batch))
      for (int i = 0; i < batch.size(); ++i)
        texts.push_back(batch.isNull(i) ? std::nullopt : std::optional<std::string>(batch.text(i)));
    return texts;
  };
  const auto halves = PgParallelColumnReader::open(pages, pin, kSplitSmallTables);
  ASSERT_TRUE(halves);
  const Texts split = all(*halves);
  const auto one = PgColumnReader::open(pages, pin);
  ASSERT_TRUE(one);
  EXPECT_EQ(split, all(*one));
  ASSERT_EQ(split.size(), 3000u);
  const Ref<ITable> table = LarkhillGIS_ArcMap::FindLayer(QStringLiteral("Pages"))->Table();
  EXPECT_EQ(unordered(split), unordered(textsByRows(table, QStringLiteral("pin"))));
}

// A column the server reads from its index alone is split at the middle value
// of its statistics: the halves come in the index's order, as one COPY's do.
class PgSplitByValueTest : public PgBulkTextTest {
protected:
  void TearDown() override {
    PgServer::exec(QStringLiteral("ALTER DATABASE larkhill RESET standard_conforming_strings"));
    PgBulkTextTest::TearDown();
  }
  /**
   * Makes bulk_keys with 3,000 IDs, each the text `prefix` (SQL) and a
   * number, and expects its halves to come in the order of its index.
   */
  void expectHalvesInIndexOrder(const QString& prefix) {
    // Wide rows make the index the smaller read.
    QString error = PgServer::exec(
        QStringLiteral("DROP TABLE IF EXISTS bulk_keys; "
                       "CREATE TABLE bulk_keys AS SELECT n AS fid, %1 || (n * 7919 % 3000) AS pin, "
                       "repeat('o', 1800) AS owner, "
                       "ST_MakeEnvelope(n, 0, n + 1, 1, 3857)::geometry(Polygon, 3857) AS geom "
                       "FROM generate_series(1, 3000) AS n; "
                       "ALTER TABLE bulk_keys ADD PRIMARY KEY (fid); "
                       "ALTER TABLE bulk_keys ALTER pin SET NOT NULL; "
                       "CREATE INDEX bulk_keys_pin ON bulk_keys (pin)")
            .arg(prefix));
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    // The server reads a column from an index alone only over pages marked
    // all-visible; here the first vacuum of the new table leaves them unmarked
    // and the second marks them.
    for (const char* vacuum : {"VACUUM (FREEZE, ANALYZE) bulk_keys", "VACUUM bulk_keys"}) {
      error = PgServer::exec(QString::fromLatin1(vacuum));
      ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }
    QgsVectorLayer* keys =
        mHost.addLayer(PgServer::layerSource(QStringLiteral("bulk_keys")), QStringLiteral("Keys"));
    ASSERT_TRUE(keys && keys->isValid());
    const auto halves =
        PgParallelColumnReader::open(keys, keys->fields().indexOf("pin"), kSplitSmallTables);
    ASSERT_TRUE(halves);
    Texts split;
    TextBatch batch;
    while (halves->next(500, batch))
      for (int i = 0; i < batch.size(); ++i)
        split.push_back(std::string(batch.text(i)));
    Texts ordered;
    for (const QString& pin :
         PgServer::column(QStringLiteral("SELECT pin FROM bulk_keys ORDER BY pin")))
      ordered.push_back(pin.toStdString());
    ASSERT_EQ(ordered.size(), 3000u);
    EXPECT_EQ(split, ordered);
  }
};

TEST_F(PgSplitByValueTest, AnIndexedColumnIsCopiedInTwoHalvesSplitByValue) {
  // Every ID holds an apostrophe, so the middle value does too.
  expectHalvesInIndexOrder(QStringLiteral("'P'''"));
}

// The middle value is the table's data: on a server that reads backslashes in
// strings as escapes, an ID that tries to end the SQL literal it goes into is
// still only a value, and nothing runs but the COPY.
TEST_F(PgSplitByValueTest, AMiddleValueThatTriesToEndItsLiteralIsOnlyAValue) {
  const QString error = PgServer::exec(
      QStringLiteral("DROP TABLE IF EXISTS injected; "
                     "ALTER DATABASE larkhill SET standard_conforming_strings = off"));
  ASSERT_TRUE(error.isEmpty()) << error.toStdString();
  expectHalvesInIndexOrder(
      QStringLiteral("$$M\\') TO STDOUT; COMMIT; CREATE TABLE injected AS SELECT 1; --$$"));
  EXPECT_EQ(PgServer::column(QStringLiteral("SELECT to_regclass('injected') IS NULL")),
            QStringList{QStringLiteral("t")});
}

TEST_F(PgBulkTextTest, EditsAndSubsetFiltersAreReadThroughQgis) {
  ASSERT_TRUE(mLayer->setSubsetString(QStringLiteral("n >= 9")));
  EXPECT_FALSE(DirectColumnReader::open(mLayer, mLayer->fields().indexOf("pin")));
  const Texts subset = {"Åß-9", "O'BRIEN", " r-7 "};
  EXPECT_EQ(unordered(byTexts("pin")), unordered(subset));

  ASSERT_TRUE(mLayer->setSubsetString(QString()));
  ASSERT_TRUE(mLayer->startEditing());
  ASSERT_TRUE(mLayer->changeAttributeValue(1, mLayer->fields().indexOf("pin"), "EDITED"));
  EXPECT_FALSE(DirectColumnReader::open(mLayer, mLayer->fields().indexOf("pin")));
  const Texts edited = byTexts("pin");
  EXPECT_EQ(std::count(edited.begin(), edited.end(), std::optional<std::string>("EDITED")), 1);
  EXPECT_EQ(unordered(edited), unordered(byRows("pin")));
  mLayer->rollBack();
}

TEST_F(PgBulkTextTest, TheRowCountIsKeptUntilTheLayerSaysItsRowsChanged) {
  EXPECT_EQ(tableOf()->RowCount(nullptr), 11);
  // A row another program adds counts after QGIS's reload of the layer, as in QGIS's own count.
  ASSERT_TRUE(PgServer::exec(QStringLiteral("INSERT INTO bulk_text (fid, pin, n) VALUES (12, 'X', 12)"))
                  .isEmpty());
  EXPECT_EQ(tableOf()->RowCount(nullptr), 11);
  mLayer->reload();
  EXPECT_EQ(tableOf()->RowCount(nullptr), 12);

  // A feature saved through the layer, and a new filter, count at once.
  ASSERT_TRUE(mLayer->startEditing());
  QgsFeature added(mLayer->fields());
  added.setAttribute(QStringLiteral("fid"), 13);
  added.setAttribute(QStringLiteral("pin"), QStringLiteral("ADDED"));
  added.setAttribute(QStringLiteral("n"), 13);
  ASSERT_TRUE(mLayer->addFeature(added));
  ASSERT_TRUE(mLayer->commitChanges());
  EXPECT_EQ(tableOf()->RowCount(nullptr), 13);
  ASSERT_TRUE(mLayer->setSubsetString(QStringLiteral("n >= 9")));
  EXPECT_EQ(tableOf()->RowCount(nullptr), 5);
}

TEST_F(PgBulkTextTest, AServerThatStopsDuringTheCopyIsAFailureNotAShortList) {
  // More text than the connection can hold in its buffers.
  const QString error = PgServer::exec(
      QStringLiteral("DROP TABLE IF EXISTS bulk_many; "
                     "CREATE TABLE bulk_many AS SELECT n AS fid, repeat('x', 40) || n AS pin, "
                     "ST_MakeEnvelope(n, 0, n + 1, 1, 3857)::geometry(Polygon, 3857) AS geom "
                     "FROM generate_series(1, 600000) AS n; "
                     "ALTER TABLE bulk_many ADD PRIMARY KEY (fid)"));
  ASSERT_TRUE(error.isEmpty()) << error.toStdString();
  QgsVectorLayer* many =
      mHost.addLayer(PgServer::layerSource(QStringLiteral("bulk_many")), QStringLiteral("Many"));
  ASSERT_TRUE(many && many->isValid());
  ASSERT_TRUE(DirectColumnReader::open(many, many->fields().indexOf("pin")));

  const Ref<ITable> table = LarkhillGIS_ArcMap::FindLayer(QStringLiteral("Many"))->Table();
  const auto cursor = QueryInterface<IBulkTextCursor>(table->Search(nullptr, false));
  const int32_t pin = table->FindField(QStringLiteral("pin"));
  TextBatch batch;
  ASSERT_TRUE(cursor->NextTexts(pin, 8192, batch));
  int read = batch.size();
  PgServer::down();
  mServerDown = true;
  try {
    while (cursor->NextTexts(pin, 8192, batch))
      read += batch.size();
    ADD_FAILURE() << "the read ended as though complete after " << read << " rows";
  } catch (const ComError& failure) {
    EXPECT_EQ(failure.number(), HostErrors::DataSourceUnavailable);
    EXPECT_EQ(failure.description().toStdString(), DatabaseLimit::closedText().toStdString());
    EXPECT_LT(read, 600000);
  }
}
