#include "desk/GraphToolView.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "desk/StampArt.h"
#include "desk/VTImageCache.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/Localized.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Standins.h"

namespace {

constexpr float kPi = std::numbers::pi_v<float>;
constexpr ui::Rect kShapeRects[3] = {{160, 30, 30, 30}, {160, 60, 30, 30}, {160, 90, 30, 30}};
constexpr ui::Rect kRotationRect{2, 152, 36, 36};
constexpr ui::Rect kDeformRect{155, 156, 40, 40};
constexpr float kBorderCap = 95;
constexpr float kHandleAlphaOn = 0.9f;
constexpr float kHandleAlphaOff = 0.4f;

float screenScale() {
  const float s = ui::Screen::main().scale();
  return s > 0 ? s : 1.0f;
}

gfx::Context contextOfSize(ui::Size size, float scale) {
  return gfx::Context(std::max(1, static_cast<int>(std::lround(size.width * scale))),
                      std::max(1, static_cast<int>(std::lround(size.height * scale))), scale);
}

// A context whose user space counts y upwards, as the stamping code's bitmap
// contexts do: masks and pictures are placed with their top row at the top.
void flip(gfx::Context& c) {
  c.translate(0, c.size().height);
  c.scaleBy(1, -1);
}

}  // namespace

// --- the resize handle

void DeformView::touchesBegan(const ui::TouchSet& touches, const ui::Event& event) {
  isDeform_ = true;
  ui::View::touchesBegan(touches, event);
}

void DeformView::touchesMoved(const ui::TouchSet& touches, const ui::Event& event) {
  isDeform_ = true;
  ui::View::touchesMoved(touches, event);
}

void DeformView::touchesEnded(const ui::TouchSet& touches, const ui::Event& event) {
  ui::View::touchesEnded(touches, event);
  isDeform_ = false;
}

// --- set-up

std::shared_ptr<ui::Button> GraphToolView::button(const char* normal, const char* highlighted, ui::Rect frame,
                                                  void (GraphToolView::*action)(), unsigned events) {
  auto b = ui::Button::make(ui::ButtonType::Custom, frame);
  if (normal) b->setImage(VTImageCache::imageNamed(normal));
  if (highlighted) b->setImage(VTImageCache::imageNamed(highlighted), ui::StateHighlighted);
  b->addTarget(this, [this, action](ui::Control*, const ui::Event*) { (this->*action)(); }, events);
  return b;
}

