#include "app/ProjectPreview.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "app/LaunchArt.h"
#include "desk/DeskPalette.h"
#include "desk/PageBackground.h"
#include "platform/graphics/Context.h"
#include "platform/ui/Screen.h"

namespace {

ui::Picture pictureAt(const OptionalPath& path) { return path ? ui::Picture::fromFile(*path) : ui::Picture(); }

// The blank page of a size, drawn once and shared: the file panel shows it on
// every card of a project without a background, and on every card not yet in
// sight. Pictures are immutable, so sharing one is safe; main thread only.
ui::Picture blankPage(const ui::Rect& bounds, float scale) {
  static std::map<std::tuple<float, float, float>, ui::Picture> pages;
  ui::Picture& page = pages[{bounds.width, bounds.height, scale}];
  if (page.empty()) page = ui::Picture(launch_art::blankPage(bounds.width, bounds.height, scale));
  return page;
}

// The picture with no more pixels than the view shows of it: a background
// icon a little larger than a card, or a page-sized background under a small
// preview, would otherwise be held whole for as long as it is shown. Only
// ever made smaller, so an odd shape cannot make it grow.
ui::Picture atShownSize(ui::Picture picture, ui::ContentMode mode, const ui::Rect& bounds, float scale) {
  if (picture.empty() || picture.isStretchable()) return picture;
  const ui::Rect shown = ui::contentRect(mode, bounds, picture.size());
  const long w = std::lround(shown.width * scale), h = std::lround(shown.height * scale);
  const gfx::Image& image = *picture.image();
  if (w < 1 || h < 1 || w > image.pixelWidth() || h > image.pixelHeight() ||
      (w == image.pixelWidth() && h == image.pixelHeight()))
    return picture;
  gfx::Context c(static_cast<int>(w), static_cast<int>(h), scale);
  c.drawImage(image, {0, 0, static_cast<float>(w) / scale, static_cast<float>(h) / scale});
  // Kept premultiplied, as the screen draws it: no division per pixel.
  return ui::Picture(c.makeImage(true));
}

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
  page_->setImage(blankPage(bounds(), ui::Screen::main().scale()));
}

void ProjectPreviewView::showProject(const ProjectDataModel* project) {
  setProject(project);
  setDecoded(true);
}

void ProjectPreviewView::setProject(const ProjectDataModel* project) {
  for (OptionalPath& p : backgrounds_) p.reset();
  drawingPath_.reset();
  if (project) {
    // A hidden background is left out, as the desk leaves it out.
    if (project->isOpenBackground()) {
      using page_background::Size;
      backgrounds_[0] = page_background::pathAtPage(*project, 1, detail_ == Detail::Thumbnail ? Size::Icon : Size::Full);
      if (detail_ == Detail::Thumbnail) backgrounds_[1] = page_background::pathAtPage(*project, 1, Size::Full);
    }
    drawingPath_ = project->iconFullPathAtPage(1, false);
  }
  decoded_ = false;
  showPictures();
}

void ProjectPreviewView::setDecoded(bool decoded) {
  if (decoded == decoded_) return;
  decoded_ = decoded;
  showPictures();
}

void ProjectPreviewView::showPictures() {
  const float scale = ui::Screen::main().scale();
  ui::Picture background, drawing;
  if (decoded_) {
    for (const OptionalPath& p : backgrounds_)
      if (background.empty()) background = pictureAt(p);
    drawing = atShownSize(pictureAt(drawingPath_), drawing_->contentMode(), bounds(), scale);
  }
  // Without a background picture the drawing shows on a blank page.
  page_->setImage(background.empty() ? blankPage(bounds(), scale)
                                     : atShownSize(std::move(background), page_->contentMode(), bounds(), scale));
  drawing_->setImage(std::move(drawing));
}
