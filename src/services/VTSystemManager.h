#pragma once
// The statistics facade: counts custom events and the durations of timed
// events into a local record under the Library folder. Nothing leaves the
// device. Safe to call from any thread.
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/Value.h"

class VTSystemManager {
 public:
  static VTSystemManager& sharedManager();
  // Tests: drops the facade so the next sharedManager() reads the record of
  // the current sandbox.
  static void resetSharedManagerForTesting();

  void event(const std::string& name);
  void beginEvent(const std::string& name);
  // Ends the timed event begun last and records its duration under `name`.
  void endEvent(const std::string& name);

  // The record as stored: {"Events": {name: count},
  // "TimedEvents": {name: {"Count": n, "Duration": seconds}}}.
  fd::Value record() const;
  static std::filesystem::path recordPath();
  // Seconds on a monotonic clock; tests may replace it.
  void setClockForTesting(std::function<double()> clock);

 private:
  VTSystemManager();
  void store();

  mutable std::mutex mutex_;
  fd::Value record_;
  std::vector<std::pair<std::string, double>> begun_;
  std::function<double()> clock_;
};
