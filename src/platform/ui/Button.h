#pragma once
// A push button with a picture, a background picture, a title and a title
// colour for each state (normal, highlighted, selected, disabled; a state
// without its own falls back to normal), and insets for its parts.
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/ui/Control.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"

namespace ui {

enum class ButtonType { Custom, RoundedRect };

class Button : public Control {
 public:
  explicit Button(const Rect& frame = {}, ButtonType type = ButtonType::Custom);
  static std::shared_ptr<Button> make(ButtonType type = ButtonType::Custom, const Rect& frame = {});

  ButtonType buttonType() const { return type_; }

  void setImage(Picture image, unsigned state = StateNormal);
  void setBackgroundImage(Picture image, unsigned state = StateNormal);
  void setTitle(std::optional<std::string> title, unsigned state = StateNormal);
  void setTitleColor(std::optional<Color> color, unsigned state = StateNormal);
  // What was set for exactly that state.
  Picture imageForState(unsigned state) const;
  Picture backgroundImageForState(unsigned state) const;
  std::optional<std::string> titleForState(unsigned state) const;
  std::optional<Color> titleColorForState(unsigned state) const;

  // What the current state shows (falling back to normal).
  Picture currentImage() const;
  Picture currentBackgroundImage() const;
  std::string currentTitle() const;
  Color currentTitleColor() const;

  ContentHorizontalAlignment contentHorizontalAlignment() const { return hAlignment_; }
  void setContentHorizontalAlignment(ContentHorizontalAlignment a);
  EdgeInsets contentEdgeInsets() const { return contentInsets_; }
  void setContentEdgeInsets(EdgeInsets in);
  EdgeInsets titleEdgeInsets() const { return titleInsets_; }
  void setTitleEdgeInsets(EdgeInsets in);
  EdgeInsets imageEdgeInsets() const { return imageInsets_; }
  void setImageEdgeInsets(EdgeInsets in);

  Label* titleLabel();
  ImageView* imageView();

  void layoutSubviews() override;
  Size sizeThatFits(Size size) const override;
  bool drawsContent() const override { return type_ == ButtonType::RoundedRect; }
  void drawRect(gfx::Context& ctx, const Rect& rect) override;

 protected:
  void stateChanged() override;

 private:
  template <class T>
  static std::optional<T> lookup(const std::map<unsigned, T>& m, unsigned state);
  void refresh();

  ButtonType type_;
  std::map<unsigned, Picture> images_, backgrounds_;
  std::map<unsigned, std::string> titles_;
  std::map<unsigned, Color> titleColors_;
  EdgeInsets contentInsets_, titleInsets_, imageInsets_;
  ContentHorizontalAlignment hAlignment_ = ContentHorizontalAlignment::Center;
  std::shared_ptr<ImageView> background_, image_;
  std::shared_ptr<Label> title_;
};

}  // namespace ui
