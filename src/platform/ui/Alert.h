#pragma once
// Alerts and action sheets: a title, a message and buttons in an overlay
// window (a message taller than the screen leaves room for scrolls in a box
// under a finger, so all of it can be read); the delegate hears the pressed
// button's index (its title is buttonTitleAtIndex), then the dismissal. A
// sheet holds its delegate weakly: once the delegate is destroyed the sheet
// tells nobody, so a screen that goes while its alert is up is never called
// back.
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Button.h"
#include "platform/ui/DelegateRef.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

namespace ui {

class ButtonSheet;
class Window;

// What the delegate of an alert or action sheet hears.
class ButtonSheetDelegate : public DelegateLife {
 public:
  virtual ~ButtonSheetDelegate() = default;
  virtual void clickedButtonAtIndex(ButtonSheet&, int /*index*/) {}
  virtual void willDismissWithButtonIndex(ButtonSheet&, int /*index*/) {}
  virtual void didDismissWithButtonIndex(ButtonSheet&, int /*index*/) {}
};
using AlertViewDelegate = ButtonSheetDelegate;
using ActionSheetDelegate = ButtonSheetDelegate;

// The common part of alerts and action sheets.
class ButtonSheet : public View {
 public:
  ~ButtonSheet() override;
  const std::string& title() const { return title_; }
  const std::string& message() const { return message_; }
  int numberOfButtons() const { return static_cast<int>(buttons_.size()); }
  // "" for an index out of range.
  std::string buttonTitleAtIndex(int index) const;
  int cancelButtonIndex() const { return cancelIndex_; }
  int firstOtherButtonIndex() const { return firstOtherIndex_; }
  int addButtonWithTitle(const std::string& title);
  // nullptr once the delegate has been destroyed.
  ButtonSheetDelegate* delegate() const { return delegate_.get(); }
  void setDelegate(ButtonSheetDelegate* d) { delegate_ = d; }
  bool isVisible() const { return visible_; }
  int tagValue() const { return tag(); }

  // The user's press: clicked, will-dismiss, then (after the fade-out)
  // did-dismiss. Out-of-range indices do nothing.
  void pressButton(int index);
  // The program's dismissal: will-dismiss and did-dismiss, no click.
  void dismissWithClickedButtonIndex(int index, bool animated);

  static constexpr double kFadeDuration = 0.2;

 protected:
  ButtonSheet(std::string title, std::string message, ButtonSheetDelegate* delegate);
  void presentIn(std::shared_ptr<Window> window);
  virtual void build() = 0;
  std::shared_ptr<Button> makeButton(int index, bool emphasised);

  std::string title_, message_;
  std::vector<std::string> buttons_;
  int cancelIndex_ = -1, firstOtherIndex_ = -1;
  DelegateRef<ButtonSheetDelegate> delegate_;
  bool visible_ = false;
  bool dismissing_ = false;
  // The application keeps the window; it keeps this sheet.
  std::weak_ptr<Window> window_;
};

class AlertView : public ButtonSheet {
 public:
  // The cancel button (when given) has index 0, the others follow in order.
  AlertView(std::string title, std::string message, ButtonSheetDelegate* delegate,
            std::optional<std::string> cancelButtonTitle, std::vector<std::string> otherButtonTitles = {});
  static std::shared_ptr<AlertView> make(std::string title, std::string message, ButtonSheetDelegate* delegate,
                                         std::optional<std::string> cancel, std::vector<std::string> others = {});
  // Shows it centred over everything; the application keeps it until dismissed.
  void show();

 protected:
  void build() override;
};

class ActionSheet : public ButtonSheet {
 public:
  // Indices: the destructive button first, then the others, the cancel last.
  ActionSheet(std::string title, ButtonSheetDelegate* delegate, std::optional<std::string> cancelButtonTitle,
              std::optional<std::string> destructiveButtonTitle, std::vector<std::string> otherButtonTitles = {});
  static std::shared_ptr<ActionSheet> make(std::string title, ButtonSheetDelegate* delegate,
                                           std::optional<std::string> cancel, std::optional<std::string> destructive,
                                           std::vector<std::string> others = {});
  int destructiveButtonIndex() const { return destructiveIndex_; }
  // Rises from the bottom of the view's window.
  void showInView(View* view);

 protected:
  void build() override;

 private:
  int destructiveIndex_ = -1;
  std::optional<std::string> pendingCancel_;
};

// Alerts and sheets on screen now, oldest first.
std::vector<ButtonSheet*> visibleButtonSheets();

}  // namespace ui
