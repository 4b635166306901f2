#include "BenchContext.h"

#include <QFile>
#include <QTextStream>
#include <algorithm>
#include <cstdio>

namespace County {

bool Options::parse(const QStringList& arguments) {
  for (int i = 1; i < arguments.size(); ++i) {
    const QString& key = arguments[i];
    if (key == "--quick") {
      quick = true;
      continue;
    }
    if (i + 1 >= arguments.size())
      break;
    const QString& value = arguments[++i];
    if (key == "--data")
      data = value;
    else if (key == "--out")
      out = value;
    else if (key == "--pg")
      pg = value;
    else if (key == "--pg-table")
      pgTable = value;
    else if (key == "--pg-field")
      pgField = value;
    else if (key == "--reps")
      reps = value.toInt();
    else if (key == "--only")
      only = value;
    else if (key == "--pg-count")
      pgCount = value.toLongLong();
    else if (key == "--sizes") {
      sizes.clear();
      for (const QString& size : value.split(','))
        sizes.push_back(size.toLongLong());
    }
  }
  return !data.isEmpty();
}

long long Options::largest() const {
  return *std::max_element(sizes.begin(), sizes.end());
}

bool Options::section(char letter) const {
  return only.isEmpty() || only.contains(QLatin1Char(letter));
}

BenchContext::BenchContext(const Options& options, Host& host, std::vector<Row>& rows)
    : options(options), host(host), rows(rows) {
  sched_getaffinity(0, sizeof mAllProcessors, &mAllProcessors);
}

void BenchContext::report(const Row& row) {
  rows.push_back(row);
  std::printf("%-62s %13s %18s %7s %-9s load %s\n", row.what.c_str(), row.ours.c_str(),
              row.baseline.c_str(), row.ratio.c_str(), row.goal.c_str(), row.load.c_str());
  std::fflush(stdout);
}

std::string BenchContext::ratio(double ours, double baseline) {
  return fmt("%.2fx", ours / baseline);
}

void BenchContext::threads(int n) {
  cpu_set_t held;
  CPU_ZERO(&held);
  for (int cpu = 0, taken = 0; cpu < CPU_SETSIZE && taken < n; ++cpu)
    if (CPU_ISSET(cpu, &mAllProcessors)) {
      CPU_SET(cpu, &held);
      ++taken;
    }
  sched_setaffinity(0, sizeof held, &held);
}

void writeTable(const QString& path, const std::vector<Row>& rows) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
    return;
  QTextStream stream(&file);
  stream << "| Measure | Ours (median) | Baseline (median) | Ratio | Goal | Load |\n";
  stream << "|---|---:|---:|---:|---|---:|\n";
  for (const Row& row : rows)
    stream << "| " << QString::fromStdString(row.what) << " | " << QString::fromStdString(row.ours)
           << " | " << QString::fromStdString(row.baseline) << " | "
           << QString::fromStdString(row.ratio) << " | " << QString::fromStdString(row.goal)
           << " | " << QString::fromStdString(row.load) << " |\n";
}

} // namespace County
