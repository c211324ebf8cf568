#pragma once
// Bookkeeping of snapshot undo: the name of the current state, the names of
// earlier states (undo list, oldest first) and of undone ones (redo list, next
// to redo last), a step limit and a lock. Subclasses attach the snapshots.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Dispatch.h"
#include "platform/foundation/NotificationCenter.h"

class UndoManager {
 public:
  static constexpr const char* kInitialItem = "InitString";

  UndoManager();
  explicit UndoManager(const std::string& currentItem);
  virtual ~UndoManager();
  UndoManager(const UndoManager&) = delete;
  UndoManager& operator=(const UndoManager&) = delete;

  const std::string& currentStringItem() const { return selectItem_; }
  // nullopt is ignored.
  void setCurrentItem(const std::optional<std::string>& item);
  // nullopt: NO, nothing changes.
  bool addItemWithString(const std::optional<std::string>& item);
  bool canUndo() const { return !undoItems_.empty(); }
  bool canRedo() const { return !redoItems_.empty(); }
  // NO while snapshot writes are in flight or there is nothing to step to.
  virtual bool undo();
  virtual bool redo();
  // Takes back the step just made by undo (redone = NO) or redo (YES), with no
  // check: for a caller that found the state it stepped to unusable.
  void revertStep(bool redone);
  // Empties the redo list under the item lock: no undone state can return.
  void dropRedoItems();
  virtual void clearUndoItems() { undoItems_.clear(); }
  virtual void clearRedoItems() { redoItems_.clear(); }
  void reset();
  void resetWithCurrentItem(const std::string& item);

  std::uint32_t undoStepCount() const { return undoStepCount_; }
  void setUndoStepCount(std::uint32_t n) { undoStepCount_ = n; }
  virtual void didReceiveMemoryWarning() {}

  const std::vector<std::string>& undoItems() const { return undoItems_; }
  const std::vector<std::string>& redoItems() const { return redoItems_; }
  std::uint32_t processCount() const { return processCount_.load(); }

 protected:
  // Called with the item lock held, before a step: NO refuses the step.
  virtual bool canStepTo(const std::string& /*item*/) { return true; }
  void beginProcess() { processCount_.fetch_add(1); }
  void endProcess();

  std::vector<std::string> undoItems_;
  std::vector<std::string> redoItems_;
  std::string selectItem_ = kInitialItem;
  std::uint32_t undoStepCount_ = 0;
  fd::Semaphore itemAccessSemaphore_{1};
  std::atomic<std::uint32_t> processCount_{0};

 private:
  bool step(std::vector<std::string>& from, std::vector<std::string>& to);
  fd::NotificationCenter::ObserverId memoryObserver_ = 0;
};
