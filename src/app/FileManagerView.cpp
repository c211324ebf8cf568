// The file-manager panel: its card strips, tabs, bars and layout. What the
// actions do is in FileManagerActions.cpp.
#include "app/FileManagerView.h"

#include <algorithm>
#include <cmath>

#include "app/ProjectPreview.h"
#include "desk/DeskPalette.h"
#include "desk/Unavailable.h"
#include "model/PackageZipOperator.h"
#include "model/SafeName.h"
#include "platform/foundation/Localized.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/Unicode.h"
#include "platform/foundation/StopRequest.h"
#include "platform/ui/Screen.h"

namespace {

constexpr const char* kNewProjectName = "Project";
// The name field holds more than a project name may be, so that a longer
// name is told in words when it is given, not cut while it is typed; this
// bounds only what typing can pile up.
constexpr std::size_t kNameFieldBytes = 4 * kMaxProjectNameBytes;

// The strip of cards, and under it two rows of three action buttons.
constexpr float kStripTop = 40;
constexpr float kRowTop[2] = {178, 220};
constexpr float kSlotGap = 12;
const ui::Color kInkText{0.25f, 0.15f, 0.08f, 1};
const ui::Color kPaperText{1, 0.94f, 0.8f, 1};

std::shared_ptr<ui::Button> textButton(const std::string& title, const ui::Rect& frame) {
  auto b = ui::Button::make(ui::ButtonType::RoundedRect, frame);
  b->setTitle(title);
  return b;
}

ui::Rect slotFrame(float panelWidth, int row, int slot, int slots = 1) {
  const float w = file_art::kButtonWidth;
  const float x0 = (panelWidth - 3 * w - 2 * kSlotGap) / 2;
  return {x0 + slot * (w + kSlotGap), kRowTop[row], slots * w + (slots - 1) * kSlotGap, file_art::kButtonHeight};
}

}  // namespace

// --- a strip of cards

CardStrip::CardStrip(const ui::Rect& frame) : ui::ScrollView(frame) {}

ui::Button* CardStrip::card(std::size_t index) const { return index < cards_.size() ? cards_[index].get() : nullptr; }

ui::ImageView* CardStrip::cardIcon(std::size_t index) const { return index < icons_.size() ? icons_[index] : nullptr; }

ui::Label* CardStrip::cardName(std::size_t index) const {
  return index < titles_.size() ? titles_[index].get() : nullptr;
}

void CardStrip::removeCards() {
  for (auto& c : cards_) c->removeFromSuperview();
  cards_.clear();
  icons_.clear();
  titles_.clear();
  selected_ = -1;
}

ui::Rect CardStrip::pictureFrame() { return {9, 9, kCardWidth - 18, (kCardWidth - 18) * 0.75f}; }

void CardStrip::addCard(const ui::Picture& picture, const std::string& title) {
  auto iconView = std::make_shared<ui::ImageView>(pictureFrame());
  iconView->setContentMode(ui::ContentMode::ScaleAspectFit);
  iconView->setImage(picture);
  iconView->setUserInteractionEnabled(false);
  ui::ImageView* icon = iconView.get();
  addCard(std::move(iconView), icon, title);
}

void CardStrip::addCard(std::shared_ptr<ui::View> picture, ui::ImageView* icon, const std::string& title) {
  const std::size_t i = cards_.size();
  auto card = ui::Button::make(ui::ButtonType::Custom,
                               {kCardGap + i * (kCardWidth + kCardGap), 4, kCardWidth, kCardHeight});
  card->setBackgroundImage(file_art::named("file_card@2x.png"));
  card->setBackgroundImage(file_art::named("file_card_selected@2x.png"), ui::StateSelected);
  // Picture and name sit in the plate's frame and under it: the button's own
  // picture and title would be laid side by side and sized by the picture's
  // pixels, which differ with the scale the picture was written at.
  const ui::Rect frame = pictureFrame();
  card->addSubview(std::move(picture));
  auto label = std::make_shared<ui::Label>(
      ui::Rect{4, frame.y + frame.height + 4, kCardWidth - 8, kCardHeight - frame.y - frame.height - 12});
  label->setText(title);
  label->setTextColor(kInkText);
  label->setFont({"DejaVu Sans", 11, true});
  label->setTextAlignment(ui::TextAlignment::Center);
  label->setLineBreakMode(ui::LineBreak::TruncateMiddle);
  label->setUserInteractionEnabled(false);
  card->addSubview(label);
  card->setTag(static_cast<int>(i));
  card->addTarget(this, [this, i](ui::Control*, const ui::Event*) { cardTouched(i); }, ui::TouchUpInside);
  addSubview(card);
  cards_.push_back(card);
  icons_.push_back(icon);
  titles_.push_back(label);
}

