#pragma once
// The bound on list files scaled down for a test, so that lists at its edge
// are made and read in milliseconds; the program's own comes back after.
#include <cstdint>

#include "platform/foundation/PropertyListCheck.h"

namespace testing_support {

class ScopedListFileBound {
 public:
  explicit ScopedListFileBound(std::uint64_t bytes) { fd::plistcheck::setFileBoundForTesting(bytes); }
  ~ScopedListFileBound() { fd::plistcheck::setFileBoundForTesting(0); }
  ScopedListFileBound(const ScopedListFileBound&) = delete;
  ScopedListFileBound& operator=(const ScopedListFileBound&) = delete;
};

}  // namespace testing_support
