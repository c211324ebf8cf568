// What keeps a project folder and its Project.plist in step across a kill:
// ids that name no existing file, files of deleted frames kept until a save no
// longer names them, leftovers of killed writes swept when the project opens,
// and the old-layout move that takes only real projects.
#include <algorithm>

#include "model/ProjectDataModel.h"
#include "model/ProjectPlistKeys.h"
#include "model/SafeName.h"
#include "platform/foundation/CrashPoint.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Paths.h"

namespace fs = std::filesystem;

namespace {

// The kinds of file the program writes into a project folder.
bool isProjectFileName(std::string_view name) { return name == projectplist::kFileName || name.ends_with(".png"); }

bool isRealDirectory(const fs::path& p) {
  std::error_code ec;
  return fs::is_directory(fs::symlink_status(p, ec));
}

bool isRealFile(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(fs::symlink_status(p, ec));
}

}  // namespace

std::string ProjectDataModel::newId() const {
  const fs::path folder = projectDicPath();
  auto taken = [&](const std::string& id) {
    if (state_.layers_.contains(id) || isLayNamed(id) || isIconNamed(id)) return true;
    // A file of that stem may have been written by an earlier run whose ids
    // ran ahead of the clock; a new layer must never write over it.
    for (const char* suffix : {".png", "Icon.png", "Snapshot.png"}) {
      if (fd::files::exists(folder / (id + suffix))) return true;
    }
    return false;
  };
  std::string id = dateString();
  while (taken(id)) id = dateString();
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

void ProjectDataModel::removeLeftovers() const { removeWriteLeftovers(projectDicPath()); }

void ProjectDataModel::removeWriteLeftovers(const fs::path& folder) {
  fd::files::removeAtomicWriteLeftovers(folder, isProjectFileName);
}

bool ProjectDataModel::isOldLayoutProject(const fs::path& folder) {
  // The album and other folders of the program's own are never a project,
  // even when a project bears their name.
  if (fd::paths::isOwnDocumentsFolder(folder.filename().string())) return false;
  return isRealDirectory(folder) && isRealFile(folder / projectplist::kFileName);
}