GraphToolView::GraphToolView(const ui::Rect& frame) : ui::ImageView(frame) {
  setUserInteractionEnabled(true);
  setMultipleTouchEnabled(true);
  ResourceDownLoadManager& library = ResourceDownLoadManager::shared();
  library.fetchDownLoadListFromFile();
  library.fetchDownLoadList(ResourceDownLoadManager::mirrorListURL());

  backgroundImage_ = std::make_shared<ui::ImageView>(bounds());
  backgroundImage_->setImage(VTImageCache::imageNamed("Stamp_border.png").stretchable(kBorderCap, kBorderCap));
  backgroundImage_->setUserInteractionEnabled(false);
  addSubview(backgroundImage_);

  static constexpr const char* kShapePictures[3] = {"Stamp_square.png", "Stamp_circle.png", "Stamp_triangle.png"};
  for (int i = 0; i < 3; ++i) {
    // Made and laid out, but shapes are reached through the grid's row.
    shapeBtns_[i] = ui::Button::make(ui::ButtonType::Custom, kShapeRects[i]);
    shapeBtns_[i]->setImage(VTImageCache::imageNamed(kShapePictures[i]));
    shapeBtns_[i]->setTag(i);
    shapeBtns_[i]->addTarget(
        this, [this](ui::Control* sender, const ui::Event*) { selectGraphBtn(sender->tag()); },
        i == 0 ? ui::TouchDown : ui::TouchUpInside);
  }
  duplicateBtn_ = button("Stamp_copy01.png", "Stamp_copy02.png", {25, 4, 36, 21}, &GraphToolView::screenshotsEvent);
  pasteBtn_ = button("Stamp_paste01.png", "Stamp_paste02.png", {52, 4, 36, 21}, &GraphToolView::pressPasteBtnEvent);
  cutBtn_ = button("Stamp_cut01.png", "Stamp_cut02.png", {62, 4, 36, 21}, &GraphToolView::cutToPasteImage);
  openLibraryBtn_ =
      button("Stamp_album01.png", "Stamp_album02.png", {99, 4, 36, 21}, &GraphToolView::openLibraryAlbumEvent);
  clearBtn_ = button("Stamp_clear01.png", "Stamp_clear02.png", {100, 4, 36, 21}, &GraphToolView::clearEvent);
  albumBtn_ = button("Stamp_shade01.png", "Stamp_shade02.png", {136, 4, 36, 21}, &GraphToolView::albumBtnPressed);
  exitBtn_ = button(nullptr, nullptr, {0, 20, 35, 100}, &GraphToolView::graphToolExit);
  rubBtn_ = button("Stamp_rubbing01.png", nullptr, {0, 0, 77, 20}, &GraphToolView::openingPrintFunction);
  arbitraryClipBtn_ = button("Stamp_lasso01.png", nullptr, {0, 0, 88, 20}, &GraphToolView::flexibleClipMode);
  for (ui::Button* b : {rubBtn_.get(), arbitraryClipBtn_.get()}) b->setCenter({kWidth / 2, kHeight - 15});

  drawView_ = std::make_shared<ui::ImageView>(kWindowRect);
  drawView_->setImage(VTImageCache::imageNamed("Stamp_screen.png"));
  drawView_->setUserInteractionEnabled(true);
  drawView_->setClipsToBounds(true);
  addSubview(drawView_);
  maskView_ = std::make_shared<ui::ImageView>(drawView_->bounds());
  maskView_->setUserInteractionEnabled(false);
  maskView_->setClipsToBounds(true);

  printsView_ = DrawsView::initDrawViewWithScaleFactor(screenScale());
  if (printsView_) {
    printsView_->setUserInteractionEnabled(false);
    printsView_->setBrushColor(gfx::Color{0, 0, 0, 1});
    printsView_->setBrushType(2);
    printsView_->setBrushSize(32);
    printsView_->setDrawRect(drawView_->bounds());
    printsView_->setBaseRect(drawView_->bounds());
    printsView_->setIsPrintView(true);
    printsView_->setPrintDrawViewDelegate(this);
    printsView_->addSubview(maskView_);
  }

  rotation_ = std::make_shared<ui::ImageView>(kRotationRect);
  rotation_->setImage(VTImageCache::imageNamed("stamp_rotate.png"));
  rotation_->setAlpha(0.5f);
  addSubview(rotation_);
  deformView_ = std::make_shared<DeformView>(kDeformRect);
  addSubview(deformView_);
  addSubview(exitBtn_);

  localImageAry_ = stamp_art::shapeNames();
  for (auto* table : {&downLoadTable_, &albumTable_}) {
    *table = std::make_shared<ui::TableView>(kWindowRect);
    (*table)->setBackgroundColor(ui::Color::clear());
    (*table)->setSeparatorColor(ui::Color::clear());
    (*table)->setDataSource(this);
    (*table)->setTableDelegate(this);
  }
  returnInterface();
}

GraphToolView::~GraphToolView() {
  if (printsView_) printsView_->setPrintDrawViewDelegate(nullptr);
  if (pathView_) pathView_->setDelegate(nullptr);
  for (auto* table : {downLoadTable_.get(), albumTable_.get()}) {
    table->setDataSource(nullptr);
    table->setTableDelegate(nullptr);
  }
}

// --- common steps

gfx::Image GraphToolView::createImage(const ui::View& view) const { return view.renderToImage(screenScale()); }

template <class F>
void GraphToolView::placeOnCanvas(DrawsView& canvas, bool roundCentre, F&& stamp) {
  setTransform(gfx::AffineTransform::identity());
  const ui::Rect window = drawView_->frame();
  ui::Point c = drawView_->convertPointTo({window.width / 2, window.height / 2}, &canvas);
  if (roundCentre) c = {std::round(c.x), std::round(c.y)};
  c.y = canvas.frame().height - c.y;
  const ui::Rect held = maskView_->frame();
  // The canvas counts y upwards: a turn that is clockwise on the screen is
  // a negative one there.
  stamp(canvas, gfx::Size{held.width, held.height}, gfx::Point{c.x, c.y}, -angle_);
  applyRotation();
}

