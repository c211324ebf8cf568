#include "app/ZTLoadingViewController.h"

#include <mutex>
#include <optional>

#include "app/DeskRoom.h"
#include "app/LaunchArt.h"
#include "app/ProjectPreview.h"
#include "desk/Unavailable.h"
#include "desk/DesktopManagerController.h"
#include "model/ProjectNotice.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Dispatch.h"
#include "platform/foundation/Localized.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Alert.h"
#include "platform/ui/Screen.h"

namespace {

// Where things sit on the two screens (points).
struct Layout {
  ui::Rect project;   // the project's picture (a page's 4:3 shape)
  ui::Rect name;      // its name, below
  ui::Rect carousel;  // one card wide, paging sideways
  ui::Rect pageLabel;
};
constexpr Layout kLayouts[] = {
    {{28, 52, 216, 162}, {28, 222, 216, 24}, {276, 40, 176, 190}, {276, 236, 176, 20}},   // 480 x 320
    {{44, 52, 240, 180}, {44, 240, 240, 24}, {330, 40, 196, 210}, {330, 256, 196, 20}},   // 568 x 320
};

const Layout& layout() { return kLayouts[ui::Screen::main().isTall() ? 1 : 0]; }

constexpr const char* kEntryTitles[] = {"Previous Work", "Rotoscoping", "Community"};

}  // namespace

std::string ZTLoadingViewController::entryTitle(int entry) {
  if (entry < 0 || entry >= kEntryCount) return {};
  return kEntryTitles[entry];
}

ui::Button* ZTLoadingViewController::entryButton(int entry) const {
  if (entry < 0 || entry >= static_cast<int>(entries_.size())) return nullptr;
  return entries_[static_cast<std::size_t>(entry)].get();
}

void ZTLoadingViewController::loadView() {
  const ui::Screen& screen = ui::Screen::main();
  ui::Rect b = screen.bounds();
  float scale = screen.scale();
  const Layout& L = layout();
  auto root = std::make_shared<ui::ImageView>(ui::Picture(launch_art::backdrop(b.width, b.height, scale)));
  root->setFrame(b);
  root->setUserInteractionEnabled(true);

  auto title = std::make_shared<ui::Label>(ui::Rect{0, 8, b.width, 32});
  title->setText("flipdesk");
  title->setFont({"DejaVu Sans", 22, true});
  title->setTextColor({0.45f, 0.25f, 0.12f, 1});
  title->setTextAlignment(ui::TextAlignment::Center);
  root->addSubview(title);

  auto frame = std::make_shared<ui::View>(ui::Rect{L.project.x - 6, L.project.y - 6, L.project.width + 12,
                                                   L.project.height + 12});
  frame->setBackgroundColor({0.35f, 0.22f, 0.12f, 1});
  root->addSubview(frame);
  preview_ = std::make_shared<ProjectPreviewView>(L.project, ProjectPreviewView::Detail::Full);
  root->addSubview(preview_);
  projectName_ = std::make_shared<ui::Label>(L.name);
  projectName_->setFont({"DejaVu Sans", 15, true});
  projectName_->setTextColor({0.3f, 0.2f, 0.1f, 1});
  projectName_->setTextAlignment(ui::TextAlignment::Center);
  root->addSubview(projectName_);

  carousel_ = std::make_shared<ui::ScrollView>(L.carousel);
  carousel_->setPagingEnabled(true);
  carousel_->setContentSize({L.carousel.width * kEntryCount, L.carousel.height});
  entries_.clear();
  for (int i = 0; i < kEntryCount; ++i) {
    auto button = ui::Button::make(ui::ButtonType::Custom,
                                   {L.carousel.width * i, 0, L.carousel.width, L.carousel.height});
    button->setBackgroundImage(ui::Picture(launch_art::card(i, L.carousel.width, L.carousel.height, scale)));
    button->setTitle(fd::Localized(kEntryTitles[i]));
    button->setTitleColor(ui::Color{0.2f, 0.15f, 0.1f, 1});
    button->setTitleColor(ui::Color{0.6f, 0.3f, 0.1f, 1}, ui::StateHighlighted);
    button->setTitleEdgeInsets({L.carousel.height * 0.55f, 0, 0, 0});
    button->setTag(kEntryTagBase + i);
    button->addTarget(this, [this, i](ui::Control*, const ui::Event*) { chooseEntry(i); }, ui::TouchUpInside);
    carousel_->addSubview(button);
    entries_.push_back(button);
  }
  root->addSubview(carousel_);
  pageLabel_ = std::make_shared<ui::Label>(L.pageLabel);
  pageLabel_->setText("\u25C0  swipe  \u25B6");
  pageLabel_->setFont({"DejaVu Sans", 11, false});
  pageLabel_->setTextColor({0.4f, 0.3f, 0.2f, 1});
  pageLabel_->setTextAlignment(ui::TextAlignment::Center);
  root->addSubview(pageLabel_);
  setView(root);
  reloadProject();
}

