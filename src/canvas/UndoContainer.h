#pragma once
// A keyed registry of undo managers, shared process-wide.
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "canvas/UndoManager.h"

class UndoContainer {
 public:
  static UndoContainer& defaultContainer();

  // nullptr when no manager is registered under the key.
  std::shared_ptr<UndoManager> undoManagerForKey(const std::string& key) const;
  // A null manager removes the key.
  void setUndoManager(std::shared_ptr<UndoManager> manager, const std::string& key);

 private:
  mutable std::mutex m_;
  std::map<std::string, std::shared_ptr<UndoManager>> managers_;
};
