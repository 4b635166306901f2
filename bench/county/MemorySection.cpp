// (d) Memory of the list at the largest size, over the process before the
// load: measured in a process of its own that has loaded nothing before.
#include "Sections.h"

#include <QCoreApplication>
#include <QProcess>
#include <cstdio>
#include <malloc.h>

using namespace Larkhill;

namespace County {

void memoryOfList(BenchContext& bench) {
  if (!bench.section('d'))
    return;
  QProcess child;
  child.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--memory"), bench.options.data + "/parcels-" +
                                               QString::number(bench.options.largest()) + ".gpkg"});
  child.waitForFinished(-1);
  const QStringList figures = QString::fromUtf8(child.readAllStandardOutput()).split(' ');
  if (figures.size() == 4) {
    const double count = figures[0].toDouble();
    bench.report({"(d) peak memory of the load, per entry, " + figures[0].toStdString(),
                  fmt("%.1f B", figures[1].toDouble() / count),
                  fmt("%.1f B held after", figures[2].toDouble() / count),
                  fmt("%.1f B list", figures[3].toDouble() / count), "<= 36 B"});
  } else {
    std::fprintf(stderr, "the memory measurement failed: %s\n",
                 child.readAllStandardError().constData());
  }
}

void printListMemory(const QString& path) {
  long long figures[4] = {};
  {
    Host host;
    host.open(path, QStringLiteral("ogr"));
    malloc_trim(0);
    resetPeak();
    const long long before = statusValue("VmRSS");
    SortedListModel model;
    host.loadList(model, QStringLiteral("PIN"));
    figures[0] = model.count();
    figures[1] = statusValue("VmHWM") - before;
    figures[2] = statusValue("VmRSS") - before;
    figures[3] = static_cast<long long>(model.memoryUsed());
  }
  std::printf("%lld %lld %lld %lld", figures[0], figures[1], figures[2], figures[3]);
}

} // namespace County
