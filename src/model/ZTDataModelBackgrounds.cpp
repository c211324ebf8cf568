// Background pictures by name: shipped stills and animations in the
// application's resources, user stills under <Library>/Background.
#include <algorithm>
#include <new>

#include "model/Backgrounds.h"
#include "model/ProjectNotice.h"
#include "model/ProjectPlistKeys.h"
#include "model/SafeName.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"

namespace {

// A bundle resource's path, or nullopt when the bundle has no such file.
OptionalPath resourcePath(const std::string& file) {
  std::filesystem::path p = fd::paths::resource(file);
  if (!fd::files::exists(p)) return std::nullopt;
  return p;
}

// Index of picture `page` (from 1) of an animated background; nullopt for the
// kinds that have no pictures.
std::optional<int> animatedPictureIndex(const std::string& name, int page) {
  if (page < 1) return std::nullopt;
  const int count = ProjectDataModel::countOfBackground(name);
  switch (backgroundTypeOfName(name)) {
    case kBackgroundShippedHold:
      return std::min(page, count) - 1;
    case kBackgroundShippedLoop:
      return (page - 1) % count;
    default:
      return std::nullopt;
  }
}

}  // namespace

int ZTDataModel::backgroundTypeWithBackgroundName(const std::string& name) { return backgroundTypeOfName(name); }

OptionalPath ZTDataModel::backgroundFullPathWithBackgroundName(const std::optional<std::string>& name) const {
  if (!name || !isPlainPathComponent(*name)) return std::nullopt;
  const int type = backgroundTypeOfName(*name);
  if (type == kBackgroundShippedStill) return resourcePath(*name + ".png");
  if (!isStillBackgroundType(type)) return dynamicBackgroundFullPathWithBackgroundName(*name, 1);
  return backgroundPath() / (*name + ".png");
}

OptionalPath ZTDataModel::backgroundIconFullPathWithBackgroundName(const std::optional<std::string>& name) const {
  if (!name || !isPlainPathComponent(*name)) return std::nullopt;
  const int type = backgroundTypeOfName(*name);
  if (type == kBackgroundShippedStill) return resourcePath(*name + "Icon.png");
  if (!isStillBackgroundType(type)) return dynamicBackgroundIconFullPathWithBackgroundName(*name, 1);
  return backgroundPath() / (*name + "Icon.png");
}

OptionalPath ZTDataModel::dynamicBackgroundFullPathWithBackgroundName(const std::string& name, int page) const {
  if (!isPlainPathComponent(name)) return std::nullopt;
  std::optional<int> index = animatedPictureIndex(name, page);
  if (!index) return std::nullopt;
  return resourcePath(name + std::to_string(*index) + ".jpg");
}

OptionalPath ZTDataModel::dynamicBackgroundIconFullPathWithBackgroundName(const std::string& name, int page) const {
  if (!isPlainPathComponent(name)) return std::nullopt;
  std::optional<int> index = animatedPictureIndex(name, page);
  if (!index) return std::nullopt;
  return resourcePath(name + std::to_string(*index) + "Icon.jpg");
}

fd::Status ZTDataModel::attachBackground(ProjectDataModel& project, const std::optional<std::string>& name,
                                         bool copyBuiltInStill) const {
  const int type = name ? backgroundTypeOfName(*name) : kBackgroundOther;
  const bool copies = type == kBackgroundOther || type == kBackgroundUserStill ||
                      (copyBuiltInStill && type == kBackgroundShippedStill);
  if (!copies) return project.attachBackground(name, std::nullopt);
  return project.attachBackground(
      name, ProjectDataModel::BackgroundPictures{backgroundFullPathWithBackgroundName(name),
                                                 backgroundIconFullPathWithBackgroundName(name)});
}

