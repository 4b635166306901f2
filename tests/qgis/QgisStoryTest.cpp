// The whole story through the map application: a scripted session configures
// the tool, lists the IDs, finds one with Go, clicks another and zooms, on
// generated GeoPackage and shapefile towns with text and integer IDs, with
// and without an attribute index, also zipped (on the command line, or opened
// by the File menu's code), with the found parcel's attributes shown beside
// the map. The map as a viewer: its reference system, the layer tree's
// Remove, the identify tool. Then the session itself: map tools, typing any
// text, a failing step, waits.
#include "QgisTestData.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cpl_vsi.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>
#include <gdal_utils.h>
#include <gtest/gtest.h>
#include <qgsfeatureiterator.h>
#include <qgsvectorlayer.h>

namespace {

struct Session {
  int exitCode = -1;
  QString transcript;
};

/** Runs the map application on the files with a script; `dataHome` keeps the configuration between
 * runs. */
Session runScript(const QString& script, const QStringList& files, const QString& dataHome,
                  bool keepConfig) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("story.script"));
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(script.toUtf8());
  file.close();
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
  if (keepConfig)
    env.insert(QStringLiteral("LARKHILL_SCRIPT_KEEP_CONFIG"), QStringLiteral("1"));
  process.setProcessEnvironment(env);
  process.start(QStringLiteral(LARKHILL_MAP_APP),
                QStringList{QStringLiteral("--script"), path} + files);
  Session session;
  if (!process.waitForFinished(120000)) {
    process.kill();
    process.waitForFinished();
  }
  session.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  session.transcript = QString::fromUtf8(process.readAllStandardOutput());
  return session;
}

/** Zips the files of `folder` whose names start with `prefix` into `zipPath`, through GDAL. */
void zipFiles(const QString& folder, const QString& prefix, const QString& zipPath) {
  const QStringList names =
      QDir(folder).entryList({prefix + QLatin1Char('*')}, QDir::Files, QDir::Name);
  ASSERT_FALSE(names.isEmpty());
  for (const QString& name : names) {
    QFile in(QDir(folder).filePath(name));
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QByteArray bytes = in.readAll();
    const QByteArray inside = QFile::encodeName(QStringLiteral("/vsizip/%1/%2").arg(zipPath, name));
    VSILFILE* out = VSIFOpenL(inside.constData(), "wb");
    ASSERT_NE(out, nullptr) << inside.constData();
    EXPECT_EQ(VSIFWriteL(bytes.constData(), 1, bytes.size(), out), size_t(bytes.size()));
    VSIFCloseL(out);
  }
}

/** The text of the n-th (from 1) step starting with `step`, to the next step. */
QString nthStep(const QString& transcript, const QString& step, int n) {
  int at = -1;
  for (int i = 0; i < n; ++i) {
    at = transcript.indexOf(QStringLiteral("\n> ") + step, at + 1);
    if (at < 0)
      return QString();
  }
  const int end = transcript.indexOf(QStringLiteral("\n> "), at + 3);
  return transcript.mid(at, end < 0 ? -1 : end - at);
}

/** The text between the step line starting with `step` and the next step. */
QString afterStep(const QString& transcript, const QString& step) {
  return nthStep(transcript, step, 1);
}

/** Whether the step starting with `step` printed `text`; the whole transcript is shown when not. */
::testing::AssertionResult stepShows(const QString& transcript, const QString& step,
                                     const QString& text) {
  if (afterStep(transcript, step).contains(text))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "no \"" << text.toStdString() << "\" after \"" << step.toStdString() << "\" in:\n"
         << transcript.toStdString();
}

QString selectedEntry(const QString& text) {
  const QRegularExpression re(
      QStringLiteral("LIST frmMain/List1 \\([^)]*\\): \\d+ entries, selected: \"([^\"]*)\""));
  QString last;
  auto it = re.globalMatch(text);
  while (it.hasNext())
    last = it.next().captured(1);
  return last;
}

QgsRectangle zoomed(const QString& text) {
  const QRegularExpression re(QStringLiteral(
      "ZOOM: extent set to \\(([-\\d.]+), ([-\\d.]+)\\) - \\(([-\\d.]+), ([-\\d.]+)\\)"));
  const auto match = re.match(text);
  if (!match.hasMatch())
    return QgsRectangle();
  return QgsRectangle(match.captured(1).toDouble(), match.captured(2).toDouble(),
                      match.captured(3).toDouble(), match.captured(4).toDouble());
}

/** The parcel's rectangle enlarged 1.2 times, read straight from the file. */
QgsRectangle expectedZoom(const QString& uri, const QString& id) {
  QgsVectorLayer layer(uri, QStringLiteral("check"), QStringLiteral("ogr"));
  QgsFeature feature;
  QgsFeatureIterator it = layer.getFeatures();
  while (it.nextFeature(feature))
    if (!feature.attribute(QStringLiteral("PARCEL_ID")).isNull() &&
        feature.attribute(QStringLiteral("PARCEL_ID")).toString() == id) {
      QgsRectangle box = feature.geometry().boundingBox();
      box.scale(1.2);
      return box;
    }
  return QgsRectangle();
}