void ZTLoadingViewController::viewWillAppear(bool) { reloadProject(); }

void ZTLoadingViewController::reloadProject() {
  if (!preview_) return;
  ZTDataModel& model = ZTDataModel::sharedInstance();
  projectName_->setText(model.curProjectName());
  preview_->showProject(model.prjDataModel().get());
}

void ZTLoadingViewController::chooseEntry(int entry) {
  if (entry < 0 || entry >= kEntryCount) return;
  if (entry == kPreviousWork) {
    loadData();
    return;
  }
  if (entry == kRotoscoping) {
    restorescopingView();
    return;
  }
  screens::showUnavailable(kEntryTitles[entry]);
}

void ZTLoadingViewController::restorescopingView() {
  auto screen = std::make_shared<roto::VTRotoscopingViewController>();
  screen->setDelegate(this);
  presentViewController(screen, true);
}

namespace {
// The project the rotoscoping export is filling, between its frames.
struct RotoProject {
  std::mutex m;
  std::shared_ptr<ProjectDataModel> project;
};
RotoProject& rotoProject() {
  static RotoProject* p = new RotoProject;  // never destroyed: an export may still be running at the end
  return *p;
}
}  // namespace

void ZTLoadingViewController::vtRotoscopingViewControllerExportImage(const std::shared_ptr<const gfx::Image>& image,
                                                                     int index, unsigned layPosition) {
  RotoProject& kept = rotoProject();
  std::lock_guard<std::mutex> lock(kept.m);
  const int position = static_cast<int>(layPosition);
  if (index == 0) {
    kept.project = ZTDataModel::sharedInstance().creatProject("Roto", image, position);
    return;
  }
  if (kept.project) kept.project->addFrameWithImage(image, position);
}

void ZTLoadingViewController::vtRotoscopingViewControllerDidFinishExport(roto::VTRotoscopingViewController*) {
  std::shared_ptr<ProjectDataModel> project;
  {
    std::lock_guard<std::mutex> lock(rotoProject().m);
    project = rotoProject().project;
  }
  // The pictures are written on the model's queue; the project takes its
  // name, and the desk opens on it, only once they are all on disk.
  std::weak_ptr<ViewController> weak = shared_from_this();
  fd::detachThread([project, weak] {
    if (project) project->waitForImageWrites();
    fd::performOnMain([project, weak] {
      // A project missing pictures the disk refused is no export: its
      // folder, listed nowhere yet, goes, and the user hears why.
      std::optional<std::string> why;
      ZTDataModel& model = ZTDataModel::sharedInstance();
      if (!project) {
        why = fd::Localized("the projects folder could not take a new project");
      } else if (const std::optional<fd::Failure> refused = project->imageWriteFailure()) {
        why = notWrittenInWords(*refused);
        if (ZTDataModel::isCreationStagingName(project->curProjectName()))
          fd::files::removeItem(project->projectDicPath());
      } else if (!model.finishCreatedProject(project)) {
        why = fd::Localized("the new project could not be listed");
      }
      if (why) {
        ui::AlertView::make(fd::Localized("Export not finished"),
                            fd::filled("The frames could not be exported: %@.", {*why}) + "\n" +
                                fd::Localized("No project was made of them."),
                            nullptr, fd::Localized("OK"))
            ->show();
        return;
      }
      if (auto self = std::static_pointer_cast<ZTLoadingViewController>(weak.lock())) self->loadData();
    }, false);
  });
}

void ZTLoadingViewController::loadData() {
  if (const std::optional<std::string> words = desk_room::shortfall()) {
    fd::Log("flipdesk: %s\n", words->c_str());
    ui::AlertView::make(fd::Localized("Not Enough Memory"), *words, nullptr, fd::Localized("OK"))->show();
    return;
  }
  const std::string nib = ui::Screen::main().isTall() ? "DesktopManagerController_iphone5" : "DesktopManagerController";
  std::weak_ptr<ViewController> weak = shared_from_this();
  fd::detachThread([nib, weak] {
    auto desk = DesktopManagerController::initWithNibName(nib);
    fd::performOnMain([desk, weak] {
      auto self = std::static_pointer_cast<ZTLoadingViewController>(weak.lock());
      if (!self) return;
      self->desk_ = desk;
      self->presentViewController(desk, false);
    }, false);
  });
}
