#include "desk/frames/ZTPaperView.h"

#include <optional>

#include "desk/frames/FrameArt.h"
#include "desk/frames/PictureLoad.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/Localized.h"
#include "platform/foundation/RunLoop.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Animation.h"

namespace {

// A zoomed paper is half as large again, grown evenly on every side.
constexpr float kZoomDx = 20, kZoomDy = 16;
constexpr double kZoomSeconds = 0.25;

ProjectDataModel* project() { return ZTDataModel::sharedInstance().prjDataModel().get(); }

int frameCount() {
  ProjectDataModel* p = project();
  return p ? static_cast<int>(p->imagesArray().size()) : 0;
}

}  // namespace

// What one load decided on the main thread.
struct ZTPaperView::Load {
  std::uint64_t number = 0;
  bool temporary = false;
  bool showBackground = false;
  OptionalPath backgroundPath, iconPath;
  bool repeatCopy = false, runFirst = false;
};

std::shared_ptr<ZTPaperView> ZTPaperView::initWithOrigin(ui::Point origin) {
  return std::make_shared<ZTPaperView>(origin);
}

ZTPaperView::ZTPaperView(ui::Point origin) : ui::View({origin.x, origin.y, kWidth, kHeight}) {
  const ui::Rect inner{7, 7, kWidth - 13, kHeight - 18};
  background_ = std::make_shared<ui::ImageView>(ui::Rect{0, 0, kWidth, kHeight});
  background_->setImage(frame_art::named("paper_sample01.png"));
  background_->setHighlightedImage(frame_art::named("paper_sample02.png"));
  backgroundView_ = std::make_shared<ui::ImageView>(inner);
  imageView_ = std::make_shared<ui::ImageView>(inner);
  reapeatBtn_ = ui::Button::make(ui::ButtonType::Custom, {kWidth - 20, 5, 23, 58});
  reapeatBtn_->setImage(frame_art::named("frame_repeat.png"));
  reapeatBtn_->setHidden(true);
  reapeatBtn_->addTarget(this, [this](ui::Control*, const ui::Event*) { setReapeatFrame(); }, ui::TouchUpInside);
  delButton_ = ui::Button::make(ui::ButtonType::Custom, {0, 0, 26, 30});
  delButton_->setImage(frame_art::named("paper_del01.png"));
  delButton_->setImage(frame_art::named("paper_del02.png"), ui::StateHighlighted);
  delButton_->setHidden(true);
  delButton_->addTarget(this, [this](ui::Control*, const ui::Event*) { delButtonPressed(); }, ui::TouchUpInside);
  for (ui::View* v : {static_cast<ui::View*>(background_.get()), static_cast<ui::View*>(backgroundView_.get()),
                      static_cast<ui::View*>(imageView_.get())}) {
    v->setUserInteractionEnabled(false);
    v->setBackgroundColor(ui::Color::clear());
  }
  setBackgroundColor(ui::Color::clear());
}

ZTPaperView::~ZTPaperView() {
  fd::RunLoop::main().cancelPerforms(this);
}

void ZTPaperView::setPaperWithPage(int p, bool temporary) {
  if (p < 1 || (!temporary && p > frameCount())) {
    imageView_->setImage({});
    backgroundView_->setImage({});
    return;
  }
  page_ = p;
  isTemporary_ = temporary;
  if (!temporary) delButton_->setHidden(true);
  // Subviews are added lazily so a paper built off the tree still shows them
  // in the stated order.
  if (subviews().empty())
    for (ui::View* v : {static_cast<ui::View*>(background_.get()), static_cast<ui::View*>(backgroundView_.get()),
                        static_cast<ui::View*>(imageView_.get()), static_cast<ui::View*>(reapeatBtn_.get()),
                        static_cast<ui::View*>(delButton_.get())})
      addSubview(v->self());
  startLoad();
}

void ZTPaperView::startLoad() {
  // The model is read here, on the main thread: frame operations change it
  // only here, so a path can never come from a list half rewritten.
  auto load = std::make_shared<Load>();
  load->number = ++loadNumber_;
  load->temporary = isTemporary_;
  if (ProjectDataModel* p = project()) {
    load->showBackground = p->isOpenBackground();
    if (load->showBackground) {
      const int type = p->backgroundType();
      if (type >= 3 && type <= 6) {
        if (p->curBackgroundName())
          load->backgroundPath = ZTDataModel::sharedInstance().dynamicBackgroundIconFullPathWithBackgroundName(
              *p->curBackgroundName(), page_);
      } else {
        load->backgroundPath = p->backgroundIconFullPath();
      }
    }
    load->iconPath = p->iconFullPathAtPage(page_, isTemporary_);
    if (!isTemporary_) {
      load->repeatCopy = p->isReapeatFrame(page_);
      load->runFirst = p->isByReapeatFrame(page_);
    }
  }
  auto self = std::static_pointer_cast<ZTPaperView>(shared_from_this());
  picture_load::start({load->backgroundPath, load->iconPath}, [self, load](picture_load::Pictures& pictures) {
    self->apply(*load, pictures[0], pictures[1]);
  });
}

