#include "platform/DriveTable.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace Larkhill {

namespace {

QList<DriveTable::Mapping>& table() {
  static QList<DriveTable::Mapping> sTable = DriveTable::defaultMappings();
  return sTable;
}

QStringList splitWindowsPath(const QString& path) {
  QString p = path;
  p.replace(QLatin1Char('/'), QLatin1Char('\\'));
  return p.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}

// Finds the entry of `folder` named `name`, ignoring case; an exact match wins.
QString matchEntry(const QString& folder, const QString& name) {
  if (QFileInfo::exists(folder + QLatin1Char('/') + name))
    return name;
  const QStringList entries =
      QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
  for (const QString& entry : entries)
    if (entry.compare(name, Qt::CaseInsensitive) == 0)
      return entry;
  return name;
}

} // namespace

QList<DriveTable::Mapping> DriveTable::defaultMappings() {
  QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (data.isEmpty())
    data = QDir::homePath() + QStringLiteral("/.local/share");
  QDir().mkpath(data);
  return {{QStringLiteral("C:\\Program Files\\"), data}};
}

const QList<DriveTable::Mapping>& DriveTable::mappings() { return table(); }

void DriveTable::setMappings(const QList<Mapping>& mappings) { table() = mappings; }

void DriveTable::reset() { table() = defaultMappings(); }

std::optional<QString> DriveTable::toHostPath(const QString& windowsPath) {
  const QStringList parts = splitWindowsPath(windowsPath);
  if (parts.isEmpty())
    return std::nullopt;
  // The longest prefix that covers the path wins.
  const Mapping* best = nullptr;
  int bestLength = -1;
  for (const Mapping& mapping : table()) {
    const QStringList prefix = splitWindowsPath(mapping.windowsPrefix);
    if (prefix.isEmpty() || prefix.size() > parts.size() || prefix.size() <= bestLength)
      continue;
    bool covers = true;
    for (int i = 0; i < prefix.size() && covers; ++i)
      covers = prefix[i].compare(parts[i], Qt::CaseInsensitive) == 0;
    if (covers) {
      best = &mapping;
      bestLength = prefix.size();
    }
  }
  if (!best)
    return std::nullopt;
  QStringList resolved;
  QString folder = QDir::cleanPath(best->hostFolder);
  for (int i = bestLength; i < parts.size(); ++i) {
    const QString& name = parts[i];
    if (name == QLatin1String("."))
      continue;
    if (name == QLatin1String("..")) {
      if (!resolved.isEmpty())
        resolved.removeLast();
      continue;
    }
    QString current = folder;
    for (const QString& r : resolved)
      current += QLatin1Char('/') + r;
    resolved.append(matchEntry(current, name));
  }
  for (const QString& r : resolved)
    folder += QLatin1Char('/') + r;
  return folder;
}

} // namespace Larkhill
