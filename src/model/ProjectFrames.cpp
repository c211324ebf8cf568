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
constexpr int kMaxRepeatRun = ProjectDataModel::kMaxRepeatRun;
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

// --- the value and its invariants

std::optional<std::string> ProjectFrames::brokenInvariant() const {
  if (frames_.empty()) return "the frame list is empty";
  auto checkList = [this](const std::vector<FrameRecord>& list, const char* what) -> std::optional<std::string> {
    for (std::size_t i = 0; i < list.size(); ++i) {
      const FrameRecord& r = list[i];
      const std::string where = std::string(what) + " " + std::to_string(i + 1);
      if (!isPlainPathComponent(r.iconName)) return where + " has an icon name that is not a plain name";
      for (const std::string& id : r.laysArray) {
        if (!isPlainPathComponent(id)) return where + " names a layer id that is not a plain name";
        if (!layers_.contains(id)) return where + " names layer " + id + ", which has no record";
      }
    }
    return std::nullopt;
  };
  if (auto broken = checkList(frames_, "frame")) return broken;
  if (auto broken = checkList(tray_, "tray record")) return broken;
  for (const auto& [id, layer] : layers_) {
    if (!isPlainPathComponent(id)) return "layer id " + id + " is not a plain name";
    for (int ref : layer.refPageArray) {
      if (ref < -kMaxPageNumber || ref > kMaxPageNumber) return "layer " + id + " references page " + std::to_string(ref);
      if (ref > refPageBound_) {
        return "layer " + id + " references page " + std::to_string(ref) + " above the bound " +
               std::to_string(refPageBound_);
      }
    }
  }
  return std::nullopt;
}

void ProjectFrames::recountReferenceBound() {
  refPageBound_ = 0;
  for (const auto& [id, layer] : layers_) {
    for (int ref : layer.refPageArray) noteReference(ref);
  }
}

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
  const int count = static_cast<int>(state_.frames_.size());
  if (count == 0) return page;
  int q = std::clamp(page, 1, count);
  const std::string& icon = state_.frames_[q - 1].iconName;
  // Walk back through the copies to the first frame whose run covers q.
  for (int j = q; j >= 1; --j) {
    const FrameRecord& r = state_.frames_[j - 1];
    if (r.iconName != icon) break;
    if (r.isRunStart()) return j + runLengthAt(state_.frames_, j - 1) > q ? j : page;
    if (!r.isRepeatCopy()) break;
  }
  return page;
}

int ProjectDataModel::reapeatFrameNumber(int page) const {
  if (page < 1 || page > static_cast<int>(state_.frames_.size())) return 1;
  return runLengthAt(state_.frames_, page - 1);
}

int ProjectDataModel::pageUpWithCurrentPage(int page) const {
  const int count = static_cast<int>(state_.frames_.size());
  if (page > count) return page;
  for (int j = page; j >= 1; --j) {
    if (!state_.frames_[j - 1].isRepeatCopy()) return j;
  }
  return page;
}

int ProjectDataModel::nextPageWithCurrentPage(int page) const {
  const int count = static_cast<int>(state_.frames_.size());
  if (page > count) return reapeatFrame(page);
  for (int j = std::max(page, 1); j <= count; ++j) {
    if (!state_.frames_[j - 1].isRepeatCopy()) return j;
  }
  return reapeatFrame(page);
}

bool ProjectDataModel::layIsOpenAtPage(int page, int position, bool mark) const {
  const FrameRecord* r = recordAt(page, mark);
  if (r == nullptr || position < 1 || position > static_cast<int>(r->laysArray.size())) return true;
  auto it = state_.layers_.find(r->laysArray[position - 1]);
  return it == state_.layers_.end() || it->second.isOpen();
}

bool ProjectDataModel::checkLayUsed(const std::string& layId) const {
  if (!state_.layers_.contains(layId)) return false;
  return std::any_of(state_.tray_.begin(), state_.tray_.end(),
                     [&](const FrameRecord& r) { return r.names(layId); });
}

int ProjectDataModel::gitRidOfRepeatFrameCurrentPage(int page) const {
  const int count = static_cast<int>(state_.frames_.size());
  if (page > count) return page;
  if (page < 1) return 0;
  return static_cast<int>(std::count_if(state_.frames_.begin(), state_.frames_.begin() + page,
                                        [](const FrameRecord& r) { return !r.isRepeatCopy(); }));
}

bool ProjectDataModel::isLayNamed(const std::string& layId) const {
  auto named = [&](const std::vector<FrameRecord>& list) {
    return std::any_of(list.begin(), list.end(), [&](const FrameRecord& r) { return r.names(layId); });
  };
  return named(state_.frames_) || named(state_.tray_) || (recordsInFlight_ != nullptr && named(*recordsInFlight_));
}