/** The feature id of the first feature, in the file's order, whose ID is `id`. */
QgsFeatureId firstFeatureId(const QString& uri, const QString& id) {
  QgsVectorLayer layer(uri, QStringLiteral("check"), QStringLiteral("ogr"));
  QgsFeature feature;
  QgsFeatureIterator it = layer.getFeatures();
  while (it.nextFeature(feature))
    if (feature.attribute(QStringLiteral("PARCEL_ID")).toString() == id)
      return feature.id();
  return FID_NULL;
}

QString highlightLine(const QString& uri, const QString& id) {
  return QStringLiteral("HIGHLIGHT: parcels feature %1\n").arg(firstFeatureId(uri, id));
}

/** Whether the text says that the parcels layer's feature `fid` was marked (any letter case). */
bool marks(const QString& text, QgsFeatureId fid) {
  return text.contains(QStringLiteral("HIGHLIGHT: parcels feature %1\n").arg(fid),
                       Qt::CaseInsensitive);
}

/**
 * Whether the identify panel showed feature `fid` of the parcels layer (any letter case) with the
 * parcel ID `id`.
 */
bool showsAttributes(const QString& text, QgsFeatureId fid, const QString& id) {
  const QRegularExpression line(
      QStringLiteral("ATTRIBUTES: parcels feature %1: ([^\n]*)\n").arg(fid),
      QRegularExpression::CaseInsensitiveOption);
  const auto match = line.match(text);
  return match.hasMatch() && (QStringLiteral(", ") + match.captured(1) + QLatin1Char(','))
                                 .contains(QStringLiteral(", PARCEL_ID=%1,").arg(id));
}

/** How the parcels reach the application: their file on the command line, zipped on the command
 * line, or zipped and opened by an "open" step on the town's project. */
enum class Opened { File, ZipOnCommandLine, ZipByOpenStep };

struct StoryCase {
  const char* name;
  bool shapefile;
  QStringList options;
  QString typed;
  QString clicked;
  int entries;
  Opened opened = Opened::File;
};

class QgisStoryTest : public ::testing::TestWithParam<StoryCase> {};

TEST_P(QgisStoryTest, ConfigureListGoClickAndZoom) {
  const StoryCase& c = GetParam();
  const QString folder = QgisTestData::town(300, c.options);
  const QString file = QDir(folder).filePath(c.shapefile ? QStringLiteral("parcels.shp")
                                                         : QStringLiteral("town.gpkg"));
  const QString layer = QStringLiteral("parcels");
  const QString uri = c.shapefile ? file : file + QStringLiteral("|layername=parcels");
  QTemporaryDir data;
  QStringList files{file};
  QString opening;
  if (c.opened != Opened::File) {
    const QString zip = data.filePath(QStringLiteral("parcels.zip"));
    zipFiles(folder, c.shapefile ? QStringLiteral("parcels.") : QStringLiteral("town.gpkg"), zip);
    files = QStringList{zip};
    if (c.opened == Opened::ZipByOpenStep) {
      // The project names its layer "Parcels"; the zipped shapefile's is "parcels".
      files = QStringList{QDir(folder).filePath(QStringLiteral("town.qgs"))};
      opening = QStringLiteral("open %1\n").arg(zip);
    }
  }
  const QString script = opening + QStringLiteral("press LarkhillParcelSearch\n"
                                                  "pick frmConfig/List1 %1\n"
                                                  "pick frmConfig/List2 PARCEL_ID\n"
                                                  "click frmConfig/Command1\n"
                                                  "type frmMain/Text1 %2\n"
                                                  "click frmMain/Command4\n"
                                                  "pick frmMain/List1 %3\n")
                                       .arg(layer, c.typed, c.clicked);
  const Session session = runScript(script, files, data.path(), false);
  const std::string transcript = session.transcript.toStdString();
  ASSERT_EQ(session.exitCode, 0) << transcript;

  // Not configured: the two-line message, then the configuration window.
  const QString first = afterStep(session.transcript, QStringLiteral("press"));
  EXPECT_TRUE(first.contains(QStringLiteral("MESSAGE BOX: Tool is not configured.\n"
                                            "             Configuration window will now load.")))
      << transcript;
  EXPECT_TRUE(first.contains(QStringLiteral("WINDOW SHOWN: LarkhillParcelSearch - Configure")))
      << transcript;

  // Continue: the search window lists every non-blank ID.
  const QString configured =
      afterStep(session.transcript, QStringLiteral("click frmConfig/Command1"));
  EXPECT_TRUE(
      configured.contains(QStringLiteral("WINDOW HIDDEN: LarkhillParcelSearch - Configure")))
      << transcript;
  EXPECT_TRUE(configured.contains(QStringLiteral("PANEL SHOWN: LarkhillParcelSearch, docked right")))
      << transcript;
  EXPECT_TRUE(configured.contains(
      QStringLiteral("LIST frmMain/List1 (LarkhillParcelSearch): %1 entries").arg(c.entries)))
      << transcript;

  // Go selects an entry that begins with the typed text (any letter case) and zooms to it.
  const QString go = afterStep(session.transcript, QStringLiteral("click frmMain/Command4"));
  const QString found = selectedEntry(go);
  EXPECT_TRUE(found.startsWith(c.typed, Qt::CaseInsensitive)) << transcript;
  const QgsRectangle goZoom = zoomed(go);
  const QgsRectangle goExpected = expectedZoom(uri, found);
  EXPECT_FALSE(goExpected.isEmpty()) << found.toStdString();
  EXPECT_NEAR(goZoom.xMinimum(), goExpected.xMinimum(), 0.01) << transcript;
  EXPECT_NEAR(goZoom.yMaximum(), goExpected.yMaximum(), 0.01) << transcript;
  // The parcel zoomed to is marked on the map; its ID is its own, so the status bar says nothing.
  // A project's "Parcels" comes before an opened file's "parcels": it is the layer searched.
  const QString searched =
      c.opened == Opened::ZipByOpenStep
          ? QDir(folder).filePath(QStringLiteral("town.gpkg|layername=parcels"))
          : uri;
  EXPECT_TRUE(marks(go, firstFeatureId(searched, found))) << transcript;
  EXPECT_FALSE(go.contains(QStringLiteral("parcels have the ID"))) << transcript;
  // Its attributes show beside the map.
  EXPECT_TRUE(showsAttributes(go, firstFeatureId(searched, found), found)) << transcript;

  // A click on another entry zooms to that parcel.
  const QString click = afterStep(session.transcript, QStringLiteral("pick frmMain/List1"));
  EXPECT_EQ(selectedEntry(click), c.clicked) << transcript;
  const QgsRectangle clickZoom = zoomed(click);
  const QgsRectangle clickExpected = expectedZoom(uri, c.clicked);
  EXPECT_NEAR(clickZoom.xMinimum(), clickExpected.xMinimum(), 0.01) << transcript;
  EXPECT_NEAR(clickZoom.yMinimum(), clickExpected.yMinimum(), 0.01) << transcript;
  EXPECT_NEAR(clickZoom.xMaximum(), clickExpected.xMaximum(), 0.01) << transcript;
  EXPECT_NEAR(clickZoom.yMaximum(), clickExpected.yMaximum(), 0.01) << transcript;
  EXPECT_TRUE(marks(click, firstFeatureId(searched, c.clicked))) << transcript;
  EXPECT_TRUE(showsAttributes(click, firstFeatureId(searched, c.clicked), c.clicked)) << transcript;
  EXPECT_FALSE(session.transcript.contains(QStringLiteral("SCRIPT ERROR"))) << transcript;
}

