// Makes a small town of parcels for trying the parcel search: a GeoPackage
// with parcels, address points, buildings, roads, hydrants and an owners
// table, a shapefile of the parcels, and a QGIS project that puts them in a
// "Cadastre" group (with a "Utilities" group inside it) beside the table.
//
//   larkhill-sample [--count N] [--int-id] [--no-index] [--no-shapefile]
//                   [--no-project] [--shared-ids] [--seed S] OUTDIR
//
// Parcel IDs come in the mixed forms of a county that merged its records:
// "12-034-0056", "R0012345", "045.12-3-7", a few with lower-case letters, a
// few blank or null, and one with an apostrophe. With --int-id the ID field is
// an integer. The ID field gets an attribute index unless --no-index is given.
// With --shared-ids, each parcel n with n % 100 == 50 holds the ID of the
// parcel before it, as the units of a condominium share their lot's ID; the
// other IDs stay as they are. The project draws the parcels pale and labels
// each with its ID at large scales.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <gdal_priv.h>

#include "common/GdalFileDriver.h"
#include "qgis/common/QgisCompat.h"
#include <memory>
#include <ogrsf_frmts.h>
#include <qgsapplication.h>
#include <qgslayertree.h>
#include <qgsfillsymbol.h>
#include <qgspallabeling.h>
#include <qgssinglesymbolrenderer.h>
#include <qgsproject.h>
#include <qgstextbuffersettings.h>
#include <qgstextformat.h>
#include <qgsvectorlayerlabeling.h>
#include <qgsvectorlayer.h>
#include <random>
#include <string>


namespace {

struct Options {
  long long count = 5000;
  bool integerId = false;
  bool index = true;
  bool shapefile = true;
  bool project = true;
  bool sharedIds = false;
  unsigned seed = 1962;
  QString outDir;
};

// Parcel layout: blocks of 10 by 2 parcels, 30 m by 40 m each, with 12 m roads between blocks.
constexpr double kOriginX = 612000.0;
constexpr double kOriginY = 4312000.0;
constexpr double kParcelW = 30.0;
constexpr double kParcelH = 40.0;
constexpr double kRoad = 12.0;
constexpr int kBlockCols = 10;
constexpr int kBlockRows = 2;
constexpr long long kBuildingCap = 20000;
constexpr long long kAddressCap = 20000;

const char* const kFirst[] = {"JOHN",   "MARY",  "ROBERT",  "PATRICIA", "JAMES",  "LINDA",
                              "DAVID",  "SUSAN", "WILLIAM", "KAREN",    "THOMAS", "NANCY",
                              "DANIEL", "LISA",  "PAUL",    "BETTY"};
const char* const kLast[] = {"SMITH",  "JOHNSON", "WILLIAMS", "BROWN",    "JONES",  "MILLER",
                             "DAVIS",  "GARCIA",  "WILSON",   "ANDERSON", "TAYLOR", "MOORE",
                             "MARTIN", "LEE",     "CLARK",    "WALKER"};
const char* const kStreets[] = {"MAIN ST",   "ELM ST",     "OAK AVE",   "MAPLE DR",
                                "CEDAR LN",  "PINE ST",    "HILL RD",   "RIVER RD",
                                "CHURCH ST", "MILL RD",    "PARK AVE",  "SCHOOL ST",
                                "LAKE DR",   "FOREST AVE", "SPRING ST", "WASHINGTON ST"};
const char* const kLandUse[] = {"RESIDENTIAL", "RESIDENTIAL",  "RESIDENTIAL",
                                "COMMERCIAL",  "AGRICULTURAL", "VACANT"};

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "larkhill-sample: %s: %s\n", what.c_str(), CPLGetLastErrorMsg());
  std::exit(1);
}

