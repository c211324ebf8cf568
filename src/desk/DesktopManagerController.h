#pragma once
// The drawing desk: the screen around the editor canvas. It holds the page
// (background, onion skin, the layer not being edited, the canvas), the tool
// strips and their pop-up bars, the colour picker, the tools drawer, the
// layer and onion panels, the player bar and the buttons to other screens.
// Its methods are spread over files by concern: set-up and view tree
// (DeskSetup.cpp), pages, layers and onion skin (DeskPages.cpp), strips and
// pickers (DeskTools.cpp), playback (DeskPlayback.cpp) and links to other
// screens (DeskLinks.cpp).
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "canvas/DrawsView.h"
#include "desk/ColorSelectView.h"
#include "desk/BackgroundsView.h"
#include "desk/DeskPanels.h"
#include "desk/GraphToolView.h"
#include "desk/PickerViews.h"
#include "desk/sound/UnplayableSounds.h"
#include "platform/foundation/RunLoop.h"
#include "platform/media/ClipPlayer.h"
#include "platform/ui/Alert.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/Standins.h"
#include "platform/ui/ViewController.h"

class DeskCanvasView;

// Held for whoever presents the desk; the desk itself never calls it.
class DesktopManagerDelegate {
 public:
  virtual ~DesktopManagerDelegate() = default;
};

