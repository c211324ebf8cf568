#include "desk/DeskPanels.h"

#include <mutex>

namespace desk_panels {

namespace {
std::mutex gMutex;
FileManagerFactory& factory() {
  static FileManagerFactory f;
  return f;
}
}  // namespace

void setFileManagerFactory(FileManagerFactory f) {
  std::lock_guard lock(gMutex);
  factory() = std::move(f);
}

std::shared_ptr<ui::View> makeFileManager(DeskPanelDelegate* delegate) {
  FileManagerFactory f;
  {
    std::lock_guard lock(gMutex);
    f = factory();
  }
  return f ? f(delegate) : nullptr;
}

}  // namespace desk_panels
