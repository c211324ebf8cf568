#pragma once
// Named steps inside multi-file operations (saves, deletes, combinations) where
// a test can have the process die, to prove that a kill at that moment loses
// nothing that was saved, or have an allocation fail, to prove that running
// out of memory there is told and leaves nothing. In the program no step is
// ever armed and a crash point costs one relaxed atomic load.
#include <string>
#include <string_view>

namespace fd {

// Marks a step. When this step is armed and its countdown reaches zero, the
// process ends at once with _exit(kCrashPointExitCode): no destructors, no
// buffered writes flushed, as a kill would leave it; or, when armed with
// armAllocationFailure, std::bad_alloc is thrown there once.
void crashPoint(std::string_view step);

// Arms one step: the process dies on the hit-th time it passes the step
// (hit >= 1). Arming again replaces the previous one. Also armed at start-up
// from $FLIPDESK_CRASH_AT ("step" or "step:hit").
void armCrashPoint(std::string step, int hit = 1);
void disarmCrashPoint();

// Arms one step to throw std::bad_alloc on the hit-th pass, as an allocation
// failing there would; the step is disarmed as it throws, so what the caller
// does to recover passes it freely. Replaces any armed step.
void armAllocationFailure(std::string step, int hit = 1);

inline constexpr int kCrashPointExitCode = 86;

}  // namespace fd