void CardStrip::finishCards() {
  setContentSize({kCardGap + cards_.size() * (kCardWidth + kCardGap), bounds().height});
  if (contentOffset().x > maxContentOffset().x) setContentOffset(maxContentOffset());
  didScroll();
}

void CardStrip::didScroll() {
  // The cards far out of sight are hidden, so that the screen does not walk
  // every card of 200 at each frame of a drag.
  const auto [first, last] = cardsNearSight();
  for (std::size_t i = 0; i < cards_.size(); ++i) cards_[i]->setHidden(i < first || i >= last);
  cardsMoved();
}

std::pair<std::size_t, std::size_t> CardStrip::cardsNearSight() const {
  const ui::Rect b = bounds();
  const float pitch = kCardWidth + kCardGap;
  // A card spans [gap + i * pitch, gap + i * pitch + width).
  const float from = b.x - b.width - kCardGap - kCardWidth, to = b.x + 2 * b.width - kCardGap;
  const auto index = [&](float x) {
    return static_cast<std::size_t>(std::clamp(std::floor(x / pitch) + 1, 0.0f, static_cast<float>(cards_.size())));
  };
  return {index(from), std::max(index(from), index(to))};
}

void CardStrip::cardTouched(std::size_t index) { selectCard(static_cast<int>(index)); }

void CardStrip::selectCard(int index) {
  if (index >= static_cast<int>(cards_.size())) return;
  selected_ = index < 0 ? -1 : index;
  for (std::size_t i = 0; i < cards_.size(); ++i) cards_[i]->setSelected(static_cast<int>(i) == selected_);
  changed();
}

void CardStrip::changed() const {
  if (onSelectionChange) onSelectionChange();
}

// --- projects tab

ProjectsView::ProjectsView(const ui::Rect& frame) : CardStrip(frame) { reloadProjects(); }

ProjectsView::~ProjectsView() {
  // The model must not call back into a panel that has gone.
  if (combining_ && ZTDataModel::sharedInstance().delegate() == this) ZTDataModel::sharedInstance().setDelegate(nullptr);
}

void ProjectsView::reloadProjects(const std::optional<std::string>& select) {
  previews_.clear();
  removeCards();
  backgrounds_.clear();
  badges_.clear();
  badgeNumbers_.clear();
  chosen_.clear();
  ZTDataModel& model = ZTDataModel::sharedInstance();
  names_ = model.projectsNameArray();
  const ui::Picture badgePlate = file_art::named("file_badge@2x.png");
  for (std::size_t i = 0; i < names_.size(); ++i) {
    const std::string& name = names_[i];
    // The open project is read from memory: its newest state may not be saved.
    std::shared_ptr<ProjectDataModel> project =
        name == model.curProjectName() && model.prjDataModel() ? model.prjDataModel()
                                                               : ProjectDataModel::initToShowWithProjectName(name);
    backgrounds_.push_back(project ? project->curBackgroundName() : std::nullopt);
    auto preview = std::make_shared<ProjectPreviewView>(pictureFrame(), ProjectPreviewView::Detail::Thumbnail);
    preview->setProject(project.get());
    ProjectPreviewView* shown = preview.get();
    addCard(std::move(preview), shown->pageView(), name);
    previews_.push_back(shown);
    // The badge that shows the card's place in a combination.
    const float s = file_art::kBadgeSize;
    auto badge = std::make_shared<ui::ImageView>(ui::Rect{kCardWidth - s - 1, 1, s, s});
    badge->setImage(badgePlate);
    badge->setUserInteractionEnabled(false);
    badge->setHidden(true);
    auto number = std::make_shared<ui::Label>(ui::Rect{0, 0, s, s});
    number->setFont({"DejaVu Sans", 13, true});
    number->setTextColor(desk_palette::kPaper);
    number->setTextAlignment(ui::TextAlignment::Center);
    badge->addSubview(number);
    card(i)->addSubview(badge);
    badges_.push_back(badge);
    badgeNumbers_.push_back(number);
  }
  finishCards();
  int chosen = -1;
  if (select) {
    auto it = std::find(names_.begin(), names_.end(), *select);
    if (it != names_.end()) chosen = static_cast<int>(it - names_.begin());
  }
  selectCard(chosen);
}