INSTANTIATE_TEST_SUITE_P(
    Towns, QgisStoryTest,
    ::testing::Values(
        StoryCase{"GeoPackageTextIndexed", false, {}, "r00001", "R0000014", 297},
        StoryCase{"ShapefileTextIndexed", true, {}, "01-000-00", "R0000012", 297},
        StoryCase{
            "GeoPackageIntegerNoIndex", false, {"--int-id", "--no-index"}, "1003", "100036", 299},
        StoryCase{
            "ShapefileIntegerNoIndex", true, {"--int-id", "--no-index"}, "1006", "100036", 299},
        StoryCase{"GeoPackageTextNoIndex", false, {"--no-index"}, "R000003", "01-000-0005", 297},
        StoryCase{"ShapefileIntegerIndexed", true, {"--int-id"}, "10089", "100036", 299},
        StoryCase{"ZippedGeoPackageOnTheCommandLine",
                  false,
                  {},
                  "r00001",
                  "R0000014",
                  297,
                  Opened::ZipOnCommandLine},
        StoryCase{"ZippedShapefileOpenedByAStep",
                  true,
                  {},
                  "01-000-00",
                  "R0000012",
                  297,
                  Opened::ZipByOpenStep}),
    [](const ::testing::TestParamInfo<StoryCase>& info) { return std::string(info.param.name); });

class QgisSharedIdStoryTest : public ::testing::TestWithParam<bool> {};

