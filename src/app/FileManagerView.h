#pragma once
// The file-manager panel the desk opens over itself: the projects tab lists
// the projects as cards with their icons; a card is chosen with a touch and
// opened with a second one (or the Open button), a new project is made with
// New, and Close returns to the desk. Its promotion of the sister PDF
// application asks the desk to show the store sheet.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "desk/DeskPanels.h"
#include "platform/ui/Alert.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"

class ProjectDataModel;

// The projects tab: one card per project, in the model's order.
class ProjectsView : public ui::ScrollView {
 public:
  static constexpr float kCardWidth = 120, kCardHeight = 118, kCardGap = 12;
  explicit ProjectsView(const ui::Rect& frame);

  // Reads the project list again and rebuilds the cards.
  void reloadProjects();
  const std::vector<std::string>& projectNames() const { return names_; }
  ui::Button* card(std::size_t index) const;
  // What a card shows: the project's first icon (or a blank page) and name.
  ui::ImageView* cardIcon(std::size_t index) const;
  ui::Label* cardName(std::size_t index) const;
  // Chooses a card (or none with -1).
  void selectCard(int index);
  int selectedIndex() const { return selected_; }
  std::optional<std::string> selectedProjectName() const;
  // The chosen card's project background name; nullopt when none is chosen.
  std::optional<std::string> selectedBackground() const;

  // A second touch on the chosen card opens it.
  std::function<void(const std::string& name)> onOpen;

 private:
  std::vector<std::string> names_;
  std::vector<std::optional<std::string>> backgrounds_;
  std::vector<std::shared_ptr<ui::Button>> cards_;
  std::vector<std::shared_ptr<ui::ImageView>> icons_;
  std::vector<std::shared_ptr<ui::Label>> titles_;
  int selected_ = -1;
};

class FileManagerView : public ui::View, public ui::ButtonSheetDelegate {
 public:
  // Laid out for the main screen (normal or tall).
  static std::shared_ptr<FileManagerView> initFileManagerView();
  explicit FileManagerView(const ui::Rect& frame);
  // The program plugs the panel into the desk with this at start-up.
  static void registerWithDesk();

  DeskPanelDelegate* delegate() const { return delegate_; }
  void setDelegate(DeskPanelDelegate* d) { delegate_ = d; }
  ProjectsView* projsView() const { return projsView_.get(); }
  ui::Button* closeButton() const { return close_.get(); }
  ui::Button* newButton() const { return new_.get(); }
  ui::Button* openButton() const { return open_.get(); }
  ui::Button* promotionButton() const { return promotion_.get(); }
  // Exporting and sharing a project lead to screens not in the program yet.
  ui::Button* exportButton() const { return export_.get(); }
  ui::Button* shareButton() const { return share_.get(); }

  // Opens the named project as the current one, then closes the panel.
  bool openProject(const std::string& name);
  // Makes a new project (it becomes the current one) and lists it chosen.
  bool createProject();
  // Tells the delegate, then leaves the screen.
  void close();
  void showPromotion();
  void didDismissWithButtonIndex(ui::ButtonSheet& sheet, int index) override;

 private:
  DeskPanelDelegate* delegate_ = nullptr;
  std::shared_ptr<ProjectsView> projsView_;
  std::shared_ptr<ui::Button> close_, new_, open_, promotion_, export_, share_;
  std::shared_ptr<ui::Label> title_;
};