std::optional<std::string> ProjectsView::selectedProjectName() const {
  if (selectedIndex() < 0) return std::nullopt;
  return names_[static_cast<std::size_t>(selectedIndex())];
}

std::optional<std::string> ProjectsView::selectedBackground() const {
  if (selectedIndex() < 0) return std::nullopt;
  return backgrounds_[static_cast<std::size_t>(selectedIndex())];
}

ui::Label* ProjectsView::cardBadge(std::size_t index) const {
  return index < badgeNumbers_.size() && !badges_[index]->isHidden() ? badgeNumbers_[index].get() : nullptr;
}

void ProjectsView::setChoosingOrder(bool on) {
  choosingOrder_ = on;
  chosen_.clear();
  if (on) {
    selectCard(-1);
  } else {
    showOrder();
  }
}

void ProjectsView::cardTouched(std::size_t index) {
  if (choosingOrder_) {
    const std::string& name = names_[index];
    auto it = std::find(chosen_.begin(), chosen_.end(), name);
    if (it == chosen_.end()) chosen_.push_back(name);
    else chosen_.erase(it);
    showOrder();
    changed();
  } else if (selectedIndex() == static_cast<int>(index)) {
    if (onOpen) onOpen(names_[index]);
  } else {
    selectCard(static_cast<int>(index));
  }
}

void ProjectsView::cardsMoved() {
  const auto [first, last] = cardsNearSight();
  for (std::size_t i = 0; i < previews_.size(); ++i) previews_[i]->setDecoded(i >= first && i < last);
}

void ProjectsView::showOrder() {
  for (std::size_t i = 0; i < names_.size(); ++i) {
    auto it = std::find(chosen_.begin(), chosen_.end(), names_[i]);
    const bool chosen = it != chosen_.end();
    badges_[i]->setHidden(!chosen);
    badgeNumbers_[i]->setText(chosen ? std::to_string(it - chosen_.begin() + 1) : "");
    card(i)->setSelected(chosen);
  }
}

bool ProjectsView::combineChosenProjects() {
  if (combining_ || chosen_.size() < 2) return false;
  combining_ = true;
  ZTDataModel& model = ZTDataModel::sharedInstance();
  model.setDelegate(this);
  model.combineSoundFileWithProject(chosen_);
  return true;
}

void ProjectsView::combineFinish() {
  ZTDataModel& model = ZTDataModel::sharedInstance();
  if (model.delegate() == this) model.setDelegate(nullptr);
  combining_ = false;
  const std::vector<std::string> order = chosen_;
  const std::string& target = order.front();
  // The model has stored the list and the combined project, and the open
  // project shows what is on disk: reading the combined project again and
  // saving it once more took seconds for a long one, and changed nothing.
  const std::vector<std::string>& names = model.projectsNameArray();
  auto listed = [&](const std::string& n) { return std::find(names.begin(), names.end(), n) != names.end(); };
  const bool combined = listed(target) && std::none_of(order.begin() + 1, order.end(), listed);
  choosingOrder_ = false;
  // Given up because the program is ending, it changed no list and no card:
  // reading every card's project again (half a second for a long one) would
  // only hold the end back.
  if (!combined && fd::endAsked()) {
    chosen_.clear();
    showOrder();
  } else {
    reloadProjects(target);
  }
  if (onCombineFinish) onCombineFinish(combined);
}

