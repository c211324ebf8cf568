#include "desk/PickerViews.h"

#include "desk/DeskArt.h"
#include "model/ZTDataModel.h"

namespace {

bool tallScreen() { return ZTDataModel::sharedInstance().extendDataModel().isIphone5ScreenSize(); }

std::shared_ptr<ui::ImageView> pictureView(const char* name, const ui::Rect& frame) {
  auto v = std::make_shared<ui::ImageView>(frame);
  v->setImage(desk_art::named(name));
  return v;
}

bool contains(const ui::Rect& r, ui::Point p) {
  return p.x >= r.x && p.x < r.x + r.width && p.y >= r.y && p.y < r.y + r.height;
}

// The brush bar's tools: pictures and frames; the top edges are the bands.
struct ToolSlot {
  const char* image;
  ui::Rect frame;
};
constexpr ToolSlot kToolSlots[BrushAndEraserSelectView::kToolCount] = {
    {"b_erase.png", {332, -3, 64, 52}},   {"b_pen01.png", {330, 46, 67, 24}},  {"b_pen02.png", {328, 68, 68, 33}},
    {"b_pen03.png", {328, 99, 68, 26}},   {"b_pen04.png", {327, 122, 69, 25}}, {"b_pen05.png", {327, 141, 70, 60}},
    {"b_pen06.png", {327, 194, 67, 33}},  {"b_smudge.png", {329, 219, 64, 52}}, {"fill_tool.png", {333, 269, 64, 54}},
};

struct ShapeSlot {
  const char* first;
  const char* second;
  ui::Rect frame;
};
constexpr ShapeSlot kShapeSlots[ShapeSelectView::kShapeCount] = {
    {"Shape_A01.png", "Shape_A02.png", {22, 5, 43, 40}},   {"Shape_B01.png", "Shape_B02.png", {22, 50, 43, 40}},
    {"Shape_C01.png", "Shape_C02.png", {20, 100, 48, 48}}, {"Shape_D01.png", "Shape_D02.png", {20, 150, 48, 48}},
    {"Shape_E01.png", "Shape_E02.png", {20, 205, 46, 47}}, {"Shape_F01.png", "Shape_F02.png", {20, 258, 46, 47}},
};

constexpr const char* kRollerImages[] = {"desktop_Roller01.png", "desktop_Roller02.png", "desktop_Roller03.png"};

}  // namespace

// --- strips

std::shared_ptr<UserInteractView> UserInteractView::initUserInteractView(const ui::Rect& frame,
                                                                         const std::string& identifier) {
  auto v = std::make_shared<UserInteractView>(frame);
  v->setIdentifier(identifier);
  return v;
}

UserInteractView::UserInteractView(const ui::Rect& frame) : ui::View(frame) {
  setBackgroundColor(ui::Color::clear());
  setUserInteractionEnabled(true);
}

void UserInteractView::touchesBegan(const ui::TouchSet& touches, const ui::Event&) { forward(touches, Phase::Began); }
void UserInteractView::touchesMoved(const ui::TouchSet& touches, const ui::Event&) { forward(touches, Phase::Moved); }
void UserInteractView::touchesEnded(const ui::TouchSet& touches, const ui::Event&) { forward(touches, Phase::Ended); }

void UserInteractView::forward(const ui::TouchSet& touches, Phase phase) {
  if (!delegate_ || touches.empty()) return;
  using Handler = void (UserInteractDelegate::*)(ui::Touch*);
  struct Route {
    const char* identifier;
    Handler began, moved, ended;
  };
  static constexpr Route kRoutes[] = {
      {"brush", &UserInteractDelegate::respondToBrushBegin, &UserInteractDelegate::respondToBrushMove,
       &UserInteractDelegate::respondToBrushEnd},
      {"size", &UserInteractDelegate::respondToSizeBegin, &UserInteractDelegate::respondToSizeMove,
       &UserInteractDelegate::respondToSizeEnd},
      {"opacity", &UserInteractDelegate::respondToOpacityBegin, &UserInteractDelegate::respondToOpacityMove,
       &UserInteractDelegate::respondToOpacityEnd},
      {"drawTool", &UserInteractDelegate::respondToDrawToolBegin, &UserInteractDelegate::respondToDrawToolMove,
       nullptr},
  };
  for (const Route& r : kRoutes) {
    if (identifier_ != r.identifier) continue;
    Handler h = phase == Phase::Began ? r.began : phase == Phase::Moved ? r.moved : r.ended;
    if (h) (delegate_->*h)(touches.front());
    return;
  }
}

