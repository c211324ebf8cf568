// Frames of a project: queries over repeat runs, and adding, copying,
// deleting, moving and parking frames.
//
// A run's length is never taken on trust from kReapeatNumber alone: a stale
// number (on a record that does not start a run, or counting past the copies
// that really follow) must not move, copy or delete frames outside the run.
#include <algorithm>

#include "model/ProjectDataModel.h"
#include "model/SafeName.h"
#include "platform/foundation/FileUtil.h"
#include "platform/graphics/Context.h"

namespace {

// Sanity bound for the run length of a parked record read from a file.
constexpr int kMaxRepeatRun = 10000;
constexpr gfx::Size kSnapshotSize{384, 288};
constexpr gfx::Size kIconSize{108, 81};

// Length of the run starting at index i: 1 + the repeat copies with the same
// IconName that follow, bounded by its kReapeatNumber.
int runLengthAt(const std::vector<FrameRecord>& list, std::size_t i) {
  if (i >= list.size() || !list[i].isRunStart()) return 1;
  int wanted = std::max(list[i].reapeatNumber.value_or(1), 1);
  int length = 1;
  while (length < wanted && i + length < list.size() && list[i + length].isRepeatCopy() &&
         list[i + length].iconName == list[i].iconName) {
    ++length;
  }
  return length;
}

}  // namespace

// --- queries

bool ProjectDataModel::isByReapeatFrame(int page) const {
  const FrameRecord* r = recordAt(page, false);
  return r != nullptr && r->isRunStart();
}

bool ProjectDataModel::isReapeatFrame(int page) const {
  const FrameRecord* r = recordAt(page, false);
  return r != nullptr && r->isRepeatCopy();
}

int ProjectDataModel::reapeatFrame(int page) const {
  const int count = static_cast<int>(imagesArray_.size());
  if (count == 0) return page;
  int q = std::clamp(page, 1, count);
  const std::string& icon = imagesArray_[q - 1].iconName;
  // Walk back through the copies to the first frame whose run covers q.
  for (int j = q; j >= 1; --j) {
    const FrameRecord& r = imagesArray_[j - 1];
    if (r.iconName != icon) break;
    if (r.isRunStart()) return j + runLengthAt(imagesArray_, j - 1) > q ? j : page;
    if (!r.isRepeatCopy()) break;
  }
  return page;
}

int ProjectDataModel::reapeatFrameNumber(int page) const {
  if (page < 1 || page > static_cast<int>(imagesArray_.size())) return 1;
  return runLengthAt(imagesArray_, page - 1);
}

int ProjectDataModel::pageUpWithCurrentPage(int page) const {
  const int count = static_cast<int>(imagesArray_.size());
  if (page > count) return page;
  for (int j = page; j >= 1; --j) {
    if (!imagesArray_[j - 1].isRepeatCopy()) return j;
  }
  return page;
}

int ProjectDataModel::nextPageWithCurrentPage(int page) const {
  const int count = static_cast<int>(imagesArray_.size());
  if (page > count) return reapeatFrame(page);
  for (int j = std::max(page, 1); j <= count; ++j) {
    if (!imagesArray_[j - 1].isRepeatCopy()) return j;
  }
  return reapeatFrame(page);
}

bool ProjectDataModel::layIsOpenAtPage(int page, int position, bool mark) const {
  const FrameRecord* r = recordAt(page, mark);
  if (r == nullptr || position < 1 || position > static_cast<int>(r->laysArray.size())) return true;
  auto it = laysDictionary_.find(r->laysArray[position - 1]);
  return it == laysDictionary_.end() || it->second.isOpen();
}

bool ProjectDataModel::checkLayUsed(const std::string& layId) const {
  if (!laysDictionary_.contains(layId)) return false;
  return std::any_of(temporarysArray_.begin(), temporarysArray_.end(),
                     [&](const FrameRecord& r) { return r.names(layId); });
}

int ProjectDataModel::gitRidOfRepeatFrameCurrentPage(int page) const {
  const int count = static_cast<int>(imagesArray_.size());
  if (page > count) return page;
  if (page < 1) return 0;
  return static_cast<int>(std::count_if(imagesArray_.begin(), imagesArray_.begin() + page,
                                        [](const FrameRecord& r) { return !r.isRepeatCopy(); }));
}

bool ProjectDataModel::isLayNamed(const std::string& layId) const {
  auto named = [&](const std::vector<FrameRecord>& list) {
    return std::any_of(list.begin(), list.end(), [&](const FrameRecord& r) { return r.names(layId); });
  };
  return named(imagesArray_) || named(temporarysArray_) || (recordsInFlight_ != nullptr && named(*recordsInFlight_));
}

