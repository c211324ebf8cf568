#include "platform/foundation/Log.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

namespace fd {

void Log(const char* format, ...) {
  static std::mutex m;
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string line;
  if (n > 0) {
    line.resize(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(line.data(), line.size(), format, args);
    line.resize(static_cast<std::size_t>(n));
  }
  va_end(args);
  if (line.empty() || line.back() != '\n') line.push_back('\n');
  std::lock_guard lock(m);
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace fd