// --- packages tab

std::string PackagesView::Package::fileName() const {
  return name + "." + (isUpgrade ? ZipOperator::kCurrentExtension : ZipOperator::kOlderExtension);
}

PackagesView::PackagesView(const ui::Rect& frame) : CardStrip(frame) {
  empty_ = std::make_shared<ui::Label>(ui::Rect{20, 0, frame.width - 40, frame.height});
  empty_->setText(fd::Localized("Documents holds no packages. Export a project, or put \".zt2\" and \".zt\" files there."));
  empty_->setNumberOfLines(0);
  empty_->setFont({"DejaVu Sans", 13, false});
  empty_->setTextColor(kPaperText);
  empty_->setTextAlignment(ui::TextAlignment::Center);
  addSubview(empty_);
  reloadPackages();
}

void PackagesView::reloadPackages() {
  const std::optional<Package> before = selectedPackage();
  removeCards();
  packages_.clear();
  for (bool isUpgrade : {true, false}) {
    for (std::string& name : ZipOperator::packageNames(isUpgrade)) packages_.push_back({std::move(name), isUpgrade});
  }
  std::stable_sort(packages_.begin(), packages_.end(),
                   [](const Package& a, const Package& b) { return a.name < b.name; });
  const ui::Picture current = file_art::named("file_package@2x.png");
  const ui::Picture older = file_art::named("file_package_older@2x.png");
  for (const Package& p : packages_) addCard(p.isUpgrade ? current : older, p.fileName());
  finishCards();
  empty_->setHidden(!packages_.empty());
  auto it = before ? std::find(packages_.begin(), packages_.end(), *before) : packages_.end();
  selectCard(it == packages_.end() ? -1 : static_cast<int>(it - packages_.begin()));
}

std::optional<PackagesView::Package> PackagesView::selectedPackage() const {
  if (selectedIndex() < 0) return std::nullopt;
  return packages_[static_cast<std::size_t>(selectedIndex())];
}

// --- the panel

std::shared_ptr<FileManagerView> FileManagerView::initFileManagerView() {
  return std::make_shared<FileManagerView>(ui::Screen::main().bounds());
}

void FileManagerView::registerWithDesk() {
  desk_panels::setFileManagerFactory([](DeskPanelDelegate* delegate) -> std::shared_ptr<ui::View> {
    auto panel = initFileManagerView();
    panel->setDelegate(delegate);
    return panel;
  });
}