bool ProjectDataModel::isIconNamed(const std::string& iconName) const {
  auto named = [&](const std::vector<FrameRecord>& list) {
    return std::any_of(list.begin(), list.end(), [&](const FrameRecord& r) { return r.iconName == iconName; });
  };
  return named(imagesArray_) || named(temporarysArray_);
}

void ProjectDataModel::deleteIconFilesIfUnused(const std::string& iconName) {
  if (isIconNamed(iconName)) return;
  deleteFileAfterSave(iconName, iconName + "Icon.png");
  deleteFileAfterSave(iconName, iconName + "Snapshot.png");
}

// --- adding and copying

bool ProjectDataModel::createImageAtPage(int page) {
  if (page < 1) return false;
  page = std::min(page, static_cast<int>(imagesArray_.size()) + 1);
  std::string middle = newId();
  std::string foreground = newId();
  std::string icon = newId();
  createLay(middle, 1, true);
  createLay(foreground, 2, true);
  int r = reapeatFrame(page);
  return insertImageWithLays({middle, foreground}, icon, r + reapeatFrameNumber(r));
}

bool ProjectDataModel::insertImageWithLays(const std::vector<std::string>& lays, const std::string& icon, int page) {
  if (page < 1 || !isPlainPathComponent(icon)) return false;
  if (!std::all_of(lays.begin(), lays.end(), [](const std::string& id) { return isPlainPathComponent(id); })) {
    return false;
  }
  page = std::min(page, static_cast<int>(imagesArray_.size()) + 1);
  FrameRecord record{lays, icon, std::nullopt, std::nullopt};
  marksIncFromPage(page);
  for (std::size_t i = 0; i < lays.size(); ++i) {
    if (!laysDictionary_.contains(lays[i])) createLay(lays[i], static_cast<int>(i) + 1, true);
  }
  for (const std::string& id : lays) addMark(page, id);
  imagesArray_.insert(imagesArray_.begin() + (page - 1), std::move(record));
  return true;
}

bool ProjectDataModel::createImageWithLays(const std::vector<std::string>& lays, int page) {
  if (page < 1) return false;
  page = std::min(page, static_cast<int>(imagesArray_.size()) + 1);
  const std::string icon = newId();
  const gfx::Rect snapshotRect{0, 0, kSnapshotSize.width, kSnapshotSize.height};
  gfx::Context snapshot(static_cast<int>(kSnapshotSize.width), static_cast<int>(kSnapshotSize.height), 1.0f,
                        gfx::Origin::BottomLeft);
  snapshot.clear();
  for (const std::string& id : lays) {
    if (!isPlainPathComponent(id)) continue;
    if (std::optional<gfx::Image> layer = gfx::readPNG(fileInFolder(id + ".png"))) {
      snapshot.drawImageYUp(*layer, snapshotRect);
    }
  }
  gfx::Image snapshotImage = snapshot.makeImage();
  gfx::writePNG(fileInFolder(icon + "Snapshot.png"), snapshotImage);
  gfx::Context iconContext(static_cast<int>(kIconSize.width), static_cast<int>(kIconSize.height), 1.0f,
                           gfx::Origin::BottomLeft);
  iconContext.clear();
  iconContext.drawImageYUp(snapshotImage, gfx::Rect{0, 0, kIconSize.width, kIconSize.height});
  gfx::writePNG(fileInFolder(icon + "Icon.png"), iconContext.makeImage());
  return insertImageWithLays(lays, icon, page);
}

bool ProjectDataModel::copyImageAtPage(int page) {
  const FrameRecord* source = recordAt(page, false);
  if (source == nullptr) return false;
  const int positions = std::min({2, frameLayCount_, static_cast<int>(source->laysArray.size())});
  std::vector<std::string> ids;
  for (int i = 1; i <= positions; ++i) {
    std::string id = newId();
    fd::files::copyItem(fileInFolder(source->laysArray[i - 1] + ".png"), fileInFolder(id + ".png"));
    createLay(id, i, layIsOpenAtPage(page, i, false));
    ids.push_back(std::move(id));
  }
  int r = reapeatFrame(page);
  return createImageWithLays(ids, r + reapeatFrameNumber(r));
}

// --- deleting

