#include "ZipSources.h"

#include <QFile>
#include <QFileInfo>
#include <cpl_string.h>
#include <cpl_vsi.h>
#include <gdal.h>

namespace ZipSources {

bool isZip(const QString& path) {
  return QFileInfo(path).suffix().compare(QLatin1String("zip"), Qt::CaseInsensitive) == 0;
}

QStringList dataSets(const QString& zipPath, QString& error) {
  const QFileInfo info(zipPath);
  if (!info.exists()) {
    error = QStringLiteral("%1: no such file").arg(zipPath);
    return {};
  }
  // An absolute path after the prefix keeps its own leading slash.
  const QString root = QStringLiteral("/vsizip/") + info.absoluteFilePath();
  char** entries = VSIReadDirRecursive(QFile::encodeName(root).constData());
  if (!entries) {
    error = QStringLiteral("%1: not a zip archive GDAL can read").arg(zipPath);
    return {};
  }
  // Files that belong to a data set beside them; opening them alone would open
  // the same shapefile twice or fail.
  static const QStringList companions = {
      QStringLiteral("dbf"),  QStringLiteral("shx"), QStringLiteral("prj"), QStringLiteral("cpg"),
      QStringLiteral("qix"),  QStringLiteral("sbn"), QStringLiteral("sbx"), QStringLiteral("xml"),
      QStringLiteral("qmd"),  QStringLiteral("qml"), QStringLiteral("txt"), QStringLiteral("pdf"),
      QStringLiteral("html"), QStringLiteral("htm"), QStringLiteral("fix"), QStringLiteral("idm"),
      QStringLiteral("ind")};
  QStringList found;
  for (char** entry = entries; *entry; ++entry) {
    const QString name = QString::fromUtf8(*entry);
    if (name.endsWith(QLatin1Char('/')))
      continue;
    if (companions.contains(QFileInfo(name).suffix().toLower()))
      continue;
    const QString path = root + QLatin1Char('/') + name;
    GDALDatasetH dataset = GDALOpenEx(QFile::encodeName(path).constData(),
                                      GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
    if (!dataset)
      continue;
    if (GDALDatasetGetLayerCount(dataset) > 0)
      found << path;
    GDALClose(dataset);
  }
  CSLDestroy(entries);
  if (found.isEmpty())
    error =
        QStringLiteral("%1: the zip archive holds no vector data set GDAL can read").arg(zipPath);
  return found;
}

} // namespace ZipSources
