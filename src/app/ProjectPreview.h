#pragma once
// A project's first page as the desk shows it, small: the drawing over the
// project's background picture, on the desk's paper (a blank page when there
// is no background, or it is hidden). The launch screen shows the current
// project so, and the file panel's cards every project.
#include <memory>

#include "model/ProjectDataModel.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/View.h"

class ProjectPreviewView : public ui::View {
 public:
  // Thumbnails read the small pictures made for them; a large preview the
  // page-sized background.
  enum class Detail { Thumbnail, Full };
  ProjectPreviewView(const ui::Rect& frame, Detail detail);

  // Shows the project's first page; a blank page without a project.
  void showProject(const ProjectDataModel* project);
  // Notes where the project's pictures lie and shows the blank page until
  // setDecoded(true) reads them; setDecoded(false) lets them go again. The
  // file panel lists every project but decodes only the cards near sight.
  void setProject(const ProjectDataModel* project);
  void setDecoded(bool decoded);

  // The page under the drawing: the background picture or the blank page.
  ui::ImageView* pageView() const { return page_.get(); }
  // The drawing, transparent where nothing is drawn.
  ui::ImageView* drawingView() const { return drawing_.get(); }

 private:
  void showPictures();
  Detail detail_;
  // The background's pictures in the order they are tried, and the drawing.
  OptionalPath backgrounds_[2], drawingPath_;
  bool decoded_ = false;
  std::shared_ptr<ui::ImageView> page_, drawing_;
};
