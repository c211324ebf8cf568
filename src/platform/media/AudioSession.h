#pragma once
// The audio session's category, as the phone's sound components switch it
// around recording. Linux has no session to configure: the category is kept
// so that callers and tests see what was asked.
namespace media {

enum class SessionCategory { Ambient, SoloAmbient, Playback, Record, PlayAndRecord };

class AudioSession {
 public:
  static AudioSession& shared();
  void setCategory(SessionCategory category) { category_ = category; }
  SessionCategory category() const { return category_; }

 private:
  SessionCategory category_ = SessionCategory::SoloAmbient;
};

}  // namespace media
