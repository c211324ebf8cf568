#pragma once
// The standard user-defaults store: one property list under Library/Preferences.
// Setters change memory only; synchronize() writes the file atomically. Opening
// the store removes the temp files of its writes that a kill cut short.
#include <filesystem>
#include <mutex>
#include <string>

#include "platform/foundation/Expected.h"
#include "platform/foundation/Value.h"

namespace fd {

class UserDefaults {
 public:
  static UserDefaults& standard();
  // Drops the shared store so the next standard() re-reads the file (tests,
  // and a changed sandbox root).
  static void resetStandardForTesting();

  // A null value when the key is not set.
  Value objectForKey(const std::string& key) const;
  void setObject(const std::string& key, Value value);  // a null value removes
  void removeObjectForKey(const std::string& key);

  std::int64_t integerForKey(const std::string& key) const;
  double doubleForKey(const std::string& key) const;
  float floatForKey(const std::string& key) const;
  bool boolForKey(const std::string& key) const;
  std::string stringForKey(const std::string& key) const;  // "" when unset

  // Writes the store. Refused (false) while an unreadable store file could
  // not be moved aside (the file layer holds it): writing would destroy its
  // only copy.
  bool synchronize();
  // The same write, with why it failed (the system's error number among it).
  Status synchronizeReporting();
  std::filesystem::path filePath() const;
  // The store file was there but could not be read: it was moved aside (and
  // reported) and the store started empty.
  bool startedFromDamagedFile() const { return damaged_; }

 private:
  explicit UserDefaults(std::filesystem::path file);
  std::filesystem::path file_;
  mutable std::mutex mutex_;
  std::mutex writeMutex_;  // keeps concurrent synchronize() calls in order
  Dictionary values_;
  bool damaged_ = false;
};

}  // namespace fd
