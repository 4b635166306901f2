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
    else if (key == "--seed")
      seed = value.toUInt();
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
  std::printf("%-62s %13s %22s %7s | cpu %13s %22s %7s | %-9s load %s\n", row.what.c_str(),
              row.ours.c_str(), row.baseline.c_str(), row.ratio.c_str(), row.cpuOurs.c_str(),
              row.cpuBaseline.c_str(), row.cpuRatio.c_str(), row.goal.c_str(), row.load.c_str());
  std::fflush(stdout);
}

void BenchContext::report(const std::string& what, const Pair& pair, const std::string& name,
                          const std::string& goal) {
  const double ours = median(pair.ours.wall), base = median(pair.base.wall);
  const double cpuOurs = median(pair.ours.cpu), cpuBase = median(pair.base.cpu);
  report({what + (pair.agree ? "" : " (LISTS DIFFER)"), ms(ours), ms(base) + " " + name,
          ratio(ours, base), goal, ms(cpuOurs), ms(cpuBase) + " " + name, ratio(cpuOurs, cpuBase)});
}

Pair BenchContext::pair(const std::function<void()>& ours, const std::function<void()>& base,
                        const std::function<bool()>& check) {
  Pair result;
  for (int i = 0; i < options.reps; ++i) {
    if (i % 2 == 0) {
      result.ours.time(ours);
      result.base.time(base);
    } else {
      result.base.time(base);
      result.ours.time(ours);
    }
    result.agree = check() && result.agree;
  }
  return result;
}

const Larkhill::SortedListModel& BenchContext::largestList() {
  if (!mLargestList) {
    host.open(options.data + "/parcels-" + QString::number(options.largest()) + ".gpkg",
              QStringLiteral("ogr"));
    threads(2);
    mLargestList = std::make_unique<Larkhill::SortedListModel>();
    host.loadList(*mLargestList, QStringLiteral("PIN"));
  }
  return *mLargestList;
}

void BenchContext::keepLargestList(std::unique_ptr<Larkhill::SortedListModel> list) {
  mLargestList = std::move(list);
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

std::string threadsText(int threads) {
  return threads == 1 ? ", 1 thread" : ", " + std::to_string(threads) + " threads";
}

void writeTable(const QString& path, const std::vector<Row>& rows, const std::string& note) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
    return;
  QTextStream stream(&file);
  stream << "| Measure | Ours (median) | Baseline (median) | Ratio | Ours CPU | Baseline CPU "
            "| CPU ratio | Goal | Load |\n";
  stream << "|---|---:|---:|---:|---:|---:|---:|---|---:|\n";
  for (const Row& row : rows)
    for (const std::string* cell : {&row.what, &row.ours, &row.baseline, &row.ratio, &row.cpuOurs,
                                     &row.cpuBaseline, &row.cpuRatio, &row.goal, &row.load})
      stream << "| " << QString::fromStdString(*cell) << (cell == &row.load ? " |\n" : " ");
  if (!note.empty())
    stream << "\n" << QString::fromStdString(note) << "\n";
}

} // namespace County
