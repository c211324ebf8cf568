#pragma once
// What a project combination needs of the movie encoder's sound merge. The
// model may not see the encoder, so it declares this interface and the
// program plugs the encoder in at start-up.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/media/SoundMix.h"

class ProjectDataModel;

class SoundMergerDelegate {
 public:
  virtual ~SoundMergerDelegate() = default;
  // One new sound file name per project with sound, in the order of the
  // names; may arrive on a worker thread.
  virtual void combineAudioFinishedwithSoundNameArray(const std::vector<std::string>& soundNames) = 0;
};

class SoundMerger {
 public:
  virtual ~SoundMerger() = default;
  virtual void setDelegate(SoundMergerDelegate* delegate) = 0;  // not owned
  virtual void mergerAudioOfProjectWithProjectName(const std::vector<std::string>& projectNames) = 0;

  using Factory = std::function<std::shared_ptr<SoundMerger>()>;
  // An empty factory (the default) means no merger: combinations go on
  // without sound files.
  static void setFactory(Factory factory);
  static std::shared_ptr<SoundMerger> make();
};

// The clips of a project's tags as the merge places them: each tag's sound at
// its start frame, frame s beginning (s - 1) * 0.08 / animation speed seconds
// in. Tags whose sound file cannot be found are left out.
std::vector<media::MixClip> soundMixClipsOfProject(const ProjectDataModel& project);
