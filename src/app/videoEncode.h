#pragma once
// The movie encoder's sound merge: mixes the tagged clips of each project of a
// combination into one recording in Documents, on a worker thread, and tells
// its delegate the new file names from that thread.
#include <string>
#include <vector>

#include "model/SoundMerger.h"

class videoEncode : public SoundMerger {
 public:
  void setDelegate(SoundMergerDelegate* delegate) override { delegate_ = delegate; }
  SoundMergerDelegate* delegate() const { return delegate_; }
  void mergerAudioOfProjectWithProjectName(const std::vector<std::string>& projectNames) override;

  // Plugs this merger into the model's project combination (program start-up).
  static void registerAsSoundMerger();

 private:
  SoundMergerDelegate* delegate_ = nullptr;
};
