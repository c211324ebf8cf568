#pragma once
// The frame manager: a panel over the whole desk showing the project's frames
// as papers in a strip of 5 (or a grid of 15 in full-screen mode), paged,
// selected with a menu (delete, copy, repeat), and a depository of up to five
// frames taken out of the animation; papers are dragged between the two.
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "desk/DeskPanels.h"
#include "desk/frames/FrameMenu.h"
#include "desk/frames/ZTPaperView.h"
#include "desk/frames/ZTPlayView.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/View.h"

class SoundTrack;

class ZTPicManagerView : public ui::View,
                         public ZTPaperViewDelegate,
                         public FrameMenuDelegate,
                         public ZTPlayViewDelegate {
 public:
  static constexpr int kDepositoryCapacity = 5;

  static std::shared_ptr<ZTPicManagerView> initWithFrame(const ui::Rect& frame);
  explicit ZTPicManagerView(const ui::Rect& frame);
  ~ZTPicManagerView() override;
  // Builds the view tree; separate from the constructor since papers need the
  // panel as a shared object.
  void build();

  DeskPanelDelegate* delegate() const { return delegate_; }
  void setDelegate(DeskPanelDelegate* d) { delegate_ = d; }

  const std::vector<std::shared_ptr<ZTPaperView>>& imagesViewArray() const { return imagesViewArray_; }
  const std::vector<std::shared_ptr<ZTPaperView>>& temporaryViewArray() const { return temporaryViewArray_; }
  int curImagesViewPage() const { return curImagesViewPage_; }
  int selectedPage() const { return selectedPage_; }
  bool selectedImages() const { return selectedImages_; }
  bool isFullScreen() const { return isFullScreen_; }
  int offsetx() const { return offsetx_; }
  // Papers per strip page: 15 in full-screen mode, else 5.
  int papersPerPage() const { return isFullScreen_ ? 15 : 5; }
  FrameMenu* frameMenu() const { return frameMenu_.get(); }
  ui::View* imagesView() const { return imagesView_.get(); }
  ui::View* temporaryView() const { return temporaryView_.get(); }
  ui::View* editView() const { return editView_.get(); }
  ui::Button* fullscreenBtn() const { return fullscreenBtn_.get(); }
  ui::Button* rollBackBtn() const { return rollBackBtn_.get(); }
  ui::Button* rollForwardBtn() const { return rollForwardBtn_.get(); }
  ZTPaperView* movingView() const { return movingView_.get(); }
  ZTPlayView* playView() const { return playView_.get(); }
  ui::Button* playButton() const { return playButton_.get(); }
  ui::Button* reverseButton() const { return reverseButton_.get(); }

  // The player's controls.
  void play();
  void reverse();
  void firstPage();
  void lastPage();

  void back();
  void forward();
  void fullButtonPressed(ui::Button* sender);
  void selectedPage(int p, bool temporary);
  void reLoadImage();
  // The help overlay over the whole panel; a touch removes it.
  void showHelpView();
  ui::Button* helpBtn() const { return helpBtn_.get(); }
  // The sound track panel along the bottom (its own file pair).
  SoundTrack* soundTrack() const { return soundTrack_.get(); }

  // FrameMenuDelegate
  void deleteSelectPaper() override;
  void duplicateANewPaper() override;
  void setReapeatNumber() override;
  void setReatFrameFinished() override;
  // ZTPaperViewDelegate
  std::optional<bool> paperViewWillDelete(ZTPaperView*) override { return true; }
  void paperViewDidDelete(ZTPaperView* paper) override;
  std::optional<bool> paperViewWillCopy(ZTPaperView*) override { return true; }
  // A copy of the paper's frame through the model, saved; the strip is
  // brought up to date once the paper's own step is over.
  void paperViewCopy(ZTPaperView* paper) override;
  void paperViewDidCopy(ZTPaperView* paper) override;
  void paperViewWillMove(ZTPaperView*) override {}
  void paperViewDidMove(ZTPaperView* paper) override;
  void setReapeatFrameView(int page) override;

  // The strip's papers slide to their slots (numbered again for the page
  // shown when asked), the page held to the frames there are.
  void updateImagesPaperListUI(bool renumber);
  // The depository's papers slide to their slots (numbered again when asked).
  void updateTemporarysPaperListUI(bool renumber);
  // Every paper shows the frame or entry of its slot.
  void syncData();
  // The depository's delete buttons hidden, its papers unlit.
  void resetAllPapers();

  void touchesBegan(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesMoved(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesEnded(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesCancelled(const ui::TouchSet&, const ui::Event&) override {}

  bool drawsContent() const override { return true; }
  void drawRect(gfx::Context& ctx, const ui::Rect& rect) override;

 private:
  friend class SoundTrack;
  void initImagesView();
  void initITemporarysView();
  void reBrushPaperImage();
  void removeFrameMenu();
  void highlightSelection();
  void showRepeatPicker(const ui::Rect& frame, int number, int page);
  bool closeIfInSideBand(ui::Point p);
  int slotUnder(ui::Point inImagesView) const;
  ui::Point slotOrigin(int k) const;
  void layoutStripFrom(std::size_t index, bool animated = false);
  ui::Point menuCentreFor(const ZTPaperView& paper) const;
  // Frame changes made by moves slide over a quarter second.
  static void slide(const std::function<void()>& moves);
  // Into another container, keeping where it shows on screen.
  static void reparentInPlace(const std::shared_ptr<ZTPaperView>& paper, const std::shared_ptr<ui::View>& container);
  // Strip slot k shows frame n * (page - 1) + k + 1, hidden past the last.
  void showStripPages();
  void layoutDepository(bool renumber = true);
  void lift();
  void drop(ui::Point inPanel);
  void clearTouchFlags() { isTouchIn_ = isTouchMove_ = false; }
  std::shared_ptr<ZTPaperView> makePaper(ui::Point origin);
  std::shared_ptr<ui::Button> makeButton(const char* normal, const char* pressed, ui::Rect frame);
  int frameCount() const;

  std::vector<std::shared_ptr<ZTPaperView>> imagesViewArray_, temporaryViewArray_;
  std::shared_ptr<ZTPaperView> movingView_;
  int curImagesViewPage_ = 1;
  bool isTouchMove_ = false, isTouchIn_ = false, isTouch_ = false;
  int selectedPage_ = 0;
  bool selectedImages_ = false;
  std::shared_ptr<ui::View> imagesView_, editView_, temporaryView_;
  std::shared_ptr<ui::ImageView> editBar_;
  std::shared_ptr<ZTPlayView> playView_;
  std::shared_ptr<ui::Button> playButton_, reverseButton_;
  std::shared_ptr<ui::Button> fullscreenBtn_, rollBackBtn_, rollForwardBtn_, helpBtn_;
  bool isFullScreen_ = false;
  bool isAudioShow_ = false;
  DeskPanelDelegate* delegate_ = nullptr;
  std::shared_ptr<FrameMenu> frameMenu_;
  int offsetx_ = 0;
  // Where the lifted strip paper was (frame minus the frames of earlier pages).
  int liftedIndex_ = 0;
  std::unique_ptr<SoundTrack> soundTrack_;
};