void GraphToolView::returnInterface() {
  for (ui::Button* b : {cutBtn_.get(), duplicateBtn_.get(), openLibraryBtn_.get(), albumBtn_.get(),
                        arbitraryClipBtn_.get()})
    addSubview(b->self());
  for (ui::Button* b : {cutBtn_.get(), openLibraryBtn_.get(), arbitraryClipBtn_.get()}) b->setEnabled(true);
  for (ui::Button* b : {pasteBtn_.get(), clearBtn_.get(), rubBtn_.get()}) b->removeFromSuperview();
  if (lassoOn()) {
    makePathView();
    addSubview(pathView_);
    pathView_->setAlpha(1.0f);
    pathView_->pathDisappear();
  }
  if (pathView_) pathView_->setUserInteractionEnabled(lassoOn());
  if (printsView_) printsView_->setUserInteractionEnabled(false);
  maskView_->setAlpha(1.0f);
  maskView_->setImage({});
  deformView_->setUserInteractionEnabled(true);
}

void GraphToolView::switchInteface() {
  for (ui::Button* b : {cutBtn_.get(), duplicateBtn_.get(), openLibraryBtn_.get(), arbitraryClipBtn_.get(),
                        albumBtn_.get()})
    b->removeFromSuperview();
  addSubview(pasteBtn_);
  addSubview(clearBtn_);
  rubBtn_->setImage(VTImageCache::imageNamed("Stamp_rubbing01.png"));
  addSubview(rubBtn_);
  rubBtn_->setSelected(false);
  if (pathView_ && pathView_->dotline()) pathView_->pathDisappear();
  pasteBtn_->setEnabled(true);
  if (pathView_) pathView_->removeFromSuperview();
}

void GraphToolView::afterCapture() {
  downLoadTable_->removeFromSuperview();
  albumTable_->removeFromSuperview();
  if (lassoOn() && pathView_) {
    addSubview(pathView_);
    pathView_->setUserInteractionEnabled(true);
  } else {
    switchInteface();
  }
}

void GraphToolView::makePathView() {
  if (pathView_) return;
  pathView_ = std::make_shared<ArbitraryPathClip>(kWindowRect);
  pathView_->setDelegate(this);
}

// --- copy, cut, lasso, paste

void GraphToolView::screenshotsEvent() {
  isGraph_ = false;
  drawView_->addSubview(maskView_);
  afterCapture();
  isExportAlum_ = false;
  maskView_->setImage({});
  if (delegate_) {
    if (std::shared_ptr<ui::View> screen = delegate_->respondGraphToolScreenImageBtnEvent()) {
      screen->setTransform(gfx::AffineTransform::makeRotation(-angle_));
      maskView_->addSubview(screen);
      gfx::Image held = createImage(*maskView_);
      // Only a finished outline cuts the copy; without one the whole window
      // is copied (an outline drawn next trims it).
      if (lassoOn() && pathView_ && pathView_->dotline()) held = pathView_->clipImageWithMask(held);
      screen->removeFromSuperview();
      maskView_->setImage(held);
    }
  }
  if (pathView_ && pathView_->dotline()) switchInteface();
}

void GraphToolView::cutToPasteImage() {
  isGraph_ = false;
  isExportAlum_ = false;
  maskView_->setImage({});
  drawView_->addSubview(maskView_);
  DrawsView* canvas = delegate_ ? delegate_->respondGraphToolCutImageBtnEvent() : nullptr;
  if (canvas) {
    const ui::Rect cf = canvas->frame();
    std::optional<gfx::Image> picture = canvas->image();
    auto piece = std::make_shared<ui::ImageView>(ui::Rect{0, 0, cf.width, cf.height});
    piece->setCenter(canvas->convertPointTo({cf.width / 2, cf.height / 2}, maskView_.get()));
    // What takes the piece's place: transparency of the canvas's size.
    gfx::Image transparent = contextOfSize({cf.width, cf.height}, screenScale()).makeImage(true);
    if (picture) piece->setImage(ui::Picture(std::move(*picture)));
    piece->setTransform(gfx::AffineTransform::makeRotation(-angle_));
    maskView_->addSubview(piece);
    gfx::Image held = createImage(*maskView_);
    piece->removeFromSuperview();
    maskView_->setImage(held);
    if (!(pathView_ && pathView_->dotline())) {
      placeOnCanvas(*canvas, true, [&](DrawsView& c, gfx::Size size, gfx::Point centre, float radian) {
        c.cutRegion(&transparent, size, centre, radian);
      });
    }
  }
  const bool outlined = pathView_ && pathView_->dotline();
  afterCapture();
  if (outlined) showPathViewImage(false);
  // A cut always ends holding its piece, ready to be placed: an outline drawn
  // after a cut of the whole window would trim a piece that is already off
  // the canvas, and what it left out would be lost.
  if (outlined || lassoOn()) switchInteface();
  deformView_->setUserInteractionEnabled(true);
}