// --- brush bar

std::shared_ptr<BrushAndEraserSelectView> BrushAndEraserSelectView::initBrushAndEraserSelectView() {
  return std::make_shared<BrushAndEraserSelectView>();
}

BrushAndEraserSelectView::BrushAndEraserSelectView()
    : ui::View({tallScreen() ? 81.0f : 37.0f, 0, 480, 320}) {
  setBackgroundColor(ui::Color::clear());
  setUserInteractionEnabled(true);
  setHidden(true);
  brushAndEraserCan_ = pictureView("Pen_bar.png", {0, 0, 480, 320});
  addSubview(brushAndEraserCan_);
  for (int i = 0; i < kToolCount; ++i) {
    tools_[i] = pictureView(kToolSlots[i].image, kToolSlots[i].frame);
    tools_[i]->setAlpha(0.5f);
    addSubview(tools_[i]);
  }
}

void BrushAndEraserSelectView::layoutSubviews() {
  brushAndEraserCan_->setFrame({0, 0, 480, 320});
  for (int i = 0; i < kToolCount; ++i) tools_[i]->setFrame(kToolSlots[i].frame);
}

ui::ImageView* BrushAndEraserSelectView::toolTag(int index) const {
  if (index < 0 || index >= kToolCount) return nullptr;
  return tools_[index].get();
}

void BrushAndEraserSelectView::setAllToolsAlpha(float alpha) {
  for (auto& t : tools_) t->setAlpha(alpha);
}

// --- opacity and size bars

namespace {
constexpr ui::Rect kValueBarFrame{300, 0, 88, 320};
constexpr ui::Rect kValueLabelFrame{315, 51, 50, 20};
}  // namespace

ValueSelectView::ValueSelectView(const Look& look)
    : ui::View({tallScreen() ? 101.0f : 57.0f, 0, 480, 320}), look_(look) {
  setBackgroundColor(ui::Color::clear());
  setUserInteractionEnabled(true);
  setHidden(true);
  bar_ = pictureView(look.bar, kValueBarFrame);
  slider_ = pictureView(look.slider, look.sliderFrame);
  ori_ = pictureView(look.ori, look.displayFrame);
  ori_->setAlpha(look.oriAlpha);
  cur_ = pictureView(look.cur, look.displayFrame);
  bar_->addSubview(slider_);
  bar_->addSubview(ori_);
  bar_->addSubview(cur_);
  addSubview(bar_);
  label_ = std::make_shared<ui::Label>(kValueLabelFrame);
  label_->setBackgroundColor(ui::Color::clear());
  label_->setFont({"DejaVu Sans", 16, false});
  label_->setTextColor({1, 0.95f, 0.85f, 1});
  label_->setTextAlignment(ui::TextAlignment::Center);
  addSubview(label_);
}

void ValueSelectView::layoutSubviews() {
  bar_->setFrame(kValueBarFrame);
  label_->setFrame(kValueLabelFrame);
}

namespace {
constexpr ValueSelectView::Look kOpacityLook{"Opacity_bar.png",       "Opacity_Slider.png", {17, 80, 45, 20},
                                             "Opacity_Display_R.png", "Opacity_Display_L.png", {16, 3, 48, 48},
                                             0.5f};
constexpr ValueSelectView::Look kSizeLook{"Size_bar.png",       "Size_Slider.png",    {17, 100, 45, 20},
                                          "Size_display02.png", "Size_display01.png", {15, 3, 50, 50},
                                          1.0f};
}  // namespace

std::shared_ptr<OpacitySelectView> OpacitySelectView::initOpacitySelectView() {
  return std::make_shared<OpacitySelectView>();
}
OpacitySelectView::OpacitySelectView() : ValueSelectView(kOpacityLook) {}

std::shared_ptr<SizeSelectView> SizeSelectView::initSizeSelectView() { return std::make_shared<SizeSelectView>(); }
SizeSelectView::SizeSelectView() : ValueSelectView(kSizeLook) {}

// --- shape bar

std::shared_ptr<ShapeSelectView> ShapeSelectView::initShapeSelectView() { return std::make_shared<ShapeSelectView>(); }

