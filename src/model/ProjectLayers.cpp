// Layer records shared between frames, their page references and visibility.
// A layer's PNG goes only when its references run out and no frame record of
// the frame list or the tray still names it.
#include <algorithm>
#include <cstdlib>
#include <unordered_map>

#include "model/ProjectDataModel.h"
#include "model/SafeName.h"
#include "model/Tools.h"

LayerRecord* ProjectDataModel::layerRecord(const std::string& layId) {
  auto it = state_.layers_.find(layId);
  return it == state_.layers_.end() ? nullptr : &it->second;
}

void ProjectDataModel::setLayStateIsOpen(bool open, int page, int position, bool mark) {
  const FrameRecord* r = recordAt(page, mark);
  if (r == nullptr || position < 1 || position > static_cast<int>(r->laysArray.size())) return;
  if (LayerRecord* layer = layerRecord(r->laysArray[position - 1])) layer->isLayOpen = open;
  saveData();
}

void ProjectDataModel::createLay(const std::string& layId, int position, bool isOpen) {
  if (position < 1 || position > frameLayCount_ || !isPlainPathComponent(layId)) return;
  state_.layers_[rightNameWithName(layId)] = LayerRecord{position, {}, isOpen};
}

void ProjectDataModel::addMark(int page, const std::string& layId) {
  LayerRecord* layer = layerRecord(layId);
  if (layer == nullptr) return;
  if (page < -kMaxPageNumber || page > kMaxPageNumber) return;
  if (std::find(layer->refPageArray.begin(), layer->refPageArray.end(), page) == layer->refPageArray.end()) {
    layer->refPageArray.push_back(page);
    state_.noteReference(page);
  }
}

void ProjectDataModel::removeMark(int page, const std::string& layId) {
  LayerRecord* layer = layerRecord(layId);
  if (layer == nullptr) return;
  std::vector<int>& refs = layer->refPageArray;
  auto tail = std::remove(refs.begin(), refs.end(), page);
  const bool removed = tail != refs.end();
  refs.erase(tail, refs.end());
  if (!refs.empty()) return;
  if (removed && checkLayUsed(layId)) return;
  deleteLay(layId);
}

void ProjectDataModel::deleteLay(const std::string& layId) {
  if (isLayNamed(layId)) return;
  if (isPlainPathComponent(layId)) deleteFileAfterSave(layId, layId + ".png");
  state_.layers_.erase(layId);
}

void ProjectDataModel::marksIncFromPage(int page) { marksIncFromPage(page, 1); }

void ProjectDataModel::marksDecToPage(int page) { marksDecToPage(page, 1); }

void ProjectDataModel::marksIncFromPage(int page, int count) { shiftMarks(page, count); }

void ProjectDataModel::marksDecToPage(int page, int count) {
  if (count < -kMaxPageNumber || count > kMaxPageNumber) return;
  shiftMarks(page, -count);
}

void ProjectDataModel::shiftMarks(int page, int by) {
  // Shifts beyond any page are refused; references stay within the range
  // that loading allows, so the arithmetic on them cannot overflow.
  if (by == 0 || by < -kMaxPageNumber || by > kMaxPageNumber) return;
  if (page > state_.refPageBound_) return;  // nothing references a page that late
  int bound = 0;
  for (auto& [id, layer] : state_.layers_) {
    for (int& ref : layer.refPageArray) {
      if (ref >= page) ref = std::clamp(ref + by, -kMaxPageNumber, kMaxPageNumber);
      bound = std::max(bound, ref);
    }
  }
  state_.refPageBound_ = bound;
}

bool ProjectDataModel::replaceLay(const std::string& oldLay, const std::optional<std::string>& newLay, int page) {
  if (page < 1 || page > static_cast<int>(state_.frames_.size())) return false;
  if (newLay && !isPlainPathComponent(*newLay)) return false;
  std::vector<std::string>& lays = state_.frames_[page - 1].laysArray;
  auto it = std::find(lays.begin(), lays.end(), oldLay);
  if (it == lays.end()) return false;
  if (!newLay) {
    lays.erase(it);
    removeMark(page, oldLay);
  } else {
    *it = *newLay;
    removeMark(page, oldLay);
    addMark(page, *newLay);
  }
  return true;
}

void ProjectDataModel::replaceLay(const std::string& oldLay, const std::optional<std::string>& newLay) {
  for (int page = 1; page <= static_cast<int>(state_.frames_.size()); ++page) replaceLay(oldLay, newLay, page);
}

std::vector<std::pair<std::string, std::string>> ProjectDataModel::renameAllWithPageStart(int pageStart) {
  FreshIds ids = freshIds(state_.layers_.size() + state_.frames_.size());
  std::vector<std::pair<std::string, std::string>> renamed;
  renamed.reserve(state_.layers_.size() + 2 * state_.frames_.size());
  renameAllWithPageStart(pageStart, ids, [&](const std::string& oldName, const std::string& newName) {
    renamed.emplace_back(oldName, newName);
  });
  return renamed;
}

