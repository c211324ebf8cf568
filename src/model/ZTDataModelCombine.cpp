// Combining projects: the sound merge first, then frames, layers and files of
// projects 2..n copied into project 1, which is saved before they are deleted,
// then its sound tags rebuilt.
#include <algorithm>
#include <new>
#include <system_error>

#include "model/SafeName.h"
#include "model/Timeline.h"
#include "model/Tools.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/CrashPoint.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UserDefaults.h"

namespace {

constexpr double kTimelineSpan = timeline::kSpanX;
constexpr double kTagStartOffset = timeline::kStartX;
constexpr double kTagEndOffset = timeline::kEndOffsetX;
constexpr float kTimelineEnd = timeline::kEndX;
constexpr int kMinimumFrameLimit = 8;

}  // namespace

void ZTDataModel::combineSoundFileWithProject(const std::vector<std::string>& names) {
  prjSoundName_ = names;
  merger_ = SoundMerger::make();
  if (!merger_) {
    combineAudioFinishedwithSoundNameArray({});
    return;
  }
  merger_->setDelegate(this);
  merger_->mergerAudioOfProjectWithProjectName(names);
}

void ZTDataModel::combineAudioFinishedwithSoundNameArray(const std::vector<std::string>& soundNames) {
  // The merger answers from its worker (or at once, from inside its own call):
  // the combination always goes on at the main thread's next turn.
  fd::RunLoop::main().post([this, soundNames] {
    prjSoundNameArray_ = soundNames;
    merger_.reset();
    combineProjects(prjSoundName_);
  });
}

void ZTDataModel::mergeProjectInto(ProjectDataModel& target, const std::string& name,
                                   std::vector<std::filesystem::path>& copied) {
  std::shared_ptr<ProjectDataModel> source = ProjectDataModel::initWithProjectName(name);
  if (!source) return;
  const std::filesystem::path from = source->projectDicPath();
  const std::filesystem::path to = target.projectDicPath();
  // Copied, not moved: until the target's Project.plist names the pages, the
  // merged project's own folder must stay as its Project.plist names it.
  for (const auto& [oldName, newName] :
       source->renameAllWithPageStart(static_cast<int>(target.imagesArray().size()))) {
    // A file already there is never copied over, so never taken back either.
    const std::filesystem::path copy = to / newName;
    std::error_code ec;
    if (std::filesystem::symlink_status(copy, ec).type() != std::filesystem::file_type::not_found) continue;
    copied.push_back(copy);
    fd::files::copyItem(from / oldName, copy);
  }
  target.appendFramesOf(*source);
}

bool ZTDataModel::combineProjects(const std::vector<std::string>& names) {
  lastError_.clear();
  // Running out of memory before the target is saved leaves every project as
  // it was: the pages copied into the target's folder go again. After it, the
  // target holds all the frames and the merged projects are still there
  // unless the shortened list was stored.
  std::vector<std::filesystem::path> copied;
  bool targetSaved = false;
  std::optional<bool> combined;
  try {
    combined = combineUnguarded(names, copied, targetSaved);
  } catch (const std::bad_alloc&) {
    combined = false;
    setLastError(targetSaved ? "there was not enough memory to finish once the first had taken their frames"
                             : kOutOfMemoryReason);
    // A page file left unnamed (memory still short) is never read, and the
    // next copy of the same project gets other names.
    for (std::size_t i = 0; i < copied.size() && !targetSaved; ++i) {
      try {
        fd::files::removeItem(copied[i]);
      } catch (const std::bad_alloc&) {
      }
    }
  }
  if (!combined) return false;
  if (delegate_ != nullptr) delegate_->combineFinish();
  return *combined;
}

