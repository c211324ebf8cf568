#include "app/FileManagerView.h"

#include <algorithm>

#include "app/LaunchArt.h"
#include "desk/Unavailable.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/Localized.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"
#include "platform/ui/Screen.h"

namespace {

constexpr const char* kShowInstoreNotification = "ShowInstoreViewNotification";
constexpr const char* kNewProjectName = "Project";

// A card: a rounded paper plate with a frame for the icon; the selected one
// glows.
gfx::Image cardPlate(bool selected, float scale) {
  const float w = ProjectsView::kCardWidth, h = ProjectsView::kCardHeight;
  gfx::Context c(static_cast<int>(w * scale), static_cast<int>(h * scale), scale);
  gfx::Path plate;
  plate.addRoundedRect({3, 3, w - 6, h - 6}, 10);
  c.setFillColor(selected ? gfx::Color{1, 0.86f, 0.5f, 1} : gfx::Color{0.98f, 0.95f, 0.88f, 1});
  c.fillPath(plate);
  c.setStrokeColor(selected ? gfx::Color{0.86f, 0.45f, 0.1f, 1} : gfx::Color{0.55f, 0.4f, 0.25f, 1});
  c.setLineWidth(selected ? 3 : 1.5f);
  c.strokePath(plate);
  // Icons are transparent where nothing is drawn: they sit on paper.
  c.setFillColor({1, 0.99f, 0.96f, 1});
  c.fillRect({9, 9, w - 18, (w - 18) * 0.75f});
  c.setStrokeColor({0.55f, 0.4f, 0.25f, 0.6f});
  c.setLineWidth(1);
  c.strokeRect({9, 9, w - 18, (w - 18) * 0.75f});
  return c.makeImage();
}

gfx::Image panelBackdrop(float w, float h, float scale) {
  gfx::Context c(static_cast<int>(w * scale), static_cast<int>(h * scale), scale);
  c.setFillColor({0.1f, 0.06f, 0.03f, 0.82f});
  c.fillRect({0, 0, w, h});
  gfx::Path plate;
  plate.addRoundedRect({10, 34, w - 20, h - 80}, 14);
  c.setFillColor({0.42f, 0.27f, 0.15f, 1});
  c.fillPath(plate);
  c.setStrokeColor({0.86f, 0.7f, 0.38f, 1});
  c.setLineWidth(2);
  c.strokePath(plate);
  return c.makeImage();
}

std::shared_ptr<ui::Button> textButton(const std::string& title, const ui::Rect& frame) {
  auto b = ui::Button::make(ui::ButtonType::RoundedRect, frame);
  b->setTitle(title);
  return b;
}

}  // namespace

// --- projects tab

ProjectsView::ProjectsView(const ui::Rect& frame) : ui::ScrollView(frame) { reloadProjects(); }

void ProjectsView::reloadProjects() {
  for (auto& c : cards_) c->removeFromSuperview();
  cards_.clear();
  icons_.clear();
  titles_.clear();
  backgrounds_.clear();
  ZTDataModel& model = ZTDataModel::sharedInstance();
  names_ = model.projectsNameArray();
  const float scale = ui::Screen::main().scale();
  const ui::Picture plate(cardPlate(false, scale));
  const ui::Picture chosen(cardPlate(true, scale));
  const ui::Picture blank(launch_art::blankPage(kCardWidth - 18, (kCardWidth - 18) * 0.75f, scale));
  for (std::size_t i = 0; i < names_.size(); ++i) {
    const std::string& name = names_[i];
    // The open project is read from memory: its newest state may not be saved.
    std::shared_ptr<ProjectDataModel> project =
        name == model.curProjectName() && model.prjDataModel() ? model.prjDataModel()
                                                               : ProjectDataModel::initWithProjectName(name);
    ui::Picture icon;
    if (project) {
      if (auto path = project->iconFullPathAtPage(1, false)) icon = ui::Picture::fromFile(*path);
    }
    backgrounds_.push_back(project ? project->curBackgroundName() : std::nullopt);
    auto card = ui::Button::make(ui::ButtonType::Custom,
                                 {kCardGap + i * (kCardWidth + kCardGap), 4, kCardWidth, kCardHeight});
    card->setBackgroundImage(plate);
    card->setBackgroundImage(chosen, ui::StateSelected);
    // Icon and name sit in the plate's frame and under it: the button's own
    // picture and title would be laid side by side and sized by the icon's
    // pixels, which differ with the scale the icon was written at.
    const ui::Rect picture{9, 9, kCardWidth - 18, (kCardWidth - 18) * 0.75f};
    auto iconView = std::make_shared<ui::ImageView>(picture);
    iconView->setContentMode(ui::ContentMode::ScaleAspectFit);
    iconView->setImage(icon.empty() ? blank : icon);
    iconView->setUserInteractionEnabled(false);
    card->addSubview(iconView);
    auto title = std::make_shared<ui::Label>(ui::Rect{4, picture.y + picture.height + 4, kCardWidth - 8,
                                                      kCardHeight - picture.y - picture.height - 12});
    title->setText(name);
    title->setTextColor(ui::Color{0.25f, 0.15f, 0.08f, 1});
    title->setFont({"DejaVu Sans", 11, true});
    title->setTextAlignment(ui::TextAlignment::Center);
    title->setUserInteractionEnabled(false);
    card->addSubview(title);
    icons_.push_back(iconView);
    titles_.push_back(title);
    card->setTag(static_cast<int>(i));
    card->addTarget(this, [this, i](ui::Control*, const ui::Event*) {
      if (selected_ == static_cast<int>(i)) {
        if (onOpen) onOpen(names_[i]);
      } else {
        selectCard(static_cast<int>(i));
      }
    }, ui::TouchUpInside);
    addSubview(card);
    cards_.push_back(card);
  }
  setContentSize({kCardGap + names_.size() * (kCardWidth + kCardGap), bounds().height});
  selected_ = -1;
}