void usage() {
  std::fprintf(stderr,
               "usage: larkhill-sample [--count N] [--int-id] [--no-index] [--no-shapefile] "
               "[--no-project] [--shared-ids] [--seed S] OUTDIR\n");
  std::exit(2);
}

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--count" && i + 1 < argc) {
      char* end = nullptr;
      o.count = std::strtoll(argv[++i], &end, 10);
      if (!end || *end || o.count < 1 || o.count > 20000000)
        usage();
    } else if (a == "--seed" && i + 1 < argc) {
      o.seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
    } else if (a == "--int-id") {
      o.integerId = true;
    } else if (a == "--no-index") {
      o.index = false;
    } else if (a == "--no-shapefile") {
      o.shapefile = false;
    } else if (a == "--no-project") {
      o.project = false;
    } else if (a == "--shared-ids") {
      o.sharedIds = true;
    } else if (!a.empty() && a[0] != '-' && o.outDir.isEmpty()) {
      o.outDir = QString::fromLocal8Bit(argv[i]);
    } else {
      usage();
    }
  }
  if (o.outDir.isEmpty())
    usage();
  return o;
}

/** Where parcel number n lies: its lower-left corner. */
void parcelCorner(long long n, long long blocksPerRow, double& x, double& y) {
  const long long perBlock = kBlockCols * kBlockRows;
  const long long block = n / perBlock;
  const long long inBlock = n % perBlock;
  const long long bx = block % blocksPerRow;
  const long long by = block / blocksPerRow;
  x = kOriginX + bx * (kBlockCols * kParcelW + kRoad) + (inBlock % kBlockCols) * kParcelW;
  y = kOriginY + by * (kBlockRows * kParcelH + kRoad) + (inBlock / kBlockCols) * kParcelH;
}

OGRPolygon rectangle(double x0, double y0, double x1, double y1) {
  OGRLinearRing ring;
  ring.addPoint(x0, y0);
  ring.addPoint(x0, y1);
  ring.addPoint(x1, y1);
  ring.addPoint(x1, y0);
  ring.addPoint(x0, y0);
  OGRPolygon polygon;
  polygon.addRing(&ring);
  return polygon;
}

/** The text parcel ID of parcel n, or "" / "   " / null (returned as nullptr) for the odd ones. */
const char* textParcelId(long long n, std::mt19937& rng, char* buffer, size_t size) {
  if (n == 17)
    return "L'ANSE-0042";
  if (n % 997 == 13)
    return nullptr;
  if (n % 1499 == 29)
    return "";
  if (n % 2003 == 41)
    return "   ";
  const int form = n % 20;
  if (form < 12)
    std::snprintf(buffer, size, "%02lld-%03lld-%04lld", 1 + (n / 100000) % 99, (n / 100) % 1000,
                  n % 10000);
  else if (form < 17)
    std::snprintf(buffer, size, "R%07lld", n);
  else
    std::snprintf(buffer, size, "%03lld.%02lld-%lld-%lld", (n / 1000) % 1000, (n / 10) % 100,
                  n % 10, n % 7);
  // Split parcels carry a lower-case letter; some old records were keyed in lower case.
  if (n % 53 == 3) {
    const size_t len = std::strlen(buffer);
    if (len + 1 < size) {
      buffer[len] = static_cast<char>('a' + rng() % 3);
      buffer[len + 1] = 0;
    }
  } else if (n % 89 == 5 && buffer[0] == 'R') {
    buffer[0] = 'r';
  }
  return buffer;
}

OGRLayer* createLayer(GDALDataset* ds, const char* name, OGRwkbGeometryType type,
                      const OGRSpatialReference* srs, char** options = nullptr) {
  OGRLayer* layer = ds->CreateLayer(
      name, type == wkbNone ? nullptr : const_cast<OGRSpatialReference*>(srs), type, options);
  if (!layer)
    fail(std::string("cannot create layer ") + name);
  return layer;
}

