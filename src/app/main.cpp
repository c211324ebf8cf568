// flipdesk's entry: prepares the sandbox and reports where it lives.
#include <cstdio>

#include "platform/foundation/Paths.h"

int main() {
  if (!fd::paths::ensureSandbox()) {
    std::fprintf(stderr, "flipdesk: cannot create the data folder %s\n", fd::paths::home().c_str());
    return 1;
  }
  std::printf("flipdesk data folder: %s\n", fd::paths::home().c_str());
  return 0;
}
