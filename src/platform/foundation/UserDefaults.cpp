#include "platform/foundation/UserDefaults.h"

#include <memory>

#include "platform/foundation/DamagedFile.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"

namespace fd {

namespace {

constexpr const char* kFileName = "flipdesk.plist";

std::mutex& sharedMutex() {
  static std::mutex m;
  return m;
}

std::unique_ptr<UserDefaults>& sharedStore() {
  static auto* store = new std::unique_ptr<UserDefaults>();  // never destroyed
  return *store;
}

}  // namespace

UserDefaults& UserDefaults::standard() {
  std::lock_guard lock(sharedMutex());
  auto& store = sharedStore();
  if (!store) store.reset(new UserDefaults(paths::preferences() / kFileName));
  return *store;
}

void UserDefaults::resetStandardForTesting() {
  std::lock_guard lock(sharedMutex());
  sharedStore().reset();
}

UserDefaults::UserDefaults(std::filesystem::path file) : file_(std::move(file)) {
  // A write killed before its rename left its temp file beside the store,
  // which is opened once a run, before it is written. A write still in
  // flight holds its temp file locked, and it stays.
  files::removeAtomicWriteLeftoversOf(file_);
  Expected<Value> root = readStoredDictionary(file_, DamagedFileReport::Kind::Preferences);
  if (!root) {
    damaged_ = true;
  } else if (root->isDictionary()) {
    values_ = *root->dictionary();
  }
}

Value UserDefaults::objectForKey(const std::string& key) const {
  std::lock_guard lock(mutex_);
  auto it = values_.find(key);
  return it == values_.end() ? Value() : it->second;
}

void UserDefaults::setObject(const std::string& key, Value value) {
  std::lock_guard lock(mutex_);
  if (value.isNull())
    values_.erase(key);
  else
    values_.insert_or_assign(key, std::move(value));
}

void UserDefaults::removeObjectForKey(const std::string& key) { setObject(key, Value()); }

std::int64_t UserDefaults::integerForKey(const std::string& key) const { return objectForKey(key).integerValue(); }
double UserDefaults::doubleForKey(const std::string& key) const { return objectForKey(key).doubleValue(); }
float UserDefaults::floatForKey(const std::string& key) const { return objectForKey(key).floatValue(); }
bool UserDefaults::boolForKey(const std::string& key) const { return objectForKey(key).boolValue(); }
std::string UserDefaults::stringForKey(const std::string& key) const { return objectForKey(key).stringValue(); }

bool UserDefaults::synchronize() { return synchronizeReporting().ok(); }

Status UserDefaults::synchronizeReporting() {
  std::lock_guard writeLock(writeMutex_);
  Value snapshot;
  {
    std::lock_guard lock(mutex_);
    snapshot = Value(values_);
  }
  if (!files::createDirectory(file_.parent_path())) return fail("cannot make " + file_.parent_path().string());
  Status written = writePropertyList(file_, snapshot);
  if (!written) Log("UserDefaults: %s", written.error().c_str());
  return written;
}

std::filesystem::path UserDefaults::filePath() const { return file_; }

}  // namespace fd