FileManagerView::FileManagerView(const ui::Rect& frame) : ui::View(frame) {
  const float w = frame.width, h = frame.height;
  auto backdrop = std::make_shared<ui::ImageView>(ui::Rect{0, 0, w, h});
  backdrop->setImage(file_art::named(w > 500 ? "file_backdrop-568h@2x.png" : "file_backdrop@2x.png"));
  addSubview(backdrop);
  setUserInteractionEnabled(true);

  auto tabButton = [this](const std::string& title, float x, Tab tab) {
    auto b = ui::Button::make(ui::ButtonType::Custom, {x, 5, file_art::kTabWidth, file_art::kTabHeight});
    b->setBackgroundImage(file_art::named("file_tab@2x.png"));
    b->setBackgroundImage(file_art::named("file_tab_open@2x.png"), ui::StateSelected);
    b->setTitle(fd::Localized(title));
    b->titleLabel()->setFont({"DejaVu Sans", 14, true});
    b->setTitleColor(kPaperText);
    b->setTitleColor(kInkText, ui::StateSelected);
    b->setTitleColor(kPaperText.withAlpha(0.45f), ui::StateDisabled);
    b->addTarget(this, [this, tab](ui::Control*, const ui::Event*) { showTab(tab); }, ui::TouchUpInside);
    addSubview(b);
    return b;
  };
  projectsTab_ = tabButton("Projects", 14, Tab::Projects);
  packagesTab_ = tabButton("Packages", 20 + file_art::kTabWidth, Tab::Packages);

  const ui::Rect strip{16, kStripTop, w - 32, CardStrip::kCardHeight + 8};
  projsView_ = std::make_shared<ProjectsView>(strip);
  projsView_->onOpen = [this](const std::string& name) { openProject(name); };
  projsView_->onSelectionChange = [this] { updateActions(); };
  projsView_->onCombineFinish = [this](bool combined) { combineFinished(combined); };
  addSubview(projsView_);
  packagesView_ = std::make_shared<PackagesView>(strip);
  packagesView_->onSelectionChange = [this] { updateActions(); };
  addSubview(packagesView_);

  rename_ = actionButton("Rename", 0, 0);
  rename_->addTarget(this, [this](ui::Control*, const ui::Event*) { beginRename(); }, ui::TouchUpInside);
  duplicate_ = actionButton("Duplicate", 0, 1);
  duplicate_->addTarget(this, [this](ui::Control*, const ui::Event*) { duplicateProject(); }, ui::TouchUpInside);
  delete_ = actionButton("Delete", 0, 2);
  delete_->addTarget(this, [this](ui::Control*, const ui::Event*) { deleteProject(); }, ui::TouchUpInside);
  exportCurrent_ = actionButton("Export .zt2", 1, 0);
  exportCurrent_->addTarget(this, [this](ui::Control*, const ui::Event*) { exportPackage(true); }, ui::TouchUpInside);
  exportOlder_ = actionButton("Export .zt", 1, 1);
  exportOlder_->addTarget(this, [this](ui::Control*, const ui::Event*) { exportPackage(false); }, ui::TouchUpInside);
  combine_ = actionButton("Combine", 1, 2);
  combine_->addTarget(this, [this](ui::Control*, const ui::Event*) { beginCombine(); }, ui::TouchUpInside);
  import_ = actionButton("Import", 0, 0);
  import_->addTarget(this, [this](ui::Control*, const ui::Event*) { importPackage(); }, ui::TouchUpInside);
  confirm_ = actionButton("Rename", 1, 1);
  confirm_->addTarget(this, [this](ui::Control*, const ui::Event*) {
    if (mode_ == Mode::Renaming) finishRename();
    else finishCombine();
  }, ui::TouchUpInside);
  cancel_ = actionButton("Cancel", 1, 2);
  cancel_->addTarget(this, [this](ui::Control*, const ui::Event*) { cancelMode(); }, ui::TouchUpInside);

  nameCaption_ = std::make_shared<ui::Label>(slotFrame(w, 0, 0));
  nameCaption_->setText(fd::Localized("New name:"));
  nameCaption_->setFont({"DejaVu Sans", 14, true});
  nameCaption_->setTextColor(kPaperText);
  nameCaption_->setTextAlignment(ui::TextAlignment::Right);
  addSubview(nameCaption_);
  nameField_ = std::make_shared<ui::TextField>(slotFrame(w, 0, 1, 2));
  nameField_->setMaximumLength(kNameFieldBytes);
  nameField_->setPlaceholder(fd::Localized("Project name"));
  nameField_->addTarget(this, [this](ui::Control*, const ui::Event*) { finishRename(); }, ui::EditingDidEndOnExit);
  // Escape gives the renaming up.
  nameField_->addTarget(this, [this](ui::Control*, const ui::Event*) {
    if (mode_ == Mode::Renaming) cancelMode();
  }, ui::EditingDidEnd);
  addSubview(nameField_);
  hint_ = std::make_shared<ui::Label>(slotFrame(w, 0, 0, 3));
  hint_->setNumberOfLines(2);
  hint_->setFont({"DejaVu Sans", 12, false});
  hint_->setTextColor(kPaperText);
  hint_->setLineBreakMode(ui::LineBreak::TruncateMiddle);
  addSubview(hint_);

  close_ = textButton(fd::Localized("Close"), {w - 90, h - 40, 80, 32});
  close_->addTarget(this, [this](ui::Control*, const ui::Event*) { close(); }, ui::TouchUpInside);
  new_ = textButton(fd::Localized("New"), {10, h - 40, 80, 32});
  new_->addTarget(this, [this](ui::Control*, const ui::Event*) { createProject(); }, ui::TouchUpInside);
  open_ = textButton(fd::Localized("Open"), {100, h - 40, 80, 32});
  open_->addTarget(this, [this](ui::Control*, const ui::Event*) {
    if (auto name = projsView_->selectedProjectName()) openProject(*name);
  }, ui::TouchUpInside);
  promotion_ = textButton(fd::Localized("PDF Reader"), {w / 2 - 10, h - 40, 110, 32});
  promotion_->addTarget(this, [this](ui::Control*, const ui::Event*) { showPromotion(); }, ui::TouchUpInside);
  export_ = textButton(fd::Localized("Export"), {w - 190, 6, 80, 26});
  export_->addTarget(this, [](ui::Control*, const ui::Event*) { screens::showUnavailable("Export"); },
                     ui::TouchUpInside);
  share_ = textButton(fd::Localized("Share"), {w - 100, 6, 80, 26});
  share_->addTarget(this, [](ui::Control*, const ui::Event*) { screens::showUnavailable("Share"); },
                    ui::TouchUpInside);
  for (auto* b : {close_.get(), new_.get(), open_.get(), promotion_.get(), export_.get(), share_.get()})
    addSubview(b->self());

  // Over everything while a combination runs.
  busy_ = std::make_shared<ui::View>(ui::Rect{0, 0, w, h});
  busy_->setBackgroundColor({0, 0, 0, 0.35f});
  spinner_ = std::make_shared<ui::ActivityIndicatorView>(ui::ActivityIndicatorStyle::WhiteLarge);
  spinner_->setCenter({w / 2, h / 2});
  busy_->addSubview(spinner_);
  busy_->setHidden(true);
  addSubview(busy_);

  showTab(Tab::Projects);
}

