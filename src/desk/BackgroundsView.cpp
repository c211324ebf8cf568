// The background gallery and its cells. Names, kinds and files of the
// backgrounds are the model's; the gallery only arranges them, keeps the
// selection and writes the files of the user's own backgrounds.
#include "desk/BackgroundsView.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "desk/DeskArt.h"
#include "desk/DeskPalette.h"
#include "desk/DesktopManagerController.h"
#include "model/Backgrounds.h"
#include "model/ProjectNotice.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Localized.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Unicode.h"
#include "platform/graphics/Context.h"
#include "platform/ui/Window.h"

namespace {

ZTDataModel& model() { return ZTDataModel::sharedInstance(); }

constexpr float kColumnStep = 110, kRowStep = 83;
constexpr int kColumns = 4;

// The 108 x 81 icon of a picture, the picture drawn over the whole area.
gfx::Image iconOf(const gfx::Image& picture) {
  gfx::Context ctx(static_cast<int>(BackgroundView::kWidth), static_cast<int>(BackgroundView::kHeight));
  ctx.drawImage(picture, {0, 0, BackgroundView::kWidth, BackgroundView::kHeight});
  return ctx.makeImage();
}

void removeIfPresent(const OptionalPath& p) {
  if (p && fd::files::exists(*p)) fd::files::removeItem(*p);
}

// Why the backgrounds folder did not take a picture of the user's, in the
// user's words; the system's own for the log.
std::string notWrittenHere(const fd::Failure& failure) {
  fd::Log("Background not written: %s\n", failure.message.c_str());
  return notWrittenInWords(failure, "the backgrounds folder");
}

void tell(const std::string& message) {
  ui::AlertView::make(fd::Localized("Backgorund"), message, nullptr, fd::Localized("OK"))->show();
}

// When a background of the user's own was made, read from its name ("US"
// and the time it was made, "yyyyMMddHHmm" and more): "8 December 2026 at
// 08:56"; nullopt for a name that does not hold one.
std::optional<std::string> madeOn(const std::string& name) {
  constexpr std::size_t kDigits = 12;
  if (backgroundTypeOfName(name) != kBackgroundUserStill || name.size() < 2 + kDigits) return std::nullopt;
  int field[5] = {};
  constexpr int kWidths[5] = {4, 2, 2, 2, 2};
  std::size_t at = 2;
  for (int i = 0; i < 5; ++i) {
    for (int d = 0; d < kWidths[i]; ++d, ++at) {
      const char c = name[at];
      if (c < '0' || c > '9') return std::nullopt;
      field[i] = field[i] * 10 + (c - '0');
    }
  }
  const auto [year, month, day, hour, minute] = field;
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59) return std::nullopt;
  static constexpr const char* kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                            "July",    "August",   "September", "October", "November", "December"};
  char text[64];
  std::snprintf(text, sizeof text, "%d %s %d at %02d:%02d", day, kMonths[month - 1], year, hour, minute);
  return text;
}

}  // namespace

std::string backgroundAsShown(const std::string& name) {
  const auto& builtIn = BackgroundsView::kBuiltIn;
  const auto& own = model().backgroundArray();
  std::optional<std::size_t> place;
  if (auto it = std::find(std::begin(builtIn), std::end(builtIn), name); it != std::end(builtIn)) {
    place = static_cast<std::size_t>(it - std::begin(builtIn));
  } else if (auto mine = std::find(own.begin(), own.end(), name); mine != own.end()) {
    place = std::size(builtIn) + static_cast<std::size_t>(mine - own.begin());
  }
  const std::optional<std::string> made = madeOn(name);
  if (place && made)
    return fd::filled("your picture made on %@ (picture %@ of the gallery)", {*made, std::to_string(*place + 1)});
  if (place) return fd::filled("picture %@ of the gallery", {std::to_string(*place + 1)});
  if (made) return fd::filled("your picture made on %@, no longer in the gallery", {*made});
  return fd::Localized("a picture no longer in the gallery");
}