TEST_P(QgisSharedIdStoryTest, ASharedIdIsCountedAndADockedSearchPanelStaysDocked) {
  // Parcels 49 and 50 of the town share the ID 01-000-0049 (a condominium).
  const bool shapefile = GetParam();
  const QString folder = QgisTestData::town(300, {QStringLiteral("--shared-ids")});
  const QString file = QDir(folder).filePath(shapefile ? QStringLiteral("parcels.shp")
                                                       : QStringLiteral("town.gpkg"));
  const QString uri = shapefile ? file : file + QStringLiteral("|layername=parcels");
  QTemporaryDir data;
  const Session session = runScript(QStringLiteral("press LarkhillParcelSearch\n"
                                                   "pick frmConfig/List1 parcels\n"
                                                   "pick frmConfig/List2 PARCEL_ID\n"
                                                   "click frmConfig/Command1\n"
                                                   "type frmMain/Text1 01-000-0049\n"
                                                   "click frmMain/Command4\n"
                                                   "dock LarkhillParcelSearch right\n"
                                                   "type frmMain/Text1 01-000-0051\n"
                                                   "click frmMain/Command4\n"
                                                   "click frmMain/Command1\n"
                                                   "pick frmConfig/List1 parcels\n"
                                                   "pick frmConfig/List2 PARCEL_ID\n"
                                                   "click frmConfig/Command1\n"
                                                   "type frmMain/Text1 01-000-0049\n"
                                                   "click frmMain/Command4\n"),
                                    {file}, data.path(), false);
  const std::string transcript = session.transcript.toStdString();
  ASSERT_EQ(session.exitCode, 0) << transcript;
  EXPECT_FALSE(session.transcript.contains(QStringLiteral("SCRIPT ERROR"))) << transcript;
  const QString shared = highlightLine(uri, QStringLiteral("01-000-0049"));
  const QString counted =
      QStringLiteral("STATUS: 2 parcels have the ID 01-000-0049; the first is shown.\n");

  // Go on the shared ID marks the first of its parcels and says there are two, without a box.
  const QString firstGo = afterStep(session.transcript, QStringLiteral("click frmMain/Command4"));
  EXPECT_TRUE(firstGo.contains(shared)) << transcript;
  EXPECT_TRUE(firstGo.contains(counted)) << transcript;
  EXPECT_FALSE(session.transcript.contains(QStringLiteral("MESSAGE BOX: 2"))) << transcript;
  EXPECT_TRUE(
      session.transcript.contains(QStringLiteral("PANEL LarkhillParcelSearch: docked right")))
      << transcript;

  // An ID of its own marks its parcel; the count is gone from the status bar.
  const int secondAt = session.transcript.indexOf(QStringLiteral("01-000-0051"));
  const QString secondGo =
      afterStep(session.transcript.mid(secondAt), QStringLiteral("click frmMain/Command4"));
  EXPECT_TRUE(secondGo.contains(highlightLine(uri, QStringLiteral("01-000-0051")))) << transcript;
  EXPECT_FALSE(secondGo.contains(QStringLiteral("STATUS:"))) << transcript;

  // Configure > Continue makes a new search window: it opens docked where the user left the
  // last one, not centred as a floating window, and finds the shared ID again.
  const int continued =
      session.transcript.lastIndexOf(QStringLiteral("\n> click frmConfig/Command1"));
  const QString again = session.transcript.mid(continued);
  EXPECT_TRUE(again.contains(QStringLiteral("PANEL SHOWN: LarkhillParcelSearch, docked right")))
      << transcript;
  EXPECT_FALSE(again.contains(QStringLiteral("WINDOW SHOWN: LarkhillParcelSearch\n")))
      << transcript;
  EXPECT_EQ(again.count(shared), 1) << transcript;
  EXPECT_EQ(again.count(counted), 1) << transcript;
}

INSTANTIATE_TEST_SUITE_P(Towns, QgisSharedIdStoryTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Shapefile" : "GeoPackage");
                         });

// IDs as a county's records hold them, in table order: four parcels share
// 01-000-0049 (a condominium). Parcel i covers (100 i, 0) - (100 i + 50, 40).
const char* const kTaxIds[] = {"01-001-0105", "01-000-0049", "AB-12/C",      "01-000-0049",
                               "X01-001-0105", "01-000-0049", "01-001-0106", "01-000-0049",
                               "R0000012"};

/** Writes the parcels of kTaxIds into a GeoPackage or a shapefile in `folder`; returns its path. */
QString writeTaxParcels(const QString& folder, bool shapefile) {
  const QString path = QDir(folder).filePath(shapefile ? QStringLiteral("parcels.shp")
                                                       : QStringLiteral("tax.gpkg"));
  GDALDataset* dataset =
      GetGDALDriverManager()
          ->GetDriverByName(shapefile ? "ESRI Shapefile" : "GPKG")
          ->Create(path.toUtf8().constData(), 0, 0, 0, GDT_Unknown, nullptr);
  EXPECT_TRUE(dataset);
  if (!dataset)
    return QString();
  OGRSpatialReference srs;
  srs.importFromEPSG(26917);
  OGRLayer* layer = dataset->CreateLayer("parcels", &srs, wkbPolygon, nullptr);
  OGRFieldDefn id("PARCEL_ID", OFTString);
  id.SetWidth(20);
  EXPECT_EQ(layer->CreateField(&id), OGRERR_NONE);
  int i = 0;
  for (const char* text : kTaxIds) {
    OGRFeature feature(layer->GetLayerDefn());
    feature.SetField(0, text);
    const double x = 600000.0 + 100.0 * i++, y = 4300000.0;
    OGRLinearRing ring;
    ring.addPoint(x, y);
    ring.addPoint(x + 50, y);
    ring.addPoint(x + 50, y + 40);
    ring.addPoint(x, y + 40);
    ring.addPoint(x, y);
    OGRPolygon polygon;
    polygon.addRing(&ring);
    feature.SetGeometry(&polygon);
    EXPECT_EQ(layer->CreateFeature(&feature), OGRERR_NONE);
  }
  GDALClose(dataset);
  return path;
}

/** The features holding the ID, in table order: their ids and rectangles. */
QList<QPair<QgsFeatureId, QgsRectangle>> featuresHolding(const QString& uri, const QString& id) {
  QList<QPair<QgsFeatureId, QgsRectangle>> found;
  QgsVectorLayer layer(uri, QStringLiteral("check"), QStringLiteral("ogr"));
  QgsFeature feature;
  QgsFeatureIterator it = layer.getFeatures();
  while (it.nextFeature(feature))
    if (feature.attribute(QStringLiteral("PARCEL_ID")).toString() == id)
      found.append({feature.id(), feature.geometry().boundingBox()});
  return found;
}