bool ProjectDataModel::deleteImageAtPage(int page, bool mark) {
  std::vector<FrameRecord>& list = mark ? temporarysArray_ : imagesArray_;
  if (page >= 1 && page <= static_cast<int>(list.size())) {
    const FrameRecord removed = list[page - 1];
    if (mark) {
      list.erase(list.begin() + (page - 1));
    } else {
      // The whole run holding the page goes, and nothing beyond it.
      const int first = reapeatFrame(page);
      const int length = reapeatFrameNumber(first);
      imagesArray_.erase(imagesArray_.begin() + (first - 1), imagesArray_.begin() + (first - 1 + length));
    }
    // Records are gone before the references drop, so a layer is deleted only
    // when no remaining record names it.
    for (const std::string& id : removed.laysArray) removeMark(page, id);
    if (!mark) marksDecToPage(page);
    if (imagesArray_.empty()) createImageAtPage(1);
    deleteIconFilesIfUnused(removed.iconName);
  } else if (imagesArray_.empty()) {
    createImageAtPage(1);
  }
  return true;
}

// --- moving and parking

bool ProjectDataModel::moveImageFrom(int from, int to) {
  const int count = static_cast<int>(imagesArray_.size());
  if (from < 1 || from > count) return false;
  to = std::clamp(to, 1, count);
  if (to == from) return false;
  const int n = reapeatFrameNumber(from);
  std::vector<FrameRecord> held;
  recordsInFlight_ = &held;
  const int layCount = frameLayCount_;
  for (int k = 0; k < n; ++k) {
    held.push_back(imagesArray_[from - 1]);
    imagesArray_.erase(imagesArray_.begin() + (from - 1));
    marksDecToPage(from);
    const FrameRecord& r = held.back();
    for (int i = 0; i < std::min(layCount, static_cast<int>(r.laysArray.size())); ++i) removeMark(from, r.laysArray[i]);
  }
  if (to > static_cast<int>(imagesArray_.size())) {
    imagesArray_.insert(imagesArray_.end(), held.begin(), held.end());
  } else {
    for (auto it = held.rbegin(); it != held.rend(); ++it) {
      imagesArray_.insert(imagesArray_.begin() + (to - 1), *it);
      marksIncFromPage(to);
      for (int i = 0; i < std::min(layCount, static_cast<int>(it->laysArray.size())); ++i) addMark(to, it->laysArray[i]);
    }
  }
  recordsInFlight_ = nullptr;
  return true;
}

bool ProjectDataModel::moveImageToTemporaryWithPage(int page) {
  if (page < 1 || page > static_cast<int>(imagesArray_.size())) return false;
  const int n = reapeatFrameNumber(page);
  for (int k = 0; k < n; ++k) {
    FrameRecord r = imagesArray_[page - 1];
    if (k == 0) {
      FrameRecord parked = r;
      // The parked record carries the run length it really had.
      if (parked.isRunStart()) parked.reapeatNumber = n;
      temporarysArray_.push_back(std::move(parked));
    }
    imagesArray_.erase(imagesArray_.begin() + (page - 1));
    for (const std::string& id : r.laysArray) removeMark(page, id);
    marksDecToPage(page);
  }
  if (imagesArray_.empty()) createImageAtPage(1);
  return true;
}

bool ProjectDataModel::moveTemporaryAtpage(int trayPage, int imagePage) {
  if (trayPage < 1 || trayPage > static_cast<int>(temporarysArray_.size())) return false;
  const int page = std::clamp(imagePage, 1, static_cast<int>(imagesArray_.size()) + 1);
  FrameRecord record = temporarysArray_[trayPage - 1];
  // A lone copy coming back is a plain frame; only a run start rebuilds a run.
  if (record.isRepeatCopy()) record.frameInfo.reset();
  const int n = record.isRunStart() ? std::clamp(record.reapeatNumber.value_or(1), 1, kMaxRepeatRun) : 1;
  if (record.isRunStart()) record.reapeatNumber = n;
  auto insertAtPage = [&](FrameRecord r) {
    imagesArray_.insert(imagesArray_.begin() + (page - 1), std::move(r));
    marksIncFromPage(page);
    for (const std::string& id : imagesArray_[page - 1].laysArray) addMark(page, id);
  };
  for (int k = 1; k < n; ++k) {
    insertAtPage(FrameRecord{record.laysArray, record.iconName, kFrameInfoRepeatCopy, std::nullopt});
  }
  temporarysArray_.erase(temporarysArray_.begin() + (trayPage - 1));
  insertAtPage(std::move(record));
  return true;
}
