#pragma once
// An alert with two labels of its own for a title and a message, laid out by
// the caller rather than by the alert.
#include <memory>

#include "platform/ui/Alert.h"
#include "platform/ui/Label.h"

class AlertView : public ui::AlertView {
 public:
  static std::shared_ptr<AlertView> initWithFrame(const ui::Rect& frame);
  explicit AlertView(const ui::Rect& frame);

  ui::Label* alertTitle() const { return alertTitle_.get(); }
  void setAlertTitle(std::shared_ptr<ui::Label> l);
  ui::Label* alertMessage() const { return alertMessage_.get(); }
  void setAlertMessage(std::shared_ptr<ui::Label> l);

 protected:
  // The alert's own layout, with the two labels kept on top.
  void build() override;

 private:
  void adopt(std::shared_ptr<ui::Label>& slot, std::shared_ptr<ui::Label> label);

  std::shared_ptr<ui::Label> alertTitle_, alertMessage_;
};
