// Combining projects: the sound merge first, then frames, layers and files of
// projects 2..n carried into project 1, which is saved before they are
// deleted, then its sound tags rebuilt. The work grows linearly with the
// frames moved.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <set>
#include <system_error>

#include "model/CombineJournal.h"
#include "model/SafeName.h"
#include "model/Timeline.h"
#include "model/Tools.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/CrashPoint.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/StopRequest.h"
#include "platform/foundation/UserDefaults.h"

namespace {

constexpr double kTimelineSpan = timeline::kSpanX;
constexpr double kTagStartOffset = timeline::kStartX;
constexpr double kTagEndOffset = timeline::kEndOffsetX;
constexpr float kTimelineEnd = timeline::kEndX;
constexpr int kMinimumFrameLimit = 8;

// Puts a page file of a merged project into the target's folder under its
// new name. A second link to the file shares its bytes, so nothing is copied
// and the merged folder keeps its own name for it until it goes; where the
// folder holds no such link, the file is copied. False when nothing was made:
// no file to carry, or one already there, which is never replaced and so
// never taken back either. The names are looked up in the two folders held
// open, so that a long project's hundreds of thousands of files are linked
// without their paths walked each time.
class PageCarrier {
 public:
  PageCarrier(std::filesystem::path from, std::filesystem::path to)
      : fromPath_(std::move(from)), toPath_(std::move(to)), from_(openFolder(fromPath_)), to_(openFolder(toPath_)) {}

  bool carry(const std::string& oldName, const std::string& newName) const {
    const bool held = from_.get() >= 0 && to_.get() >= 0;
    int error = 0;
    if (held) {
      if (::linkat(from_.get(), oldName.c_str(), to_.get(), newName.c_str(), 0) == 0) return true;
      error = errno;
    }
    const std::filesystem::path from = fromPath_ / oldName, to = toPath_ / newName;
    if (!held) {
      if (::linkat(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), 0) == 0) return true;
      error = errno;
    }
    if (error == EEXIST || error == ENOENT) return false;
    std::error_code ec;
    if (std::filesystem::symlink_status(to, ec).type() != std::filesystem::file_type::not_found) return false;
    return fd::files::copyItem(from, to);
  }

 private:
  static fd::files::UniqueFd openFolder(const std::filesystem::path& folder) {
    return fd::files::UniqueFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  }
  std::filesystem::path fromPath_, toPath_;
  fd::files::UniqueFd from_, to_;
};

// A request to end the program, met before the target is saved: the
// combination is taken back as if it had not begun, and the end goes on.
struct EndRequested {};

void giveUpIfEnding() {
  if (fd::stopRequested()) throw EndRequested{};
}

// The pages could not be written down before they were made: the
// combination is taken back as if it had not begun.
struct NotWrittenDown {};

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

void ZTDataModel::mergeProjectInto(ProjectDataModel& target, ProjectDataModel& source,
                                   ProjectDataModel::FreshIds& ids, std::vector<std::filesystem::path>& copied) {
  const std::filesystem::path from = source.projectDicPath();
  const std::filesystem::path to = target.projectDicPath();
  ids.take(source);
  // Linked or copied, not moved: until the target's Project.plist names the
  // pages, the merged project's own folder must stay as its Project.plist
  // names it.
  const int pageStart = static_cast<int>(target.imagesArray().size());
  const PageCarrier carrier(from, to);
  const std::vector<std::pair<std::string, std::string>> renamed = source.renameAllWithPageStart(pageStart, ids);
  if (!combineJournal_ || !combineJournal_->note(renamed)) throw NotWrittenDown{};
  for (const auto& [oldName, newName] : renamed) {
    giveUpIfEnding();
    copied.push_back(to / newName);
    if (!carrier.carry(oldName, newName)) copied.pop_back();
    fd::crashPoint("combine.page-carried");
  }
  target.appendFramesOf(source);
}