void GraphToolView::showPathViewImage(bool keepCanvas) {
  if (!pathView_) return;
  const gfx::Image mask = pathView_->generateMaskImage();
  const gfx::Image picture = createImage(*maskView_);
  const gfx::Image inner = pathView_->clipImageWithMask(picture);
  maskView_->setFrame(drawView_->bounds());
  maskView_->setImage(ui::Picture(inner));
  if (keepCanvas) return;
  DrawsView* canvas = delegate_ ? delegate_->respondGraphToolCutImageBtnEvent() : nullptr;
  if (!canvas) return;
  // Only what lies inside the outline leaves the canvas; the rest stays as
  // it is, not redrawn from a picture taken off its pixel grid.
  placeOnCanvas(*canvas, false, [&](DrawsView& cv, gfx::Size size, gfx::Point centre, float radian) {
    cv.cutOutline(mask, size, centre, radian);
  });
  ui::saveImageToAlbum(inner);
}

void GraphToolView::pressPasteBtnEvent() {
  gfx::Image stamp = createImage(*maskView_);
  DrawsView* canvas = delegate_ ? delegate_->respondGraphToolCutImageBtnEvent() : nullptr;
  if (canvas) {
    placeOnCanvas(*canvas, false, [&](DrawsView& c, gfx::Size size, gfx::Point centre, float radian) {
      c.setOperated(true);
      c.drawImage(stamp, size, centre, radian);
      c.cutPiecePlaced();
    });
  }
  maskView_->setImage(ui::Picture(std::move(stamp)));
}

// --- shapes

void GraphToolView::selectGraphBtn(int tag) {
  btnTag_ = tag;
  shapeName_ = tag >= 0 && tag < static_cast<int>(imageAry_.size()) && isLocal_ ? imageAry_[static_cast<std::size_t>(tag)]
               : tag >= 0 && tag < static_cast<int>(localImageAry_.size())
                   ? localImageAry_[static_cast<std::size_t>(tag)]
                   : std::string();
  isExportAlum_ = false;
  drawingToolDrawGraphEvent();
}

void GraphToolView::drawingToolDrawGraphEvent() {
  ui::Picture shape = VTImageCache::imageNamed(shapeName_);
  if (shape.empty()) return;
  isGraph_ = true;
  maskView_->setImage({});
  const float scale = screenScale();
  const ui::Rect b = maskView_->bounds();
  gfx::Context solidContext = contextOfSize({b.width, b.height}, scale);
  solidContext.setFillColor(ZTDataModel::sharedInstance().extendDataModel().cuColor());
  solidContext.fillRect({0, 0, b.width, b.height});
  const gfx::Image solid = solidContext.makeImage(true);

  gfx::Context c = contextOfSize({b.width, b.height}, scale);
  c.save();
  c.clear();
  c.clipToMask({0, 0, b.width, b.height}, *shape.image());
  c.drawImage(solid, {0, 0, b.width, b.height});
  c.restore();
  auto shaped = std::make_shared<ui::ImageView>(ui::Rect{0, 0, b.width, b.height});
  shaped->setImage(ui::Picture(c.makeImage(true)));
  shaped->setTransform(gfx::AffineTransform::makeRotation(kPi));
  maskView_->addSubview(shaped);
  screenImage_ = ui::Picture(createImage(*maskView_));
  maskView_->setImage(screenImage_);
  shaped->removeFromSuperview();
  applyRotation();
}

// --- rubbing

void GraphToolView::openingPrintFunction() {
  if (!printsView_) return;
  printsView_->setFrame(drawView_->bounds());
  drawView_->addSubview(printsView_);
  rubBtn_->setSelected(!rubBtn_->isSelected());
  if (rubBtn_->isSelected()) {
    maskView_->setAlpha(0.5f);
    pasteBtn_->setEnabled(false);
    rubBtn_->setImage(VTImageCache::imageNamed("Stamp_rubbing02.png"));
    bringSubviewToFront(rubBtn_.get());
    printsView_->setUserInteractionEnabled(true);
    printsView_->addSubview(maskView_);
  } else {
    maskView_->setAlpha(1.0f);
    pasteBtn_->setEnabled(true);
    rubBtn_->setImage(VTImageCache::imageNamed("Stamp_rubbing01.png"));
    bringSubviewToFront(rubBtn_.get());
    printsView_->setUserInteractionEnabled(false);
  }
}