void ZTPaperView::apply(const Load& load, std::optional<gfx::Image>& backgroundPicture,
                        std::optional<gfx::Image>& icon) {
  if (load.number != loadNumber_) return;
  backgroundView_->setHidden(!load.showBackground);
  if (backgroundPicture) backgroundView_->setImage(ui::Picture(std::move(*backgroundPicture)));
  imageView_->setImage(icon ? ui::Picture(std::move(*icon)) : ui::Picture());
  if (!load.temporary) {
    setAlpha(load.repeatCopy ? 0.5f : 1.0f);
    setUserInteractionEnabled(!load.repeatCopy);
    setMultipleTouchEnabled(!load.repeatCopy);
    reapeatBtn_->setHidden(!load.runFirst);
  }
}

int ZTPaperView::loadsInFlight() { return picture_load::inFlight(); }

void ZTPaperView::waitForLoads() { picture_load::waitAll(); }

void ZTPaperView::moveToTemporary() {
  if (isTemporary_) return;
  if (ProjectDataModel* p = project()) p->moveImageToTemporaryWithPage(page_);
}

void ZTPaperView::moveToImageWithPage(int p) {
  if (ProjectDataModel* m = project()) {
    if (isTemporary_) m->moveTemporaryAtpage(page_, p);
    else m->moveImageFrom(page_, p);
  }
  isTemporary_ = false;
  page_ = p;
}

void ZTPaperView::setHighlighted(bool lit) { background_->setHighlighted(lit); }

void ZTPaperView::changeButtonState() {
  if (!isTemporary_) return;
  delButton_->setHidden(!delButton_->isHidden());
  setHighlighted(!delButton_->isHidden());
}

void ZTPaperView::delButtonPressed() {
  auto alert = ui::AlertView::make(fd::Localized("Warning"), fd::Localized("delete paper"), this,
                                   fd::Localized("Cancel"), {fd::Localized("Delete:")});
  alert->setTag(1);
  alert->show();
}

void ZTPaperView::didDismissWithButtonIndex(ui::ButtonSheet& sheet, int index) {
  // A paper taken off the screen meanwhile is no longer the one asked about.
  if (sheet.tag() == 1 && sheet.buttonTitleAtIndex(index) == fd::Localized("Delete:") && window() != nullptr)
    deletePaper();
}

void ZTPaperView::deletePaper() {
  if (ProjectDataModel* p = project()) p->deleteImageAtPage(page_, true);
  if (delegate_) delegate_->paperViewDidDelete(this);
}

void ZTPaperView::setReapeatFrame() {
  if (delegate_) delegate_->setReapeatFrameView(page_);
}

void ZTPaperView::copyButtonPressed() {
  if (!delegate_) return;
  const std::optional<bool> willCopy = delegate_->paperViewWillCopy(this);
  if (!willCopy || !*willCopy) return;
  auto keep = self();
  delegate_->paperViewCopy(this);
  if (delegate_) delegate_->paperViewDidCopy(this);
}

void ZTPaperView::beginMove() {
  if (delegate_) delegate_->paperViewWillMove(this);
}

void ZTPaperView::endMove() {
  if (delegate_) delegate_->paperViewDidMove(this);
}

void ZTPaperView::zoomOut() {
  for (ui::View* v : {static_cast<ui::View*>(background_.get()), static_cast<ui::View*>(backgroundView_.get()),
                      static_cast<ui::View*>(imageView_.get()), static_cast<ui::View*>(reapeatBtn_.get()),
                      static_cast<ui::View*>(delButton_.get())}) {
    v->setAutoresizingMask(ui::FlexibleAll);
    v->setAutoresizesSubviews(true);
  }
  const ui::Rect f = frame();
  if (f.width != kWidth || f.height != kHeight) return;
  ui::Animations::animate(kZoomSeconds, [this, f] {
    setFrame({f.x - kZoomDx, f.y - kZoomDy, kWidth + 2 * kZoomDx, kHeight + 2 * kZoomDy});
  });
}

void ZTPaperView::zoomIn() {
  const ui::Rect f = frame();
  if (f.width == kWidth || f.height == kHeight) return;
  ui::Animations::animate(kZoomSeconds, [this, f] { setFrame({f.x + kZoomDx, f.y + kZoomDy, kWidth, kHeight}); });
}