bool attachBackground(ProjectDataModel& p, const std::optional<std::string>& name, bool copyBuiltInStill) {
  const fd::Status attached = model().attachBackground(p, name, copyBuiltInStill);
  if (attached) return true;
  fd::Log("Background not attached: %s\n", attached.error().c_str());
  ui::AlertView::make(fd::Localized("Backgorund"),
                      fd::filled("The background could not be given to \u201c%@\u201d: %@.",
                                 {p.curProjectName(), notWrittenInWords(attached.failure())}) +
                          "\n" + fd::Localized("The project keeps the background it had."),
                      nullptr, fd::Localized("OK"))
      ->show();
  return false;
}

// --- cells

BackgroundView::BackgroundView(BackgroundsView* gallery) : ui::View({0, 0, kWidth, kHeight}), gallery_(gallery) {
  imageView_ = std::make_shared<ui::ImageView>(ui::Rect{2, 2, 104, 77});
  addSubview(imageView_);
  selectedImage_ = std::make_shared<ui::ImageView>(ui::Rect{-5, -5, 118, 92.5f});
  selectedImage_->setHighlightedImage(desk_art::named("background_selection@2x.png"));
  addSubview(selectedImage_);
  newButton_ = ui::Button::make(ui::ButtonType::Custom, {-5, -5, 118, 92.5f});
  newButton_->setImage(desk_art::named("background_add@2x.png"));
  newButton_->addTarget(this, [this](ui::Control*, const ui::Event*) { newPressed(); }, ui::TouchUpInside);
  selectedButton_ = ui::Button::make(ui::ButtonType::Custom, {0, 0, kWidth, kHeight});
  selectedButton_->addTarget(this, [this](ui::Control*, const ui::Event*) { selectionPressed(); },
                             ui::TouchUpInside);
  addSubview(selectedButton_);
  addSubview(newButton_);
}

// The icon load holds the cell weakly, which it can only do once the cell is
// owned: the name is given after construction.
std::shared_ptr<BackgroundView> BackgroundView::make(BackgroundsView* gallery, std::optional<std::string> name) {
  std::shared_ptr<BackgroundView> cell(new BackgroundView(gallery));
  cell->setBackgroundName(std::move(name));
  return cell;
}

void BackgroundView::setBackgroundName(std::optional<std::string> name) {
  backgroundName_ = std::move(name);
  if (backgroundName_) {
    imageType_ = ZTDataModel::backgroundTypeWithBackgroundName(*backgroundName_);
    // A user's picture is painted on the desk's paper and is transparent
    // where nothing is drawn (and one just made has no picture at all): the
    // cell shows it on that paper. The program's own pictures cover theirs.
    imageView_->setBackgroundColor(isPaintableBackgroundType(imageType_) ? desk_palette::kPaper
                                                                          : ui::Color::clear());
    newButton_->removeFromSuperview();
    selectedButton_->setEnabled(true);
    showBackground();
  } else {
    ++*iconLoad_;  // a load still on its way belongs to the old name
    loadingIcon_ = false;
    imageView_->setImage({});
    imageView_->setBackgroundColor(ui::Color::clear());
    selectedButton_->setEnabled(false);
  }
}

// Every cell keeps its icon wherever it sits in the grid: icons are small,
// and a cell of the fourth column or of a row scrolled into view must show
// its icon without waiting for a relayout. Each layout reads the icon again,
// the one shown staying until the new one comes: the desk keeps the gallery
// while a background is painted, and the painting writes its icon anew.
void BackgroundView::place(const ui::Rect& f) {
  setFrame(f);
  if (backgroundName_) showBackground();
}

