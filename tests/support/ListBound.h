#pragma once
// The bounds on list files and on what a read builds, scaled down for a
// test, so that lists at their edge are made and read in milliseconds; the
// program's own come back after.
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

class ScopedBuildBudget {
 public:
  explicit ScopedBuildBudget(std::uint64_t bytes) { fd::plistcheck::setBuildBudgetForTesting(bytes); }
  ~ScopedBuildBudget() { fd::plistcheck::setBuildBudgetForTesting(0); }
  ScopedBuildBudget(const ScopedBuildBudget&) = delete;
  ScopedBuildBudget& operator=(const ScopedBuildBudget&) = delete;
};

}  // namespace testing_support
