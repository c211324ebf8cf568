#include "desk/PageBackground.h"

#include "model/Backgrounds.h"
#include "model/ZTDataModel.h"

namespace page_background {

OptionalPath pathAtPage(const ProjectDataModel& project, int page, Size size) {
  // A copy left from an earlier background is no picture of this one.
  const std::optional<std::string>& name = project.curBackgroundName();
  if (!name) return std::nullopt;
  if (isStillBackgroundType(project.backgroundType()))
    return size == Size::Icon ? project.backgroundIconFullPath() : project.backgroundFullPath();
  const ZTDataModel& model = ZTDataModel::sharedInstance();
  return size == Size::Icon ? model.dynamicBackgroundIconFullPathWithBackgroundName(*name, page)
                            : model.dynamicBackgroundFullPathWithBackgroundName(*name, page);
}

}  // namespace page_background
