#include "desk/Unavailable.h"

#include "platform/foundation/Localized.h"
#include "platform/ui/Alert.h"

namespace screens {

void showUnavailable(const std::string& screenTitle) {
  ui::AlertView::make(fd::Localized(screenTitle), fd::Localized("This part of the program is not available yet."),
                      nullptr, fd::Localized("OK"))
      ->show();
}

}  // namespace screens