void addField(OGRLayer* layer, const char* name, OGRFieldType type, int width = 0) {
  OGRFieldDefn field(name, type);
  if (width > 0)
    field.SetWidth(width);
  if (layer->CreateField(&field) != OGRERR_NONE)
    fail(std::string("cannot create field ") + name);
}

void createFeature(OGRLayer* layer, OGRFeature* feature) {
  if (layer->CreateFeature(feature) != OGRERR_NONE)
    fail("cannot write a feature");
}

/** Writes the parcels (and the per-parcel points and buildings) into one dataset. */
void writeParcels(GDALDataset* ds, const Options& o, const OGRSpatialReference& srs,
                  bool withExtras) {
  char** layerOptions = nullptr;
  const bool gpkg = EQUAL(ds->GetDriver()->GetDescription(), "GPKG");
  if (gpkg)
    layerOptions = CSLSetNameValue(layerOptions, "FID", "fid");
  OGRLayer* parcels = createLayer(ds, "parcels", wkbPolygon, &srs, layerOptions);
  CSLDestroy(layerOptions);
  addField(parcels, "PARCEL_ID", o.integerId ? OFTInteger : OFTString, o.integerId ? 0 : 24);
  addField(parcels, "OWNER", OFTString, 40);
  addField(parcels, "ADDRESS", OFTString, 40);
  addField(parcels, "SALE_DATE", OFTDate);
  addField(parcels, "ACRES", OFTReal);
  addField(parcels, "LAND_USE", OFTString, 16);

  OGRLayer* points = nullptr;
  OGRLayer* buildings = nullptr;
  if (withExtras) {
    points = createLayer(ds, "address_points", wkbPoint, &srs);
    addField(points, "ADDRESS", OFTString, 40);
    addField(points, "PARCEL_ID", o.integerId ? OFTInteger : OFTString, o.integerId ? 0 : 24);
    buildings = createLayer(ds, "buildings", wkbPolygon, &srs);
    addField(buildings, "KIND", OFTString, 16);
    addField(buildings, "STORIES", OFTInteger);
  }

  std::mt19937 rng(o.seed);
  const long long blocks = (o.count + kBlockCols * kBlockRows - 1) / (kBlockCols * kBlockRows);
  const long long blocksPerRow =
      std::max<long long>(1, static_cast<long long>(std::ceil(std::sqrt(blocks * 0.3))));
  OGRFeature parcel(parcels->GetLayerDefn());
  std::unique_ptr<OGRFeature> point(points ? new OGRFeature(points->GetLayerDefn()) : nullptr);
  std::unique_ptr<OGRFeature> building(buildings ? new OGRFeature(buildings->GetLayerDefn())
                                                 : nullptr);
  char id[64];
  char previousId[64] = "";
  char owner[96];
  char address[96];
  const long long batch = 200000;
  if (ds->StartTransaction() != OGRERR_NONE && gpkg)
    fail("cannot start a transaction");
  for (long long n = 0; n < o.count; ++n) {
    if (n > 0 && n % batch == 0) {
      ds->CommitTransaction();
      ds->StartTransaction();
    }
    double x, y;
    parcelCorner(n, blocksPerRow, x, y);
    parcel.SetFID(OGRNullFID);
    const bool shared = o.sharedIds && n % 100 == 50;
    if (o.integerId) {
      if (n % 997 == 13)
        parcel.SetFieldNull(0);
      else
        parcel.SetField(0, static_cast<GIntBig>(100000 + (shared ? n - 1 : n) * 3));
    } else {
      // Made for every parcel, so that the random letters of the others stay.
      const char* text = textParcelId(n, rng, id, sizeof id);
      if (shared)
        text = previousId[0] ? previousId : nullptr;
      if (text)
        parcel.SetField(0, text);
      else
        parcel.SetFieldNull(0);
      if (!shared)
        std::snprintf(previousId, sizeof previousId, "%s", text ? text : "");
    }
    std::snprintf(owner, sizeof owner, "%s %s", kLast[rng() % 16], kFirst[rng() % 16]);
    std::snprintf(address, sizeof address, "%lld %s", 10 + (n % 500) * 2, kStreets[(n / 500) % 16]);
    parcel.SetField(1, owner);
    parcel.SetField(2, address);
    if (n % 11 == 4)
      parcel.SetFieldNull(3);
    else
      parcel.SetField(3, 1975 + static_cast<int>(rng() % 50), 1 + static_cast<int>(rng() % 12),
                      1 + static_cast<int>(rng() % 28));
    parcel.SetField(4, kParcelW * kParcelH / 4046.8564224);
    parcel.SetField(5, kLandUse[rng() % 6]);
    parcel.SetGeometry(
        &static_cast<const OGRGeometry&>(rectangle(x, y, x + kParcelW, y + kParcelH)));
    createFeature(parcels, &parcel);

    if (point && n < kAddressCap) {
      point->SetFID(OGRNullFID);
      point->SetField(0, address);
      if (parcel.IsFieldSetAndNotNull(0))
        point->SetField(1, parcel.GetFieldAsString(0));
      else
        point->SetFieldNull(1);
      OGRPoint at(x + kParcelW / 2, y + 4.0);
      point->SetGeometry(&at);
      createFeature(points, point.get());
    }
    if (building && n < kBuildingCap && n % 5 != 2) {
      building->SetFID(OGRNullFID);
      building->SetField(0, n % 7 == 0 ? "GARAGE" : "HOUSE");
      building->SetField(1, 1 + static_cast<int>(rng() % 2));
      OGRPolygon footprint = rectangle(x + 8, y + 10, x + 22, y + 26);
      building->SetGeometry(&footprint);
      createFeature(buildings, building.get());
    }
  }
  ds->CommitTransaction();

  if (o.index) {
    OGRLayer* result = ds->ExecuteSQL(gpkg ? "CREATE INDEX parcels_parcel_id ON parcels(PARCEL_ID)"
                                           : "CREATE INDEX ON parcels USING PARCEL_ID",
                                      nullptr, gpkg ? "SQLITE" : nullptr);
    if (result)
      ds->ReleaseResultSet(result);
    if (CPLGetLastErrorType() == CE_Failure)
      fail("cannot index PARCEL_ID");
  }

  if (!withExtras)
    return;

  // Roads: one line along the bottom of each row of blocks and one along the left of each column.
  OGRLayer* roads = createLayer(ds, "roads", wkbLineString, &srs);
  addField(roads, "NAME", OFTString, 40);
  const long long rows = (blocks + blocksPerRow - 1) / blocksPerRow;
  const double blockW = kBlockCols * kParcelW + kRoad;
  const double blockH = kBlockRows * kParcelH + kRoad;
  OGRFeature road(roads->GetLayerDefn());
  ds->StartTransaction();
  for (long long r = 0; r <= rows; ++r) {
    OGRLineString line;
    line.addPoint(kOriginX - kRoad, kOriginY + r * blockH - kRoad / 2);
    line.addPoint(kOriginX + blocksPerRow * blockW, kOriginY + r * blockH - kRoad / 2);
    road.SetFID(OGRNullFID);
    road.SetField(0, (std::to_string(r + 1) + (r == 0   ? "ST ST"
                                               : r == 1 ? "ND ST"
                                               : r == 2 ? "RD ST"
                                                        : "TH ST"))
                         .c_str());
    road.SetGeometry(&line);
    createFeature(roads, &road);
  }
  for (long long c = 0; c <= blocksPerRow; ++c) {
    OGRLineString line;
    line.addPoint(kOriginX + c * blockW - kRoad / 2, kOriginY - kRoad);
    line.addPoint(kOriginX + c * blockW - kRoad / 2, kOriginY + rows * blockH);
    road.SetFID(OGRNullFID);
    road.SetField(0, kStreets[c % 16]);
    road.SetGeometry(&line);
    createFeature(roads, &road);
  }
  ds->CommitTransaction();

  // Hydrants at block corners (at most a few thousand).
  OGRLayer* hydrants = createLayer(ds, "hydrants", wkbPoint, &srs);
  addField(hydrants, "HYDRANT_NO", OFTString, 12);
  OGRFeature hydrant(hydrants->GetLayerDefn());
  ds->StartTransaction();
  long long h = 0;
  for (long long r = 0; r <= rows && h < 5000; ++r)
    for (long long c = 0; c <= blocksPerRow && h < 5000; ++c, ++h) {
      OGRPoint at(kOriginX + c * blockW - kRoad, kOriginY + r * blockH - kRoad);
      hydrant.SetFID(OGRNullFID);
      hydrant.SetField(0, ("H-" + std::to_string(h + 1)).c_str());
      hydrant.SetGeometry(&at);
      createFeature(hydrants, &hydrant);
    }
  ds->CommitTransaction();

  // A table without geometry: mailing addresses of owners.
  OGRLayer* owners = createLayer(ds, "owners", wkbNone, nullptr);
  addField(owners, "OWNER", OFTString, 40);
  addField(owners, "MAIL_ADDR", OFTString, 60);
  OGRFeature ownerRow(owners->GetLayerDefn());
  ds->StartTransaction();
  for (int i = 0; i < 256; ++i) {
    std::snprintf(owner, sizeof owner, "%s %s", kLast[i / 16], kFirst[i % 16]);
    std::snprintf(address, sizeof address, "PO BOX %d, LARKHILL", 100 + i);
    ownerRow.SetFID(OGRNullFID);
    ownerRow.SetField(0, owner);
    ownerRow.SetField(1, address);
    createFeature(owners, &ownerRow);
  }
  ds->CommitTransaction();
}

