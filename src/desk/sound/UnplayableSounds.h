#pragma once
// Telling the user that a sound cannot be played: an alert with the reason,
// which names the file. A player that meets the same sound again and again
// (every round of a looping playback) tells of each file once per playback.
#include <set>
#include <string>

// Shows the alert now.
void showUnplayableSoundAlert(const std::string& reason);

class UnplayableSounds {
 public:
  // Shows the alert unless this file was told of since the last reset.
  void report(const std::string& file, const std::string& reason);
  // A new playback: every file may be told of again.
  void reset() { told_.clear(); }

 private:
  std::set<std::string> told_;
};
