#include "canvas/UndoManager.h"

UndoManager::UndoManager() {
  memoryObserver_ = fd::NotificationCenter::defaultCenter().addObserver(
      fd::kLowMemoryNotification, [this](const fd::Notification&) { didReceiveMemoryWarning(); }, this);
}

UndoManager::UndoManager(const std::string& currentItem) : UndoManager() { setCurrentItem(currentItem); }

UndoManager::~UndoManager() { fd::NotificationCenter::defaultCenter().removeObserver(memoryObserver_); }

void UndoManager::setCurrentItem(const std::optional<std::string>& item) {
  if (item) selectItem_ = *item;
}

bool UndoManager::addItemWithString(const std::optional<std::string>& item) {
  if (!item) return false;
  itemAccessSemaphore_.wait();
  if (!undoItems_.empty() && undoItems_.size() >= undoStepCount_) undoItems_.erase(undoItems_.begin());
  undoItems_.push_back(selectItem_);
  selectItem_ = *item;
  clearRedoItems();
  itemAccessSemaphore_.signal();
  return true;
}

bool UndoManager::step(std::vector<std::string>& from, std::vector<std::string>& to) {
  if (from.empty() || processCount_.load() != 0) return false;
  itemAccessSemaphore_.wait();
  const bool ok = !from.empty() && canStepTo(from.back());
  if (ok) {
    to.push_back(selectItem_);
    selectItem_ = from.back();
    from.pop_back();
  }
  itemAccessSemaphore_.signal();
  return ok;
}

bool UndoManager::undo() { return step(undoItems_, redoItems_); }

bool UndoManager::redo() { return step(redoItems_, undoItems_); }

void UndoManager::revertStep(bool redone) {
  std::vector<std::string>& from = redone ? undoItems_ : redoItems_;
  std::vector<std::string>& to = redone ? redoItems_ : undoItems_;
  itemAccessSemaphore_.wait();
  if (!from.empty()) {
    to.push_back(selectItem_);
    selectItem_ = from.back();
    from.pop_back();
  }
  itemAccessSemaphore_.signal();
}

void UndoManager::dropRedoItems() {
  itemAccessSemaphore_.wait();
  clearRedoItems();
  itemAccessSemaphore_.signal();
}

void UndoManager::reset() {
  itemAccessSemaphore_.wait();
  clearUndoItems();
  clearRedoItems();
  processCount_.store(0);
  itemAccessSemaphore_.signal();
}

void UndoManager::resetWithCurrentItem(const std::string& item) {
  itemAccessSemaphore_.wait();
  clearUndoItems();
  setCurrentItem(item);
  clearRedoItems();
  processCount_.store(0);
  itemAccessSemaphore_.signal();
}

void UndoManager::endProcess() {
  std::uint32_t v = processCount_.load();
  while (v > 0 && !processCount_.compare_exchange_weak(v, v - 1)) {
  }
}
