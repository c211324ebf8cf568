#pragma once
// The 44-colour picker over the whole desk: a palette of paint cans in 4 rows
// of 11 with a marker on the chosen one. A touch on a can chooses it and keeps
// the picker open; a touch elsewhere closes it and applies the colour.
#include <memory>

#include "platform/graphics/Geometry.h"
#include "platform/ui/ImageView.h"

class ColorSelectionDelegate {
 public:
  virtual ~ColorSelectionDelegate() = default;
  virtual void respondToColorSelected(gfx::Color color) = 0;
};

class ColorSelectView : public ui::View {
 public:
  static constexpr int kColumns = 11;
  static constexpr int kRows = 4;
  static constexpr float kPaletteWidth = 480;
  static constexpr float kPaletteHeight = 262;
  static constexpr float kPaletteTop = 30;

  static std::shared_ptr<ColorSelectView> initColorSelectViewWithFrame(const ui::Rect& frame);
  explicit ColorSelectView(const ui::Rect& frame);
  void layoutSubviews() override;

  ColorSelectionDelegate* delegate() const { return delegate_; }
  void setDelegate(ColorSelectionDelegate* d) { delegate_ = d; }
  int colorNum() const { return colorNum_; }
  ui::ImageView* colorCans() const { return colorCans_.get(); }
  ui::ImageView* colorTag() const { return colorTag_.get(); }

  // Chooses index n (0..43): stored in the model as n + 1, marker moved.
  void setColor(int n);
  // Shows the picker, or hides it keeping the chosen index.
  void colorCanAutoController();
  // In the picker's coordinates.
  bool isOnColorCan(ui::Point p) const;
  int colorClicked(ui::Point p) const;

  void touchesBegan(const ui::TouchSet& touches, const ui::Event& event) override;

 private:
  void placeMarker();
  float paletteX() const { return (bounds().width - kPaletteWidth) / 2; }
  ColorSelectionDelegate* delegate_ = nullptr;
  std::shared_ptr<ui::ImageView> colorCans_, colorTag_;
  int colorNum_ = 43;
};