void ProjectDataModel::renameAllWithPageStart(int pageStart, FreshIds& ids, const RenamedFile& renamed) {
  // One pass over the layers and one over the frames, whatever their number:
  // the new names are looked up, not searched for. The layer records move
  // to their new keys as they are, nothing copied.
  marksIncFromPage(1, pageStart);
  std::unordered_map<std::string, std::string> newLayerIds;
  newLayerIds.reserve(state_.layers_.size());
  std::map<std::string, LayerRecord> layers;
  for (auto it = state_.layers_.begin(); it != state_.layers_.end();) {
    auto node = state_.layers_.extract(it++);
    const std::string& newId = newLayerIds.emplace(node.key(), ids.next()).first->second;
    renamed(node.key() + ".png", newId + ".png");
    node.key() = newId;
    layers.insert(layers.end(), std::move(node));  // new ids come in increasing order
  }
  state_.layers_ = std::move(layers);
  // Tray records are renamed too, so no record ever names a missing layer.
  for (std::vector<FrameRecord>* list : {&state_.frames_, &state_.tray_}) {
    for (FrameRecord& r : *list) {
      for (std::string& id : r.laysArray) {
        if (auto it = newLayerIds.find(id); it != newLayerIds.end()) id = it->second;
      }
    }
  }
  std::string runOldIcon;
  std::string runNewIcon;
  for (FrameRecord& r : state_.frames_) {
    if (r.isRepeatCopy() && !runOldIcon.empty() && r.iconName == runOldIcon) {
      r.iconName = runNewIcon;
      continue;
    }
    const std::string newIcon = ids.next();
    renamed(r.iconName + "Icon.png", newIcon + "Icon.png");
    renamed(r.iconName + "Snapshot.png", newIcon + "Snapshot.png");
    if (r.isRunStart()) {
      runOldIcon = r.iconName;
      runNewIcon = newIcon;
    }
    r.iconName = newIcon;
  }
}

// --- operations kept complete although no screen uses them

bool ProjectDataModel::addLay(const std::string& layId, int page, int position) {
  if (!isPlainPathComponent(layId)) return false;
  if (!state_.layers_.contains(layId)) createLay(layId, position < 1 ? frameLayCount_ : position, true);
  if (page < 1 || page > static_cast<int>(state_.frames_.size())) return false;
  std::vector<std::string>& lays = state_.frames_[page - 1].laysArray;
  if (std::find(lays.begin(), lays.end(), layId) != lays.end()) return false;
  if (position >= 1) {
    for (const std::string& existing : lays) {
      const LayerRecord* layer = layerRecord(existing);
      if (layer != nullptr && layer->layPosition == position) return replaceLay(std::string(existing), layId, page);
    }
  }
  lays.push_back(layId);
  addMark(page, layId);
  return true;
}

bool ProjectDataModel::deleteLay(const std::string& layId, int page) {
  if (page < 1 || page > static_cast<int>(state_.frames_.size())) return false;
  std::vector<std::string>& lays = state_.frames_[page - 1].laysArray;
  auto it = std::find(lays.begin(), lays.end(), layId);
  if (it == lays.end()) return false;
  lays.erase(it);
  removeMark(page, layId);
  return true;
}

bool ProjectDataModel::deleteAllLaysAtPage(const std::string& layId, int page) { return deleteLay(layId, page); }

std::optional<std::string> ProjectDataModel::createLayAtPosition(int position) const {
  if (position < 1) return std::nullopt;
  return newId();
}

std::optional<int> ProjectDataModel::layPosition(const std::string& layId) const {
  auto it = state_.layers_.find(layId);
  if (it == state_.layers_.end()) return std::nullopt;
  return it->second.layPosition;
}

std::optional<std::vector<int>> ProjectDataModel::layMarks(const std::string& layId) const {
  auto it = state_.layers_.find(layId);
  if (it == state_.layers_.end()) return std::nullopt;
  return it->second.refPageArray;
}

void ProjectDataModel::addMarks(const std::vector<int>& pages, const std::string& layId) {
  LayerRecord* layer = layerRecord(layId);
  if (layer == nullptr) return;
  for (int page : pages) {
    if (page < -kMaxPageNumber || page > kMaxPageNumber) continue;
    layer->refPageArray.push_back(page);
    state_.noteReference(page);
  }
}

void ProjectDataModel::removeMarks(const std::vector<int>& pages, const std::string& layId) {
  for (int page : pages) removeMark(page, layId);
}

std::string ProjectDataModel::rightNameWithName(const std::string& name) const {
  if (!state_.layers_.contains(name)) return name;
  std::vector<std::string> taken;
  taken.reserve(state_.layers_.size());
  for (const auto& [id, layer] : state_.layers_) taken.push_back(id);
  return Tools::uniqueName(name, taken);
}

std::string ProjectDataModel::randStringWithModel(int modulus) {
  if (modulus == 0) return "0";
  return std::to_string(std::abs(std::rand() % modulus));
}
