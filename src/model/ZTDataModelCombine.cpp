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
#include "model/ProjectNotice.h"
#include "model/SafeName.h"
#include "model/Timeline.h"
#include "model/Tools.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/CrashPoint.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Paths.h"
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
// folder holds no such link, the file is copied. 0 when it was made; ENOENT
// or EEXIST when nothing was made: no file to carry (or no regular one), or
// one already there, which is never replaced and so never taken back either;
// else why the target's folder refused it (a copy cut short stays, for the
// caller that noted it to take back). The names are looked up in the two
// folders held open, so that a long project's hundreds of thousands of files
// are linked without their paths walked each time.
class PageCarrier {
 public:
  PageCarrier(std::filesystem::path from, std::filesystem::path to)
      : fromPath_(std::move(from)), toPath_(std::move(to)), from_(openFolder(fromPath_)), to_(openFolder(toPath_)) {}

  int carry(const std::string& oldName, const std::string& newName) const {
    const bool held = from_.get() >= 0 && to_.get() >= 0;
    const int error = held ? fd::files::linkFile(from_.get(), oldName, to_.get(), newName, toPath_)
                           : fd::files::linkFile(AT_FDCWD, fromPath_ / oldName, AT_FDCWD, toPath_ / newName, {});
    if (error == 0 || error == EEXIST || error == ENOENT) return error;
    const std::filesystem::path to = toPath_ / newName;
    std::error_code ec;
    if (std::filesystem::symlink_status(to, ec).type() != std::filesystem::file_type::not_found) return EEXIST;
    // A page that is no file (EINVAL) has nothing to carry either.
    const int copied = fd::files::copyFile(fromPath_ / oldName, to).value();
    return copied == EINVAL ? ENOENT : copied;
  }

 private:
  static fd::files::UniqueFd openFolder(const std::filesystem::path& folder) {
    return fd::files::UniqueFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  }
  std::filesystem::path fromPath_, toPath_;
  fd::files::UniqueFd from_, to_;
};

// A request to end the program (a signal, or the user closing the window),
// met before the target is saved: the combination gives up and the end goes
// on.
struct EndRequested {};

void giveUpIfEnding() {
  if (fd::endAsked()) throw EndRequested{};
}

// The pages could not be written down before they were made: the
// combination is taken back as if it had not begun.
struct NotWrittenDown {};

// A page could be neither linked nor copied into the target's folder (a full
// disk): the combination is taken back rather than finished without it.
struct CarryRefused {
  int error;
};

// The pages written down, then carried, at a time.
constexpr std::size_t kCarriedAtOnce = 4096;

// The mixes made for a combination that was given up: no tag names them, and
// nothing would ever remove them from Documents.
void removeMixes(const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    if (isPlainPathComponent(name)) fd::files::removeItem(fd::paths::documents() / name);
  }
}

// Whether the project has a sound tag the combination keeps over its frames
// (the merge mixes its sound into one recording).
bool hasSoundTag(const SoundTagLists& tags) {
  return !tags.names.empty() && !tags.points.empty() && !tags.frames.empty();
}

}  // namespace

ZTDataModel::CarriedPages::CarriedPages() = default;
ZTDataModel::CarriedPages::~CarriedPages() = default;

void ZTDataModel::CarriedPages::begin(std::filesystem::path folder) {
  journal_ = std::make_unique<CombineJournal>(folder);
  folder_ = std::move(folder);
}

bool ZTDataModel::CarriedPages::note(const std::vector<std::pair<std::string, std::string>>& batch) {
  return journal_ && journal_->note(batch);
}

void ZTDataModel::CarriedPages::add(const std::string& name) {
  names_ += name;
  names_ += '\0';
}

void ZTDataModel::CarriedPages::dropLast() {
  names_.pop_back();
  const std::size_t end = names_.rfind('\0');
  names_.erase(end == std::string::npos ? 0 : end + 1);
}

void ZTDataModel::CarriedPages::removeAll() const {
  for (std::size_t at = 0; at < names_.size();) {
    const std::size_t end = names_.find('\0', at);
    fd::files::removeItem(folder_ / names_.substr(at, end - at));
    at = end + 1;
  }
}