ui::Button* ProjectsView::card(std::size_t index) const { return index < cards_.size() ? cards_[index].get() : nullptr; }

ui::ImageView* ProjectsView::cardIcon(std::size_t index) const {
  return index < icons_.size() ? icons_[index].get() : nullptr;
}

ui::Label* ProjectsView::cardName(std::size_t index) const {
  return index < titles_.size() ? titles_[index].get() : nullptr;
}

void ProjectsView::selectCard(int index) {
  if (index >= static_cast<int>(cards_.size())) return;
  selected_ = index;
  for (std::size_t i = 0; i < cards_.size(); ++i) cards_[i]->setSelected(static_cast<int>(i) == index);
}

std::optional<std::string> ProjectsView::selectedProjectName() const {
  if (selected_ < 0) return std::nullopt;
  return names_[static_cast<std::size_t>(selected_)];
}

std::optional<std::string> ProjectsView::selectedBackground() const {
  if (selected_ < 0) return std::nullopt;
  return backgrounds_[static_cast<std::size_t>(selected_)];
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
  backdrop->setImage(ui::Picture(panelBackdrop(w, h, ui::Screen::main().scale())));
  addSubview(backdrop);
  setUserInteractionEnabled(true);

  title_ = std::make_shared<ui::Label>(ui::Rect{0, 6, w, 24});
  title_->setText(fd::Localized("Projects"));
  title_->setFont({"DejaVu Sans", 17, true});
  title_->setTextColor({1, 0.94f, 0.8f, 1});
  title_->setTextAlignment(ui::TextAlignment::Center);
  addSubview(title_);

  projsView_ = std::make_shared<ProjectsView>(ui::Rect{16, 60, w - 32, ProjectsView::kCardHeight + 8});
  projsView_->onOpen = [this](const std::string& name) { openProject(name); };
  addSubview(projsView_);

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
}

bool FileManagerView::openProject(const std::string& name) {
  ZTDataModel& model = ZTDataModel::sharedInstance();
  const auto& names = model.projectsNameArray();
  if (std::find(names.begin(), names.end(), name) == names.end()) return false;
  const auto& project = model.prjDataModel();
  if (!project || !project->setCurProjectName(name)) return false;
  model.setCurProjectName(name);
  model.saveData();
  close();
  return true;
}

bool FileManagerView::createProject() {
  ZTDataModel& model = ZTDataModel::sharedInstance();
  if (!model.createProject(kNewProjectName, std::nullopt)) return false;
  model.saveData();
  projsView_->reloadProjects();
  const auto& names = projsView_->projectNames();
  auto it = std::find(names.begin(), names.end(), model.curProjectName());
  if (it != names.end()) projsView_->selectCard(static_cast<int>(it - names.begin()));
  return true;
}

void FileManagerView::close() {
  // Kept alive until it has left the screen.
  std::shared_ptr<ui::View> keep = self();
  if (delegate_) delegate_->subviewDidRemove(this);
  removeFromSuperview();
}

void FileManagerView::showPromotion() {
  ui::AlertView::make(fd::Localized("PDF Reader"), fd::Localized("Read your exported PDFs with our reader."), this,
                      fd::Localized("Cancel"), {fd::Localized("Store")})->show();
}

void FileManagerView::didDismissWithButtonIndex(ui::ButtonSheet& sheet, int index) {
  if (sheet.buttonTitleAtIndex(index) == fd::Localized("Store"))
    fd::NotificationCenter::defaultCenter().post(kShowInstoreNotification);
}
