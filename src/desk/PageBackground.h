#pragma once
// The picture the desk lays under a page of a project: the project's own
// copy of its still background, or the page's picture of a moving one.
// Whatever shows a project's page (the desk, its previews) takes it from here.
#include "model/ProjectDataModel.h"

namespace page_background {

enum class Size {
  Full,  // the page-sized picture
  Icon,  // the small one made with it, for thumbnails
};

// nullopt when the project has no background picture for the page. The path
// may name a file that is not there (a copy never made): the picture is
// then missing, as it is on the desk.
OptionalPath pathAtPage(const ProjectDataModel& project, int page, Size size = Size::Full);

}  // namespace page_background
