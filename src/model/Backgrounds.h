#pragma once
// Background kinds, told by the first two letters of a background's name.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// The mark a project's folder holds from the first step of a change of its
// background until its copies are as its list names them (none apart, each
// named one there): a kill, a failed write or a background not painted yet
// leaves it, and the start looks into a project's list for copies to mend
// only where its files are in doubt: the mark, a copy under a name of its
// own, or one of the two usual copies without the other.
inline constexpr std::string_view kBackgroundMendMark = "Background.mend";
bool backgroundFilesInDoubt(const std::vector<std::string>& names);
