#pragma once
// The stamp and shape tool: a floating window over the desk's canvas that
// holds one picture. The picture is copied or cut from the canvas under the
// window (optionally to a lasso outline), made from a shape in the current
// colour, chosen from a downloaded pack, or imported from the album; it is
// then stamped back at the window's place and angle, or revealed only where
// the user rubs over it on the tool's own print canvas. The tool is dragged,
// turned with its turning handle and enlarged with its resize handle
// (`DeformView`), and lays out its parts for any size.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "canvas/ArbitraryPathClip.h"
#include "canvas/DrawsView.h"
#include "desk/AlbumViewCell.h"
#include "desk/StampLibrary.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/TableView.h"

// The resize handle: marks the touches that start on it, then hands them to
// the tool.
class DeformView : public ui::View {
 public:
  explicit DeformView(const ui::Rect& frame) : ui::View(frame) {}
  bool isDeform() const { return isDeform_; }
  void setIsDeform(bool on) { isDeform_ = on; }
  void touchesBegan(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesMoved(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesEnded(const ui::TouchSet& touches, const ui::Event& event) override;

 private:
  bool isDeform_ = false;
};

// What the tool asks of the desk. A delegate that does not answer keeps the
// defaults: no canvas, no screen picture, nothing opened or hidden.
class GraphToolViewDelegate {
 public:
  virtual ~GraphToolViewDelegate() = default;
  virtual DrawsView* respondGraphToolCutImageBtnEvent() { return nullptr; }
  // A view as large as the canvas showing its picture, centred on the canvas
  // centre in the tool's held-image view; nullptr when not answered.
  virtual std::shared_ptr<ui::View> respondGraphToolScreenImageBtnEvent() { return nullptr; }
  virtual void respondGraphToolOpenLibraryEvent() {}
  virtual void respondGraphToolHiddenEvent() {}
};

class GraphToolView : public ui::ImageView,
                      public PrintDrawViewDelegate,
                      public ArbitraryPathClipDelegate,
                      public ui::TableViewDataSource,
                      public ui::TableViewDelegate,
                      public DownLoadCellDelegate,
                      public AlbumViewCellDelegate {
 public:
  // The designed size, which is also the smallest.
  static constexpr float kWidth = 190;
  static constexpr float kHeight = 191;
  static constexpr ui::Rect kWindowRect{27, 26, 136, 139};
  static constexpr int kNoShape = 99;

  explicit GraphToolView(const ui::Rect& frame);
  ~GraphToolView() override;

  // --- commands
  void selectGraphBtn(int tag);
  void drawingToolDrawGraphEvent();
  void screenshotsEvent();
  void cutToPasteImage();
  void pressPasteBtnEvent();
  void openingPrintFunction();
  void clearEvent();
  void albumBtnPressed();
  void flexibleClipMode();
  void openLibraryAlbumEvent();
  void graphToolExit();
  void setMaskViewImage();
  void setControlIsEnabel(bool on);

  // --- the two interfaces
  void returnInterface();
  void switchInteface() override;
  void showPathViewImage(bool keepCanvas) override;
  ui::ImageView* maskView() override { return maskView_.get(); }
  bool arbitraryClipBtnIsSelected() override { return arbitraryClipBtn_->isSelected(); }
  void setAlbumBtnEnabled(bool on) override { albumBtn_->setEnabled(on); }

  // The print canvas's stroke ended.
  void printImageInDrawview() override;

  // --- layout and gestures
  void adjustmentControlFrame(bool keepUnrotated);
  static ui::Rect drawViewZomeRect(ui::Rect z, ui::Rect o);
  static ui::Rect pathViewZomeRect(ui::Rect z, ui::Rect o);
  static ui::Rect albumViewZomeRect(ui::Rect windowFrame, ui::Rect o);
  static ui::Rect controlFrameviewZomeRect(ui::Rect z, ui::Rect o);
  static ui::Rect deformViewZomeRect(ui::Rect z, ui::Rect o);
  static ui::Rect transBtnAndBorderZomeRect(ui::Rect z, ui::Rect o);
  void touchesBegan(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesMoved(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesEnded(const ui::TouchSet& touches, const ui::Event& event) override;

  // --- the pack list and the grid
  int numberOfRows(ui::TableView& table, int section) override;
  std::shared_ptr<ui::TableViewCell> cellForRow(ui::TableView& table, ui::IndexPath ip) override;
  std::optional<float> heightForRow(ui::TableView& table, ui::IndexPath ip) override;
  void didSelectedAndShowImage() override;
  void didSelected(DownLoadCell* cell) override;
  void btnClick(ui::Button* button, AlbumViewCell* cell) override;

  // --- state
  float angle() const { return angle_; }
  void setAngle(float a) { angle_ = a; }
  int btnTag() const { return btnTag_; }
  bool isGraph() const { return isGraph_; }
  void setIsGraph(bool on) { isGraph_ = on; }
  bool isPrint() const { return isPrint_; }
  void setIsPrint(bool on) { isPrint_ = on; }
  bool isLocal() const { return isLocal_; }
  bool isExportAlum() const { return isExportAlum_; }
  void setIsExportAlum(bool on) { isExportAlum_ = on; }
  const ui::Picture& alumImage() const { return alumImage_; }
  void setAlumImage(ui::Picture p) { alumImage_ = std::move(p); }
  float scaleWidth() const { return scaleWidth_; }
  void setScaleWidth(float s) { scaleWidth_ = s; }
  float scaleHeight() const { return scaleHeight_; }
  void setScaleHeight(float s) { scaleHeight_ = s; }
  bool isRotate() const { return isRotate_; }
  int quadrant() const { return quadrant_; }
  const std::vector<std::string>& imageAry() const { return imageAry_; }
  const std::vector<std::string>& localImageAry() const { return localImageAry_; }
  const std::filesystem::path& downLoadPath() const { return downLoadPath_; }
  const ui::Picture& screenImage() const { return screenImage_; }
  GraphToolViewDelegate* graphToolDelegate() const { return delegate_; }
  void setGraphToolDelegate(GraphToolViewDelegate* d) { delegate_ = d; }

  ui::ImageView* drawView() const { return drawView_.get(); }
  DrawsView* printsView() const { return printsView_.get(); }
  ArbitraryPathClip* pathView() const { return pathView_.get(); }
  DeformView* deformView() const { return deformView_.get(); }
  ui::ImageView* rotation() const { return rotation_.get(); }
  ui::ImageView* backgroundImage() const { return backgroundImage_.get(); }
  ui::TableView* downLoadTable() const { return downLoadTable_.get(); }
  ui::TableView* albumTable() const { return albumTable_.get(); }
  ui::Button* rectangle() const { return shapeBtns_[0].get(); }
  ui::Button* round() const { return shapeBtns_[1].get(); }
  ui::Button* triangle() const { return shapeBtns_[2].get(); }
  ui::Button* cutBtn() const { return cutBtn_.get(); }
  ui::Button* duplicateBtn() const { return duplicateBtn_.get(); }
  ui::Button* pasteBtn() const { return pasteBtn_.get(); }
  ui::Button* albumBtn() const { return albumBtn_.get(); }
  ui::Button* openLibraryBtn() const { return openLibraryBtn_.get(); }
  ui::Button* clearBtn() const { return clearBtn_.get(); }
  ui::Button* arbitraryClipBtn() const { return arbitraryClipBtn_.get(); }
  ui::Button* rubBtn() const { return rubBtn_.get(); }
  ui::Button* exitBtn() const { return exitBtn_.get(); }

 private:
  std::shared_ptr<ui::Button> button(const char* normal, const char* highlighted, ui::Rect frame,
                                     void (GraphToolView::*action)(), unsigned events = ui::TouchUpInside);
  gfx::Image createImage(const ui::View& view) const;
  // Sets the tool upright, hands the canvas the window's centre (y from the
  // canvas bottom) and size, then turns the tool back.
  template <class F>
  void placeOnCanvas(DrawsView& canvas, bool roundCentre, F&& stamp);
  void afterCapture();
  void makePathView();
  void showTable(ui::TableView& table);
  bool lassoOn() const { return arbitraryClipBtn_->isSelected(); }
  void applyRotation() { setTransform(gfx::AffineTransform::makeRotation(angle_)); }
  void updateRotateHandle(const ui::Touch& touch);

  GraphToolViewDelegate* delegate_ = nullptr;
  std::shared_ptr<ui::Button> shapeBtns_[3];
  std::shared_ptr<ui::Button> cutBtn_, duplicateBtn_, pasteBtn_, albumBtn_, openLibraryBtn_, clearBtn_,
      arbitraryClipBtn_, rubBtn_, exitBtn_;
  std::shared_ptr<ui::ImageView> drawView_, maskView_, rotation_, backgroundImage_;
  std::shared_ptr<DrawsView> printsView_;
  std::shared_ptr<ArbitraryPathClip> pathView_;
  std::shared_ptr<DeformView> deformView_;
  std::shared_ptr<ui::TableView> downLoadTable_, albumTable_;

  float angle_ = 0, beginAngle_ = 0, endAngle_ = 0;
  int touchNumber_ = 0;
  bool isRotate_ = false;
  int quadrant_ = 0;
  float widthInit_ = 0, heightInit_ = 0, widthLater_ = 0, heightLater_ = 0, widthScale_ = 1, heightScale_ = 1;
  int btnTag_ = kNoShape;
  // The shape last chosen, by name: a colour change redraws it whatever list
  // the grid shows by then.
  std::string shapeName_;
  std::vector<std::string> imageAry_, localImageAry_;
  std::filesystem::path downLoadPath_;
  bool isLocal_ = true, isGraph_ = false, isPrint_ = false, isExportAlum_ = false;
  ui::Picture alumImage_;
  float scaleWidth_ = 1, scaleHeight_ = 1;
  ui::Picture screenImage_;
};