bool ProjectDataModel::isIconNamed(const std::string& iconName) const {
  auto named = [&](const std::vector<FrameRecord>& list) {
    return std::any_of(list.begin(), list.end(), [&](const FrameRecord& r) { return r.iconName == iconName; });
  };
  return named(state_.frames_) || named(state_.tray_);
}

void ProjectDataModel::deleteIconFilesIfUnused(const std::string& iconName) {
  if (isIconNamed(iconName)) return;
  deleteFileAfterSave(iconName, iconName + "Icon.png");
  deleteFileAfterSave(iconName, iconName + "Snapshot.png");
}

// --- adding and copying

bool ProjectDataModel::createImageAtPage(int page) {
  if (page < 1) return false;
  page = std::min(page, static_cast<int>(state_.frames_.size()) + 1);
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
  page = std::min(page, static_cast<int>(state_.frames_.size()) + 1);
  FrameRecord record{lays, icon, std::nullopt, std::nullopt};
  marksIncFromPage(page);
  for (std::size_t i = 0; i < lays.size(); ++i) {
    if (!state_.layers_.contains(lays[i])) createLay(lays[i], static_cast<int>(i) + 1, true);
  }
  for (const std::string& id : lays) addMark(page, id);
  state_.frames_.insert(state_.frames_.begin() + (page - 1), std::move(record));
  return true;
}

bool ProjectDataModel::createImageWithLays(const std::vector<std::string>& lays, int page) {
  if (page < 1) return false;
  page = std::min(page, static_cast<int>(state_.frames_.size()) + 1);
  const std::string icon = newId();
  const gfx::Rect snapshotRect{0, 0, kSnapshotSize.width, kSnapshotSize.height};
  gfx::Context snapshot(static_cast<int>(kSnapshotSize.width), static_cast<int>(kSnapshotSize.height), 1.0f,
                        gfx::Origin::BottomLeft);
  snapshot.clear();
  for (const std::string& id : lays) {
    if (!isPlainPathComponent(id)) continue;
    if (fd::Expected<gfx::Image> layer = gfx::readPNG(fileInFolder(id + ".png"))) {
      snapshot.drawImageYUp(*layer, snapshotRect);
    }
  }
  gfx::Image snapshotImage = snapshot.makeImage();
  (void)gfx::writePNG(fileInFolder(icon + "Snapshot.png"), snapshotImage);
  gfx::Context iconContext(static_cast<int>(kIconSize.width), static_cast<int>(kIconSize.height), 1.0f,
                           gfx::Origin::BottomLeft);
  iconContext.clear();
  iconContext.drawImageYUp(snapshotImage, gfx::Rect{0, 0, kIconSize.width, kIconSize.height});
  (void)gfx::writePNG(fileInFolder(icon + "Icon.png"), iconContext.makeImage());
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
  std::vector<FrameRecord>& list = mark ? state_.tray_ : state_.frames_;
  if (page >= 1 && page <= static_cast<int>(list.size())) {
    const FrameRecord removed = list[page - 1];
    // The pages that go: the entry, or the whole run holding the page and
    // nothing beyond it.
    int first = page, length = 1;
    std::vector<FrameRecord> gone{removed};
    if (mark) {
      list.erase(list.begin() + (page - 1));
    } else {
      first = reapeatFrame(page);
      length = reapeatFrameNumber(first);
      const auto from = state_.frames_.begin() + (first - 1);
      gone.assign(from, from + length);
      state_.frames_.erase(from, from + length);
    }
    // Records are gone before the references drop, so a layer is deleted only
    // when no remaining record names it. The references after the run move up
    // by as many pages as the run held in them: every page where the run's
    // copies were referenced, only the first where an older file never
    // referenced them (and counted the later pages without them).
    int referenced = 0;
    for (int k = 0; k < length; ++k) {
      bool held = false;
      for (const std::string& id : gone[k].laysArray) {
        const LayerRecord* layer = layerRecord(id);
        held = held || (layer && std::ranges::find(layer->refPageArray, first + k) != layer->refPageArray.end());
        removeMark(first + k, id);
      }
      if (held) ++referenced;
    }
    if (!mark) marksDecToPage(first, std::max(referenced, 1));
    if (state_.frames_.empty()) createImageAtPage(1);
    deleteIconFilesIfUnused(removed.iconName);
  } else if (state_.frames_.empty()) {
    createImageAtPage(1);
  }
  return true;
}

// --- moving and parking