// The file is read on the gallery's queue and the picture set on the main
// thread. Each load carries the count it was asked with: a cell renamed,
// emptied or asked again meanwhile ignores the older answer (and a load not
// yet begun by then reads nothing, so that a grid laid out several times in
// a row reads each icon about once), and a cell gone by then is not kept
// alive for it.
void BackgroundView::showBackground() {
  imageType_ = ZTDataModel::backgroundTypeWithBackgroundName(*backgroundName_);
  const unsigned load = ++*iconLoad_;
  auto path = model().backgroundIconFullPathWithBackgroundName(backgroundName_);
  if (!path) {
    loadingIcon_ = false;
    imageView_->setImage({});  // a missing icon leaves the cell empty
    return;
  }
  loadingIcon_ = true;
  std::weak_ptr<ui::View> weak = weak_from_this();
  gallery_->iconLoads().async([weak, load, latest = iconLoad_, file = *path] {
    if (latest->load() != load) return;
    ui::Picture icon = ui::Picture::fromFile(file);
    fd::RunLoop::main().post([weak, load, icon = std::move(icon)] {
      auto cell = std::static_pointer_cast<BackgroundView>(weak.lock());
      if (!cell || cell->iconLoad_->load() != load) return;
      cell->loadingIcon_ = false;
      cell->imageView_->setImage(icon);
    });
  });
}

void BackgroundView::selectionPressed() {
  const double now = fd::RunLoop::main().now();
  const bool doubleTap = gallery_->lastPressTime >= 0 && now - gallery_->lastPressTime < BackgroundsView::kDoubleTapSeconds;
  if (doubleTap && imageType_ == kBackgroundUserStill) {
    gallery_->lastPressTime = -1;  // a third quick press is a new first press
    gallery_->backgroundViewDidOpen(this);
    return;
  }
  gallery_->lastPressTime = now;
  gallery_->backgroundViewWillSelected(this);
  setSelected(!selected());
  if (selected()) gallery_->backgroundViewEdit(this);
  else gallery_->backgroundViewEidtRemove(this);
  gallery_->updateBackgroundBtnUI(this);
}

void BackgroundView::newPressed() {
  gallery_->backgroundViewNewImage(this);
  gallery_->hiddenEditView();
}

// --- the gallery

BackgroundsView::BackgroundsView(BackgroundsViewDelegate* delegate)
    : ui::View({8, 20, 489.5f, 318}), delegate_(delegate) {
  setClipsToBounds(true);
  setBackgroundColor(ui::Color::clear());
  // The panel's frame sits 25 points down the 320-point screen, so the edit
  // bar and its buttons go just above its lower edge (lower down they were
  // half off the screen) and the grid ends above them.
  scrollView_ = std::make_shared<ui::ScrollView>(ui::Rect{11, 15, 440, kEditBarY - 17});
  addSubview(scrollView_);
  loadData();
  backgroundEdit_ = std::make_shared<ui::ImageView>(ui::Rect{-30, kEditBarY, 568, 48.5f});
  static_cast<ui::ImageView*>(backgroundEdit_.get())->setImage(desk_art::named("background_menu_bar@2x.png"));
  backgroundEdit_->setAlpha(0.7f);
  addSubview(backgroundEdit_);
  struct Look {
    const char* image;
    const char* title;
  };
  static constexpr Look kLooks[] = {{"background_edit@2x.png", "Edit"},
                                    {"background_delete@2x.png", "Delete"},
                                    {"background_duplicate@2x.png", "Duplicate"}};
  // The three buttons share the grid's width, so that Duplicate ends where
  // the grid does, inside the panel's frame and the screen.
  const ui::Rect grid = scrollView_->frame();
  const float buttonWidth = (grid.width - 2 * kEditButtonGap) / 3;
  for (int tag = 0; tag < 3; ++tag) {
    const Look& look = kLooks[tag];
    auto b = ui::Button::make(ui::ButtonType::Custom,
                              {grid.x + tag * (buttonWidth + kEditButtonGap), kEditBarY + 2, buttonWidth, 44});
    b->setTag(tag);
    // The plate is the button's backdrop so its word is drawn over it, left
    // aligned past the plate's rounded end.
    b->setBackgroundImage(desk_art::named(look.image));
    b->setTitle(fd::Localized(look.title));
    b->titleLabel()->setFont({"DejaVu Sans", 14, false});
    b->setContentHorizontalAlignment(ui::ContentHorizontalAlignment::Left);
    b->setContentEdgeInsets({0, 18, 0, 0});
    b->setTitleColor(ui::Color{0.988f, 0.988f, 0.988f, 1}, ui::StateNormal);
    b->setTitleColor(ui::Color{0.63f, 0.31f, 0.27f, 1}, ui::StateHighlighted);
    b->setTitleColor(ui::Color{0.988f, 0.988f, 0.988f, 0.3f}, ui::StateDisabled);
    b->addTarget(this, [this](ui::Control* c, const ui::Event*) { backgroundBtnPressed(static_cast<ui::Button*>(c)); },
                 ui::TouchUpInside);
    addSubview(b);
    buttons_[tag] = b;
  }
  hiddenEditView();
  if (auto* p = model().prjDataModel().get()) setSelectedBackground(p->curBackgroundName());
}

