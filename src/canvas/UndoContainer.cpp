#include "canvas/UndoContainer.h"

UndoContainer& UndoContainer::defaultContainer() {
  static UndoContainer container;
  return container;
}

std::shared_ptr<UndoManager> UndoContainer::undoManagerForKey(const std::string& key) const {
  std::lock_guard lock(m_);
  auto it = managers_.find(key);
  return it == managers_.end() ? nullptr : it->second;
}

void UndoContainer::setUndoManager(std::shared_ptr<UndoManager> manager, const std::string& key) {
  std::lock_guard lock(m_);
  if (manager) {
    managers_[key] = std::move(manager);
  } else {
    managers_.erase(key);
  }
}