std::optional<bool> ZTDataModel::combineUnguarded(const std::vector<std::string>& names,
                                                  std::vector<std::filesystem::path>& copied, bool& targetSaved) {
  saveData();
  if (names.empty()) return std::nullopt;
  const std::string& targetName = names.front();
  std::shared_ptr<ProjectDataModel> target = ProjectDataModel::initWithProjectName(targetName);
  if (!target) return std::nullopt;
  // Each further project once, and never the target itself: merging a project
  // into itself would delete it.
  std::vector<std::string> merged;
  for (std::size_t i = 1; i < names.size(); ++i) {
    if (names[i] != targetName && isPlainPathComponent(names[i]) &&
        std::find(merged.begin(), merged.end(), names[i]) == merged.end()) {
      merged.push_back(names[i]);
    }
  }
  // A project whose list cannot be read has nothing to merge, and its folder
  // (its pages, the set-aside list) must not be deleted with the others.
  std::erase_if(merged, [](const std::string& name) {
    std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName(name);
    return !p || p->keptDamagedFile();
  });

  SoundTagLists tags = soundTagListsOf(target->soundTags());
  std::vector<int>& frames = tags.frames;
  if (!frames.empty() && !tags.points.empty() && !tags.names.empty()) {
    frames = {frames.front(), frames.back()};
    tags.points.clear();
    int offset = static_cast<int>(target->imagesArray().size());
    for (const std::string& name : merged) {
      std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName(name);
      if (!p->soundNameArray().empty() && !p->soundTagPointsArray().empty() && !p->soundFrameArray().empty()) {
        frames.push_back(p->soundFrameArray().front() + offset);
        frames.push_back(p->soundFrameArray().back() + offset);
      }
      offset += static_cast<int>(p->imagesArray().size());
    }
    target->setSoundTags(soundTagsFromLists(tags));
  }

  for (const std::string& name : merged) mergeProjectInto(*target, name, copied);
  fd::crashPoint("combine.pages-copied");

  // The merged projects go only once the target holding their pages is on
  // disk, and the stored project list no longer names them: a kill at any
  // step leaves every page in a listed project.
  // A save that runs out of memory once its list is in place still counts as
  // saved: the pages that list names must stay.
  const std::filesystem::path targetList = target->plistFilePath();
  const std::optional<fd::files::FileStamp> unsaved = fd::files::fileStamp(targetList);
  try {
    if (!target->saveData()) {
      setLastError("the combined project could not be saved");
      return false;
    }
  } catch (const std::bad_alloc&) {
    targetSaved = fd::files::fileStamp(targetList) != unsaved;
    throw;
  }
  targetSaved = true;
  fd::crashPoint("combine.target-saved");
  const bool currentMerged = std::find(merged.begin(), merged.end(), curProjectName_) != merged.end();
  std::vector<std::string> remaining = projectsNameArray_;
  std::erase_if(remaining, [&](const std::string& n) { return std::find(merged.begin(), merged.end(), n) != merged.end(); });
  setProjectsNameArray(std::move(remaining));
  if (currentMerged) setCurProjectName(targetName);
  fd::UserDefaults::standard().synchronize();
  fd::crashPoint("combine.list-saved");
  for (const std::string& name : merged) {
    if (OptionalPath folder = projectPathWithProjectName(name)) fd::files::removeItem(*folder);
  }

  combineSoundTagFrameAndPoints(*target);

  if (currentMerged) {
    prjDataModel_ = target;
  } else if (curProjectName_ == targetName && prjDataModel_) {
    // The open object still holds the target as it was; a later save of it
    // would overwrite the combination.
    prjDataModel_->setCurProjectName(targetName);
  }
  return true;
}

void ZTDataModel::combineSoundTagFrameAndPoints(ProjectDataModel& target) {
  SoundTagLists tags = soundTagListsOf(target.soundTags());
  std::vector<int>& frames = tags.frames;
  if (frames.empty()) return;
  tags.names = prjSoundNameArray_;
  target.setSoundTags(soundTagsFromLists(tags));
  if (frames.size() < 2) return;
  std::vector<std::string>& names = tags.names;
  std::vector<float>& points = tags.points;
  const int frameCount = static_cast<int>(target.imagesArray().size());
  const double k = kTimelineSpan / frameCount;
  std::size_t tag = 0;
  while (tag * 2 + 1 < frames.size()) {
    const int start = frames[tag * 2];
    const int end = frames[tag * 2 + 1];
    const float endX = static_cast<float>(k * (end - 1) + kTagEndOffset);
    const float startX = static_cast<float>(k * (start - 1) + kTagStartOffset);
    if (endX <= kTimelineEnd) {
      points.push_back(startX);
      points.push_back(endX);
      if (tag < names.size()) {
        extendDataModel_->limitFramesDict()[names[tag]] = std::max(end - start, kMinimumFrameLimit);
      }
      ++tag;
    } else {
      frames.erase(frames.begin() + tag * 2, frames.begin() + tag * 2 + 2);
      if (tag < names.size()) names.erase(names.begin() + tag);
    }
    target.setSoundTags(soundTagsFromLists(tags));
    target.saveData();
    extendDataModel_->saveLimitFramesDict();
  }
}
