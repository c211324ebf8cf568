#pragma once
// The launch screen: the current project's icon over its background, and a
// carousel of the three ways on (previous work, rotoscoping, community). The
// first opens a new drawing desk at each press; the second the rotoscoping
// screen, whose exported pictures become the project "Roto" opened on the
// desk; the community screen is not part of this build yet, so that entry
// says so when chosen.
#include <memory>
#include <string>
#include <vector>

#include "app/ProjectPreview.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/ViewController.h"
#include "roto/VTRotoscopingViewController.h"

class DesktopManagerController;

class ZTLoadingViewController : public ui::ViewController, public roto::VTRotoscopingViewControllerDelegate {
 public:
  // Carousel entries, in order.
  enum Entry { kPreviousWork = 0, kRotoscoping = 1, kCommunity = 2 };
  static constexpr int kEntryCount = 3;
  static constexpr int kEntryTagBase = 100;

  void loadView() override;
  void viewWillAppear(bool animated) override;

  // Shows the current project's picture and name again.
  void reloadProject();
  // What a press of a carousel entry does.
  void chooseEntry(int entry);
  // Builds a new desk off the main thread, then presents it on the main
  // thread without animation.
  void loadData();
  // Presents a new rotoscoping screen with this screen as its delegate.
  void restorescopingView();
  // An exported picture (on the export thread): the first makes the project
  // "Roto" with it, the others are appended to that project, which takes its
  // name only when the export has finished and every picture is written.
  void vtRotoscopingViewControllerExportImage(const std::shared_ptr<const gfx::Image>& image, int index,
                                              unsigned layPosition) override;
  bool answersDidFinishExport() const override { return true; }
  // The export has ended: the desk opens on the new project.
  void vtRotoscopingViewControllerDidFinishExport(roto::VTRotoscopingViewController*) override;
  // The desk made by the latest press (kept while it lives).
  DesktopManagerController* desk() const { return desk_.get(); }

  ui::ScrollView* carousel() const { return carousel_.get(); }
  ui::Button* entryButton(int entry) const;
  ProjectPreviewView* projectPreview() const { return preview_.get(); }
  ui::ImageView* projectBackground() const { return preview_ ? preview_->pageView() : nullptr; }
  ui::ImageView* projectIcon() const { return preview_ ? preview_->drawingView() : nullptr; }
  ui::Label* projectName() const { return projectName_.get(); }

  static std::string entryTitle(int entry);

 private:
  std::shared_ptr<ui::ScrollView> carousel_;
  std::vector<std::shared_ptr<ui::Button>> entries_;
  std::shared_ptr<ProjectPreviewView> preview_;
  std::shared_ptr<ui::Label> projectName_, pageLabel_;
  std::shared_ptr<DesktopManagerController> desk_;
};
