#pragma once
// One paper of the frame manager: the thumbnail of a frame of the strip or of
// an entry of the depository, over the project background's icon, with a
// repeat badge on a run's first frame and a delete button on depository papers.
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

#include "platform/graphics/Image.h"

#include "platform/ui/Alert.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/View.h"

class ZTPaperView;

// What a paper tells the frame manager; every message is optional. The two
// questions answer nullopt where the delegate does not take part: a delegate
// that does not answer paperViewWillCopy gets no copy messages at all.
class ZTPaperViewDelegate {
 public:
  virtual ~ZTPaperViewDelegate() = default;
  virtual std::optional<bool> paperViewWillDelete(ZTPaperView*) { return std::nullopt; }
  virtual void paperViewDidDelete(ZTPaperView*) {}
  virtual std::optional<bool> paperViewWillCopy(ZTPaperView*) { return std::nullopt; }
  virtual void paperViewCopy(ZTPaperView*) {}
  virtual void paperViewDidCopy(ZTPaperView*) {}
  virtual void paperViewWillMove(ZTPaperView*) {}
  virtual void paperViewDidMove(ZTPaperView*) {}
  virtual void setReapeatFrameView(int /*page*/) {}
};

class ZTPaperView : public ui::View, public ui::AlertViewDelegate {
 public:
  static constexpr float kWidth = 80, kHeight = 64;

  static std::shared_ptr<ZTPaperView> initWithOrigin(ui::Point origin);
  explicit ZTPaperView(ui::Point origin);
  ~ZTPaperView() override;

  bool isTemporary() const { return isTemporary_; }
  void setIsTemporary(bool t) { isTemporary_ = t; }
  int page() const { return page_; }
  void setPage(int p) { page_ = p; }
  ZTPaperViewDelegate* delegate() const { return delegate_; }
  void setDelegate(ZTPaperViewDelegate* d) { delegate_ = d; }

  ui::ImageView* background() const { return background_.get(); }
  ui::ImageView* backgroundView() const { return backgroundView_.get(); }
  ui::ImageView* imageView() const { return imageView_.get(); }
  ui::Button* delButton() const { return delButton_.get(); }
  ui::Button* reapeatBtn() const { return reapeatBtn_.get(); }

  // Shows strip frame or depository entry p. Out of range: both icons empty,
  // the page kept.
  void setPaperWithPage(int p, bool temporary);
  // The frame (with its run) into the depository; a depository paper does nothing.
  void moveToTemporary();
  // The frame or depository entry to frame p, through the model's operations.
  void moveToImageWithPage(int p);
  // Depository papers: toggles the delete button, the paper lit while it shows.
  void changeButtonState();
  void setHighlighted(bool lit);
  void delButtonPressed();
  void deletePaper();
  // The repeat badge: the delegate opens the picker for this frame.
  void setReapeatFrame();
  // Asks the delegate, then has it copy the frame and tells it the copy is
  // made; a refusal stops there. The paper has no button of its own for it.
  void copyButtonPressed();
  void beginMove();
  void endMove();
  void cancelMove() {}
  // Grows a paper of the usual size by half about its centre, and back; its
  // pictures and buttons grow with it.
  void zoomOut();
  void zoomIn();
  void didDismissWithButtonIndex(ui::ButtonSheet& sheet, int index) override;

  // Loads still reading their files, across all papers.
  static int loadsInFlight();
  // Blocks until every started load has handed its pictures to the main loop,
  // then runs the loop so they are shown. Main thread only.
  static void waitForLoads();

 private:
  struct Load;
  void startLoad();
  void apply(const Load& load, std::optional<gfx::Image>& backgroundPicture, std::optional<gfx::Image>& icon);

  bool isTemporary_ = false;
  int page_ = 0;
  std::shared_ptr<ui::ImageView> background_, backgroundView_, imageView_;
  std::shared_ptr<ui::Button> delButton_, reapeatBtn_;
  ZTPaperViewDelegate* delegate_ = nullptr;
  // Numbers the loads of this paper; only the newest one may set the pictures,
  // so a slow older load never covers a newer frame.
  std::uint64_t loadNumber_ = 0;
};