fd::Status ZTDataModel::setBackground(const std::string& name,
                                      const std::vector<std::shared_ptr<ProjectDataModel>>& projects) {
  fd::Status first;
  for (const std::shared_ptr<ProjectDataModel>& project : projects) {
    if (!project) continue;
    if (fd::Status attached = attachBackground(*project, name, true); !attached && first) first = attached;
  }
  saveData();
  return first;
}

void ZTDataModel::mendProjectBackgrounds(const BackgroundDoubts& doubts) {
  for (const std::string& name : projectsNameArray_) {
    const bool open = prjDataModel_ && prjDataModel_->curProjectName() == name;
    const auto seen = std::lower_bound(doubts.begin(), doubts.end(), name,
                                       [](const auto& folder, const std::string& n) { return folder.first < n; });
    const bool listed = seen != doubts.end() && seen->first == name;
    // Nearly every project: nothing more to look at.
    if (!open && listed && !seen->second) continue;
    const OptionalPath folder = projectPathWithProjectName(name);
    if (!folder) continue;
    const bool inDoubt = listed ? seen->second : backgroundFilesInDoubt(fd::files::contentsOfDirectory(*folder));
    // A folder without a list is made a project only by opening it.
    if ((!inDoubt && !open) || !fd::files::exists(*folder / projectplist::kFileName)) continue;
    try {
      std::shared_ptr<ProjectDataModel> project = open ? prjDataModel_ : ProjectDataModel::initToShowWithProjectName(name);
      // A list that cannot be read is left to the open that decides about it.
      if (!project || project->keptDamagedFile()) continue;
      mendBackgroundOf(*project);
      if (fd::Status finished = project->finishBackgroundSwitch(); !finished)
        fd::Log("The background copies of the project \"%s\" keep their names: %s\n", name.c_str(),
                finished.error().c_str());
      if (!inDoubt) continue;
      project->removeUnnamedBackgroundCopies();
      project->unmarkBackgroundIfSettled();
    } catch (const std::bad_alloc&) {
      // A project too large for the memory left is mended at a later start.
    }
  }
}

bool ZTDataModel::mendBackgroundOf(ProjectDataModel& project) const {
  const std::optional<std::string> name = project.curBackgroundName();
  if (!name || !isStillBackgroundType(project.backgroundType())) return false;
  const OptionalPath copy = project.backgroundFullPath();
  const OptionalPath copyIcon = project.backgroundIconFullPath();
  const bool pictureThere = copy && fd::files::exists(*copy);
  const bool iconThere = copyIcon && fd::files::exists(*copyIcon);
  if (pictureThere && iconThere) return false;
  const OptionalPath source = backgroundFullPathWithBackgroundName(name);
  const OptionalPath sourceIcon = backgroundIconFullPathWithBackgroundName(name);
  const bool restorable = (!pictureThere && source && fd::files::exists(*source)) ||
                          (!iconThere && sourceIcon && fd::files::exists(*sourceIcon));
  ProjectNotice notice{ProjectNotice::Kind::BackgroundRestored, project.curProjectName(), *name, {}};
  fd::Status mended;
  if (restorable) {
    mended = project.attachBackground(
        name, ProjectDataModel::BackgroundPictures{pictureThere ? copy : source, iconThere ? copyIcon : sourceIcon});
  } else {
    // Nothing has the picture: a background of the user's never painted has
    // none to lose and stays; one whose picture is gone for good is dropped.
    const bool unpainted = std::find(backgroundArray_.begin(), backgroundArray_.end(), *name) != backgroundArray_.end();
    if (pictureThere || unpainted) return false;
    mended = project.attachBackground(std::nullopt, ProjectDataModel::BackgroundPictures{});
    notice.kind = ProjectNotice::Kind::BackgroundDropped;
  }
  if (!mended) {
    fd::Log("The background of the project \"%s\" is not mended: %s\n", project.curProjectName().c_str(),
            mended.error().c_str());
    return false;
  }
  tellProjectNotice(notice);
  return true;
}
