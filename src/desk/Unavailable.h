#pragma once
// What a control says when the screen it leads to is not part of the program
// yet: an alert with the screen's name and one OK button.
#include <string>

namespace screens {

void showUnavailable(const std::string& screenTitle);

}  // namespace screens