void expectZoomTo(const QString& text, QgsRectangle box, const std::string& transcript) {
  box.scale(1.2);
  const QgsRectangle zoom = zoomed(text);
  EXPECT_NEAR(zoom.xMinimum(), box.xMinimum(), 0.01) << transcript;
  EXPECT_NEAR(zoom.yMinimum(), box.yMinimum(), 0.01) << transcript;
  EXPECT_NEAR(zoom.xMaximum(), box.xMaximum(), 0.01) << transcript;
  EXPECT_NEAR(zoom.yMaximum(), box.yMaximum(), 0.01) << transcript;
}

class QgisFindingStoryTest : public ::testing::TestWithParam<bool> {};

TEST_P(QgisFindingStoryTest, ForgivingMatchesTheThirdParcelOfASharedIdAndAPastedList) {
  const bool shapefile = GetParam();
  QTemporaryDir data;
  const QString file = writeTaxParcels(data.path(), shapefile);
  const QString uri = shapefile ? file : file + QStringLiteral("|layername=parcels");
  const Session session = runScript(QStringLiteral("press LarkhillParcelSearch\n"
                                                   "pick frmConfig/List1 parcels\n"
                                                   "pick frmConfig/List2 PARCEL_ID\n"
                                                   "click frmConfig/Command1\n"
                                                   "type frmMain/Text1 01-000-0049\n"
                                                   "click frmMain/Command4\n"
                                                   "key frmMain/List1 down\n"
                                                   "key frmMain/List1 down\n"
                                                   "locate pid 01001 0105\n"
                                                   "locate pid ab 12 c\n"
                                                   "locate 0105\n"
                                                   "locate-pick 2\n"
                                                   "select-list 01-001-0105\\nAB-12/C\\n"
                                                   "01-000-0049\\nNOT-THERE\n"),
                                    {file}, data.path(), false);
  const std::string transcript = session.transcript.toStdString();
  ASSERT_EQ(session.exitCode, 0) << transcript;
  EXPECT_FALSE(session.transcript.contains(QStringLiteral("SCRIPT ERROR"))) << transcript;
  // The first press's "not configured" is the only message.
  EXPECT_EQ(session.transcript.count(QStringLiteral("MESSAGE BOX")), 1) << transcript;
  const auto shared = featuresHolding(uri, QStringLiteral("01-000-0049"));
  ASSERT_EQ(shared.size(), 4);

  // The third row of the shared ID is its third parcel in the table's order.
  const QString third = nthStep(session.transcript, QStringLiteral("key"), 2);
  EXPECT_TRUE(third.contains(QStringLiteral("STATUS: Parcel 3 of 4 with the ID 01-000-0049.\n")))
      << transcript;
  EXPECT_TRUE(marks(third, shared[2].first)) << transcript;
  expectZoomTo(third, shared[2].second, transcript);
  EXPECT_TRUE(nthStep(session.transcript, QStringLiteral("key"), 1)
                  .contains(QStringLiteral("STATUS: Parcel 2 of 4 with the ID 01-000-0049.\n")))
      << transcript;

  // The locator forgives other spacing, dashes and letter case, and finds IDs that hold the text.
  EXPECT_TRUE(stepShows(session.transcript, QStringLiteral("locate pid 01001"),
                        QStringLiteral("LOCATOR: 2 results: \"01-001-0105\", \"X01-001-0105\"\n")));
  EXPECT_TRUE(stepShows(session.transcript, QStringLiteral("locate pid ab"),
                        QStringLiteral("LOCATOR: 1 results: \"AB-12/C\"\n")));
  EXPECT_TRUE(stepShows(session.transcript, QStringLiteral("locate 0105"),
                        QStringLiteral("LOCATOR: 2 results: \"01-001-0105\", \"X01-001-0105\"\n")));
  const QString picked = afterStep(session.transcript, QStringLiteral("locate-pick"));
  const auto x0105 = featuresHolding(uri, QStringLiteral("X01-001-0105"));
  ASSERT_EQ(x0105.size(), 1);
  EXPECT_TRUE(marks(picked, x0105[0].first)) << transcript;
  expectZoomTo(picked, x0105[0].second, transcript);

  // The pasted list selects the six parcels of the three IDs found and names the fourth.
  const QString selected = afterStep(session.transcript, QStringLiteral("select-list"));
  EXPECT_TRUE(selected.contains(QStringLiteral("SELECTED: 6 parcels; not found: \"NOT-THERE\"\n")))
      << transcript;
  QgsRectangle all = featuresHolding(uri, QStringLiteral("01-001-0105"))[0].second;
  all.combineExtentWith(featuresHolding(uri, QStringLiteral("AB-12/C"))[0].second);
  for (const auto& parcel : shared)
    all.combineExtentWith(parcel.second);
  expectZoomTo(selected, all, transcript);
}

INSTANTIATE_TEST_SUITE_P(Formats, QgisFindingStoryTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Shapefile" : "GeoPackage");
                         });

