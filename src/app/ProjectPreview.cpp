#include "app/ProjectPreview.h"

#include "app/LaunchArt.h"
#include "desk/DeskPalette.h"
#include "desk/PageBackground.h"
#include "platform/ui/Screen.h"

namespace {

ui::Picture pictureAt(const OptionalPath& path) { return path ? ui::Picture::fromFile(*path) : ui::Picture(); }

}  // namespace

ProjectPreviewView::ProjectPreviewView(const ui::Rect& frame, Detail detail) : ui::View(frame), detail_(detail) {
  const ui::Rect inside{0, 0, frame.width, frame.height};
  // A user's background is transparent where nothing is painted on it; there
  // the desk's paper shows, as it does on the desk.
  setBackgroundColor(desk_palette::kPaper);
  setClipsToBounds(true);
  setUserInteractionEnabled(false);
  page_ = std::make_shared<ui::ImageView>(inside);
  page_->setContentMode(ui::ContentMode::ScaleAspectFill);
  drawing_ = std::make_shared<ui::ImageView>(inside);
  drawing_->setContentMode(ui::ContentMode::ScaleAspectFit);
  for (ui::ImageView* v : {page_.get(), drawing_.get()}) {
    v->setUserInteractionEnabled(false);
    addSubview(v->self());
  }
}

void ProjectPreviewView::showProject(const ProjectDataModel* project) {
  ui::Picture background, drawing;
  if (project) {
    // A hidden background is left out, as the desk leaves it out.
    if (project->isOpenBackground()) {
      using page_background::Size;
      if (detail_ == Detail::Thumbnail) background = pictureAt(page_background::pathAtPage(*project, 1, Size::Icon));
      if (background.empty()) background = pictureAt(page_background::pathAtPage(*project, 1, Size::Full));
    }
    drawing = pictureAt(project->iconFullPathAtPage(1, false));
  }
  // Without a background picture the drawing shows on a blank page.
  if (background.empty())
    background = ui::Picture(launch_art::blankPage(bounds().width, bounds().height, ui::Screen::main().scale()));
  page_->setImage(background);
  drawing_->setImage(drawing);
}
