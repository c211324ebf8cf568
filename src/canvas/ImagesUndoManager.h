#pragma once
// Snapshot undo of a canvas: each state name carries one snapshot (an opaque
// block of bytes), kept in a memory cache of limited size or spilled to a file
// in a folder of this manager's own under the caches folder. File writes and
// deletes run in order on a serial queue.
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "canvas/UndoManager.h"
#include "platform/foundation/Value.h"
#include "platform/graphics/Image.h"

using SnapshotData = std::shared_ptr<const fd::Data>;

// Application life-cycle notifications. Only the end of the program makes
// the manager drop its files: a window sent to the background (minimised)
// comes back with its undo history.
inline constexpr const char* kDidEnterBackgroundNotification = "UIApplicationDidEnterBackgroundNotification";
inline constexpr const char* kWillTerminateNotification = "UIApplicationWillTerminateNotification";

class ImagesUndoManager : public UndoManager {
 public:
  static constexpr std::uint32_t kDefaultStepCount = 50;
  static constexpr std::uint32_t kDefaultMaxCacheCount = 50;
  // Parent of every manager's own folder, under the caches folder.
  static constexpr const char* kTempDirectoryName = "TempDirectory";

  ImagesUndoManager();
  // The current state's snapshot (the picture when the canvas was made).
  explicit ImagesUndoManager(SnapshotData currentImage);
  explicit ImagesUndoManager(const gfx::Image& currentImage);
  ~ImagesUndoManager() override;

  bool addItemWithImageData(SnapshotData bytes);
  bool addItemWithImage(const gfx::Image& image);
  // nullptr when the current snapshot is neither cached nor on file.
  SnapshotData currentImageDataOfItem();
  std::optional<gfx::Image> currentImageItem() const;
  void setCurrentItemWithImageData(SnapshotData bytes);
  void setCurrentItemWithImage(const gfx::Image& image);
  void resetWithImageDataOfCurrentItem(SnapshotData bytes);
  void resetWithImageOfCurrentItem(const gfx::Image& image);

  // The snapshot file of a name; nullopt while no folder is set (nothing is
  // written then, rather than somewhere relative to the working folder).
  std::optional<std::filesystem::path> pathWithName(const std::string& name) const;
  std::optional<std::filesystem::path> currentPathOfItem() const { return pathWithName(selectItem_); }
  std::size_t curCacheCount() const { return cache_.size(); }
  bool isCached(const std::string& name) const { return cache_.count(name) != 0; }
  void removeOneObjectFromCache();
  void removeImageWithNames(const std::vector<std::string>& names);
  void writeData(SnapshotData bytes, const std::optional<std::filesystem::path>& path);
  void writeImage(const gfx::Image& image, const std::optional<std::filesystem::path>& path);

  const std::optional<std::filesystem::path>& tempDirectory() const { return tempDirectory_; }
  void setTempDirectory(const std::optional<std::filesystem::path>& path);
  const std::optional<std::string>& filePathExtension() const { return pathExtension_; }
  void setFilePathExtension(const std::optional<std::string>& ext) { pathExtension_ = ext; }
  // Deletes every snapshot file (the folder is made again) and empties both lists.
  void clearAllTempFiles();
  std::uint32_t maxCacheCount() const { return maxCacheCount_; }
  void setMaxCacheCount(std::uint32_t n) { maxCacheCount_ = n; }
  // Waits until every queued file write and delete has run.
  void waitForFiles();

  void clearUndoItems() override;
  void clearRedoItems() override;
  void didReceiveMemoryWarning() override;

 protected:
  // A step to a state whose snapshot is gone would lose the picture: refused.
  bool canStepTo(const std::string& item) override;

 private:
  void storeSnapshot(const std::string& name, SnapshotData bytes);

  std::optional<std::filesystem::path> tempDirectory_;
  std::optional<std::string> pathExtension_ = std::string("png");
  std::unique_ptr<fd::DispatchQueue> fileAccessQueue_;
  std::map<std::string, SnapshotData> cache_;
  std::uint32_t maxCacheCount_ = kDefaultMaxCacheCount;
};
