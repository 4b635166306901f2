#pragma once

#include <QString>
#include <QStringList>

/**
 * Zip archives of vector data, the way counties publish parcels: GDAL reads
 * the files inside through its /vsizip/ file system, without unpacking.
 */
namespace ZipSources {

/** True when `path` names a .zip archive (any letter case). */
bool isZip(const QString& path);

/**
 * The GDAL paths ("/vsizip//folder/parcels.zip/parcels.shp") of the vector
 * data sets inside the archive, in the archive's order: shapefiles,
 * GeoPackages and every other file GDAL opens as vector data, also in
 * sub-folders. A shapefile's companion files (.dbf, .shx, .prj...) are not
 * data sets of their own. Empty, with the reason in `error`, when the archive
 * cannot be read or holds no vector data.
 */
QStringList dataSets(const QString& zipPath, QString& error);

} // namespace ZipSources
