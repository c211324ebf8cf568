#include "canvas/ImagesUndoManager.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <system_error>

#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/TimestampId.h"

namespace {

// A folder name no other manager of this or another live process uses, so
// that one canvas's clean-up never deletes another's snapshots.
std::string uniqueFolderName() {
  static std::atomic<unsigned> counter{0};
  return "undo-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
}

SnapshotData pngOf(const gfx::Image& image) {
  auto png = gfx::encodePNG(image);
  if (!png) return nullptr;
  return std::make_shared<const fd::Data>(std::move(*png));
}

}  // namespace

ImagesUndoManager::ImagesUndoManager() {
  undoStepCount_ = kDefaultStepCount;
  setTempDirectory(fd::paths::caches() / kTempDirectoryName / uniqueFolderName());
  fileAccessQueue_ = std::make_unique<fd::DispatchQueue>("flipdesk.undo.file-access");
  auto& center = fd::NotificationCenter::defaultCenter();
  center.addObserver(kWillTerminateNotification, [this](const fd::Notification&) { clearAllTempFiles(); }, this);
}

ImagesUndoManager::ImagesUndoManager(SnapshotData currentImage) : ImagesUndoManager() {
  setCurrentItemWithImageData(std::move(currentImage));
}

ImagesUndoManager::ImagesUndoManager(const gfx::Image& currentImage) : ImagesUndoManager() {
  setCurrentItemWithImage(currentImage);
}

ImagesUndoManager::~ImagesUndoManager() {
  fd::NotificationCenter::defaultCenter().removeObserver(static_cast<const void*>(this));
  // Let queued writes land first, so none recreates a file after the folder goes.
  fileAccessQueue_.reset();
  if (tempDirectory_) fd::files::removeItem(*tempDirectory_);
  cache_.clear();
}

std::optional<std::filesystem::path> ImagesUndoManager::pathWithName(const std::string& name) const {
  if (!tempDirectory_) return std::nullopt;
  std::filesystem::path p = *tempDirectory_ / name;
  if (pathExtension_) p += "." + *pathExtension_;
  return p;
}

bool ImagesUndoManager::addItemWithImageData(SnapshotData bytes) {
  if (!undoItems_.empty() && undoItems_.size() >= undoStepCount_) removeImageWithNames({undoItems_.front()});
  const std::string name = fd::timestampId();
  addItemWithString(name);
  storeSnapshot(name, std::move(bytes));
  return true;
}

bool ImagesUndoManager::addItemWithImage(const gfx::Image& image) { return addItemWithImageData(pngOf(image)); }

void ImagesUndoManager::storeSnapshot(const std::string& name, SnapshotData bytes) {
  if (maxCacheCount_ != 0) {
    if (cache_.size() >= maxCacheCount_) removeOneObjectFromCache();
    cache_[name] = std::move(bytes);
  } else {
    writeData(std::move(bytes), pathWithName(name));
  }
}

void ImagesUndoManager::setCurrentItemWithImageData(SnapshotData bytes) { storeSnapshot(selectItem_, std::move(bytes)); }

void ImagesUndoManager::setCurrentItemWithImage(const gfx::Image& image) {
  writeData(pngOf(image), currentPathOfItem());
}

SnapshotData ImagesUndoManager::currentImageDataOfItem() {
  if (auto it = cache_.find(selectItem_); it != cache_.end()) return it->second;
  // A spill of this very snapshot may still be on its way to the file.
  if (processCount_.load() != 0) waitForFiles();
  const auto path = currentPathOfItem();
  if (!path) return nullptr;
  // The snapshots are pictures of the canvas, decoded within the default
  // limits: a file past what those admit is no snapshot of ours.
  fd::Expected<fd::Data> bytes = fd::files::readFile(*path, gfx::ReadLimits{}.largestFile());
  if (!bytes) return nullptr;
  auto data = std::make_shared<const fd::Data>(std::move(bytes).value());
  if (maxCacheCount_ != 0) {
    if (cache_.size() >= maxCacheCount_) removeOneObjectFromCache();
    cache_[selectItem_] = data;
  }
  return data;
}

std::optional<gfx::Image> ImagesUndoManager::currentImageItem() const {
  const auto path = currentPathOfItem();
  return path ? gfx::readPNG(*path).toOptional() : std::nullopt;
}