std::shared_ptr<BackgroundView> BackgroundsView::makeCell(std::optional<std::string> name) {
  return BackgroundView::make(this, std::move(name));
}

void BackgroundsView::loadData() {
  for (auto& c : backgroundsArray_) c->removeFromSuperview();
  backgroundsArray_.clear();
  std::vector<std::optional<std::string>> names(std::begin(kBuiltIn), std::end(kBuiltIn));
  for (const std::string& n : model().backgroundArray()) names.emplace_back(n);
  names.emplace_back(std::nullopt);  // the "new" cell
  const ProjectDataModel* p = model().prjDataModel().get();
  for (auto& n : names) {
    auto cell = makeCell(n);
    if (p && n && p->curBackgroundName() == n) cell->setSelected(true);
    scrollView_->addSubview(cell);
    backgroundsArray_.push_back(cell);
  }
  updateBackgroundView(false);
}

void BackgroundsView::updateBackgroundView(bool /*animated*/) {
  const ui::Rect b = scrollView_->frame();
  const int rows = (static_cast<int>(backgroundsArray_.size()) + 3) / kColumns;
  scrollView_->setContentSize({b.width, rows * kRowStep});
  for (std::size_t i = 0; i < backgroundsArray_.size(); ++i) {
    const int col = static_cast<int>(i) % kColumns, row = static_cast<int>(i) / kColumns;
    backgroundsArray_[i]->place({kColumnStep * col, kRowStep * row, BackgroundView::kWidth, BackgroundView::kHeight});
  }
  model().saveData();
}

// Swipes over the gallery itself (drags on the grid scroll the grid): to the
// right goes a page back, never below the first; to the left lays the grid
// out again and leaves the page where it is, since the grid scrolls to every
// background and nothing shows a page of its own.
void BackgroundsView::touchesBegan(const ui::TouchSet& touches, const ui::Event&) {
  if (!touches.empty()) moveStartPoint_ = touches.front()->locationInView(this);
}

void BackgroundsView::touchesEnded(const ui::TouchSet& touches, const ui::Event&) {
  if (touches.empty()) return;
  const float dx = touches.front()->locationInView(this).x - moveStartPoint_.x;
  if (dx > kSwipeDistance) backwrad();
  else if (dx < -kSwipeDistance) forward();
}

void BackgroundsView::backwrad() {
  if (curPage_ >= 2) --curPage_;
  updateBackgroundView(true);
}

void BackgroundsView::forward() { updateBackgroundView(true); }

BackgroundView* BackgroundsView::cellNamed(const std::string& name) const {
  for (const auto& c : backgroundsArray_)
    if (c->backgroundName() == name) return c.get();
  return nullptr;
}

void BackgroundsView::setSelectedBackground(const std::optional<std::string>& name) {
  BackgroundView* match = nullptr;
  for (const auto& c : backgroundsArray_) {
    const bool mine = name && c->backgroundName() == name;
    c->setSelected(mine);
    if (mine) match = c.get();
  }
  updateBackgroundView(false);
  if (match) {
    updateEditState(match->imageType());
  } else {
    updateEditState(kBackgroundOther);
    for (const auto& b : buttons_) b->setEnabled(false);
  }
}