TEST(QgisViewerStoryTest, TheFirstFileGivesAnEmptyMapItsSystemIdentifyShowsAParcelRemoveTakesIt) {
  // The town's parcels in UTM zone 17N, and a city's copy of them in West Virginia North (feet).
  const QString folder = QgisTestData::town(300);
  const QString town = QDir(folder).filePath(QStringLiteral("parcels.shp"));
  QTemporaryDir data;
  const QString city = data.filePath(QStringLiteral("city.gpkg"));
  {
    GDALDatasetH source = GDALOpenEx(QFile::encodeName(town).constData(), GDAL_OF_VECTOR,
                                     nullptr, nullptr, nullptr);
    ASSERT_NE(source, nullptr);
    const char* arguments[] = {"-f", "GPKG", "-t_srs", "EPSG:26853", "-nln", "city_parcels",
                               nullptr};
    GDALVectorTranslateOptions* options =
        GDALVectorTranslateOptionsNew(const_cast<char**>(arguments), nullptr);
    GDALDatasetH written = GDALVectorTranslate(QFile::encodeName(city).constData(), nullptr, 1,
                                               &source, options, nullptr);
    GDALVectorTranslateOptionsFree(options);
    ASSERT_NE(written, nullptr);
    GDALClose(written);
    GDALClose(source);
  }
  // A point inside parcel 01-000-0040, in the city's system.
  const QString id = QStringLiteral("01-000-0040");
  QgsPointXY inside;
  {
    QgsVectorLayer layer(city, QStringLiteral("check"), QStringLiteral("ogr"));
    QgsFeature feature;
    QgsFeatureIterator it = layer.getFeatures();
    while (it.nextFeature(feature))
      if (feature.attribute(QStringLiteral("PARCEL_ID")).toString() == id)
        inside = feature.geometry().pointOnSurface().asPoint();
    ASSERT_FALSE(inside.isEmpty());
  }
  const Session session = runScript(
      QStringLiteral("open %1\n"
                     "remove-layer parcels\n"
                     "remove-layer city_parcels\n"
                     "open %1\n"
                     "open %2\n"
                     "identify %3 %4\n"
                     "remove-layer parcels\n"
                     "press New\n"
                     "pick mapCrs Default CRS: EPSG:4326 - WGS 84\n")
          .arg(city, town)
          .arg(inside.x(), 0, 'f', 3)
          .arg(inside.y(), 0, 'f', 3),
      {town}, data.path(), false);
  const std::string transcript = session.transcript.toStdString();
  ASSERT_EQ(session.exitCode, 0) << transcript;
  EXPECT_FALSE(session.transcript.contains(QStringLiteral("SCRIPT ERROR"))) << transcript;
  const auto step = [&](int number) {
    int at = -1;
    for (int i = 0; i < number; ++i)
      at = session.transcript.indexOf(QStringLiteral("\n> "), at + 1);
    const int end = session.transcript.indexOf(QStringLiteral("\n> "), at + 1);
    return session.transcript.mid(at, end < 0 ? -1 : end - at);
  };
  const QString start = session.transcript.left(session.transcript.indexOf(QStringLiteral("\n> ")));
  EXPECT_TRUE(start.contains(QStringLiteral("LAYERS: parcels\nMAP CRS: EPSG:26917\n"))) << transcript;

  // Added to a map, the city's file keeps the map's system.
  EXPECT_TRUE(step(1).contains(QStringLiteral("LAYERS: city_parcels, parcels\n"))) << transcript;
  EXPECT_FALSE(step(1).contains(QStringLiteral("MAP CRS:"))) << transcript;
  // The layer tree's Remove empties the map; opened into the empty map, the file gives it its own.
  EXPECT_TRUE(step(2).contains(QStringLiteral("LAYERS: city_parcels\n"))) << transcript;
  EXPECT_TRUE(step(3).contains(QStringLiteral("LAYERS: none\n"))) << transcript;
  EXPECT_TRUE(step(4).contains(QStringLiteral("MAP CRS: EPSG:26853\n"))) << transcript;
  EXPECT_FALSE(step(5).contains(QStringLiteral("MAP CRS:"))) << transcript;

  // A click with the identify tool, in the map's system, shows the parcel of the town's file on top.
  EXPECT_TRUE(step(6).contains(QStringLiteral("MAP TOOL: Identify Features\n"))) << transcript;
  EXPECT_TRUE(showsAttributes(step(6), firstFeatureId(town, id), id)) << transcript;
  // Removing its layer empties the panel.
  EXPECT_TRUE(step(7).contains(QStringLiteral("LAYERS: city_parcels\n"))) << transcript;
  EXPECT_TRUE(step(7).contains(QStringLiteral("ATTRIBUTES: none\n"))) << transcript;
  // New: no layer, no system; the status bar's switch sets latitude and longitude.
  EXPECT_TRUE(step(8).contains(QStringLiteral("LAYERS: none\nMAP CRS: none\n"))) << transcript;
  EXPECT_TRUE(step(9).contains(QStringLiteral("MAP CRS: EPSG:4326\n"))) << transcript;
}