std::shared_ptr<ui::Button> FileManagerView::actionButton(const std::string& title, int row, int slot) {
  auto b = ui::Button::make(ui::ButtonType::Custom, slotFrame(bounds().width, row, slot));
  b->setBackgroundImage(file_art::named("file_button@2x.png"));
  b->setBackgroundImage(file_art::named("file_button_pressed@2x.png"), ui::StateHighlighted);
  b->setBackgroundImage(file_art::named("file_button_disabled@2x.png"), ui::StateDisabled);
  b->setTitle(fd::Localized(title));
  b->titleLabel()->setFont({"DejaVu Sans", 14, true});
  b->setTitleColor(kInkText);
  b->setTitleColor(kInkText.withAlpha(0.4f), ui::StateDisabled);
  addSubview(b);
  return b;
}

void FileManagerView::showTab(Tab tab) {
  if (mode_ != Mode::None) return;
  tab_ = tab;
  if (tab == Tab::Packages) packagesView_->reloadPackages();
  layoutBars();
  updateActions();
}

// Which bar shows: the tab's own, or the one of a renaming or a combination.
void FileManagerView::layoutBars() {
  const bool projects = tab_ == Tab::Projects;
  const bool idle = mode_ == Mode::None;
  projectsTab_->setSelected(projects);
  packagesTab_->setSelected(!projects);
  projsView_->setHidden(!projects);
  // While a name is typed the cards stay put.
  projsView_->setUserInteractionEnabled(mode_ != Mode::Renaming);
  packagesView_->setHidden(projects);
  for (ui::Button* b : {rename_.get(), duplicate_.get(), delete_.get(), exportCurrent_.get(), exportOlder_.get(),
                        combine_.get()})
    b->setHidden(!projects || !idle);
  // New and Open belong to the cards as they are, not to a renaming or a
  // choice of cards.
  new_->setHidden(!projects || !idle);
  open_->setHidden(!projects || !idle);
  import_->setHidden(projects);
  nameCaption_->setHidden(mode_ != Mode::Renaming);
  nameField_->setHidden(mode_ != Mode::Renaming);
  confirm_->setHidden(idle);
  cancel_->setHidden(idle);
  confirm_->setTitle(fd::Localized(mode_ == Mode::Combining ? "Combine" : "Rename"));
  const float w = bounds().width;
  hint_->setHidden(!(mode_ == Mode::Combining || !projects));
  // Two lines of hint in the height of a button row.
  const ui::Rect row = projects ? slotFrame(w, 0, 0, 3) : slotFrame(w, 0, 1, 2);
  hint_->setFrame({row.x, row.y - 4, row.width, row.height + 8});
  if (!projects) {
    hint_->setText(fd::Localized("Packages are read from") + " " + fd::paths::documents().string());
  }
}