bool ZTDataModel::combineProjects(const std::vector<std::string>& names) {
  lastError_.clear();
  // Failing before the target is saved (memory running out, its list not
  // written, a request to end the program) leaves every project as it was:
  // the pages copied into the target's folder go again. After it, the target
  // holds all the frames and the merged projects are still there unless the
  // shortened list was stored.
  std::vector<std::filesystem::path> copied;
  std::shared_ptr<ProjectDataModel> savedTarget;
  std::optional<bool> combined;
  try {
    combined = combineUnguarded(names, copied, savedTarget);
  } catch (const std::bad_alloc&) {
    combined = false;
    setLastError(savedTarget ? "there was not enough memory to finish once the first had taken their frames"
                             : kOutOfMemoryReason);
  } catch (const EndRequested&) {
    combined = false;
    setLastError("the program is ending");
  } catch (const NotWrittenDown&) {
    combined = false;
    setLastError("the pages it carries could not be written down first (the disk may be full)");
  }
  // Once the target is saved, the open object shows it as it is on disk,
  // whatever failed after: a later save of the object as it was would write
  // the combination over.
  if (savedTarget && curProjectName_ == names.front() && prjDataModel_ && prjDataModel_ != savedTarget) {
    try {
      prjDataModel_->setCurProjectName(names.front());
    } catch (const std::bad_alloc&) {
      prjDataModel_ = savedTarget;
      combined = false;
      setLastError("there was not enough memory to finish once the first had taken their frames");
    }
  }
  if (combined == false && !savedTarget) {
    // A page file left unnamed (memory still short) is never read, and the
    // next copy of the same project gets other names.
    for (const std::filesystem::path& copy : copied) {
      try {
        fd::files::removeItem(copy);
      } catch (const std::bad_alloc&) {
      }
    }
  }
  combineJournal_.reset();
  if (!combined) return false;
  if (delegate_ != nullptr) delegate_->combineFinish();
  return *combined;
}

std::optional<bool> ZTDataModel::combineUnguarded(const std::vector<std::string>& names,
                                                  std::vector<std::filesystem::path>& copied,
                                                  std::shared_ptr<ProjectDataModel>& savedTarget) {
  saveData();
  if (names.empty()) return std::nullopt;
  const std::string& targetName = names.front();
  std::shared_ptr<ProjectDataModel> target = ProjectDataModel::initWithProjectName(targetName);
  if (!target) return std::nullopt;
  // Each further project once, and never the target itself: merging a project
  // into itself would delete it. Each is read once, and merged as it is read.
  std::set<std::string> seen{targetName};
  std::vector<std::string> merged;
  std::vector<int> furtherTagFrames;  // each merged project's first and last tag frame, on the target's pages
  // New ids name no file of the target's folder and no record of it or of a
  // project merged, and are drawn without waiting for the clock.
  std::optional<ProjectDataModel::FreshIds> ids;
  combineJournal_ = std::make_unique<CombineJournal>(target->projectDicPath());
  for (std::size_t i = 1; i < names.size(); ++i) {
    const std::string& name = names[i];
    if (!isPlainPathComponent(name) || !seen.insert(name).second) continue;
    giveUpIfEnding();
    std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName(name);
    // A project whose list cannot be read has nothing to merge, and its
    // folder (its pages, the set-aside list) must not be deleted with the
    // others.
    if (!p || p->keptDamagedFile()) continue;
    const std::vector<int> tagFrames = p->soundFrameArray();
    if (!p->soundNameArray().empty() && !p->soundTagPointsArray().empty() && !tagFrames.empty()) {
      const int offset = static_cast<int>(target->imagesArray().size());
      furtherTagFrames.push_back(tagFrames.front() + offset);
      furtherTagFrames.push_back(tagFrames.back() + offset);
    }
    if (!ids) ids = target->freshIds(p->laysDictionary().size() + p->imagesArray().size());
    mergeProjectInto(*target, *p, *ids, copied);
    merged.push_back(name);
  }

  SoundTagLists tags = soundTagListsOf(target->soundTags());
  if (!tags.frames.empty() && !tags.points.empty() && !tags.names.empty()) {
    std::vector<int> frames = {tags.frames.front(), tags.frames.back()};
    frames.insert(frames.end(), furtherTagFrames.begin(), furtherTagFrames.end());
    tags.frames = std::move(frames);
    tags.points.clear();
    target->setSoundTags(soundTagsFromLists(tags));
  }
  fd::crashPoint("combine.pages-copied");
  giveUpIfEnding();

  // The merged projects go only once the target holding their pages is on
  // disk, and the stored project list no longer names them: a kill at any
  // step leaves every page in a listed project.
  // A save that runs out of memory once its list is in place still counts as
  // saved: the pages that list names must stay.
  const std::filesystem::path targetList = target->plistFilePath();
  const std::optional<fd::files::FileStamp> unsaved = fd::files::fileStamp(targetList);
  try {
    if (!target->saveData()) {
      // A list closed with an error after it took its name is on disk all
      // the same: the pages it names stay.
      if (fd::files::fileStamp(targetList) != unsaved) savedTarget = target;
      setLastError("the combined project could not be saved");
      return false;
    }
  } catch (const std::bad_alloc&) {
    if (fd::files::fileStamp(targetList) != unsaved) savedTarget = target;
    throw;
  }
  savedTarget = target;
  fd::crashPoint("combine.target-saved");
  // The merged folders are emptied off this thread once the list without
  // them is stored: a long project's files take seconds to unlink.
  const bool currentMerged = std::find(merged.begin(), merged.end(), curProjectName_) != merged.end();
  if (!unlistProjects(merged, currentMerged ? targetName : curProjectName_, "combine")) {
    setLastError("the list of projects could not be written once the first had taken their frames (the disk may "
                 "be full)");
    return false;
  }

  combineSoundTagFrameAndPoints(*target);
  if (currentMerged) prjDataModel_ = target;
  return true;
}