GDALDataset* createDataset(const char* extension, const QString& path) {
  GDALDriver* driver = gdalVectorDriverForExtension(extension);
  if (!driver)
    fail(std::string("no GDAL driver writes .") + extension);
  QFile::remove(path);
  GDALDataset* ds =
      driver->Create(QFile::encodeName(path).constData(), 0, 0, 0, GDT_Unknown, nullptr);
  if (!ds)
    fail("cannot create " + path.toStdString());
  return ds;
}

QgsVectorLayer* addLayer(QgsProject& project, QgsLayerTreeGroup* group, const QString& uri,
                         const QString& name) {
  auto* layer = new QgsVectorLayer(uri, name, QStringLiteral("ogr"));
  if (!layer->isValid())
    fail("QGIS cannot read " + uri.toStdString());
  project.addMapLayer(layer, false);
  group->addLayer(layer);
  return layer;
}

// Draws the parcels as a cadastral map does, pale with thin grey lines, and
// labels each with its ID once the map is close enough to read it (1:2,000
// and closer), so that the parcel a search found shows its ID.
void styleParcels(QgsVectorLayer* parcels) {
  std::unique_ptr<QgsFillSymbol> symbol = LarkhillQgis::QgisCompat::simpleFillSymbol(
      {{QStringLiteral("color"), QStringLiteral("246,242,228,255")},
       {QStringLiteral("outline_color"), QStringLiteral("120,120,120,255")},
       {QStringLiteral("outline_width"), QStringLiteral("0.3")}});
  parcels->setRenderer(new QgsSingleSymbolRenderer(symbol.release()));

  QgsPalLayerSettings settings;
  settings.fieldName = QStringLiteral("PARCEL_ID");
  settings.placement = LarkhillQgis::QgisCompat::LabelOverPoint;
  settings.scaleVisibility = true;
  settings.minimumScale = 2000;
  settings.maximumScale = 0;
  QgsTextFormat format;
  format.setSize(9);
  format.setColor(QColor(40, 40, 40));
  QgsTextBufferSettings buffer;
  buffer.setEnabled(true);
  buffer.setSize(0.8);
  buffer.setColor(Qt::white);
  format.setBuffer(buffer);
  settings.setFormat(format);
  parcels->setLabeling(new QgsVectorLayerSimpleLabeling(settings));
  parcels->setLabelsEnabled(true);
}

