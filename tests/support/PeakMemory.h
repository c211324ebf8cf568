#pragma once
// What the process's resident memory grows by at most while some work runs,
// for benchmarks that weigh memory beside time.
#include <malloc.h>

#include <fstream>
#include <string>

namespace testing_support {

// A field of /proc/self/status in KiB (VmRSS, VmHWM, ...); -1 when unread.
inline long statusKiB(const char* field) {
  std::ifstream in("/proc/self/status");
  const std::string prefix = std::string(field) + ":";
  for (std::string line; std::getline(in, line);)
    if (line.starts_with(prefix)) return std::stol(line.substr(prefix.size()));
  return -1;
}

// In MB: memory freed by earlier work is handed back and the peak reset to
// the current size first.
template <typename Work>
double peakGrowthMB(Work&& work) {
  malloc_trim(0);
  std::ofstream("/proc/self/clear_refs") << "5";
  const long before = statusKiB("VmRSS");
  work();
  return static_cast<double>(statusKiB("VmHWM") - before) / 1024.0;
}

}  // namespace testing_support