std::optional<std::string> BackgroundsView::selectedBackgroundName() const {
  const auto sel = selectedArray();
  return sel.empty() ? std::nullopt : sel.back()->backgroundName();
}

int BackgroundsView::countOfSelected() const { return static_cast<int>(selectedArray().size()); }

std::vector<BackgroundView*> BackgroundsView::selectedArray() const {
  std::vector<BackgroundView*> out;
  for (const auto& c : backgroundsArray_)
    if (c->selected()) out.push_back(c.get());
  return out;
}

bool BackgroundsView::canModify() const {
  const auto sel = selectedArray();
  return !sel.empty() && sel.back()->imageType() == kBackgroundUserStill;
}

bool BackgroundsView::canDuplicate() const {
  const auto sel = selectedArray();
  return sel.size() == 1 && sel.front()->imageType() == kBackgroundUserStill;
}

bool BackgroundsView::canDelete() const {
  const auto sel = selectedArray();
  return std::any_of(sel.begin(), sel.end(), [](BackgroundView* c) {
    return c->imageType() == kBackgroundUserStill || c->imageType() == kBackgroundOther;
  });
}

void BackgroundsView::backgroundBtnPressed(ui::Button* button) {
  switch (button->tag()) {
    case kTagDuplicate:
      if (canDuplicate()) duplicate();
      break;
    case kTagDelete:
      if (canDelete()) deleteBackground();
      break;
    case kTagEdit:
      if (canModify()) backgroundViewDidOpen(selectedArray().back());
      break;
    default:
      break;
  }
}

void BackgroundsView::updateEditState(int type) {
  const bool animated = type >= kBackgroundShippedLoop && type <= kBackgroundUserHold;
  backgroundEdit_->setHidden(animated);
  for (const auto& b : buttons_) b->setHidden(animated);
  // Only a user's own still picture can be opened, deleted or duplicated: a
  // button that would do nothing is shown disabled.
  for (const auto& b : buttons_) b->setEnabled(type == kBackgroundUserStill);
}

void BackgroundsView::hiddenEditView() {
  backgroundEdit_->setHidden(true);
  for (const auto& b : buttons_) b->setHidden(true);
}

void BackgroundsView::updateBackgroundBtnUI(BackgroundView* cell) {
  if (cell->selected()) updateEditState(cell->imageType());
  else hiddenEditView();
}

void BackgroundsView::backgroundViewWillSelected(BackgroundView* cell) {
  for (const auto& c : backgroundsArray_)
    if (c.get() != cell) c->setSelected(false);
}

void BackgroundsView::backgroundViewEdit(BackgroundView* cell) {
  ProjectDataModel* p = model().prjDataModel().get();
  if (!p || !cell->selected()) return;
  // A choice the project could not take is not left chosen: closing the
  // gallery would try it again and tell the same refusal twice.
  if (!attachBackground(*p, cell->backgroundName(), true)) setSelectedBackground(p->curBackgroundName());
}

// Taking the selection away only hides the edit bar: background mode is
// entered through the Edit path alone, so the desk never finds the mode set
// without having entered it.
void BackgroundsView::backgroundViewEidtRemove(BackgroundView*) { hiddenEditView(); }

// A double tap and the Edit button open the background the same way: the
// mode is set, the desk enters it, and the gallery closes.
void BackgroundsView::backgroundViewDidOpen(BackgroundView* cell) {
  if (!cell || !cell->backgroundName() || cell->imageType() != kBackgroundUserStill) return;
  ExtendDataModel& settings = model().extendDataModel();
  // The opened cell is the selection, so that closing attaches that background.
  backgroundViewWillSelected(cell);
  cell->setSelected(true);
  settings.setIsBackground(true);
  settings.setBackgroundName(cell->backgroundName());
  if (delegate_) {
    delegate_->subviewDidRemove(this);
    delegate_->closeBackgroundView(false);
  }
}