TEST(QgisStoryInvalidLayerTest, AMissingConfiguredLayerListsNothingAndTheApplicationGoesOn) {
  // Configure the tool on the sample project, then open a copy whose data file is missing.
  const QString folder = QgisTestData::town(300);
  QTemporaryDir data;
  const QString project = QDir(folder).filePath(QStringLiteral("town.qgs"));
  Session configure = runScript(QStringLiteral("press LarkhillParcelSearch\n"
                                               "pick frmConfig/List1 Parcels\n"
                                               "pick frmConfig/List2 PARCEL_ID\n"
                                               "click frmConfig/Command1\n"),
                                {project}, data.path(), true);
  ASSERT_EQ(configure.exitCode, 0) << configure.transcript.toStdString();
  ASSERT_TRUE(configure.transcript.contains(
      QStringLiteral("LIST frmMain/List1 (LarkhillParcelSearch): 297 entries")))
      << configure.transcript.toStdString();

  QTemporaryDir moved;
  const QString copy = moved.filePath(QStringLiteral("town.qgs"));
  ASSERT_TRUE(QFile::copy(project, copy));
  Session missing = runScript(QStringLiteral("press LarkhillParcelSearch\n"
                                             "type frmMain/Text1 R\n"
                                             "click frmMain/Command4\n"
                                             "click frmMain/Command1\n"),
                              {copy}, data.path(), true);
  const std::string transcript = missing.transcript.toStdString();
  ASSERT_EQ(missing.exitCode, 0) << transcript;
  // Opening the project names the layers it could not open, before any step.
  const QString start = missing.transcript.left(missing.transcript.indexOf(QStringLiteral("\n> ")));
  EXPECT_TRUE(start.contains(
      QStringLiteral("Layer \"Parcels\" cannot be opened: its data source is not available")))
      << transcript;
  const QString opened = afterStep(missing.transcript, QStringLiteral("press"));
  EXPECT_TRUE(opened.contains(QStringLiteral("PANEL SHOWN: LarkhillParcelSearch, docked right")))
      << transcript;
  EXPECT_TRUE(
      opened.contains(QStringLiteral("LIST frmMain/List1 (LarkhillParcelSearch): 0 entries")))
      << transcript;
  EXPECT_FALSE(opened.contains(QStringLiteral("MESSAGE BOX"))) << transcript;
  EXPECT_FALSE(missing.transcript.contains(QStringLiteral("ZOOM:"))) << transcript;
  // The configuration window still opens and lists no invalid layer.
  const QString configure2 =
      afterStep(missing.transcript, QStringLiteral("click frmMain/Command1"));
  EXPECT_TRUE(configure2.contains(QStringLiteral("WINDOW SHOWN: LarkhillParcelSearch - Configure")))
      << transcript;
  EXPECT_TRUE(configure2.contains(
      QStringLiteral("LIST frmConfig/List1 (LarkhillParcelSearch - Configure): 0 entries")))
      << transcript;
}

TEST(QgisMapApplicationLifetimeTest, HelpTwiceConfigureCancelConfigureAgainThenQuitExitsCleanly) {
  // The windows are still open when the session ends: the application must
  // unload the component and quit with status 0, whatever was opened.
  const QString folder = QgisTestData::town(300);
  QTemporaryDir data;
  Session session = runScript(QStringLiteral("press LarkhillParcelSearch\n"
                                             "pick frmConfig/List1 Parcels\n"
                                             "pick frmConfig/List2 PARCEL_ID\n"
                                             "click frmConfig/Command1\n"
                                             "click frmMain/btnHelp2\n"
                                             "click frmMain/btnHelp2\n"
                                             "click frmMain/Command1\n"
                                             "click frmConfig/Command2\n"
                                             "click frmMain/Command1\n"
                                             "pick frmConfig/List1 Parcels\n"
                                             "pick frmConfig/List2 PARCEL_ID\n"
                                             "click frmConfig/Command1\n"),
                              {QDir(folder).filePath(QStringLiteral("town.qgs"))}, data.path(),
                              false);
  const std::string transcript = session.transcript.toStdString();
  EXPECT_EQ(session.exitCode, 0) << transcript;
  EXPECT_EQ(session.transcript.count(QStringLiteral("WINDOW SHOWN: LarkhillParcelSearch - Help")), 2)
      << transcript;
  EXPECT_EQ(session.transcript.count(QStringLiteral("WINDOW SHOWN: LarkhillParcelSearch - Configure")),
            3)
      << transcript;
  EXPECT_FALSE(session.transcript.contains(QStringLiteral("SCRIPT ERROR"))) << transcript;
}

