#include "app/videoEncode.h"

#include "desk/sound/UnplayableSounds.h"
#include "model/ProjectDataModel.h"
#include "platform/foundation/Dispatch.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/StopRequest.h"
#include "platform/foundation/TimestampId.h"
#include "platform/media/SoundMix.h"

void videoEncode::mergerAudioOfProjectWithProjectName(const std::vector<std::string>& projectNames) {
  // Projects are read here; the mixing runs on a worker of its own. Once the
  // program is asked to end, no further project is read (a long one's list
  // takes a while) and nothing is mixed: the combination, told no sounds,
  // gives up at its first step.
  std::vector<std::vector<media::MixClip>> projectsWithSound;
  for (const std::string& name : projectNames) {
    if (fd::endAsked()) {
      projectsWithSound.clear();
      break;
    }
    std::shared_ptr<ProjectDataModel> project = ProjectDataModel::initToShowWithProjectName(name);
    if (project && !project->soundNameArray().empty()) projectsWithSound.push_back(soundMixClipsOfProject(*project));
  }
  SoundMergerDelegate* delegate = delegate_;
  if (projectsWithSound.empty() || fd::endAsked()) {
    if (delegate != nullptr) delegate->combineAudioFinishedwithSoundNameArray({});
    return;
  }
  fd::detachThread([delegate, projects = std::move(projectsWithSound)] {
    std::vector<std::string> soundNames;
    std::string leftOut;
    // The projects' mixes share one budget: the combination as a whole takes
    // no more work than one mix may.
    media::MixLimits left;
    for (const std::vector<media::MixClip>& clips : projects) {
      const std::string file = "Rec" + fd::timestampId() + ".caf";
      // A failed mix still answers its name: the combination hands the names
      // out to the projects' tags by position, so leaving one out would put
      // every later project's sound on the wrong frames.
      const media::MixOutcome mixed = media::mixClipsToCaf(clips, fd::paths::documents() / file, nullptr, left);
      for (const std::string& problem : mixed.problems) leftOut += problem + ".\n";
      left.files -= mixed.filesRead;
      left.decodedSamples -= mixed.samplesDecoded;
      left.addedSamples -= mixed.samplesAdded;
      soundNames.push_back(file);
    }
    // Told before the combination goes on, which the delegate also posts.
    if (!leftOut.empty())
      fd::RunLoop::main().post([leftOut] { showUnplayableSoundAlert("While the projects' sounds were mixed:\n" + leftOut); });
    if (delegate != nullptr) delegate->combineAudioFinishedwithSoundNameArray(soundNames);
  });
}

void videoEncode::registerAsSoundMerger() {
  SoundMerger::setFactory([] { return std::make_shared<videoEncode>(); });
}
