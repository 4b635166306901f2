// Makes a county of parcels for the county benchmark: a GeoPackage and a
// shapefile with one layer "Parcels" of square parcels on a grid, with the text
// fields PIN (book-page-parcel numbers, some with an "R" or "r" before them)
// and OWNER, in a shuffled order so that the file's order is not the sorted
// order of the IDs. No attribute index is made (the benchmark script adds one
// to a copy).
//
//   county-data <folder> <count>   writes <folder>/parcels-<count>.gpkg and .shp
#include "CountyIds.h"

#include <cstdio>
#include <cstdlib>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>
#include <string>

namespace {

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "county-data: %s: %s\n", what.c_str(), CPLGetLastErrorMsg());
  std::exit(1);
}

void write(const std::string& path, const char* driverName, long long count) {
  GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(driverName);
  if (!driver)
    fail(std::string("no driver ") + driverName);
  VSIStatBufL stat;
  if (VSIStatL(path.c_str(), &stat) == 0)
    driver->Delete(path.c_str());
  CPLErrorReset();
  GDALDataset* dataset = driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
  if (!dataset)
    fail("cannot create " + path);
  OGRSpatialReference srs;
  srs.importFromEPSG(26918);
  OGRLayer* layer = dataset->CreateLayer("Parcels", &srs, wkbPolygon, nullptr);
  if (!layer)
    fail("cannot create the layer in " + path);
  OGRFieldDefn pin("PIN", OFTString);
  pin.SetWidth(20);
  OGRFieldDefn owner("OWNER", OFTString);
  owner.SetWidth(40);
  if (layer->CreateField(&pin) != OGRERR_NONE || layer->CreateField(&owner) != OGRERR_NONE)
    fail("cannot create the fields of " + path);

  const char* const owners[] = {"SMITH JOHN", "JONES MARY", "BROWN LINDA", "MILLER DAVID"};
  dataset->StartTransaction();
  OGRFeatureDefn* definition = layer->GetLayerDefn();
  long long i = 0;
  County::countyParcels(count, [&](long long n, const std::string& id) {
    OGRFeature feature(definition);
    feature.SetField(0, id.c_str());
    feature.SetField(1, owners[n % 4]);
    const double x = 500000.0 + double(n % 1000) * 40.0, y = 4000000.0 + double(n / 1000) * 50.0;
    OGRLinearRing ring;
    ring.addPoint(x, y);
    ring.addPoint(x + 30.0, y);
    ring.addPoint(x + 30.0, y + 40.0);
    ring.addPoint(x, y + 40.0);
    ring.addPoint(x, y);
    OGRPolygon polygon;
    polygon.addRing(&ring);
    feature.SetGeometry(&polygon);
    if (layer->CreateFeature(&feature) != OGRERR_NONE)
      fail("cannot write parcel " + std::to_string(i) + " to " + path);
    if (++i % 200000 == 0) {
      dataset->CommitTransaction();
      dataset->StartTransaction();
    }
  });
  dataset->CommitTransaction();
  GDALClose(dataset);
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: county-data <folder> <count>\n");
    return 2;
  }
  const std::string folder = argv[1];
  const long long count = std::atoll(argv[2]);
  if (count <= 0) {
    std::fprintf(stderr, "county-data: the count must be a positive number\n");
    return 2;
  }
  GDALAllRegister();
  const std::string base = folder + "/parcels-" + std::to_string(count);
  write(base + ".gpkg", "GPKG", count);
  write(base + ".shp", "ESRI Shapefile", count);
  std::printf("%s.gpkg and %s.shp: %lld parcels\n", base.c_str(), base.c_str(), count);
  return 0;
}