void GraphToolView::printImageInDrawview() {
  if (!printsView_) return;
  const ui::Rect window = drawView_->frame();
  const float scale = screenScale();
  const gfx::Rect whole{0, 0, window.width, window.height};
  gfx::Context strokesContext = contextOfSize({window.width, window.height}, scale);
  strokesContext.clear();
  flip(strokesContext);
  if (std::optional<gfx::Image> rubbed = printsView_->image()) strokesContext.drawImageYUp(*rubbed, whole);
  // Drawn upside down in a y-up space: the strokes' picture reads upright.
  const gfx::Image strokes = strokesContext.makeImage(true);

  gfx::Context c = contextOfSize({window.width, window.height}, scale);
  c.clear();
  flip(c);
  c.clipToMask(whole, strokes);
  if (const gfx::Image* held = maskView_->image().image()) c.drawImageYUp(*held, whole);
  const gfx::Image revealed = c.makeImage(true);
  if (DrawsView* canvas = delegate_ ? delegate_->respondGraphToolCutImageBtnEvent() : nullptr) {
    placeOnCanvas(*canvas, false, [&](DrawsView& cv, gfx::Size size, gfx::Point centre, float radian) {
      cv.drawImage(revealed, size, centre, radian);
    });
  }
  printsView_->clear();
}

// --- the other commands

void GraphToolView::clearEvent() {
  // A cut piece dropped without being placed goes back where it came from.
  if (DrawsView* canvas = delegate_ ? delegate_->respondGraphToolCutImageBtnEvent() : nullptr) canvas->withdrawCut();
  isGraph_ = false;
  maskView_->setImage({});
  if (printsView_) printsView_->clear();
  returnInterface();
}

void GraphToolView::setControlIsEnabel(bool on) { pasteBtn_->setEnabled(on); }

void GraphToolView::openLibraryAlbumEvent() {
  if (delegate_) delegate_->respondGraphToolOpenLibraryEvent();
}

void GraphToolView::graphToolExit() {
  if (delegate_) delegate_->respondGraphToolHiddenEvent();
}

void GraphToolView::showTable(ui::TableView& table) {
  table.setHidden(false);
  addSubview(table.self());
  table.setDataSource(this);
  table.setTableDelegate(this);
  table.reloadData();
}

void GraphToolView::albumBtnPressed() {
  setTransform(gfx::AffineTransform::identity());
  const ui::Rect f = frame();
  setFrame({f.x, f.y, std::min(f.width, kWidth), std::min(f.height, kHeight)});
  angle_ = 0;
  adjustmentControlFrame(true);
  maskView_->removeFromSuperview();
  showTable(*downLoadTable_);
  if (lassoOn()) {
    downLoadTable_->removeFromSuperview();
    downLoadTable_->setUserInteractionEnabled(false);
    if (pathView_) {
      pathView_->setHidden(true);
      pathView_->removeFromSuperview();
      pathView_->setUserInteractionEnabled(false);
    }
  }
  albumTable_->setHidden(true);
  deformView_->setUserInteractionEnabled(false);
}

void GraphToolView::flexibleClipMode() {
  pasteBtn_->setEnabled(true);
  arbitraryClipBtn_->setSelected(!arbitraryClipBtn_->isSelected());
  if (arbitraryClipBtn_->isSelected()) {
    if (pathView_) pathView_->pathDisappear();
    arbitraryClipBtn_->setImage(VTImageCache::imageNamed("Stamp_lasso02.png"));
    bringSubviewToFront(arbitraryClipBtn_.get());
    makePathView();
    pathView_->setHidden(false);
    addSubview(pathView_);
    pathView_->setUserInteractionEnabled(true);
    setTransform(gfx::AffineTransform::identity());
    pathView_->setFrame(pathViewZomeRect(frame(), kWindowRect));
    applyRotation();
  } else {
    arbitraryClipBtn_->setImage(VTImageCache::imageNamed("Stamp_lasso01.png"));
    bringSubviewToFront(arbitraryClipBtn_.get());
    if (!maskView_->image().empty()) switchInteface();
    if (pathView_) {
      pathView_->setUserInteractionEnabled(false);
      pathView_->removeFromSuperview();
      pathView_->pathDisappear();
    }
    albumBtn_->setEnabled(true);
  }
}