bool ZTDataModel::CarriedPages::keepList(const std::filesystem::path& list) {
  return journal_ && journal_->keepList(list);
}

bool ZTDataModel::CarriedPages::putListBack(const std::filesystem::path& list) {
  return journal_ && journal_->putListBack(list);
}

void ZTDataModel::CarriedPages::leaveForNextStart() {
  if (journal_ && !names_.empty()) journal_->leaveForNextStart();
}

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
    if (!combineProjects(prjSoundName_)) removeMixes(soundNames);
  });
}

void ZTDataModel::mergeProjectInto(ProjectDataModel& target, ProjectDataModel& source,
                                   ProjectDataModel::FreshIds& ids, CarriedPages& carried) {
  ids.take(source);
  // Linked or copied, not moved: until the target's Project.plist names the
  // pages, the merged project's own folder must stay as its Project.plist
  // names it. Each page is carried as it is renamed.
  const int pageStart = static_cast<int>(target.imagesArray().size());
  const PageCarrier carrier(source.projectDicPath(), target.projectDicPath());
  // Carried in batches, each written down before any page of it is made:
  // a long project's hundreds of thousands of names are never held at once,
  // nor written down one write each.
  std::vector<std::pair<std::string, std::string>> batch;
  const auto carryBatch = [&] {
    if (!carried.note(batch)) throw NotWrittenDown{};
    for (const auto& [oldName, newName] : batch) {
      giveUpIfEnding();
      // Noted before it is made, so that a failure inside the carrying
      // leaves nothing unnoted.
      carried.add(newName);
      if (const int error = carrier.carry(oldName, newName)) {
        if (error != ENOENT && error != EEXIST) throw CarryRefused{error};
        carried.dropLast();
      }
      fd::crashPoint("combine.page-carried");
    }
    batch.clear();
  };
  source.renameAllWithPageStart(pageStart, ids, [&](const std::string& oldName, const std::string& newName) {
    batch.emplace_back(oldName, newName);
    if (batch.size() >= kCarriedAtOnce) carryBatch();
  });
  carryBatch();
  target.appendFramesOf(std::move(source));
}

bool ZTDataModel::combineProjects(const std::vector<std::string>& names) {
  lastError_.clear();
  // Failing before the target is saved (memory running out, its list not
  // written, a request to end the program) leaves every project as its list
  // has it: the pages carried into the target's folder go again, or are left
  // for the next start when the program is ending. After it, the target
  // holds all the frames and the merged projects are still there unless the
  // shortened list was stored.
  CarriedPages carried;
  std::shared_ptr<ProjectDataModel> savedTarget;
  std::optional<bool> combined;
  bool ending = false;
  try {
    combined = combineUnguarded(names, carried, savedTarget);
  } catch (const std::bad_alloc&) {
    combined = false;
    setLastError(savedTarget ? "there was not enough memory to finish once the first had taken their frames"
                             : kOutOfMemoryReason);
  } catch (const EndRequested&) {
    combined = false;
    ending = true;
    setLastError(kEndingReason);
  } catch (const NotWrittenDown&) {
    combined = false;
    setLastError("the pages it carries could not be written down first (the disk may be full)");
  } catch (const CarryRefused& refused) {
    combined = false;
    const char* why = fd::files::describeWriteError(refused.error);
    setLastError(why != nullptr ? why : "a page could not be put into the first project's folder");
  }
  // Once the target is saved, the open object shows it as it is on disk,
  // whatever failed after: a later save of the object as it was would write
  // the combination over. It takes what was stored from the target rather
  // than reading it again, which held a long project twice at once.
  if (savedTarget && curProjectName_ == names.front() && prjDataModel_ && prjDataModel_ != savedTarget)
    prjDataModel_->takeProjectOf(std::move(*savedTarget));
  // A page file left unnamed (memory still short) is never read, and the
  // next copy of the same project gets other names. When the program is
  // ending they are left as a kill there would leave them, for the next
  // start to take back: a long project's pages take seconds to unlink.
  if (combined == false && !savedTarget && !ending) {
    try {
      carried.removeAll();
    } catch (const std::bad_alloc&) {
    }
  }
  // Left as a kill would leave them, they are the next start's to take back.
  if (combined == false && !savedTarget && ending) carried.leaveForNextStart();
  if (!combined) return false;
  if (delegate_ != nullptr) delegate_->combineFinish();
  return *combined;
}

