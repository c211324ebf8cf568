#include "desk/sound/UnplayableSounds.h"

#include "platform/foundation/Localized.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Alert.h"

void showUnplayableSoundAlert(const std::string& reason) {
  fd::Log("%s\n", reason.c_str());
  ui::AlertView::make(fd::Localized("This sound cannot be played"), reason, nullptr, fd::Localized("OK"))->show();
}

void UnplayableSounds::report(const std::string& file, const std::string& reason) {
  if (told_.insert(file).second) showUnplayableSoundAlert(reason);
}
