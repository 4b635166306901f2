#include "Timing.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace County {

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n == 0 ? 0.0 : (n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0);
}

double medianTime(int reps, const std::function<void()>& body) {
  std::vector<double> times;
  for (int i = 0; i < reps; ++i) {
    const auto start = Clock::now();
    body();
    times.push_back(seconds(start));
  }
  return median(times);
}

long long statusValue(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(key) + ":";
  while (std::getline(status, line))
    if (line.compare(0, prefix.size(), prefix) == 0)
      return std::atoll(line.c_str() + prefix.size()) * 1024;
  return -1;
}

void resetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
}

std::string load() {
  std::ifstream loadavg("/proc/loadavg");
  std::string first;
  loadavg >> first;
  return first;
}

std::string fmt(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string ms(double secondsValue) {
  return secondsValue < 0.01 ? fmt("%.3f ms", secondsValue * 1e3)
                             : fmt("%.1f ms", secondsValue * 1e3);
}

std::string us(double secondsValue) {
  return fmt("%.2f us", secondsValue * 1e6);
}

} // namespace County