void writeProject(const Options& o, const QString& gpkg) {
  QgsProject project;
  project.setTitle(QStringLiteral("Larkhill sample town"));
  project.setCrs(QgsCoordinateReferenceSystem(QStringLiteral("EPSG:26917")));
  QgsLayerTreeGroup* root = project.layerTreeRoot();
  QgsLayerTreeGroup* cadastre = root->addGroup(QStringLiteral("Cadastre"));
  const QString base = QStringLiteral("%1|layername=").arg(gpkg);
  addLayer(project, cadastre, base + QStringLiteral("address_points"),
           QStringLiteral("Address Points"));
  styleParcels(
      addLayer(project, cadastre, base + QStringLiteral("parcels"), QStringLiteral("Parcels")));
  addLayer(project, cadastre, base + QStringLiteral("buildings"), QStringLiteral("Buildings"));
  addLayer(project, cadastre, base + QStringLiteral("roads"), QStringLiteral("Roads"));
  QgsLayerTreeGroup* utilities = cadastre->addGroup(QStringLiteral("Utilities"));
  addLayer(project, utilities, base + QStringLiteral("hydrants"), QStringLiteral("Hydrants"));
  addLayer(project, root, base + QStringLiteral("owners"), QStringLiteral("Owners"));
  const QString path = QDir(o.outDir).filePath(QStringLiteral("town.qgs"));
  if (!project.write(path))
    fail("cannot write " + path.toStdString() + ": " + project.error().toStdString());
}

} // namespace

