#include "desk/frames/ShowSimpleView.h"

#include "desk/frames/FrameArt.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/Localized.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/ImageView.h"

ShowSimpleView::ShowSimpleView(const ui::Rect& frame) : ui::View(frame) {
  const fd::Value languages = fd::UserDefaults::standard().objectForKey("AppleLanguages");
  const fd::Array* list = languages.array();
  const std::string first = list && !list->empty() ? list->front().stringValue() : "";
  languagesTag_ = (first == "zh-Hans" || first == "zh-Hant") ? 0 : 1;
}

ui::Label* ShowSimpleView::createUILabelWithFrame(const ui::Rect& frame) {
  auto label = std::make_shared<ui::Label>(frame);
  label->setBackgroundColor(ui::Color::clear());
  label->setTextColor(ui::Color::white(1));
  label->setTextAlignment(gfx::TextAlignment::Left);
  gfx::Font font;
  font.size = 14;
  font.bold = true;
  label->setFont(font);
  addSubview(label);
  return label.get();
}

void ShowSimpleView::build(const char* picture, const ui::Rect& pictureFrame, std::span<const Caption> captions,
                           float dx) {
  auto image = std::make_shared<ui::ImageView>(pictureFrame);
  image->setImage(frame_art::named(picture));
  image->setUserInteractionEnabled(false);
  addSubview(image);
  for (const Caption& c : captions) {
    const CaptionStyle& style = languagesTag_ == 1 ? c.other : c.chinese;
    ui::Rect f = style.frame;
    f.x += dx;
    ui::Label* label = createUILabelWithFrame(f);
    label->setText(fd::Localized(c.key));
    label->setNumberOfLines(style.lines);
    gfx::Font font = label->font();
    font.size = style.size;
    font.bold = style.bold;
    label->setFont(font);
  }
}

std::shared_ptr<PicManagerShowSimpleView> PicManagerShowSimpleView::initWithFrame(const ui::Rect& frame) {
  return std::make_shared<PicManagerShowSimpleView>(frame);
}

PicManagerShowSimpleView::PicManagerShowSimpleView(const ui::Rect& frame) : ShowSimpleView(frame) {
  static constexpr Caption kCaptions[] = {
      {"Switch to Full-Screen Display", {{320, 100, 150, 40}, 14, true, 1}, {{320, 98, 160, 40}, 8, true, 2}},
      {"Add Audio(Sound):", {{245, 155, 220, 60}, 14, true, 2}, {{245, 155, 220, 60}, 8, true, 3}},
      {"Record:record and play", {{192, 202, 240, 60}, 14, true, 2}, {{192, 202, 240, 60}, 8, true, 2}},
  };
  // Only the captions follow the tall screen's wider layout; the picture fills the panel.
  const float x0 = ZTDataModel::sharedInstance().extendDataModel().isIphone5ScreenSize() ? 60 : 0;
  build("help_picsmanager.png", {0, 0, frame.width, frame.height}, kCaptions, x0);
}

std::shared_ptr<DesktopShowSimpleView> DesktopShowSimpleView::initWithFrame(const ui::Rect& frame) {
  return std::make_shared<DesktopShowSimpleView>(frame);
}

DesktopShowSimpleView::DesktopShowSimpleView(const ui::Rect& frame) : ShowSimpleView(frame) {
  static constexpr Caption kCaptions[] = {
      {"New Feature", {{250, 20, 150, 20}, 16, true, 1}, {{250, 20, 150, 20}, 16, true, 1}},
      {"CameraPhotoFeature", {{235, 40, 200, 17}, 11, false, 1}, {{235, 37, 200, 35}, 9, false, 3}},
      {"New Feature", {{210, 82, 150, 20}, 16, true, 1}, {{210, 82, 150, 20}, 16, true, 1}},
      {"SetBrushInduction", {{205, 100, 210, 30}, 9, true, 2}, {{205, 100, 210, 30}, 9, false, 2}},
      {"New Feature", {{30, 136, 150, 20}, 14, true, 1}, {{30, 136, 150, 20}, 14, true, 1}},
      {"ShareWorksToLumisto", {{25, 155, 165, 40}, 11, false, 3}, {{25, 146, 160, 60}, 7, false, 5}},
      {"New Feature", {{210, 240, 150, 20}, 14, true, 1}, {{210, 240, 150, 20}, 14, true, 1}},
      {"FillToolFeature", {{210, 260, 190, 30}, 11, false, 2}, {{210, 260, 190, 35}, 9, false, 3}},
  };
  // The picture takes the view's own frame rectangle, origin included.
  build("new_feature.png", frame, kCaptions, 0);
}
