#pragma once
// The file-manager panel the desk opens over itself, with two tabs.
// Projects: the projects as cards with their icons; a card is chosen with a
// touch and opened with a second one (or Open); New makes a project; the
// chosen card is renamed, duplicated, deleted (after a confirmation; never
// the open one) or exported as a package in either format into Documents;
// Combine chooses several cards in order and combines them into the first.
// Packages: the "zt2" and "zt" packages in Documents, the chosen one imported
// as a new project. Every refusal and failure is told in an alert and leaves
// the files as they were. Close returns to the desk; the promotion of the
// sister PDF application asks the desk to show the store sheet.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/FileManagerArt.h"
#include "app/ProjectPreview.h"
#include "desk/DeskPanels.h"
#include "model/ZTDataModel.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Alert.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TextField.h"

// A strip of cards: a picture in the plate's paper frame and a name under
// it; a touch chooses one card.
class CardStrip : public ui::ScrollView {
 public:
  static constexpr float kCardWidth = file_art::kCardWidth, kCardHeight = file_art::kCardHeight, kCardGap = 12;
  explicit CardStrip(const ui::Rect& frame);

  std::size_t cardCount() const { return cards_.size(); }
  ui::Button* card(std::size_t index) const;
  // The card's picture: a package's, or the page a project's drawing lies on.
  ui::ImageView* cardIcon(std::size_t index) const;
  ui::Label* cardName(std::size_t index) const;
  // Chooses a card (or none with -1).
  void selectCard(int index);
  int selectedIndex() const { return selected_; }

  // After the chosen card (or the choice of cards) changed.
  std::function<void()> onSelectionChange;

 protected:
  void removeCards();
  // Where a card's picture lies on it.
  static ui::Rect pictureFrame();
  // Cards are added in order; finishCards sets the scrolled width.
  void addCard(const ui::Picture& picture, const std::string& title);
  // A card whose picture is a view of its own in the picture's frame, with
  // `icon` the picture it shows.
  void addCard(std::shared_ptr<ui::View> picture, ui::ImageView* icon, const std::string& title);
  void finishCards();
  virtual void cardTouched(std::size_t index);
  void changed() const;
  // The cards [first, last) within a strip's width of the part in sight,
  // whose pictures are worth holding; told again whenever the strip moves.
  std::pair<std::size_t, std::size_t> cardsNearSight() const;
  virtual void cardsMoved() {}
  void didScroll() override;

 private:
  std::vector<std::shared_ptr<ui::Button>> cards_;
  std::vector<ui::ImageView*> icons_;  // held by the cards
  std::vector<std::shared_ptr<ui::Label>> titles_;
  int selected_ = -1;
};

// The projects tab: one card per project, in the model's order. During a
// combination it is the model's delegate and hears combineFinish.
class ProjectsView : public CardStrip, public ZTDataModelDelegate {
 public:
  explicit ProjectsView(const ui::Rect& frame);
  ~ProjectsView() override;

  // Reads the project list again and rebuilds the cards; the card of the
  // named project (when listed) is chosen.
  void reloadProjects(const std::optional<std::string>& select = std::nullopt);
  const std::vector<std::string>& projectNames() const { return names_; }
  // A card's page as the desk shows it: the drawing over the background.
  ProjectPreviewView* cardPreview(std::size_t index) const {
    return index < previews_.size() ? previews_[index] : nullptr;
  }
  std::optional<std::string> selectedProjectName() const;
  // The chosen card's project background name; nullopt when none is chosen.
  std::optional<std::string> selectedBackground() const;

  // --- choosing cards for a combination: a touch adds a card to the order
  // (its badge shows its place) or takes it out again.
  void setChoosingOrder(bool on);
  bool isChoosingOrder() const { return choosingOrder_; }
  const std::vector<std::string>& chosenOrder() const { return chosen_; }
  ui::Label* cardBadge(std::size_t index) const;
  // Starts combining the chosen projects into the first (the sound merge
  // first); false with fewer than two chosen or while one runs.
  bool combineChosenProjects();
  bool isCombining() const { return combining_; }
  // The combination has finished (the model has saved it and reopened the
  // combined project when it is the current one): the list is read again.
  void combineFinish() override;

  // A second touch on the chosen card opens it.
  std::function<void(const std::string& name)> onOpen;
  // After a combination: whether the chosen projects are now one.
  std::function<void(bool combined)> onCombineFinish;

 protected:
  void cardTouched(std::size_t index) override;
  // Only the cards near sight hold their pictures: 200 projects would
  // otherwise all be decoded for the few cards shown.
  void cardsMoved() override;

 private:
  void showOrder();
  std::vector<std::string> names_;
  std::vector<std::optional<std::string>> backgrounds_;
  std::vector<ProjectPreviewView*> previews_;  // held by the cards
  std::vector<std::shared_ptr<ui::ImageView>> badges_;
  std::vector<std::shared_ptr<ui::Label>> badgeNumbers_;
  bool choosingOrder_ = false;
  bool combining_ = false;
  std::vector<std::string> chosen_;
};

// The packages tab: the packages of both formats in Documents, by name.
class PackagesView : public CardStrip {
 public:
  struct Package {
    std::string name;  // without the extension
    bool isUpgrade;    // the current format ("zt2"); else the older ("zt")
    std::string fileName() const;
    bool operator==(const Package&) const = default;
  };
  explicit PackagesView(const ui::Rect& frame);