int main(int argc, char** argv) {
  const Options o = parse(argc, argv);
  QElapsedTimer timer;
  timer.start();
  if (!QDir().mkpath(o.outDir))
    fail("cannot create " + o.outDir.toStdString());
  GDALAllRegister();
  CPLSetConfigOption("OGR_SQLITE_SYNCHRONOUS", "OFF");
  CPLSetConfigOption("OGR_SQLITE_JOURNAL", "OFF");
  CPLSetConfigOption("OGR_SQLITE_CACHE", "256");
  OGRSpatialReference srs;
  srs.importFromEPSG(26917);
  srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);

  const QString gpkg = QDir(o.outDir).absoluteFilePath(QStringLiteral("town.gpkg"));
  {
    std::unique_ptr<GDALDataset> ds(createDataset("gpkg", gpkg));
    writeParcels(ds.get(), o, srs, true);
  }
  if (o.shapefile) {
    const QString shp = QDir(o.outDir).absoluteFilePath(QStringLiteral("parcels.shp"));
    for (const char* ext : {".shp", ".shx", ".dbf", ".prj", ".cpg", ".idx", ".ind", ".idm"})
      QFile::remove(
          QDir(o.outDir).absoluteFilePath(QStringLiteral("parcels") + QLatin1String(ext)));
    std::unique_ptr<GDALDataset> ds(createDataset("shp", shp));
    writeParcels(ds.get(), o, srs, false);
  }
  if (o.project) {
    // Writing a project needs no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
      qputenv("QT_QPA_PLATFORM", "offscreen");
    QgsApplication app(argc, argv, false);
    QgsApplication::setPrefixPath(QStringLiteral("/usr"), true);
    QgsApplication::initQgis();
    writeProject(o, gpkg);
    QgsApplication::exitQgis();
  }
  std::printf("larkhill-sample: %lld parcels (%s ID%s) in %s, %.1f s\n", o.count,
              o.integerId ? "integer" : "text", o.index ? ", indexed" : ", no index",
              QFile::encodeName(o.outDir).constData(), timer.elapsed() / 1000.0);
  return 0;
}