void FileManagerView::updateActions() {
  const bool idle = mode_ == Mode::None;
  const bool chosen = projsView_->selectedProjectName().has_value();
  for (ui::Button* b : {rename_.get(), duplicate_.get(), delete_.get(), exportCurrent_.get(), exportOlder_.get()})
    b->setEnabled(chosen);
  combine_->setEnabled(projsView_->projectNames().size() >= 2);
  open_->setEnabled(chosen);
  packagesTab_->setEnabled(idle);
  import_->setEnabled(packagesView_->selectedPackage().has_value());
  if (mode_ == Mode::Combining) {
    const std::vector<std::string>& order = projsView_->chosenOrder();
    confirm_->setEnabled(order.size() >= 2);
    std::string text;
    if (order.empty()) {
      text = fd::Localized("Touch the projects to combine, in order: the first receives the frames of the others.");
    } else {
      // "Into “A”, in this order: “B”, “C”."
      text = fd::Localized("Into") + " " + fd::quoted(order.front());
      if (order.size() == 1) {
        text += fd::Localized(": touch the projects to add, in order.");
      } else {
        text += fd::Localized(", in this order:");
        for (std::size_t i = 1; i < order.size(); ++i)
          text += (i > 1 ? ", " : " ") + fd::quoted(order[i]);
        text += ".";
      }
    }
    hint_->setText(text);
  } else {
    confirm_->setEnabled(true);
  }
}

void FileManagerView::setBusy(bool busy) {
  busy_->setHidden(!busy);
  bringSubviewToFront(busy_.get());
  if (busy) spinner_->startAnimating();
  else spinner_->stopAnimating();
  close_->setEnabled(!busy);
}

bool FileManagerView::createProject() {
  ZTDataModel& model = ZTDataModel::sharedInstance();
  if (mode_ != Mode::None || holdsOpenProject()) return false;
  if (!model.createProject(kNewProjectName, std::nullopt)) {
    tell("New", fd::filled("A new project could not be made: %@.", {model.lastError()}));
    return false;
  }
  model.saveData();
  projsView_->reloadProjects(model.curProjectName());
  return true;
}

void FileManagerView::close() {
  if (projsView_->isCombining()) return;
  // Kept alive until it has left the screen.
  std::shared_ptr<ui::View> keep = self();
  nameField_->resignFirstResponder();
  if (delegate_) delegate_->subviewDidRemove(this);
  removeFromSuperview();
}

void FileManagerView::showPromotion() {
  ui::AlertView::make(fd::Localized("PDF Reader"), fd::Localized("Read your exported PDFs with our reader."), this,
                      fd::Localized("Cancel"), {fd::Localized("Store")})->show();
}

void FileManagerView::touchesBegan(const ui::TouchSet&, const ui::Event&) {}
void FileManagerView::touchesMoved(const ui::TouchSet&, const ui::Event&) {}
void FileManagerView::touchesEnded(const ui::TouchSet&, const ui::Event&) {}
void FileManagerView::touchesCancelled(const ui::TouchSet&, const ui::Event&) {}