  void reloadPackages();
  const std::vector<Package>& packages() const { return packages_; }
  std::optional<Package> selectedPackage() const;
  // Shown in place of the cards when Documents holds no package.
  ui::Label* emptyLabel() const { return empty_.get(); }

 private:
  std::vector<Package> packages_;
  std::shared_ptr<ui::Label> empty_;
};

class FileManagerView : public ui::View, public ui::ButtonSheetDelegate {
 public:
  enum class Tab { Projects, Packages };

  // Laid out for the main screen (normal or tall).
  static std::shared_ptr<FileManagerView> initFileManagerView();
  explicit FileManagerView(const ui::Rect& frame);
  // The program plugs the panel into the desk with this at start-up.
  static void registerWithDesk();

  DeskPanelDelegate* delegate() const { return delegate_; }
  void setDelegate(DeskPanelDelegate* d) { delegate_ = d; }
  ProjectsView* projsView() const { return projsView_.get(); }
  PackagesView* packagesView() const { return packagesView_.get(); }
  Tab tab() const { return tab_; }
  void showTab(Tab tab);

  ui::Button* projectsTabButton() const { return projectsTab_.get(); }
  ui::Button* packagesTabButton() const { return packagesTab_.get(); }
  ui::Button* closeButton() const { return close_.get(); }
  ui::Button* newButton() const { return new_.get(); }
  ui::Button* openButton() const { return open_.get(); }
  ui::Button* promotionButton() const { return promotion_.get(); }
  // Exporting movies and sharing lead to screens not in the program yet.
  ui::Button* exportButton() const { return export_.get(); }
  ui::Button* shareButton() const { return share_.get(); }
  // The projects tab's actions on the chosen card.
  ui::Button* renameButton() const { return rename_.get(); }
  ui::Button* duplicateButton() const { return duplicate_.get(); }
  ui::Button* deleteButton() const { return delete_.get(); }
  ui::Button* exportPackageButton(bool isUpgrade) const { return (isUpgrade ? exportCurrent_ : exportOlder_).get(); }
  ui::Button* combineButton() const { return combine_.get(); }
  // The bar of a renaming and of a combination.
  ui::TextField* nameField() const { return nameField_.get(); }
  ui::Button* confirmButton() const { return confirm_.get(); }
  ui::Button* cancelButton() const { return cancel_.get(); }
  ui::Label* hintLabel() const { return hint_.get(); }
  ui::Button* importButton() const { return import_.get(); }
  // Shown while a combination runs; it takes every touch on the panel.
  ui::View* busyView() const { return busy_.get(); }

  // Opens the named project as the current one, then closes the panel.
  bool openProject(const std::string& name);
  // Makes a new project (it becomes the current one) and lists it chosen.
  bool createProject();
  // Whether the open project must stay open because the disk refuses its
  // list (told in an alert): leaving it would drop what only the list holds.
  bool holdsOpenProject();
  // Tells the delegate, then leaves the screen.
  void close();
  void showPromotion();

  // --- the chosen project. Each answers whether it did what it says; a
  // refusal or failure has been told in an alert.
  void beginRename();
  bool finishRename();
  bool duplicateProject();
  // Asks for a confirmation first, unless the project is the open one.
  void deleteProject();
  bool exportPackage(bool isUpgrade);
  void beginCombine();
  bool finishCombine();
  // Ends a renaming or the choice of a combination.
  void cancelMode();
  // --- the chosen package, imported as a new project.
  bool importPackage();

  void didDismissWithButtonIndex(ui::ButtonSheet& sheet, int index) override;

  // The panel lies over the desk: touches that reach it go no further.
  void touchesBegan(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesMoved(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesEnded(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesCancelled(const ui::TouchSet& touches, const ui::Event& event) override;

 private:
  enum class Mode { None, Renaming, Combining };
  std::shared_ptr<ui::Button> actionButton(const std::string& title, int row, int slot);
  void layoutBars();
  void updateActions();
  void setBusy(bool busy);
  void combineFinished(bool combined);
  bool removeProject(const std::string& name);
  static void tell(const std::string& title, const std::string& message);

  DeskPanelDelegate* delegate_ = nullptr;
  Tab tab_ = Tab::Projects;
  Mode mode_ = Mode::None;
  // The project a confirmation alert asks about, and the one a running
  // combination goes into.
  std::string pendingDelete_, combineTarget_;
  std::shared_ptr<ProjectsView> projsView_;
  std::shared_ptr<PackagesView> packagesView_;
  std::shared_ptr<ui::Button> projectsTab_, packagesTab_;
  std::shared_ptr<ui::Button> close_, new_, open_, promotion_, export_, share_;
  std::shared_ptr<ui::Button> rename_, duplicate_, delete_, exportCurrent_, exportOlder_, combine_;
  std::shared_ptr<ui::Button> confirm_, cancel_, import_;
  std::shared_ptr<ui::TextField> nameField_;
  std::shared_ptr<ui::Label> nameCaption_, hint_;
  std::shared_ptr<ui::View> busy_;
  std::shared_ptr<ui::ActivityIndicatorView> spinner_;
};