bool ProjectDataModel::moveImageFrom(int from, int to) {
  const int count = static_cast<int>(state_.frames_.size());
  if (from < 1 || from > count) return false;
  to = std::clamp(to, 1, count);
  if (to == from) return false;
  const int n = reapeatFrameNumber(from);
  std::vector<FrameRecord> held;
  recordsInFlight_ = &held;
  const int layCount = frameLayCount_;
  for (int k = 0; k < n; ++k) {
    held.push_back(state_.frames_[from - 1]);
    state_.frames_.erase(state_.frames_.begin() + (from - 1));
    marksDecToPage(from);
    const FrameRecord& r = held.back();
    for (int i = 0; i < std::min(layCount, static_cast<int>(r.laysArray.size())); ++i) removeMark(from, r.laysArray[i]);
  }
  if (to > static_cast<int>(state_.frames_.size())) {
    // Appended frames are referenced like inserted ones: a layer whose
    // references missed its new pages would be deleted by a later move while
    // still in use.
    for (const FrameRecord& r : held) {
      state_.frames_.push_back(r);
      const int page = static_cast<int>(state_.frames_.size());
      for (int i = 0; i < std::min(layCount, static_cast<int>(r.laysArray.size())); ++i) addMark(page, r.laysArray[i]);
    }
  } else {
    for (auto it = held.rbegin(); it != held.rend(); ++it) {
      state_.frames_.insert(state_.frames_.begin() + (to - 1), *it);
      marksIncFromPage(to);
      for (int i = 0; i < std::min(layCount, static_cast<int>(it->laysArray.size())); ++i) addMark(to, it->laysArray[i]);
    }
  }
  recordsInFlight_ = nullptr;
  return true;
}

bool ProjectDataModel::moveImageToTemporaryWithPage(int page) {
  if (page < 1 || page > static_cast<int>(state_.frames_.size())) return false;
  const int n = reapeatFrameNumber(page);
  for (int k = 0; k < n; ++k) {
    FrameRecord r = state_.frames_[page - 1];
    if (k == 0) {
      FrameRecord parked = r;
      // The parked record carries the run length it really had.
      if (parked.isRunStart()) parked.reapeatNumber = n;
      state_.tray_.push_back(std::move(parked));
    }
    state_.frames_.erase(state_.frames_.begin() + (page - 1));
    for (const std::string& id : r.laysArray) removeMark(page, id);
    marksDecToPage(page);
  }
  if (state_.frames_.empty()) createImageAtPage(1);
  return true;
}

bool ProjectDataModel::moveTemporaryAtpage(int trayPage, int imagePage) {
  if (trayPage < 1 || trayPage > static_cast<int>(state_.tray_.size())) return false;
  const int page = std::clamp(imagePage, 1, static_cast<int>(state_.frames_.size()) + 1);
  FrameRecord record = state_.tray_[trayPage - 1];
  // A lone copy coming back is a plain frame; only a run start rebuilds a run.
  if (record.isRepeatCopy()) record.frameInfo.reset();
  const int n = record.isRunStart() ? std::clamp(record.reapeatNumber.value_or(1), 1, kMaxRepeatRun) : 1;
  if (record.isRunStart()) record.reapeatNumber = n;
  auto insertAtPage = [&](FrameRecord r) {
    state_.frames_.insert(state_.frames_.begin() + (page - 1), std::move(r));
    marksIncFromPage(page);
    for (const std::string& id : state_.frames_[page - 1].laysArray) addMark(page, id);
  };
  for (int k = 1; k < n; ++k) {
    insertAtPage(FrameRecord{record.laysArray, record.iconName, kFrameInfoRepeatCopy, std::nullopt});
  }
  state_.tray_.erase(state_.tray_.begin() + (trayPage - 1));
  insertAtPage(std::move(record));
  return true;
}

bool ProjectDataModel::setRepeatRunAtPage(int page, int number) {
  if (page < 1 || page > static_cast<int>(state_.frames_.size())) return false;
  if (number < 1 || number > kMaxRepeatRun) return false;
  const int first = reapeatFrame(page);
  std::vector<FrameRecord>& frames = state_.frames_;
  // Only the copies that really follow count: a stale number must not remove
  // frames outside the run.
  const int old = reapeatFrameNumber(first);
  const auto after = frames.begin() + first;
  if (number < old) {
    frames.erase(after, after + (old - number));
  } else if (number > old) {
    FrameRecord copy = frames[first - 1];
    copy.frameInfo = kFrameInfoRepeatCopy;
    frames.insert(after, number - old, copy);
  }
  FrameRecord& record = frames[first - 1];
  if (number < 2) {
    record.frameInfo.reset();
    record.reapeatNumber.reset();
  } else {
    record.frameInfo = kFrameInfoRunStart;
    record.reapeatNumber = number;
  }
  return true;
}

void ProjectDataModel::appendFramesOf(ProjectDataModel&& source) {
  // A record under an id the project already has takes its place.
  state_.layers_.merge(source.state_.layers_);
  for (auto& [id, layer] : source.state_.layers_) state_.layers_[id] = std::move(layer);
  source.state_.layers_.clear();
  state_.frames_.insert(state_.frames_.end(), std::make_move_iterator(source.state_.frames_.begin()),
                        std::make_move_iterator(source.state_.frames_.end()));
  source.state_.frames_.clear();
  state_.recountReferenceBound();
}
