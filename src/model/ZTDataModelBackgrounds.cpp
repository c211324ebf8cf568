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

void ZTDataModel::setBackground(const std::string& name, const std::vector<std::shared_ptr<ProjectDataModel>>& projects) {
  const int type = backgroundTypeOfName(name);
  const OptionalPath picture = backgroundFullPathWithBackgroundName(name);
  const OptionalPath icon = backgroundIconFullPathWithBackgroundName(name);
  for (const std::shared_ptr<ProjectDataModel>& project : projects) {
    if (!project || !project->setCurBackgroundName(name)) continue;
    const OptionalPath copy = project->backgroundFullPath();
    const OptionalPath iconCopy = project->backgroundIconFullPath();
    if (copy) fd::files::removeItem(*copy);
    if (iconCopy) fd::files::removeItem(*iconCopy);
    if (!isStillBackgroundType(type)) continue;
    if (copy && picture && fd::files::exists(*picture)) fd::files::copyItem(*picture, *copy);
    if (iconCopy && icon && fd::files::exists(*icon)) fd::files::copyItem(*icon, *iconCopy);
  }
  saveData();
}
