// The search list of a large PostGIS table copied to the desktop, beside the
// same list served from the server's index: the time from the press to a
// list that shows its first rows, Go, one page of scrolling, and the memory
// the list takes on the desktop.
//
//   bench_served_list --conninfo "<libpq conninfo>" --table T [--field F] [--reps N]
//                     [--out results.md]
//
// The table is one that tools/pg-load-parcels.sh made, with the index the
// served list needs:
//   CREATE INDEX ON T ((upper(parcel_id)) COLLATE "C", parcel_id COLLATE "C")
#include "shared/LarkhillGIS_Public.h"
#include "mapdata/LarkhillGIS_ArcMap.h"
#include "platform/Services.h"
#include "PgBenchHost.h"
#include "search/SortedListModel.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <qgsapplication.h>
#include <qgssettings.h>
#include <unistd.h>
#include <vector>

using namespace Larkhill;
using namespace LarkhillQgis;

namespace {

class Messages : public IMessageBoxService {
public:
  void show(const QString& text) override { texts.append(text); }
  QStringList texts;
};

/** The process's resident memory in MB. */
double residentMb() {
  QFile statm(QStringLiteral("/proc/self/statm"));
  if (!statm.open(QIODevice::ReadOnly))
    return 0;
  const QList<QByteArray> fields = statm.readAll().split(' ');
  return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / 1e6 : 0;
}

double median(std::vector<double> values) {
  if (values.empty())
    return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double since(const QElapsedTimer& clock) {
  return double(clock.nsecsElapsed()) / 1e6;
}

struct Figures {
  double usable = 0, go = 0, goMax = 0, page = 0, pageMax = 0, listMb = 0, rssMb = 0;
  int count = 0;
  bool served = false;
};

constexpr int kPageRows = 30;

Figures measure(double servedAbove, const QString& field, int reps, QRandomGenerator& random) {
  QgsSettings().setValue(QStringLiteral("LarkhillGIS/searchList/serverRows"), servedAbove,
                         QgsSettings::Plugins);
  Figures figures;
  std::vector<double> usable, gos, pages, rss;
  for (int rep = 0; rep < reps; ++rep) {
    const double before = residentMb();
    auto list = std::make_unique<SortedListModel>();
    QElapsedTimer clock;
    clock.start();
    list->beginBulkLoad();
    LarkhillGIS_ArcMap::LoadListWithFieldValues(QStringLiteral("Parcels"), field, *list, nullptr);
    list->endBulkLoad();
    for (int row = 0; row < kPageRows; ++row)
      list->data(list->index(row, 0));
    usable.push_back(since(clock));
    rss.push_back(residentMb() - before);
    figures.count = list->count();
    figures.served = list->isServed();
    figures.listMb = double(list->memoryUsed()) / 1e6;
    if (list->count() == 0)
      break;
    // Go on an ID's first 6 characters in either case, as a user types them.
    for (int i = 0; i < 20; ++i) {
      const QString id = list->text(int(random.bounded(list->count())));
      const QString typed = i % 2 ? id.left(6).toLower() : id.left(6);
      clock.restart();
      list->findFirstMatch(typed);
      gos.push_back(since(clock));
    }
    // One page of rows shown at a place not read before.
    for (int i = 0; i < 20; ++i) {
      const int top = int(random.bounded(std::max(1, list->count() - kPageRows)));
      clock.restart();
      for (int row = top; row < top + kPageRows; ++row)
        list->data(list->index(row, 0));
      pages.push_back(since(clock));
    }
  }
  figures.usable = median(usable);
  figures.go = median(gos);
  figures.goMax = gos.empty() ? 0 : *std::max_element(gos.begin(), gos.end());
  figures.page = median(pages);
  figures.pageMax = pages.empty() ? 0 : *std::max_element(pages.begin(), pages.end());
  figures.rssMb = median(rss);
  return figures;
}

} // namespace

int main(int argc, char** argv) {
  QString conninfo, table, field = QStringLiteral("parcel_id"), out;
  int reps = 3;
  for (int i = 1; i + 1 < argc; ++i) {
    if (qstrcmp(argv[i], "--conninfo") == 0)
      conninfo = QString::fromUtf8(argv[++i]);
    else if (qstrcmp(argv[i], "--table") == 0)
      table = QString::fromUtf8(argv[++i]);
    else if (qstrcmp(argv[i], "--field") == 0)
      field = QString::fromUtf8(argv[++i]);
    else if (qstrcmp(argv[i], "--reps") == 0)
      reps = std::max(1, atoi(argv[++i]));
    else if (qstrcmp(argv[i], "--out") == 0)
      out = QString::fromUtf8(argv[++i]);
  }
  if (conninfo.isEmpty() || table.isEmpty()) {
    std::fprintf(stderr, "usage: bench_served_list --conninfo C --table T [--field F] [--reps N] "
                         "[--out FILE]\n");
    return 2;
  }
  // The threshold is set in settings of the benchmark's own, not the user's.
  QTemporaryDir settings;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
  QCoreApplication::setOrganizationName(QStringLiteral("LarkhillGISBench"));
  QCoreApplication::setApplicationName(QStringLiteral("bench_served_list"));

  QgsApplication app(argc, argv, true);
  QgsApplication::setPrefixPath(QStringLiteral("/usr"), true);
  QgsApplication::initQgis();
  int status = 0;
  {
    Messages messages;
    installMessageBoxService(&messages);
    LarkhillBench::PgBenchHost host;
    if (!host.addParcels(conninfo, table)) {
      std::fprintf(stderr, "the layer %s does not open\n", qPrintable(table));
      return 1;
    }

    QRandomGenerator random(20261208);
    // The served list first: the copied list's memory stays with the process after it.
    const Figures served = measure(0, field, reps, random);
    const Figures copied = measure(1e15, field, reps, random);
    if (!served.served || copied.served || served.count != copied.count ||
        !messages.texts.isEmpty()) {
      std::fprintf(stderr, "not comparable: served %d (%d rows), copied %d (%d rows); %s\n",
                   int(served.served), served.count, int(copied.served), copied.count,
                   qPrintable(messages.texts.join(QStringLiteral(" | "))));
      status = 1;
    }
    QString report;
    report += QStringLiteral("| %1 (%2 rows) | Served from the index | Copied (today) | Goal |\n"
                             "|---|---:|---:|---|\n")
                  .arg(table)
                  .arg(served.count);
    auto row = [&](const QString& what, double a, double b, const QString& goal, int decimals) {
      report += QStringLiteral("| %1 | %2 | %3 | %4 |\n")
                    .arg(what, QString::number(a, 'f', decimals), QString::number(b, 'f', decimals),
                         goal);
    };
    row(QStringLiteral("press to usable, ms (median)"), served.usable, copied.usable,
        QStringLiteral("<= 100"), 1);
    row(QStringLiteral("Go, ms (median of 20 per run)"), served.go, copied.go,
        QStringLiteral("<= 5"), 3);
    row(QStringLiteral("Go, ms (slowest)"), served.goMax, copied.goMax, QString(), 3);
    row(QStringLiteral("one page of %1 rows, ms (median)").arg(kPageRows), served.page, copied.page,
        QStringLiteral("<= 20"), 3);
    row(QStringLiteral("one page, ms (slowest)"), served.pageMax, copied.pageMax, QString(), 3);
    row(QStringLiteral("list model's own memory (entries copied, or pages kept), MB"), served.listMb, copied.listMb,
        QStringLiteral("< 20"), 1);
    row(QStringLiteral("process memory grown by the load, MB (median)"), served.rssMb, copied.rssMb,
        QString(), 1);
    std::printf("%s", report.toUtf8().constData());
    if (!out.isEmpty()) {
      QFile file(out);
      if (file.open(QIODevice::WriteOnly | QIODevice::Text))
        file.write(report.toUtf8());
    }
    installMessageBoxService(nullptr);
  }
  QgsApplication::exitQgis();
  return status;
}
