// Clocks, medians and the process's own figures (memory, load) for the county
// benchmark, and the texts its rows give them in.
#pragma once

#include <chrono>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace County {

using Clock = std::chrono::steady_clock;

/** The processor time of every thread of the process so far, in seconds. */
inline double cpu() {
  timespec now;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

/** The wall time since `start`, in seconds. */
inline double seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

/** A start in wall and in processor time. */
struct Stopwatch {
  Clock::time_point wall = Clock::now();
  double processor = cpu();
};

/** The wall and processor (all threads) times of repeated runs, in seconds. */
struct Times {
  std::vector<double> wall, cpu;
  /** Adds the times since `start`. */
  void add(const Stopwatch& start) {
    wall.push_back(seconds(start.wall));
    cpu.push_back(County::cpu() - start.processor);
  }
  /** Runs `body` once and adds its times. */
  void time(const std::function<void()>& body) {
    const Stopwatch start;
    body();
    add(start);
  }
};

/** The median of `values`; 0 when there are none. */
double median(std::vector<double> values);

/** Runs `body` `reps` times and gives the median of its times in seconds. */
double medianTime(int reps, const std::function<void()>& body);

/** A size in bytes from /proc/self/status (`key` is VmRSS, VmHWM, ...); -1 when it is not there. */
long long statusValue(const char* key);

/** Sets the peak resident size back to the current one. */
void resetPeak();

/** The machine's load average over the last minute, as uptime gives it. */
std::string load();

/** `value` printed with the printf `format`. */
std::string fmt(const char* format, double value);

/** Seconds as milliseconds: three decimals below 10 ms, one above. */
std::string ms(double secondsValue);

/** Seconds as microseconds with two decimals. */
std::string us(double secondsValue);

} // namespace County