class DesktopManagerController : public ui::ViewController,
                                 public ui::AnimationDelegate,
                                 public ui::ButtonSheetDelegate,
                                 public ui::StoreProductDelegate,
                                 public UserInteractDelegate,
                                 public ColorSelectionDelegate,
                                 public RollerOperationDelegate,
                                 public ToolViewDelegate,
                                 public DeskPanelDelegate,
                                 public BackgroundsViewDelegate,
                                 public OpenGLESDrawDelegate,
                                 public EAGLViewDelegate,
                                 public EraserOperateDelegate,
                                 public Zoom_MoveOperateDelegate,
                                 public GraphToolViewDelegate,
                                 public ui::ImagePickerDelegate {
 public:
  // Button tags.
  enum Tag {
    kTagMute = 100, kTagFirst = 101, kTagPrevious = 102, kTagReverse = 103, kTagSpeed = 104, kTagPlay = 105,
    kTagNext = 106, kTagLast = 107, kTagLoop = 108,
    kTagUndo = 200, kTagRedo = 201,
    kTagOnionMode0 = 300, kTagOnionMode1 = 301, kTagOnionMode2 = 302,
    kTagDuplicate = 400, kTagAddFrame = 401, kTagDelete = 402, kTagClear = 403, kTagStamp = 404,
    kTagPreviousPage = 500, kTagNextPage = 501,
    kTagMiddleRow = 500, kTagForegroundRow = 501,
    kTagForegroundVisible = 601, kTagMiddleVisible = 602, kTagBackgroundVisible = 603,
  };
  static constexpr const char* kShowInstoreNotification = "ShowInstoreViewNotification";
  // The sister PDF application's store identifier.
  static constexpr const char* kPdfAppStoreIdentifier = "flipdesk.pdfreader";

  // The live desk, or nullptr.
  static DesktopManagerController* sharedViewController();
  // nibName: "DesktopManagerController" or "DesktopManagerController_iphone5"
  // (the tall layout). Safe on any thread: builds no view.
  static std::shared_ptr<DesktopManagerController> initWithNibName(const std::string& nibName);
  explicit DesktopManagerController(std::string nibName);
  ~DesktopManagerController() override;

  // --- set-up and view tree (DeskSetup.cpp)
  void loadView() override;
  void viewDidLoad() override;
  bool shouldAutorotateToInterfaceOrientation(int orientation) const;
  void initDefaultProjectSetting();
  void defaultState();
  void setZoomIndicator();
  void drawViewFrameChanged(gfx::Rect frame) override;
  void enableUndo() override;
  void enableRedo() override;
  void disableUndo() override;
  void disableRedo() override;
  void eaglViewNeedUpdateUndoState(EAGLView* view, bool canUndo) override;
  void eaglViewNeedUpdateRedoState(EAGLView* view, bool canRedo) override;
  void redo_undoOperation(ui::Button* sender);
  void colorSelected();
  void toolsDisplayorHidden(ui::Button* sender);
  void toolsHidden(bool animated) override;
  void animationDidStop(const std::string& name, bool finished, void* context) override;
  void pageNumber();
  void changePlayBtnAlpha(ui::View* button);

  // --- pages, layers, onion skin (DeskPages.cpp)
  bool isCanDraw() override;
  void modifyProjectSetting();
  void adjustPaperSetting();
  void setPageData();
  // The canvas and the other layer's view are on show exactly when their
  // layers are visible on the page shown (always in background mode).
  void showLayerVisibility();
  void drawImage(const gfx::Image* image);
  // Writes the open page (the background in background mode) when it
  // changed; false when it could not be written: it stays changed on the
  // canvas, to be written at the next save point.
  bool saveCurPage();
  // The same write started without waiting, once the first change not yet
  // written has waited kSaveDelay (at a pause, or at the next lift while
  // the drawing goes on); the project's list is stored beside it, so a kill
  // keeps all but the last moments of drawing.
  void saveCurPageInBackground();
  // Every action that leaves the page (or replaces what the canvas holds)
  // saves it first; while it cannot be written the action is refused and the
  // user is told why.
  bool leavePage();
  // The open page in words ("page 3 of “Holiday”", or the background being
  // painted), and why it was not saved: what the end of the program tells
  // when the page could not be kept.
  std::string openPageName() const;
  std::string pageNotSavedReason() const;
  // Seconds a change waits before the canvas is saved (no finger down).
  static constexpr double kSaveDelay = 2.0;
  void setPageIndicator();
  void pageOperation(int tag);
  void pressNextBtn();
  void toPrePage();
  void toNextPage();
  void pageAnimation(int kind);
  void gotoFrame(int which);
  void setEditingLayer();
  void selectGround(int tag);
  void setLayerOpenState(int tag);
  void onionSkinDisplayorHidden();
  void desktopDisplay(ui::Button* sender);
  void renewDesktopDisplay();
  void updateEditState();
  void showGroundButton(bool background);
  void respondToRollerMoveDown() override;
  void respondToRollerMoveUp() override;

  // --- strips and pickers (DeskTools.cpp)
  void respondToBrushBegin(ui::Touch* touch) override;
  void respondToBrushMove(ui::Touch* touch) override;
  void respondToBrushEnd(ui::Touch* touch) override;
  void respondToOpacityBegin(ui::Touch* touch) override;
  void respondToOpacityMove(ui::Touch* touch) override;
  void respondToOpacityEnd(ui::Touch* touch) override;
  void respondToSizeBegin(ui::Touch* touch) override;
  void respondToSizeMove(ui::Touch* touch) override;
  void respondToSizeEnd(ui::Touch* touch) override;
  void respondToShapeBegin(ui::Touch* touch) override;
  void respondToShapeMove(ui::Touch* touch) override;
  void respondToShapeEnd(ui::Touch* touch) override;
  void respondToDrawToolBegin(ui::Touch* touch) override;
  void respondToDrawToolMove(ui::Touch* touch) override;
  void respondToDrawToolEnd(ui::Touch* touch) override;
  void respondToColorSelected(gfx::Color color) override;
  void respondToBeginEraserOperation(float x, float y, float size);
  void respondToMoveEraserOperation(float x, float y, float size);
  void respondToEndEraserOperation();
  void setEraserSize(float size);
  // The canvas's own eraser strokes move the ring with the finger.
  void eaglViewDidTouchBegin(EAGLView* view) override;
  void eaglViewDidTouchMove(EAGLView* view) override;
  void eaglViewDidTouchEnd(EAGLView* view) override;

  // --- playback (DeskPlayback.cpp)
  void pressPlayBtnEvent(ui::Button* sender);
  std::string currentRepeatPage() const;
  void setSpeedDisplay();
  void modifySpeed();
  void modifyPlayPattern();
  void isPlaySound();
  void prepareForPlay();
  void playAnimation();
  void setPlayViewImage();
  void restoreState();
  void playerDisplayorHidden();
  void playMultiAudio();
  void stopAudio();
  void reCalculateMultiAudioFrame();
  int firstPage() const { return firstPage_; }
  int firstFew() const { return firstFew_; }
  bool isPlaying() const { return isPlaying_; }
  media::ClipPlayer* audioPlayer() const { return audioPlayer_.get(); }

  // --- backgrounds (DeskBackground.cpp)
  void setBackgound();
  void closeBackgroundView(bool animated) override;
  void updateCurProjectBackground(const std::optional<std::string>& name);
  // The project the file panel left open takes the background being painted.
  void giveThePaintingToTheOpenProject();
  void editBackground();
  void saveBackground();
  void leaveBackgroundMode();
  // Ends the painting without refreshing the desk (which is going).
  void endBackgroundMode();
  BackgroundsView* backgroundsView() const { return backgroundsView_.get(); }
  ui::Button* backgroundCloseButton() const { return closeBtn_.get(); }
  ui::Button* backgroundRowButton() const { return backgroundRowBtn_.get(); }
  // The layer panel's marks: highlighted while a background picture is shown
  // under the layers, and while the background is being painted.
  ui::ImageView* backgroundAddState() const { return backgroundAddState_.get(); }
  ui::ImageView* backgroundEditState() const { return backgroundEditState_.get(); }
  void updateBackgroundMarks();
  int state() const { return state_; }

  // --- links to other screens (DeskLinks.cpp)
  void fileManager();
  // Opens the frame manager over the desk.
  void picManager();
  void back();
  void subviewDidRemove(ui::View* panel) override;
  void paperOperation(ui::Button* sender);
  void didDismissWithButtonIndex(ui::ButtonSheet& sheet, int index) override;
  void showInstore();
  void productViewControllerDidFinish(ui::StoreProductViewController& sheet) override;
  void touchesBegan(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesMoved(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesEnded(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesCancelled(const ui::TouchSet&, const ui::Event&) override {}

  // --- the stamp and shape tool (DeskStamp.cpp)
  void displayGraphToolView(ui::Button* sender);
  void respondGraphToolHiddenEvent() override;
  void graphToolHidden();
  DrawsView* respondGraphToolCutImageBtnEvent() override;
  std::shared_ptr<ui::View> respondGraphToolScreenImageBtnEvent() override;
  void respondGraphToolOpenLibraryEvent() override;
  void clickedButtonAtIndex(ui::ButtonSheet& sheet, int index) override;
  void didFinishPickingMedia(ui::ImagePickerController& picker, const ui::PickedMedia& media) override;
  GraphToolView* graphToolView() const { return graphToolView_.get(); }
  ui::Button* stampBtn() const { return stampBtn_.get(); }
  ui::ImagePickerController* picker() const { return picker_.get(); }

  // --- state
  const std::string& nibName() const { return nibName_; }
  DrawsView* drawsView() const;
  DeskCanvasView* canvasView() const { return drawsView_.get(); }
  ui::View* canvas() const { return canvas_.get(); }
  int contentPattern() const { return contentPattern_; }
  int displayPattern() const { return displayPattern_; }
  int eaglBrushType() const { return eaglBrushType_; }
  float toolSize() const { return toolSize_; }
  int playState() const { return playState_; }
  int speedState() const { return speedState_; }
  void setSpeedState(int s) { speedState_ = s; }
  int playPattern() const { return playPattern_; }
  int direction() const { return direction_; }
  bool beginDraw() const { return beginDraw_; }
  DesktopManagerDelegate* delegate() const { return delegate_; }
  void setDelegate(DesktopManagerDelegate* d) { delegate_ = d; }

  // --- views, for the program's other screens and for tests
  ui::ImageView* background() const { return background_.get(); }
  ui::ImageView* frame1() const { return frame1_.get(); }
  ui::ImageView* frame2() const { return frame2_.get(); }
  ui::ImageView* layer() const { return layer_.get(); }
  ui::ImageView* playView() const { return playView_.get(); }
  ui::ImageView* desktopBackground() const { return desktopBackground_.get(); }
  ui::ImageView* erser() const { return erser_.get(); }
  ui::ImageView* colorselect() const { return colorselect_.get(); }
  ui::ImageView* pensView() const { return pensView_.get(); }
  ui::ImageView* opacityDisplay() const { return opacityDisplay_.get(); }
  ui::ImageView* sizeDisplay() const { return sizeDisplay_.get(); }
  ui::ImageView* selectOneView() const { return selectOneView_.get(); }
  ui::ImageView* onionSkinStatusOne() const { return onionSkinStatusOne_.get(); }
  ui::ImageView* onionSkinStatusTwo() const { return onionSkinStatusTwo_.get(); }
  ui::ImageView* laySelected() const { return laySelected_.get(); }
  BrushAndEraserSelectView* brushAndEraserSelection() const { return brushAndEraserSelection_.get(); }
  SizeSelectView* sizeSelection() const { return sizeSelection_.get(); }
  OpacitySelectView* opacitySelection() const { return opacitySelection_.get(); }
  ShapeSelectView* shapeSelection() const { return shapeSelection_.get(); }
  UserInteractView* brushAndEraInteractView() const { return brushStrip_.get(); }
  UserInteractView* sizeInteractView() const { return sizeStrip_.get(); }
  UserInteractView* opacityInteractView() const { return opacityStrip_.get(); }
  UserInteractView* shapeInteractView() const { return shapeStrip_.get(); }
  ColorSelectView* colorSel() const { return colorSel_.get(); }
  ToolView* tools() const { return tools_.get(); }
  SkinView* skin() const { return skin_.get(); }
  LayerManger* layerManager() const { return layerManager_.get(); }
  ui::View* toolsView() const { return toolsView_.get(); }
  ui::View* onionSkinView() const { return onionSkinView_.get(); }
  ui::View* layerManagerView() const { return layerManagerView_.get(); }
  ui::View* playerView() const { return playerView_.get(); }
  ui::View* toolFootView() const { return toolFootView_.get(); }
  ui::View* fileManeagerView() const { return fileManeagerView_.get(); }
  ui::View* picManagerView() const { return picManagerView_.lock().get(); }
  ui::Label* pageIndicator() const { return pageIndicator_.get(); }
  ui::Label* pageNumberShowDesk() const { return pageNumberShowDesk_.get(); }
  ui::Label* zoomLabel() const { return zoomLabel_.get(); }
  ui::Label* layerPageLabel() const { return layerPageLabel_.get(); }
  ui::Label* toolLabel() const { return toolLabel_.get(); }
  ui::Label* playerLabel() const { return playerLabel_.get(); }
  ui::Label* onionLabel() const { return onionLabel_.get(); }
  ui::Button* undoBtn() const { return undoBtn_.get(); }
  ui::Button* redoBtn() const { return redoBtn_.get(); }
  ui::Button* toolBtn() const { return toolBtn_.get(); }
  ui::Button* colorBtn() const { return colorBtn_.get(); }
  ui::Button* playerBtn() const { return playerBtn_.get(); }
  ui::Button* groundBtn() const { return groundBtn_.get(); }
  ui::Button* nextFrameBtn() const { return nextFrameBtn_.get(); }
  ui::Button* previousFrameBtn() const { return previousFrameBtn_.get(); }
  ui::Button* fileManagerBtn() const { return fileManagerBtn_.get(); }
  ui::Button* backBtn() const { return backBtn_.get(); }
  ui::Button* onionBtn() const { return onionBtn_.get(); }
  ui::Button* frameManagerBtn() const { return frameManagerBtn_.get(); }
  ui::Button* fVisibleBtn() const { return fVisibleBtn_.get(); }
  ui::Button* mVisibleBtn() const { return mVisibleBtn_.get(); }
  ui::Button* bgVisibleBtn() const { return bgVisibleBtn_.get(); }
  ui::Button* foregroundRowBtn() const { return foregroundRowBtn_.get(); }
  ui::Button* middleRowBtn() const { return middleRowBtn_.get(); }
  ui::Button* onionModeBtn(int mode) const;
  ui::Label* onionModeLabel(int mode) const;
  ui::Button* drawerButton(int tag) const;
  ui::Button* playerButton(int tag) const;
  ui::StoreProductViewController* storeSheet() const { return storeSheet_.get(); }

 private:
  // Layout of the two screens.
  struct Layout;
  const Layout& layout() const;
  float rootWidth() const;
  ui::Rect pageRect() const;
  void buildPage(ui::View* root);
  void buildLeftColumn(ui::View* root);
  void buildRightColumn(ui::View* root);
  void buildBottomBar(ui::View* root);
  void buildToolsDrawer();
  void buildOnionPanel();
  void buildLayerPanel();
  std::shared_ptr<ui::Button> makeButton(const char* image, const ui::Rect& frame, int tag,
                                         std::function<void(ui::Button*)> action);
  void flashButton(ui::View* button);
  void applyBrushPreset();
  void showPen(int index);
  void placeSizeDisplay();
  void paintCan(gfx::Color color);
  void setOnionMarkers(int mode);
  void selectOnionButton(int tag);
  int frameCount() const;
  // What the desk refreshes after a panel closed, by the panel.
  enum class ClosedPanel { FileManager, FrameManager, Other };
  void panelClosed(ClosedPanel closed);
  int editedPosition() const { return contentPattern_ == 1 ? 2 : 1; }
  void forwardToCanvas(const ui::TouchSet& touches, const ui::Event& event, int phase);
  // The one reader of the pictures the canvas writes back: one that cannot
  // be read is set aside and told (as `what`), and the canvas starts empty.
  static std::optional<gfx::Image> readPictureToDraw(const std::optional<std::filesystem::path>& path,
                                                     const std::string& what);
  void pageWriteFinished(const fd::Status& status);
  void tellPageNotSaved(bool refusing);
  // What the canvas holds: a question about it is answered about it alone.
  struct OpenPage {
    std::string project;
    int page = 0;
    int position = 0;
    bool background = false;
    bool operator==(const OpenPage&) const = default;
  };
  OpenPage openPage() const;

  std::string nibName_;
  std::uint64_t instoreObserver_ = 0;
  DesktopManagerDelegate* delegate_ = nullptr;

  int contentPattern_ = 1;
  int displayPattern_ = 0;
  int eaglBrushType_ = 2;
  float toolSize_ = 32;
  int state_ = 0;
  bool beginDraw_ = false;
  // The last page write failed: why, and whether the user has heard it.
  std::optional<fd::Failure> pageWriteFailure_;
  bool toldPageWriteFailure_ = false;
  bool refusingToLeave_ = false;
  // The alert that says so, while it is up: a second one is not stacked on it.
  std::weak_ptr<ui::AlertView> pageNotSavedAlert_;
  // The page the frame buttons' question (clear, delete) was asked about.
  std::optional<OpenPage> askedAbout_;

  // Playback.
  int playState_ = 0;
  int speedState_ = 2;
  int speed_ = 0;
  int direction_ = 0;
  int playPattern_ = 1;
  fd::TimerRef playTimer_;
  bool isPlayAudio_ = false;
  bool isPlaying_ = false;
  int firstPage_ = 1;
  int firstFew_ = 0;
  std::shared_ptr<media::ClipPlayer> audioPlayer_;
  UnplayableSounds unplayable_;

  std::shared_ptr<DeskCanvasView> drawsView_;
  std::shared_ptr<ui::View> canvas_;
  std::shared_ptr<ui::ImageView> background_, frame1_, frame2_, layer_, playView_, desktopBackground_, erser_;
  std::shared_ptr<ui::ImageView> colorselect_, pensView_, opacityDisplay_, sizeDisplay_;
  std::shared_ptr<ui::ImageView> selectOneView_, onionSkinStatusOne_, onionSkinStatusTwo_, laySelected_;
  std::shared_ptr<BrushAndEraserSelectView> brushAndEraserSelection_;
  std::shared_ptr<SizeSelectView> sizeSelection_;
  std::shared_ptr<OpacitySelectView> opacitySelection_;
  std::shared_ptr<ShapeSelectView> shapeSelection_;
  std::shared_ptr<UserInteractView> brushStrip_, sizeStrip_, opacityStrip_, shapeStrip_;
  std::shared_ptr<ColorSelectView> colorSel_;
  std::shared_ptr<ToolView> tools_;
  std::shared_ptr<SkinView> skin_;
  std::shared_ptr<LayerManger> layerManager_;
  std::shared_ptr<ui::View> toolsView_, onionSkinView_, layerManagerView_, playerView_, toolFootView_;
  std::shared_ptr<ui::View> fileManeagerView_;
  // The view tree owns the frame manager; the desk only looks at it.
  std::weak_ptr<ui::View> picManagerView_;
  std::shared_ptr<BackgroundsView> backgroundsView_;
  std::shared_ptr<ui::View> bgview_;
  std::shared_ptr<ui::ImageView> bgImageview_, backgroundAddState_, backgroundEditState_;
  std::shared_ptr<ui::Button> closeBtn_, backgroundRowBtn_;
  std::shared_ptr<ui::Label> pageIndicator_, pageNumberShowDesk_, zoomLabel_, layerPageLabel_, toolLabel_, playerLabel_,
      onionLabel_;
  std::shared_ptr<ui::Button> undoBtn_, redoBtn_, toolBtn_, colorBtn_, playerBtn_, groundBtn_, nextFrameBtn_,
      previousFrameBtn_, fileManagerBtn_, backBtn_, onionBtn_, frameManagerBtn_, fVisibleBtn_, mVisibleBtn_,
      bgVisibleBtn_, foregroundRowBtn_, middleRowBtn_, metuBtn_, playBtn_, reverseBtn_, speedBtn_, playLoopBtn_;
  std::vector<std::shared_ptr<ui::Button>> onionBtnAry_, drawerButtons_, playerButtons_;
  std::vector<std::shared_ptr<ui::Label>> onionLabAry_, drawerLabels_;
  std::shared_ptr<ui::StoreProductViewController> storeSheet_;
  std::shared_ptr<ui::ImagePickerController> picker_;
  std::shared_ptr<GraphToolView> graphToolView_;
  std::shared_ptr<ui::Button> stampBtn_;
  std::shared_ptr<ui::ActionSheet> photoSourceSheet_;
};