void GraphToolView::setMaskViewImage() {
  const ui::Rect f = maskView_->frame();
  if (alumImage_.empty() || scaleWidth_ <= 0 || scaleHeight_ <= 0) return;
  const float w = f.width / scaleWidth_, h = f.height / scaleHeight_;
  gfx::Context c = contextOfSize({f.width, f.height}, screenScale());
  c.clear();
  c.drawImage(*alumImage_.image(), {(f.width - w) / 2, (f.height - h) / 2, w, h});
  maskView_->setImage(ui::Picture(c.makeImage(true)));
}

// --- the pack list and the grid

int GraphToolView::numberOfRows(ui::TableView& table, int) {
  if (&table == downLoadTable_.get())
    return static_cast<int>(ResourceDownLoadManager::shared().stampDownLoadItems().size()) + 1;
  return static_cast<int>((imageAry_.size() + 2) / 3);
}

std::optional<float> GraphToolView::heightForRow(ui::TableView& table, ui::IndexPath) {
  const float w = table.bounds().width;
  return &table == downLoadTable_.get() ? w / 3 - 8 : w / 3 - 5;
}

std::shared_ptr<ui::TableViewCell> GraphToolView::cellForRow(ui::TableView& table, ui::IndexPath ip) {
  const float w = table.bounds().width;
  if (&table == downLoadTable_.get()) {
    auto cell = table.dequeueReusableCell("DownLoadCell");
    if (!cell) cell = std::make_shared<ui::TableViewCell>(ui::CellStyle::Default, "DownLoadCell");
    cell->setSelectionStyle(ui::CellSelectionStyle::None);
    cell->setBackgroundColor(ui::Color::clear());
    cell->contentView()->setFrame({0, 0, w, w / 3 - 8});
    for (auto& sub : std::vector<std::shared_ptr<ui::View>>(cell->contentView()->subviews()))
      if (dynamic_cast<DownLoadCell*>(sub.get())) sub->removeFromSuperview();
    auto row = std::make_shared<DownLoadCell>(ui::Rect{0, 0, w, w / 3 - 8});
    row->setDelegate(this);
    if (ip.row == 0) {
      row->categrayImage()->setImage(VTImageCache::imageNamed("icon_shapes.png"));
      row->fee()->setText(fd::Localized("Free"));
      row->quantity()->setText("12");
      row->categaray()->setText("Shapes");
      row->downLoadBtn()->setBackgroundImage(VTImageCache::imageNamed("stamp_library_open.png"));
      row->downLoadBtn()->setEnabled(false);
      row->setTag(DownLoadCell::kShapesTag);
    } else {
      auto& items = ResourceDownLoadManager::shared().stampDownLoadItems();
      if (static_cast<std::size_t>(ip.row - 1) < items.size()) row->setDownLoadItem(items[static_cast<std::size_t>(ip.row - 1)]);
    }
    cell->contentView()->addSubview(row);
    return cell;
  }
  std::shared_ptr<AlbumViewCell> cell =
      std::dynamic_pointer_cast<AlbumViewCell>(table.dequeueReusableCell(AlbumViewCell::kReuseIdentifier));
  if (!cell) cell = AlbumViewCell::initWithStyle(AlbumViewCell::kReuseIdentifier);
  cell->setSelectionStyle(ui::CellSelectionStyle::None);
  cell->setBackgroundColor(ui::Color::clear());
  cell->contentView()->setFrame({0, 0, w, w / 3 - 5});
  cell->setAlbumViewCellDelegate(this);
  std::vector<std::string> names;
  for (std::size_t i = static_cast<std::size_t>(ip.row) * 3; i < imageAry_.size() && names.size() < 3; ++i)
    names.push_back(imageAry_[i]);
  cell->setButtonImageAndTag(names, ip.row, w, downLoadPath_, isLocal_);
  return cell;
}

void GraphToolView::didSelectedAndShowImage() {
  showTable(*albumTable_);
  isLocal_ = true;
  downLoadTable_->setHidden(true);
  deformView_->setUserInteractionEnabled(true);
  imageAry_ = localImageAry_;
  albumTable_->reloadData();
}