TEST(QgisSessionTest, OpenReportsWhatItCannotOpenAndTheToolbarSetsQgisMapTools) {
  const QString folder = QgisTestData::town(300);
  QTemporaryDir data;
  // A zip archive without vector data in it.
  const QString notes = data.filePath(QStringLiteral("notes.zip"));
  {
    VSILFILE* out =
        VSIFOpenL(QFile::encodeName(QStringLiteral("/vsizip/%1/read-me.txt").arg(notes)), "wb");
    ASSERT_NE(out, nullptr);
    VSIFWriteL("parcels", 1, 7, out);
    VSIFCloseL(out);
  }
  const QString missing = data.filePath(QStringLiteral("missing.gpkg"));
  const Session session =
      runScript(QStringLiteral("open %1\n"
                               "open %2\n"
                               "press mActionZoomIn\n"
                               "press Zoom Out\n"
                               "press mActionPan\n")
                    .arg(missing, notes),
                {QDir(folder).filePath(QStringLiteral("town.qgs"))}, data.path(), false);
  const std::string transcript = session.transcript.toStdString();
  EXPECT_EQ(session.exitCode, 0) << transcript;
  // Files that cannot be opened are reported as the menu reports them, and the session goes on.
  EXPECT_TRUE(stepShows(session.transcript, QStringLiteral("open ") + missing,
                        QStringLiteral("MESSAGE BOX: %1: no such file").arg(missing)));
  EXPECT_TRUE(stepShows(
      session.transcript, QStringLiteral("open ") + notes,
      QStringLiteral("MESSAGE BOX: %1: the zip archive holds no vector data set GDAL can read")
          .arg(notes)));
  // Pan is the tool the map starts with; the toolbar's buttons set QGIS's map tools.
  const QString start = session.transcript.left(session.transcript.indexOf(QStringLiteral("\n> ")));
  EXPECT_TRUE(start.contains(QStringLiteral("MAP TOOL: Pan Map\n"))) << transcript;
  EXPECT_TRUE(stepShows(session.transcript, QStringLiteral("press mActionZoomIn"),
                        QStringLiteral("MAP TOOL: Zoom In\n")));
  EXPECT_TRUE(stepShows(session.transcript, QStringLiteral("press Zoom Out"),
                        QStringLiteral("MAP TOOL: Zoom Out\n")));
  EXPECT_TRUE(stepShows(session.transcript, QStringLiteral("press mActionPan"),
                        QStringLiteral("MAP TOOL: Pan Map\n")));
}

TEST(QgisSessionTest, AnyTextIsTypedAndABadStepEndsTheSessionCleanly) {
  const QString folder = QgisTestData::town(300);
  QTemporaryDir data;
  const QString typed = QStringLiteral("école Ωμέγα ✓ 𝔸");
  const Session session =
      runScript(QStringLiteral("press LarkhillParcelSearch\n"
                               "pick frmConfig/List1 Parcels\n"
                               "pick frmConfig/List2 PARCEL_ID\n"
                               "click frmConfig/Command1\n"
                               "type frmMain/Text1 %1\n"
                               "click frmMain/NoSuchButton\n"
                               "echo not reached\n")
                    .arg(typed),
                {QDir(folder).filePath(QStringLiteral("town.qgs"))}, data.path(), false);
  const std::string transcript = session.transcript.toStdString();
  // Letters beyond ASCII, and beyond the basic plane, are typed whole.
  EXPECT_TRUE(stepShows(session.transcript, QStringLiteral("type"),
                        QStringLiteral("TEXT frmMain/Text1: \"%1\"").arg(typed)));
  // A bad step ends the session cleanly, with status 1, and says where.
  EXPECT_EQ(session.exitCode, 1) << transcript;
  EXPECT_TRUE(session.transcript.contains(
      QStringLiteral("SCRIPT ERROR (line 6): no visible widget named \"frmMain/NoSuchButton\"")))
      << transcript;
  EXPECT_TRUE(session.transcript.endsWith(QStringLiteral("\nScript stopped.\n"))) << transcript;
  EXPECT_FALSE(session.transcript.contains(QStringLiteral("not reached"))) << transcript;
}

TEST(QgisSessionTest, AWaitHoldsTheNextStepBack) {
  // The transcript is read as it comes, so the application's start-up is not counted.
  QTemporaryDir data;
  const QString path = data.filePath(QStringLiteral("wait.script"));
  QFile script(path);
  ASSERT_TRUE(script.open(QIODevice::WriteOnly));
  // The map of a few parcels is drawn at once: waiting for it passes.
  script.write("wait map\necho start\nwait 1000\nwait 1000\nwait 1000\necho done\n");
  script.close();
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  process.setProcessEnvironment(env);
  process.start(QStringLiteral(LARKHILL_MAP_APP),
                {QStringLiteral("--script"), path,
                 QDir(QgisTestData::town(300)).filePath(QStringLiteral("town.gpkg"))});
  QByteArray transcript;
  QElapsedTimer timer;
  qint64 started = -1;
  qint64 done = -1;
  timer.start();
  while (process.state() != QProcess::NotRunning && timer.elapsed() < 120000) {
    process.waitForReadyRead(50);
    transcript += process.readAllStandardOutput();
    if (started < 0 && transcript.contains("\nstart\n"))
      started = timer.elapsed();
    if (done < 0 && transcript.contains("\ndone\n"))
      done = timer.elapsed();
  }
  process.waitForFinished();
  transcript += process.readAllStandardOutput();
  ASSERT_EQ(process.exitCode(), 0) << transcript.toStdString();
  ASSERT_GE(started, 0) << transcript.toStdString();
  ASSERT_GE(done, 0) << transcript.toStdString();
  // Only a lower bound, that three waits of a second cannot meet unless they
  // follow one another; with room for the first line read up to a poll late
  // and for a coarse timer's early end.
  EXPECT_GE(done - started, 2500) << transcript.toStdString();
}

} // namespace
