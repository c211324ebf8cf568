#pragma once
// The canvas's random numbers (dab rotation, random dab sizes): one seedable
// source shared by every canvas on the main thread, so tests can replay a stroke.
#include <cstdint>

namespace dab_random {

// A non-negative number, as rand() gives.
int next();
// Restarts the sequence; the source starts seeded with 1.
void seed(std::uint32_t value);

}  // namespace dab_random