void ImagesUndoManager::resetWithImageDataOfCurrentItem(SnapshotData bytes) {
  reset();
  setCurrentItemWithImageData(std::move(bytes));
}

void ImagesUndoManager::resetWithImageOfCurrentItem(const gfx::Image& image) {
  reset();
  setCurrentItemWithImage(image);
}

void ImagesUndoManager::removeOneObjectFromCache() {
  const long undoCount = static_cast<long>(undoItems_.size());
  const long redoCount = static_cast<long>(redoItems_.size());
  long best = -1;
  const std::string* chosen = nullptr;
  bool redoChosen = false;
  for (const auto& [key, bytes] : cache_) {
    auto inUndo = std::find(undoItems_.begin(), undoItems_.end(), key);
    if (!redoChosen && inUndo != undoItems_.end()) {
      const long score = undoCount - (inUndo - undoItems_.begin());
      if (score > best) chosen = &key;
      best = std::max(best, score);
      continue;
    }
    auto inRedo = std::find(redoItems_.begin(), redoItems_.end(), key);
    if (inRedo != redoItems_.end()) {
      const long score = redoCount - (inRedo - redoItems_.begin());
      if (score > best) {
        chosen = &key;
        redoChosen = true;
      }
      best = std::max(best, score);
    } else if (key == selectItem_ && best == -1) {
      chosen = &key;
      best = 0;
    }
  }
  if (chosen == nullptr) return;
  const std::string name = *chosen;
  writeData(cache_[name], pathWithName(name));
  cache_.erase(name);
}

void ImagesUndoManager::removeImageWithNames(const std::vector<std::string>& names) {
  std::vector<std::filesystem::path> paths;
  for (const auto& name : names) {
    if (auto path = pathWithName(name)) paths.push_back(std::move(*path));
    cache_.erase(name);
  }
  if (!fileAccessQueue_) return;
  fileAccessQueue_->async([paths = std::move(paths)] {
    for (const auto& p : paths) {
      std::error_code ec;
      if (std::filesystem::exists(p, ec)) std::filesystem::remove(p, ec);
    }
  });
}

void ImagesUndoManager::writeData(SnapshotData bytes, const std::optional<std::filesystem::path>& path) {
  if (!path || !fileAccessQueue_) return;
  beginProcess();
  fileAccessQueue_->async([this, bytes = std::move(bytes), p = *path] {
    if (bytes) {
      fd::files::writeFileAtomically(p, *bytes);
    } else {
      std::error_code ec;
      std::filesystem::remove(p, ec);
    }
    endProcess();
  });
}

void ImagesUndoManager::writeImage(const gfx::Image& image, const std::optional<std::filesystem::path>& path) {
  writeData(pngOf(image), path);
}

void ImagesUndoManager::setTempDirectory(const std::optional<std::filesystem::path>& path) {
  if (tempDirectory_ && fd::files::isDirectory(*tempDirectory_)) fd::files::removeItem(*tempDirectory_);
  tempDirectory_ = path;
  if (tempDirectory_ && !fd::files::exists(*tempDirectory_)) fd::files::createDirectory(*tempDirectory_);
}

void ImagesUndoManager::clearAllTempFiles() {
  if (fileAccessQueue_ && tempDirectory_) {
    fileAccessQueue_->async([dir = *tempDirectory_] {
      fd::files::removeItem(dir);
      fd::files::createDirectory(dir);
    });
  }
  reset();
}

void ImagesUndoManager::waitForFiles() {
  if (fileAccessQueue_) fileAccessQueue_->drain();
}

void ImagesUndoManager::clearUndoItems() {
  if (fileAccessQueue_) removeImageWithNames(undoItems_);
  UndoManager::clearUndoItems();
}

void ImagesUndoManager::clearRedoItems() {
  if (fileAccessQueue_) removeImageWithNames(redoItems_);
  UndoManager::clearRedoItems();
}

void ImagesUndoManager::didReceiveMemoryWarning() {
  removeOneObjectFromCache();
  removeOneObjectFromCache();
  maxCacheCount_ = static_cast<std::uint32_t>(cache_.size());
}

bool ImagesUndoManager::canStepTo(const std::string& item) {
  const auto path = pathWithName(item);
  return cache_.count(item) != 0 || (path && fd::files::exists(*path));
}
