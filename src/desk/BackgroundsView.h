#pragma once
// The background gallery: a grid of cells, the three built-in stills, the
// three looping and the one held sequence, then the user's own pictures and a
// "new" cell; an edit bar (Edit, Delete, Duplicate) that follows the selected
// cell's kind; and the dialog that creates or imports a user background.
#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "desk/BackgroundPhotoImport.h"
#include "platform/foundation/Dispatch.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Alert.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/View.h"

class BackgroundsView;
class ProjectDataModel;

// Makes the named background (or none) the project's, as the model's
// attachBackground does, and tells the user in an alert when it could not
// be: the project then keeps the background it had.
bool attachBackground(ProjectDataModel& project, const std::optional<std::string>& name, bool copyBuiltInStill);

// What the gallery tells the screen that shows it (the desk).
class BackgroundsViewDelegate {
 public:
  virtual ~BackgroundsViewDelegate() = default;
  // A panel has closed; with background mode set, the desk enters it.
  virtual void subviewDidRemove(ui::View* panel) = 0;
  virtual void closeBackgroundView(bool animated) = 0;
};

// One cell: the icon of a named background, or the "new" cell (no name).
// Icons are read off the main thread and set on it; only the newest load a
// cell asked for is ever shown.
class BackgroundView : public ui::View {
 public:
  static constexpr float kWidth = 108, kHeight = 81;
  static std::shared_ptr<BackgroundView> make(BackgroundsView* gallery, std::optional<std::string> name);

  const std::optional<std::string>& backgroundName() const { return backgroundName_; }
  void setBackgroundName(std::optional<std::string> name);
  int imageType() const { return imageType_; }
  bool selected() const { return selectedImage_->isHighlighted(); }
  void setSelected(bool on) { selectedImage_->setHighlighted(on); }
  // Places the cell and reads its icon again.
  void place(const ui::Rect& frame);
  bool isLoadingIcon() const { return loadingIcon_; }

  ui::ImageView* imageView() const { return imageView_.get(); }
  ui::Button* selectedButton() const { return selectedButton_.get(); }
  ui::Button* newButton() const { return newButton_.get(); }

  // A press of the cell's selection button (a tap on the cell).
  void selectionPressed();
  void newPressed();

 private:
  BackgroundView(BackgroundsView* gallery);
  void showBackground();

  BackgroundsView* gallery_;
  std::optional<std::string> backgroundName_;
  int imageType_ = 0;
  // Counts the loads asked for; a load carrying an older count is stale and
  // is neither read nor shown. Shared with the loads on the icon queue.
  std::shared_ptr<std::atomic<unsigned>> iconLoad_ = std::make_shared<std::atomic<unsigned>>(0);
  bool loadingIcon_ = false;
  std::shared_ptr<ui::ImageView> imageView_, selectedImage_;
  std::shared_ptr<ui::Button> newButton_, selectedButton_;
};