void GraphToolView::didSelected(DownLoadCell* cell) {
  if (!cell || !cell->downLoadItem()) return;
  ResourceDownLoadManager& library = ResourceDownLoadManager::shared();
  auto& items = library.stampDownLoadItems();
  auto it = std::find(items.begin(), items.end(), cell->downLoadItem());
  if (it == items.end()) return;
  isLocal_ = false;
  library.setStampStyle(static_cast<int>(it - items.begin()));
  downLoadPath_ = library.downloadPath() / (*it)->title();
  showTable(*albumTable_);
  downLoadTable_->setHidden(true);
  if (lassoOn() && pathView_) pathView_->removeFromSuperview();
  deformView_->setUserInteractionEnabled(true);
  imageAry_ = library.stampDownArray();
  albumTable_->reloadData();
}

void GraphToolView::btnClick(ui::Button* button, AlbumViewCell*) {
  albumTable_->removeFromSuperview();
  const int tag = button->tag();
  if (isLocal_) {
    selectGraphBtn(tag);
  } else {
    // A pack picture is no shape: a colour change leaves it alone.
    isGraph_ = false;
    const std::vector<std::string> names = ResourceDownLoadManager::shared().stampDownArray();
    ui::Picture picture;
    if (tag >= 0 && static_cast<std::size_t>(tag) < names.size())
      picture = ui::Picture::fromFile(downLoadPath_ / names[static_cast<std::size_t>(tag)]);
    maskView_->setImage(picture);
  }
  drawView_->addSubview(maskView_);
  if (lassoOn()) {
    maskView_->setFrame(drawView_->bounds());
    makePathView();
    addSubview(pathView_);
    pathView_->setUserInteractionEnabled(true);
  } else {
    switchInteface();
  }
  deformView_->setUserInteractionEnabled(true);
  arbitraryClipBtn_->setEnabled(true);
}

// --- layout

ui::Rect GraphToolView::drawViewZomeRect(ui::Rect z, ui::Rect o) { return {o.x, o.y, z.width - 54, z.height - 53}; }
ui::Rect GraphToolView::pathViewZomeRect(ui::Rect z, ui::Rect o) { return {o.x, o.y, z.width - 54, z.height - 53}; }
ui::Rect GraphToolView::albumViewZomeRect(ui::Rect w, ui::Rect o) { return {o.x, o.y, w.width, w.height}; }
ui::Rect GraphToolView::controlFrameviewZomeRect(ui::Rect z, ui::Rect o) {
  return {z.width + o.x - kWidth, o.y + (z.height - kHeight) / 10, o.width, o.height};
}
ui::Rect GraphToolView::deformViewZomeRect(ui::Rect z, ui::Rect o) {
  return {z.width + o.x - kWidth, z.height + o.y - kHeight, o.width, o.height};
}
ui::Rect GraphToolView::transBtnAndBorderZomeRect(ui::Rect z, ui::Rect o) {
  return {o.x, z.height + o.y - kHeight, o.width, o.height};
}

void GraphToolView::adjustmentControlFrame(bool keepUnrotated) {
  // The tool's own size, whatever its turn.
  const ui::Rect z{0, 0, bounds().width, bounds().height};
  drawView_->setFrame(drawViewZomeRect(z, kWindowRect));
  maskView_->setFrame(drawViewZomeRect(z, kWindowRect));
  if (pathView_) pathView_->setFrame(pathViewZomeRect(z, kWindowRect));
  albumTable_->setFrame(albumViewZomeRect(drawView_->frame(), kWindowRect));
  for (int i = 0; i < 3; ++i) shapeBtns_[i]->setFrame(controlFrameviewZomeRect(z, kShapeRects[i]));
  rotation_->setFrame(transBtnAndBorderZomeRect(z, kRotationRect));
  deformView_->setFrame(deformViewZomeRect(z, kDeformRect));
  if (printsView_) {
    printsView_->setBaseRect(drawView_->bounds());
    printsView_->setDrawRect(drawView_->bounds());
  }
  maskView_->setFrame(drawView_->bounds());
  backgroundImage_->setFrame(bounds());
  for (ui::Button* b : {rubBtn_.get(), arbitraryClipBtn_.get()}) b->setCenter({z.width / 2, z.height - 15});
  if (!keepUnrotated) applyRotation();
}

// --- gestures