// --- adding, duplicating, deleting

std::string BackgroundsView::newUserName() const { return "US" + ProjectDataModel::dateString(); }

void BackgroundsView::insertUserCell(const std::string& name) {
  std::vector<std::string> names = model().backgroundArray();
  names.push_back(name);
  model().setBackgroundArray(std::move(names));
  auto cell = makeCell(name);
  if (!backgroundsArray_.empty()) cell->setFrame(backgroundsArray_.back()->frame());
  scrollView_->addSubview(cell);
  backgroundsArray_.insert(backgroundsArray_.end() - 1, cell);
  model().saveData();
  updateBackgroundView(true);
}

void BackgroundsView::backgroundViewNewImage(BackgroundView*) {
  const ui::Rect screen = window() ? window()->bounds() : ui::Rect{0, 0, 480, 320};
  newBackgroundView_ = std::make_shared<ui::View>(ui::Rect{0, 0, screen.width, 320});
  newBackgroundView_->setBackgroundColor(ui::Color::clear());
  auto cover = std::make_shared<ui::View>(newBackgroundView_->bounds());
  cover->setBackgroundColor({0, 0, 0, 0.7f});
  newBackgroundView_->addSubview(cover);
  auto box = std::make_shared<ui::ImageView>(ui::Rect{(screen.width - 312) / 2, 69, 312, 181});
  box->setImage(desk_art::named("block_medium.png"));
  box->setUserInteractionEnabled(true);
  newBackgroundView_->addSubview(box);
  auto title = std::make_shared<ui::Label>(ui::Rect{20, 2, 272, 27});
  title->setText(fd::Localized("Add Background"));
  title->setFont({"DejaVu Sans", 15, true});
  title->setTextColor(ui::Color{1, 1, 1, 1});
  title->setBackgroundColor(ui::Color::clear());
  title->setTextAlignment(ui::TextAlignment::Center);
  box->addSubview(title);
  struct Entry {
    const char* title;
    float y;
    void (BackgroundsView::*action)();
  };
  static constexpr Entry kEntries[] = {{"Create", 40, &BackgroundsView::createBackground},
                                       {"Import", 80, &BackgroundsView::selectedBackground},
                                       {"Cancel", 120, &BackgroundsView::cancel}};
  for (const Entry& e : kEntries) {
    auto b = ui::Button::make(ui::ButtonType::Custom, {47, e.y, 218, 25});
    b->setTitle(fd::Localized(e.title));
    b->setTitleColor(ui::Color{1, 1, 1, 1});
    b->setBackgroundImage(desk_art::named("message_button_A01.png"));
    b->setBackgroundImage(desk_art::named("message_button_A02.png"), ui::StateHighlighted);
    auto action = e.action;
    b->addTarget(this, [this, action](ui::Control*, const ui::Event*) { (this->*action)(); }, ui::TouchUpInside);
    box->addSubview(b);
  }
  ui::View* host = superview() ? superview() : this;
  while (host->superview()) host = host->superview();
  host->addSubview(newBackgroundView_);
}

void BackgroundsView::cancel() {
  if (newBackgroundView_) newBackgroundView_->removeFromSuperview();
  newBackgroundView_.reset();
}

void BackgroundsView::selectedBackground() {
  importPicker_ = SelectedBackgroundViewController::make();
  importPicker_->setSelectedDelegate(this);
  if (auto* desk = DesktopManagerController::sharedViewController()) desk->presentViewController(importPicker_, true);
  cancel();
}

void BackgroundsView::selectedBackgroundViewControllerDidFinishWithImage(SelectedBackgroundViewController&,
                                                                         const gfx::Image& image) {
  addBackgroundWithImage(image);
}

bool BackgroundsView::selectedBackgroundViewControllerDidCancel(SelectedBackgroundViewController& picker) {
  picker.dismissViewController(true);
  return true;
}

void BackgroundsView::createBackground() {
  insertUserCell(newUserName());
  cancel();
}

