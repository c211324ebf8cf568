#pragma once
// Panels the desk opens but that live in the program above it: the file
// manager belongs to the application shell, so the desk declares what it
// needs here and the program plugs the panel in at start-up.
#include <functional>
#include <memory>

#include "platform/ui/View.h"

// What a panel tells the screen that opened it when it closes.
class DeskPanelDelegate {
 public:
  virtual ~DeskPanelDelegate() = default;
  // The panel has closed (it removes itself from its superview next).
  virtual void subviewDidRemove(ui::View* panel) = 0;
};

namespace desk_panels {

// Builds a file-manager panel for the screen's layout with the delegate set;
// nullptr when none is plugged in.
using FileManagerFactory = std::function<std::shared_ptr<ui::View>(DeskPanelDelegate* delegate)>;
void setFileManagerFactory(FileManagerFactory factory);
std::shared_ptr<ui::View> makeFileManager(DeskPanelDelegate* delegate);

}  // namespace desk_panels
