// Background pictures by name: shipped stills and animations in the
// application's resources, user stills under <Library>/Background.
#include "model/Backgrounds.h"
#include "model/SafeName.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/FileUtil.h"
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
