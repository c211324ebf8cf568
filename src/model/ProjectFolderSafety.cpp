// What keeps a project folder and its Project.plist in step across a kill:
// ids that name no existing file, files of deleted frames kept until a save no
// longer names them, leftovers of killed writes swept when the project opens,
// and the old-layout move that takes only real projects.
#include <algorithm>
#include <array>

#include "model/Backgrounds.h"
#include "model/ProjectDataModel.h"
#include "model/ProjectPlistKeys.h"
#include "model/SafeName.h"
#include "platform/foundation/CrashPoint.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/TimestampId.h"

namespace fs = std::filesystem;

namespace {

// The files a layer or frame id names: <id>.png, <id>Icon.png, <id>Snapshot.png.
constexpr std::array<std::string_view, 3> kIdFileSuffixes = {".png", "Icon.png", "Snapshot.png"};

// The kinds of file the program writes into a project folder.
bool isProjectFileName(std::string_view name) {
  return name == projectplist::kFileName || name.ends_with(".png") || name == kBackgroundMendMark;
}

bool isRealDirectory(const fs::path& p) {
  std::error_code ec;
  return fs::is_directory(fs::symlink_status(p, ec));
}

bool isRealFile(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(fs::symlink_status(p, ec));
}

// Whether a file of the folder is named by the id.
bool namesAFileIn(const fs::path& folder, const std::string& id) {
  return std::any_of(kIdFileSuffixes.begin(), kIdFileSuffixes.end(),
                     [&](std::string_view suffix) { return fd::files::exists(folder / (id + std::string(suffix))); });
}

}  // namespace

std::string ProjectDataModel::newId() const {
  const fs::path folder = projectDicPath();
  // A file of that stem may have been written by an earlier run whose ids
  // ran ahead of the clock; a new layer must never write over it.
  auto taken = [&](const std::string& id) {
    return state_.layers_.contains(id) || isLayNamed(id) || isIconNamed(id) || namesAFileIn(folder, id);
  };
  std::string id = dateString();
  while (taken(id)) id = dateString();
  return id;
}

ProjectDataModel::FreshIds ProjectDataModel::freshIds(std::size_t wanted) const {
  FreshIds ids;
  ids.take(*this);
  const fs::path folder = projectDicPath();
  // Its files, as its records count them: a layer file each, two a frame.
  const std::size_t files = state_.layers_.size() + 2 * state_.frames_.size();
  if (files > wanted * kIdFileSuffixes.size()) {
    ids.folder_ = folder;
    return ids;
  }
  // Every stem a file of the folder could be named by; the files of an
  // earlier run whose ids ran ahead of the clock among them.
  for (const std::string& file : fd::files::contentsOfDirectory(folder)) {
    for (std::string_view suffix : kIdFileSuffixes) {
      if (file.ends_with(suffix)) ids.taken_.insert(file.substr(0, file.size() - suffix.size()));
    }
  }
  return ids;
}

void ProjectDataModel::FreshIds::take(const ProjectDataModel& project) {
  const ProjectFrames& state = project.state_;
  for (const auto& [id, layer] : state.layers_) taken_.insert(id);
  for (const std::vector<FrameRecord>* list : {&state.frames_, &state.tray_}) {
    for (const FrameRecord& r : *list) {
      taken_.insert(r.iconName);
      taken_.insert(r.laysArray.begin(), r.laysArray.end());
    }
  }
}

std::string ProjectDataModel::FreshIds::next() {
  auto taken = [&](const std::string& id) { return taken_.contains(id) || (folder_ && namesAFileIn(*folder_, id)); };
  std::string id = fd::countedTimestampId();
  while (taken(id)) id = fd::countedTimestampId();
  return id;
}

void ProjectDataModel::deleteFileAfterSave(const std::string& id, const std::string& file) {
  if (!isPlainPathComponent(file)) return;
  pendingDeletions_.push_back(PendingDeletion{id, file});
}

void ProjectDataModel::deleteFilesOfLastSave() const {
  std::vector<PendingDeletion> pending = std::move(pendingDeletions_);
  pendingDeletions_.clear();
  for (const PendingDeletion& p : pending) {
    // Named again since (a record brought back): the saved list uses it.
    if (state_.layers_.contains(p.id) || isLayNamed(p.id) || isIconNamed(p.id)) continue;
    fd::files::removeItem(fileInFolder(p.file));
    fd::crashPoint("project.save.deleting");
  }
}

void ProjectDataModel::removeLeftovers() const { (void)removeWriteLeftovers(projectDicPath()); }

bool ProjectDataModel::removeWriteLeftovers(const fs::path& folder) {
  const std::vector<std::string> names = fd::files::contentsOfDirectory(folder);
  fd::files::removeAtomicWriteLeftovers(folder, names, isProjectFileName);
  return backgroundFilesInDoubt(names);
}

bool ProjectDataModel::isOldLayoutProject(const fs::path& folder) {
  // The album and other folders of the program's own are never a project,
  // even when a project bears their name.
  if (fd::paths::isOwnDocumentsFolder(folder.filename().string())) return false;
  return isRealDirectory(folder) && isRealFile(folder / projectplist::kFileName);
}
