// What every section of the county benchmark shares: the command line's
// options, the host, the rows reported so far and the processor hold.
#pragma once

#include "Host.h"
#include "Timing.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <sched.h>
#include <string>
#include <vector>

namespace County {

/** The size at which most goals are set. */
constexpr long long kMillion = 1000000;

/** The command line's options. */
struct Options {
  QString data, out, pg, pgTable = QStringLiteral("parcels"), pgField = QStringLiteral("parcel_id");
  std::vector<long long> sizes = {10000, 100000, 1000000};
  int reps = 7;
  long long pgCount = 1000000;
  bool quick = false;
  QString only;      // the sections to run, by letter; all when empty
  unsigned seed = 0; // the order of the sections; from the clock when not given

  /** Reads `arguments` (the program's, its name first); returns false when --data is missing. */
  bool parse(const QStringList& arguments);
  /** The largest of the sizes. */
  long long largest() const;
  /** Returns whether the section with this letter is to run. */
  bool section(char letter) const;
};

/**
 * One row of the results: a measure, our median, the baseline's, their ratio,
 * the goal, and where both are timed so, the medians and ratio of processor time.
 */
struct Row {
  std::string what, ours, baseline, ratio, goal, cpuOurs, cpuBaseline, cpuRatio,
      load = County::load();
};

/** Ours and a baseline measured in turn; `agree` false when a check of their results failed. */
struct Pair {
  Times ours, base;
  bool agree = true;
};

/**
 * The context each section runs in. The rows it reports go to `rows`, which
 * outlives it; the host and the options are the caller's.
 */
class BenchContext {
public:
  /** Records the processors the process may use, for threads(). */
  BenchContext(const Options& options, Host& host, std::vector<Row>& rows);

  /** Keeps the row for the table and prints it at once. */
  void report(const Row& row);
  /**
   * Reports ours against the baseline called `name`: the medians of wall and
   * processor time and their ratios, and "LISTS DIFFER" when a check failed.
   */
  void report(const std::string& what, const Pair& pair, const std::string& name,
              const std::string& goal);
  /**
   * Runs `ours` and `base` --reps times each, in turn, the one that goes
   * first changing with each repetition; after each repetition, untimed,
   * `check` compares their results and releases them.
   */
  Pair pair(const std::function<void()>& ours, const std::function<void()>& base,
            const std::function<bool()>& check);
  /** Our time over the baseline's, as "1.23x". */
  static std::string ratio(double ours, double baseline);
  /** Returns whether the section with this letter is to run. */
  bool section(char letter) const { return options.section(letter); }
  /**
   * Holds the process to its first `n` processors, as taskset would. Our code
   * takes no more threads than the processors it may run on, so the
   * one-thread rows run under threads(1), and their baselines with them.
   */
  void threads(int n);

  /**
   * The two-thread list of the largest GeoPackage, for "Go" and the click to
   * zoom: the one kept by keepLargestList, else loaded now (the host's layer
   * is then that file).
   */
  const Larkhill::SortedListModel& largestList();
  /** Keeps `list` as the largest GeoPackage's list. */
  void keepLargestList(std::unique_ptr<Larkhill::SortedListModel> list);

  const Options& options;
  Host& host;
  std::vector<Row>& rows;

private:
  cpu_set_t mAllProcessors;
  std::unique_ptr<Larkhill::SortedListModel> mLargestList;
};

/** The threads of a row, as ", 1 thread" or ", 2 threads". */
std::string threadsText(int threads);

/**
 * Writes `rows` to the file at `path` as a Markdown table, and `note` after it
 * when there is one; nothing when the file cannot be opened.
 */
void writeTable(const QString& path, const std::vector<Row>& rows, const std::string& note);

} // namespace County
