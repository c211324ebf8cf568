#pragma once
// Background kinds, told by the first two letters of a background's name.
#include <optional>
#include <string>
#include <string_view>

enum BackgroundType : int {
  kBackgroundOther = 0,          // treated as a user still picture
  kBackgroundShippedStill = 1,   // "SS"
  kBackgroundUserStill = 2,      // "US"
  kBackgroundShippedLoop = 3,    // "SD": animated, loops
  kBackgroundUserLoop = 4,       // "UD": recognised, no picture source
  kBackgroundShippedHold = 5,    // "SC": animated, holds its last picture
  kBackgroundUserHold = 6,       // "UC": recognised, no picture source
};

int backgroundTypeOfName(std::string_view name);
// Types 0..2 are still pictures the project keeps copies of.
inline bool isStillBackgroundType(int type) { return type >= 0 && type <= kBackgroundUserStill; }
// Only a user's own still pictures are painted on and written back; the
// program's own pictures are never written.
inline bool isPaintableBackgroundType(int type) {
  return isStillBackgroundType(type) && type != kBackgroundShippedStill;
}

// A project's own copies of its still background: "background.png" and
// "backgroundIcon.png", or, while a switch of copies names them apart,
// "background-<id>.png" and "backgroundIcon-<id>.png" (the id all digits).
std::string backgroundCopyName(const std::optional<std::string>& id, bool icon);
bool isBackgroundCopyId(std::string_view id);
// A file name of that pattern, under any id or none.
bool isBackgroundCopyName(std::string_view name);