std::optional<std::string> BackgroundsView::addBackgroundWithImage(const gfx::Image& image) {
  if (image.empty()) {
    fd::Log("background import: the picture has no pixels; nothing was added");
    return std::nullopt;
  }
  const std::string name = newUserName();
  auto picture = model().backgroundFullPathWithBackgroundName(name);
  auto icon = model().backgroundIconFullPathWithBackgroundName(name);
  if (!picture || !icon) return std::nullopt;
  fd::files::createDirectory(picture->parent_path());
  removeIfPresent(picture);
  fd::Status put = gfx::writePNG(*picture, image);
  if (put) put = gfx::writePNG(*icon, iconOf(image));
  if (!put) {
    removeIfPresent(picture);
    tell(fd::filled("The picture could not be added to the backgrounds: %@.", {notWrittenHere(put.failure())}));
    return std::nullopt;
  }
  insertUserCell(name);
  return name;
}

void BackgroundsView::duplicate() {
  const auto sel = selectedArray();
  if (sel.size() != 1 || sel.front()->imageType() != kBackgroundUserStill) return;
  BackgroundView* source = sel.front();
  const std::string name = newUserName();
  const auto& from = source->backgroundName();
  for (auto [src, dst] : {std::pair{model().backgroundFullPathWithBackgroundName(from),
                                    model().backgroundFullPathWithBackgroundName(name)},
                          std::pair{model().backgroundIconFullPathWithBackgroundName(from),
                                    model().backgroundIconFullPathWithBackgroundName(name)}}) {
    removeIfPresent(dst);
    std::error_code why;
    if (src && dst && fd::files::exists(*src) && !fd::files::copyItem(*src, *dst, &why)) {
      removeIfPresent(model().backgroundFullPathWithBackgroundName(name));
      removeIfPresent(model().backgroundIconFullPathWithBackgroundName(name));
      tell(fd::filled("The background could not be duplicated: %@.",
                      {notWrittenHere(fd::fail(why.message(), why.value()))}));
      return;
    }
  }
  std::vector<std::string> names = model().backgroundArray();
  auto at = std::find(names.begin(), names.end(), *from);
  names.insert(at == names.end() ? at : at + 1, name);
  model().setBackgroundArray(std::move(names));
  auto it = std::find_if(backgroundsArray_.begin(), backgroundsArray_.end() - 1,
                         [&](const auto& c) { return c.get() == source; });
  if (it != backgroundsArray_.end() - 1) {
    auto cell = makeCell(name);
    cell->setFrame(source->frame());
    scrollView_->addSubview(cell);
    backgroundsArray_.insert(it + 1, cell);
  }
  model().saveData();
  updateBackgroundView(true);
}

void BackgroundsView::deleteBackground() {
  ui::AlertView::make(fd::Localized("Warning"), fd::Localized("delete warning"), this, fd::Localized("Cancel"),
                      {fd::Localized("Delete:")})
      ->show();
}

void BackgroundsView::clickedButtonAtIndex(ui::ButtonSheet&, int index) {
  if (index == 1) deleteSelected();  // 0 is Cancel
}

void BackgroundsView::deleteSelected() {
  for (BackgroundView* cell : selectedArray()) {
    const int type = cell->imageType();
    if (type == kBackgroundShippedStill || type == kBackgroundShippedLoop || type == kBackgroundShippedHold) continue;
    const auto name = cell->backgroundName();
    removeIfPresent(model().backgroundFullPathWithBackgroundName(name));
    removeIfPresent(model().backgroundIconFullPathWithBackgroundName(name));
    std::vector<std::string> names = model().backgroundArray();
    if (auto at = std::find(names.begin(), names.end(), name); at != names.end()) names.erase(at);
    model().setBackgroundArray(std::move(names));
    cell->removeFromSuperview();
    std::erase_if(backgroundsArray_, [&](const auto& c) { return c.get() == cell; });
  }
  hiddenEditView();
  model().saveData();
  updateBackgroundView(true);
}