void GraphToolView::updateRotateHandle(const ui::Touch& touch) {
  // Where the finger is on the tool as it is turned: on a turned tool the
  // resize handle may sit where the upright tool has its turning handle, and
  // a touch on the resize handle never turns.
  const ui::Point q = touch.locationInView(this);
  const ui::Rect r = rotation_->frame();
  isRotate_ = !deformView_->isDeform() && q.x >= r.x && q.x < r.x + r.width && q.y >= r.y && q.y < r.y + r.height;
  rotation_->setAlpha(isRotate_ ? kHandleAlphaOn : kHandleAlphaOff);
}

void GraphToolView::touchesBegan(const ui::TouchSet& touches, const ui::Event&) {
  if (touches.empty()) return;
  const ui::Touch& touch = *touches.front();
  const ui::Point p = touch.locationInView(superview());
  const ui::Point c = center();
  if (deformView_->isDeform()) {
    if (p.x > c.x && p.y > c.y) quadrant_ = 0;
    else if (p.x > c.x && p.y < c.y) quadrant_ = 1;
    else if (p.x < c.x && p.y < c.y) quadrant_ = 2;
    else if (p.x < c.x && p.y > c.y) quadrant_ = 3;
  }
  updateRotateHandle(touch);
  touchNumber_ = 0;
  widthInit_ = bounds().width;
  heightInit_ = bounds().height;
}

void GraphToolView::touchesMoved(const ui::TouchSet& touches, const ui::Event&) {
  if (touches.empty()) return;
  const ui::Touch& touch = *touches.front();
  if (isRotate_) {
    ++touchNumber_;
    const ui::Point p = touch.locationInView(superview());
    const ui::Point pp = touch.previousLocationInView(superview());
    const ui::Point c = center();
    const double a = std::atan2(static_cast<double>(p.y), static_cast<double>(pp.x - c.x));
    const double b = std::atan2(static_cast<double>(c.y - p.y), static_cast<double>(p.x - c.x));
    const float d = static_cast<float>(a - b);
    if (touchNumber_ == 1) {
      beginAngle_ = d;
    } else {
      angle_ = d - beginAngle_ + endAngle_;
      applyRotation();
    }
    return;
  }
  setTransform(gfx::AffineTransform::identity());
  const ui::Point c0 = center();
  const ui::Point p = touch.locationInView(superview());
  const ui::Point pp = touch.previousLocationInView(superview());
  if (!deformView_->isDeform()) {
    const ui::Size area = superview() ? ui::Size{superview()->bounds().width, superview()->bounds().height}
                                      : ui::Size{480, 320};
    setCenter({std::clamp(c0.x + p.x - pp.x, 0.0f, area.width), std::clamp(c0.y + p.y - pp.y, 0.0f, area.height)});
  } else {
    const ui::Rect f = frame();
    const float dx = p.x - pp.x, dy = p.y - pp.y;
    float w = f.width, h = f.height;
    switch (quadrant_) {
      case 0: w += dx, h += dy; break;
      case 1: w -= dy, h += dx; break;
      case 2: w -= dx, h -= dy; break;
      default: w += dy, h -= dx; break;
    }
    setFrame({f.x, f.y, std::max(w, kWidth), std::max(h, kHeight)});
    // The unturned frame grows from its top-left corner; the growth turns
    // with the tool.
    const ui::Point c1 = center();
    const float cs = std::cos(angle_), sn = std::sin(angle_);
    const float gx = c1.x - c0.x, gy = c1.y - c0.y;
    setCenter({c0.x + cs * gx - sn * gy, c0.y + sn * gx + cs * gy});
    adjustmentControlFrame(false);
  }
  downLoadTable_->reloadData();
  albumTable_->reloadData();
  applyRotation();
}

void GraphToolView::touchesEnded(const ui::TouchSet& touches, const ui::Event&) {
  widthLater_ = bounds().width;
  heightLater_ = bounds().height;
  widthScale_ = widthInit_ > 0 ? widthLater_ / widthInit_ : 1;
  heightScale_ = heightInit_ > 0 ? heightLater_ / heightInit_ : 1;
  endAngle_ = angle_;
  if (pathView_) pathView_->scale(widthScale_, heightScale_);
  if (deformView_->isDeform()) {
    if (isExportAlum_ && !maskView_->image().empty()) setMaskViewImage();
  } else if (!touches.empty()) {
    updateRotateHandle(*touches.front());
  }
}