void ZTDataModel::combineSoundTagFrameAndPoints(ProjectDataModel& target) {
  SoundTagLists tags = soundTagListsOf(target.soundTags());
  if (tags.frames.empty()) return;
  tags.names = prjSoundNameArray_;
  target.setSoundTags(soundTagsFromLists(tags));
  if (tags.frames.size() < 2) return;
  // Each tag in turn is kept or dropped whole (its two frames and its name),
  // the tags after it moving up; the lists are built in one pass and saved
  // once: a save per tag wrote every frame once a tag.
  const std::vector<int>& frames = tags.frames;
  const std::vector<std::string>& names = tags.names;
  SoundTagLists kept{std::move(tags.points), {}, {}};
  const int frameCount = static_cast<int>(target.imagesArray().size());
  const double k = kTimelineSpan / frameCount;
  const std::size_t tagCount = frames.size() / 2;
  for (std::size_t tag = 0; tag < tagCount; ++tag) {
    const int start = frames[tag * 2];
    const int end = frames[tag * 2 + 1];
    const float endX = static_cast<float>(k * (end - 1) + kTagEndOffset);
    const float startX = static_cast<float>(k * (start - 1) + kTagStartOffset);
    if (endX > kTimelineEnd) continue;
    kept.points.push_back(startX);
    kept.points.push_back(endX);
    kept.frames.push_back(start);
    kept.frames.push_back(end);
    if (tag < names.size()) {
      kept.names.push_back(names[tag]);
      extendDataModel_->limitFramesDict()[names[tag]] = std::max(end - start, kMinimumFrameLimit);
    }
  }
  // Names beyond the last tag, and a frame without its pair, stay as they were.
  if (names.size() > tagCount) kept.names.insert(kept.names.end(), names.begin() + tagCount, names.end());
  if (frames.size() % 2 != 0) kept.frames.push_back(frames.back());
  target.setSoundTags(soundTagsFromLists(kept));
  target.saveData();
  extendDataModel_->saveLimitFramesDict();
}