std::optional<bool> ZTDataModel::combineUnguarded(const std::vector<std::string>& names, CarriedPages& carried,
                                                  std::shared_ptr<ProjectDataModel>& savedTarget) {
  // Each of the first steps may take a second on a long first project (its
  // list written as the model is stored, read again, its folder's names
  // swept): an end asked before or between them is heard there.
  giveUpIfEnding();
  saveData();
  if (names.empty()) return std::nullopt;
  const std::string& targetName = names.front();
  giveUpIfEnding();
  std::shared_ptr<ProjectDataModel> target = ProjectDataModel::initWithProjectName(targetName);
  if (!target) return std::nullopt;
  giveUpIfEnding();
  carried.begin(target->projectDicPath());
  // Each further project once, and never the target itself: merging a project
  // into itself would delete it. Each is read once, and merged as it is read.
  std::set<std::string> seen{targetName};
  std::vector<std::string> merged;
  // Each project's first and last tag frame, on the target's pages, for
  // every project with sound, in order: the merge made one mix for each.
  std::vector<int> tagFrames;
  if (const SoundTagLists own = soundTagListsOf(target->soundTags()); hasSoundTag(own))
    tagFrames = {own.frames.front(), own.frames.back()};
  // New ids name no file of the target's folder and no record of it or of a
  // project merged, and are drawn without waiting for the clock.
  std::optional<ProjectDataModel::FreshIds> ids;
  for (std::size_t i = 1; i < names.size(); ++i) {
    const std::string& name = names[i];
    if (!isPlainPathComponent(name) || !seen.insert(name).second) continue;
    giveUpIfEnding();
    std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName(name);
    // A project whose list cannot be read has nothing to merge, and its
    // folder (its pages, the set-aside list) must not be deleted with the
    // others.
    if (!p || p->keptDamagedFile()) continue;
    if (const SoundTagLists own = soundTagListsOf(p->soundTags()); hasSoundTag(own)) {
      const int offset = static_cast<int>(target->imagesArray().size());
      tagFrames.push_back(own.frames.front() + offset);
      tagFrames.push_back(own.frames.back() + offset);
    }
    if (!ids) ids = target->freshIds(p->laysDictionary().size() + p->imagesArray().size());
    mergeProjectInto(*target, *p, *ids, carried);
    merged.push_back(name);
  }
  // What is taken no longer matters once every page is in: the save's own
  // memory may have it.
  ids.reset();

  // Whichever project has sound, the first or a later one, keeps a tag: the
  // names of the mixes come once the combination is stored.
  if (!tagFrames.empty()) {
    SoundTagLists tags = soundTagListsOf(target->soundTags());
    tags.frames = std::move(tagFrames);
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
  // Kept as it is, so that the combination refused once the target is saved
  // (the project list not stored) leaves the target as it was.
  if (!carried.keepList(targetList)) {
    setLastError("the first project could not be kept as it was while it takes their frames (the disk may be full)");
    return false;
  }
  const std::optional<fd::files::FileStamp> unsaved = fd::files::fileStamp(targetList);
  try {
    if (!target->saveData()) {
      // A list closed with an error after it took its name is on disk all
      // the same: the pages it names stay, unless the list as it was goes
      // back.
      if (fd::files::fileStamp(targetList) != unsaved && !carried.putListBack(targetList)) savedTarget = target;
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
  if (const fd::Status unlisted = unlistProjects(merged, currentMerged ? targetName : curProjectName_, "combine");
      !unlisted) {
    const std::string why = notWrittenInWords(unlisted.failure(), "the preferences folder");
    // The target's list as it was goes back, and the pages carried go with
    // the combination: trying again finds every project as it was.
    if (carried.putListBack(targetList)) {
      savedTarget.reset();
      setLastError(("the list of projects could not be written (" + why + ")").c_str());
    } else {
      setLastError(
          ("the list of projects could not be written once the first had taken their frames (" + why + ")").c_str());
    }
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
