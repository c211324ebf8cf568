#include "services/VTSystemManager.h"

#include <chrono>
#include <cstdint>
#include <limits>

#include "platform/foundation/DamagedFile.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"

namespace {

constexpr const char* kEventsKey = "Events";
constexpr const char* kTimedEventsKey = "TimedEvents";
constexpr const char* kCountKey = "Count";
constexpr const char* kDurationKey = "Duration";

std::mutex& sharedMutex() {
  static std::mutex m;
  return m;
}

std::unique_ptr<VTSystemManager>& sharedSlot() {
  static auto* manager = new std::unique_ptr<VTSystemManager>();  // never destroyed
  return *manager;
}

// A count one more, or as it is once it is the largest a record holds: a
// record carried from elsewhere may hold any count, and one more must neither
// wrap to a negative count nor change a larger one.
fd::Value countedOnce(const fd::Value& count) {
  const std::int64_t n = count.integerValue();
  if (count.largeUnsigned() || n == std::numeric_limits<std::int64_t>::max()) return count;
  return fd::Value(n + 1);
}

double steadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The stored record, keeping only entries of the expected shape. A record
// that cannot be read is set aside and told, never written over.
fd::Value loadRecord(const std::filesystem::path& path) {
  fd::Dictionary events;
  fd::Dictionary timed;
  fd::files::removeAtomicWriteLeftoversOf(path);
  if (const fd::Expected<fd::Value> stored =
          fd::readStoredDictionary(path, fd::DamagedFileReport::Kind::Settings, path.filename().string())) {
    if (const fd::Dictionary* e = (*stored)[kEventsKey].dictionary()) {
      for (const auto& [name, count] : *e) {
        if (count.isInteger()) events[name] = count;
      }
    }
    if (const fd::Dictionary* t = (*stored)[kTimedEventsKey].dictionary()) {
      for (const auto& [name, entry] : *t) {
        if (entry[kCountKey].isInteger() && entry[kDurationKey].isNumber()) timed[name] = entry;
      }
    }
  }
  return fd::Value(fd::Dictionary{{kEventsKey, fd::Value(std::move(events))}, {kTimedEventsKey, fd::Value(std::move(timed))}});
}

}  // namespace

VTSystemManager& VTSystemManager::sharedManager() {
  std::lock_guard lock(sharedMutex());
  std::unique_ptr<VTSystemManager>& slot = sharedSlot();
  if (!slot) slot.reset(new VTSystemManager());
  return *slot;
}

void VTSystemManager::resetSharedManagerForTesting() {
  std::lock_guard lock(sharedMutex());
  sharedSlot().reset();
}

VTSystemManager::VTSystemManager() : record_(loadRecord(recordPath())), clock_(steadySeconds) {}

std::filesystem::path VTSystemManager::recordPath() {
  return fd::paths::library() / "Statistics" / "events.plist";
}

void VTSystemManager::setClockForTesting(std::function<double()> clock) {
  std::lock_guard lock(mutex_);
  clock_ = clock ? std::move(clock) : std::function<double()>(steadySeconds);
}

fd::Value VTSystemManager::record() const {
  std::lock_guard lock(mutex_);
  return record_;
}

void VTSystemManager::store() {
  fd::files::createDirectory(recordPath().parent_path());
  (void)fd::writePropertyList(recordPath(), record_);
}

void VTSystemManager::event(const std::string& name) {
  std::lock_guard lock(mutex_);
  fd::Value& count = record_[kEventsKey][name];
  count = countedOnce(count);
  store();
}

void VTSystemManager::beginEvent(const std::string& name) {
  std::lock_guard lock(mutex_);
  begun_.emplace_back(name, clock_());
}

void VTSystemManager::endEvent(const std::string& name) {
  std::lock_guard lock(mutex_);
  if (begun_.empty()) return;
  const double seconds = clock_() - begun_.back().second;
  begun_.pop_back();
  fd::Value& entry = record_[kTimedEventsKey][name];
  entry[kCountKey] = countedOnce(entry[kCountKey]);
  entry[kDurationKey] = fd::Value(entry[kDurationKey].doubleValue() + seconds);
  store();
}