class BackgroundsView : public ui::View,
                        public ui::ButtonSheetDelegate,
                        public SelectedBackgroundViewControllerDelegate {
 public:
  // Top of the edit bar in the panel; the grid ends above it.
  static constexpr float kEditBarY = 246;
  static constexpr float kEditButtonGap = 10;
  // Grid positions of the built-in backgrounds, in order.
  static constexpr const char* kBuiltIn[] = {"SSBackground000",  "SSBackground001",  "SSBackground002",
                                             "SDBackground000_", "SDBackground001_", "SDBackground002_",
                                             "SCBackground000_"};
  // Two presses of one user background closer than this open it for painting.
  static constexpr double kDoubleTapSeconds = 0.2;
  enum ButtonTag { kTagEdit = 0, kTagDelete = 1, kTagDuplicate = 2 };

  explicit BackgroundsView(BackgroundsViewDelegate* delegate);

  // A horizontal swipe over the gallery longer than this turns its page.
  static constexpr float kSwipeDistance = 10;
  int curPage() const { return curPage_; }
  void setCurPage(int page) { curPage_ = page; }
  // A label a host may give the gallery to mark its page; the gallery itself
  // writes nothing into it.
  ui::Label* pageMarkLabel() const { return pageMarkLabel_.get(); }
  void setPageMarkLabel(std::shared_ptr<ui::Label> label) { pageMarkLabel_ = std::move(label); }
  void backwrad();
  void forward();
  void touchesBegan(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesEnded(const ui::TouchSet& touches, const ui::Event& event) override;

  // The queue the cells read their icons on.
  fd::DispatchQueue& iconLoads() { return iconLoads_; }

  void loadData();
  void updateBackgroundView(bool animated);
  void setSelectedBackground(const std::optional<std::string>& name);
  std::optional<std::string> selectedBackgroundName() const;
  int countOfSelected() const;
  std::vector<BackgroundView*> selectedArray() const;
  bool canModify() const;
  bool canDuplicate() const;
  bool canDelete() const;
  void backgroundBtnPressed(ui::Button* button);
  void updateEditState(int type);
  void hiddenEditView();

  // Cell callbacks.
  void backgroundViewWillSelected(BackgroundView* cell);
  void backgroundViewEdit(BackgroundView* cell);
  void backgroundViewEidtRemove(BackgroundView* cell);
  void backgroundViewNewImage(BackgroundView* cell);
  void backgroundViewDidOpen(BackgroundView* cell);
  void updateBackgroundBtnUI(BackgroundView* cell);

  // Add dialog.
  void createBackground();
  void selectedBackground();  // Import: the album picker, presented by the desk
  void cancel();
  void selectedBackgroundViewControllerDidFinishWithImage(SelectedBackgroundViewController& picker,
                                                          const gfx::Image& image) override;
  bool selectedBackgroundViewControllerDidCancel(SelectedBackgroundViewController& picker) override;
  SelectedBackgroundViewController* importPicker() const { return importPicker_.get(); }
  // Makes a user background of a picture (the import's result); a picture
  // with no pixels is refused and nothing changes. Answers the new name.
  std::optional<std::string> addBackgroundWithImage(const gfx::Image& image);

  void duplicate();
  void deleteBackground();  // asks first
  void deleteSelected();    // the confirmed deletion
  void clickedButtonAtIndex(ui::ButtonSheet& sheet, int index) override;

  const std::vector<std::shared_ptr<BackgroundView>>& backgroundsArray() const { return backgroundsArray_; }
  BackgroundView* cellNamed(const std::string& name) const;
  ui::ScrollView* scrollView() const { return scrollView_.get(); }
  ui::View* backgroundEdit() const { return backgroundEdit_.get(); }
  ui::Button* editButton(int tag) const { return buttons_[static_cast<std::size_t>(tag)].get(); }
  ui::View* newBackgroundView() const { return newBackgroundView_.get(); }

  // The time of the last press of any cell, shared by all cells.
  double lastPressTime = -1;

 private:
  std::shared_ptr<BackgroundView> makeCell(std::optional<std::string> name);
  std::string newUserName() const;
  void insertUserCell(const std::string& name);

  BackgroundsViewDelegate* delegate_;
  std::shared_ptr<ui::ScrollView> scrollView_;
  std::shared_ptr<ui::View> backgroundEdit_, newBackgroundView_;
  std::shared_ptr<ui::Button> buttons_[3];
  std::vector<std::shared_ptr<BackgroundView>> backgroundsArray_;
  std::shared_ptr<SelectedBackgroundViewController> importPicker_;
  int curPage_ = 1;
  std::shared_ptr<ui::Label> pageMarkLabel_;
  ui::Point moveStartPoint_;
  // The last member, so it is joined first: no load is still reading once the
  // gallery is being taken apart.
  fd::DispatchQueue iconLoads_{"background icons"};
};

// A background as the user knows it from the gallery, for words that name
// one: its place among the gallery's pictures and, for one of the user's
// own, when it was made ("your picture made on 8 December 2026 at 08:56
// (picture 9 of the gallery)"), never the name it is stored under.
std::string backgroundAsShown(const std::string& name);
