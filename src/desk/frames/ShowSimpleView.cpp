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

std::shared_ptr<PicManagerShowSimpleView> PicManagerShowSimpleView::initWithFrame(const ui::Rect& frame) {
  return std::make_shared<PicManagerShowSimpleView>(frame);
}

PicManagerShowSimpleView::PicManagerShowSimpleView(const ui::Rect& frame) : ShowSimpleView(frame) {
  auto picture = std::make_shared<ui::ImageView>(ui::Rect{0, 0, frame.width, frame.height});
  picture->setImage(frame_art::named("help_picsmanager.png"));
  picture->setUserInteractionEnabled(false);
  addSubview(picture);
  const float x0 = ZTDataModel::sharedInstance().extendDataModel().isIphone5ScreenSize() ? 60 : 0;
  // Key, frame, and for the longer languages the other frame and line count.
  constexpr struct {
    const char* key;
    ui::Rect frame, longFrame;
    int lines, longLines;
  } kCaptions[] = {
      {"Switch to Full-Screen Display", {320, 100, 150, 40}, {320, 98, 160, 40}, 1, 2},
      {"Add Audio(Sound):", {245, 155, 220, 60}, {245, 155, 220, 60}, 2, 3},
      {"Record:record and play", {192, 202, 240, 60}, {192, 202, 240, 60}, 2, 2},
  };
  const bool longer = languagesTag() == 1;
  for (const auto& c : kCaptions) {
    ui::Rect f = longer ? c.longFrame : c.frame;
    f.x += x0;
    ui::Label* label = createUILabelWithFrame(f);
    label->setText(fd::Localized(c.key));
    label->setNumberOfLines(longer ? c.longLines : c.lines);
    if (longer) {
      gfx::Font font = label->font();
      font.size = 8;
      label->setFont(font);
    }
  }
}