ShapeSelectView::ShapeSelectView() : ui::View({0, 0, 480, 320}) {
  setHidden(true);
  bar_ = pictureView("Shape_bar.png", kValueBarFrame);
  addSubview(bar_);
  for (int i = 0; i < kShapeCount; ++i) {
    shapes_[i] = pictureView(kShapeSlots[i].first, kShapeSlots[i].frame);
    bar_->addSubview(shapes_[i]);
  }
}

void ShapeSelectView::layoutSubviews() { bar_->setFrame(kValueBarFrame); }

ui::ImageView* ShapeSelectView::shape(int index) const {
  if (index < 0 || index >= kShapeCount) return nullptr;
  return shapes_[index].get();
}

void ShapeSelectView::highlight(int index) {
  for (int i = 0; i < kShapeCount; ++i)
    shapes_[i]->setImage(desk_art::named(i == index ? kShapeSlots[i].second : kShapeSlots[i].first));
}

// --- roller

std::shared_ptr<RollerView> RollerView::initRollerView() { return std::make_shared<RollerView>(); }

RollerView::RollerView() : ui::View({0, 100, 40, 102}) {
  setBackgroundColor(ui::Color::clear());
  setUserInteractionEnabled(true);
  imageView_ = pictureView(kRollerImages[0], {10, 0, 20, 102});
  addSubview(imageView_);
}

void RollerView::touchesBegan(const ui::TouchSet& touches, const ui::Event&) {
  if (touches.empty()) return;
  prePoint_ = touches.front()->locationInView(this);
  rollerState_ = 0;
}

void RollerView::touchesMoved(const ui::TouchSet& touches, const ui::Event&) {
  if (touches.empty() || rollerState_ != 0) return;
  const float dy = touches.front()->locationInView(this).y - prePoint_.y;
  ZTDataModel& model = ZTDataModel::sharedInstance();
  const int page = model.extendDataModel().curPage();
  const int frames = model.prjDataModel() ? static_cast<int>(model.prjDataModel()->imagesArray().size()) : 0;
  if (dy > 2 && page < frames) {
    rollerState_ = 1;
    imageView_->setImage(desk_art::named(kRollerImages[1]));
  } else if (dy < -2 && page >= 2) {
    rollerState_ = 2;
    imageView_->setImage(desk_art::named(kRollerImages[2]));
  }
}

void RollerView::touchesEnded(const ui::TouchSet&, const ui::Event&) {
  if (rollerState_ == 0) return;
  const int state = rollerState_;
  rollerState_ = 0;
  imageView_->setImage(desk_art::named(kRollerImages[0]));
  if (!delegate_) return;
  if (state == 1) delegate_->respondToRollerMoveDown();
  else delegate_->respondToRollerMoveUp();
}

// --- overlays

ToolView::ToolView(const ui::Rect& frame) : ui::View(frame) {
  setBackgroundColor(ui::Color::clear());
  setUserInteractionEnabled(true);
}

bool ToolView::onPage(const ui::TouchSet& touches) const {
  if (touches.empty()) return false;
  ui::Point p = touches.front()->locationInView(this);
  return contains(drawViewRect_, p) && !contains(toolsRect_, p);
}

void ToolView::touchesBegan(const ui::TouchSet& touches, const ui::Event& event) {
  if (touches.empty()) return;
  ui::Point p = touches.front()->locationInView(this);
  if (!contains(toolsRect_, p) && !contains(drawViewRect_, p)) {
    if (delegate_) delegate_->toolsHidden(false);
    return;
  }
  if (onPage(touches)) ui::View::touchesBegan(touches, event);
}

void ToolView::touchesMoved(const ui::TouchSet& touches, const ui::Event& event) {
  if (onPage(touches)) ui::View::touchesMoved(touches, event);
}

void ToolView::touchesEnded(const ui::TouchSet& touches, const ui::Event& event) {
  if (onPage(touches)) ui::View::touchesEnded(touches, event);
}

PanelOverlay::PanelOverlay(const ui::Rect& frame, ui::Size panel, float panelTop)
    : ui::View(frame), panel_(panel), top_(panelTop) {
  setBackgroundColor(ui::Color::clear());
  setUserInteractionEnabled(true);
}

ui::Rect PanelOverlay::panelRect() const {
  return {(bounds().width - panel_.width) / 2, top_, panel_.width, panel_.height};
}

void PanelOverlay::touchesBegan(const ui::TouchSet& touches, const ui::Event&) {
  if (touches.empty()) return;
  if (!contains(panelRect(), touches.front()->locationInView(this))) setHidden(true);
}
