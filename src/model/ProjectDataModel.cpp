// Loading, creating and saving a project, and the paths of its files.
#include "model/ProjectDataModel.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <mutex>
#include <new>
#include <set>

#include "model/Backgrounds.h"
#include "model/DeviceScreen.h"
#include "model/SafeName.h"
#include "model/Timeline.h"
#include "model/ProjectNotice.h"
#include "model/ProjectPlistKeys.h"
#include "model/Tools.h"
#include "platform/foundation/CrashPoint.h"
#include "platform/foundation/DamagedFile.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/PropertyListCheck.h"
#include "platform/foundation/StopRequest.h"
#include "platform/media/AudioFile.h"

namespace fs = std::filesystem;

namespace {

using namespace projectplist;


// A solid-colour background of old projects, converted to a user picture name.
constexpr const char* kLegacyColorBackground = "BCBackgroundColor.png";
constexpr const char* kLegacySoundFile = "audio.caf";

bool isNumeric(const fd::Value& v) { return v.isNumber() || v.isString(); }

std::vector<FrameRecord> framesFromValue(const fd::Value& v) {
  std::vector<FrameRecord> frames;
  if (const fd::Array* a = v.array()) {
    for (const fd::Value& item : *a) {
      if (std::optional<FrameRecord> r = FrameRecord::fromValue(item)) frames.push_back(std::move(*r));
    }
  }
  return frames;
}

fd::Value framesToValue(const std::vector<FrameRecord>& frames) {
  fd::Array a;
  a.reserve(frames.size());
  for (const FrameRecord& r : frames) a.push_back(r.toValue());
  return fd::Value(std::move(a));
}

// The lists whose last write was refused and told: the user hears of it once,
// however often the desk saves meanwhile, until a list of the project is
// written again.
struct RefusedLists {
  std::mutex m;
  std::set<fs::path> told;
};

RefusedLists& refusedLists() {
  static RefusedLists* r = new RefusedLists;  // never destroyed: a save may be refused as the process ends
  return *r;
}

std::string projectOfList(const fs::path& list) { return list.parent_path().filename().string(); }

void listRefused(const fs::path& list, const ProjectNotice& notice) {
  {
    RefusedLists& r = refusedLists();
    std::lock_guard lock(r.m);
    if (!r.told.insert(list).second) return;
  }
  fd::Log("The list of the project \"%s\" is not written: %s\n", notice.project.c_str(), notice.reason.c_str());
  tellProjectNotice(notice);
}

void listWritten(const fs::path& list) {
  RefusedLists& r = refusedLists();
  std::lock_guard lock(r.m);
  r.told.erase(list);
}

}  // namespace

std::shared_ptr<ProjectDataModel> ProjectDataModel::initWithProjectName(const std::string& name) {
  if (!isPlainPathComponent(name)) return nullptr;
  std::shared_ptr<ProjectDataModel> p(new ProjectDataModel());
  p->setCurProjectName(name);
  return p;
}

std::shared_ptr<ProjectDataModel> ProjectDataModel::initToShowWithProjectName(const std::string& name) {
  if (!isPlainPathComponent(name)) return nullptr;
  std::shared_ptr<ProjectDataModel> p(new ProjectDataModel());
  p->onlyShown_ = true;
  p->setCurProjectName(name);
  return p;
}

bool ProjectDataModel::setCurProjectName(const std::string& name) {
  if (!isPlainPathComponent(name)) return false;
  if (saveHeldBack_) saveData();  // the project being left keeps what it was given
  curProjectName_ = name;
  moveFromOldLayout();
  if (!readData()) createData();
  // A long project's folder holds hundreds of thousands of names: a program
  // asked to end meanwhile leaves their sweep to the next start, which
  // sweeps every project folder.
  if (!fd::endAsked()) removeLeftovers();
  return true;
}

std::string ProjectDataModel::dateString() { return Tools::dateString(); }

int ProjectDataModel::curDevideDataType() {
  std::optional<float> scale = DeviceScreen::scale();
  return (!scale || *scale < 2.0f) ? 1 : 2;
}

bool ProjectDataModel::createData() {
  fd::files::createDirectory(projectDicPath());
  frameLayCount_ = kFrameLayers;
  animationSpeed_ = kNewProjectSpeed;
  // Ids come from one strictly increasing source, so they already differ.
  std::string foreground = newId();
  std::string middle = newId();
  std::string icon = newId();
  pendingDeletions_.clear();
  state_.layers_.clear();
  state_.layers_[foreground] = LayerRecord{2, {1}, true};
  state_.layers_[middle] = LayerRecord{1, {1}, std::nullopt};
  state_.frames_ = {FrameRecord{{middle, foreground}, icon, std::nullopt, std::nullopt}};
  state_.tray_.clear();
  state_.recountReferenceBound();
  soundTags_.clear();
  audioName_.reset();
  curBackgroundName_.reset();
  backgroundCopyId_.reset();
  backgroundType_ = kBackgroundOther;
  isOpenBackground_ = true;
  isNewVersion_ = false;
  description_ = "";
  dataVersion_ = kProjectDataVersion;
  dataType_ = curDevideDataType();
  return true;
}

bool ProjectDataModel::readData() {
  if (!onlyShown_) return readStoredData();
  // A card or a mix that cannot read the list for want of memory shows the
  // project as unread; opening it is refused in words where it is asked for.
  try {
    return readStoredData();
  } catch (const std::bad_alloc&) {
    keptDamagedFile_ = true;
    return false;
  }
}

bool ProjectDataModel::readStoredData() {
  keptDamagedFile_ = false;
  const fs::path plist = plistFilePath();
  using Kind = fd::DamagedFileReport::Kind;
  fd::Expected<fd::Value> stored =
      onlyShown_ ? fd::peekStoredDictionary(plist) : fd::readStoredDictionary(plist, Kind::Project, curProjectName_);
  if (!stored) {
    keptDamagedFile_ = true;
    return false;
  }
  if (!stored->isDictionary()) {
    if (std::optional<fs::path> kept = fd::newestDamagedCopy(plist)) {
      keptDamagedFile_ = true;
      if (!onlyShown_)
        fd::reportDamagedFile(
            {Kind::Project, curProjectName_, plist, *kept, "it was found damaged before and kept aside", {}});
    }
    return false;
  }
  const fd::Value& d = *stored;
  pendingDeletions_.clear();

  int storedVersion = isNumeric(d[kVersionKey]) ? d[kVersionKey].intValue() : 0;
  // Every frame has two layers; a smaller count would make new frames name
  // layers that get no record.
  frameLayCount_ = std::max(d[kFrameLayCountKey].intValue(), kFrameLayers);
  float speed = d[kAnimationSpeedKey].floatValue();
  animationSpeed_ = (std::isfinite(speed) && speed > 0.0f) ? speed : kNewProjectSpeed;
  state_.frames_ = framesFromValue(d[kImagesArrayKey]);
  state_.tray_ = framesFromValue(d[kTemporarysArrayKey]);
  fd::crashPoint("project.read.frames");
  state_.layers_.clear();
  if (const fd::Dictionary* lays = d[kLaysDictionaryKey].dictionary()) {
    for (const auto& [id, v] : *lays) {
      if (!isPlainPathComponent(id)) continue;
      if (std::optional<LayerRecord> r = LayerRecord::fromValue(v)) state_.layers_[id] = std::move(*r);
    }
  }
  audioName_.reset();
  if (const std::string* a = d[kAudioNameKey].string()) audioName_ = *a;
  curBackgroundName_.reset();
  backgroundType_ = kBackgroundOther;
  if (const std::string* b = d[kBackgroundNameKey].string()) setCurBackgroundName(*b);
  if (isNumeric(d[kBackgroundTypeKey])) backgroundType_ = d[kBackgroundTypeKey].intValue();
  backgroundCopyId_.reset();
  if (const std::string* id = d[kBackgroundCopyKey].string(); id && isBackgroundCopyId(*id)) backgroundCopyId_ = *id;
  if (curBackgroundName_ == kLegacyColorBackground) {
    curBackgroundName_ = "US" + dateString() + ".png";
    backgroundType_ = kBackgroundUserStill;
  }
  isOpenBackground_ = isNumeric(d[kIsBackgroundOpenKey]) ? d[kIsBackgroundOpenKey].boolValue() : true;
  description_.reset();
  if (const std::string* s = d[kDescriptionKey].string()) description_ = *s;
  dataVersion_ = isNumeric(d[kProjectDataVersionKey]) ? d[kProjectDataVersionKey].intValue() : kProjectDataVersion;
  dataType_ = d[kDataTypeKey].intValue();
  if (dataType_ == 0) dataType_ = curDevideDataType();

  // A project left with no usable frame still opens, with one empty frame.
  repairAfterLoad();

  isNewVersion_ = false;
  SoundTagLists tags;
  const fd::Array* points = d[kSoundTagViewPointsKey].array();
  const fd::Array* names = d[kSoundNameArrayKey].array();
  const fd::Array* frames = d[kSoundTagViewFrameKey].array();
  if (points) {
    for (const fd::Value& v : *points) tags.points.push_back(v.floatValue());
  }
  if (names) {
    for (const fd::Value& v : *names) tags.names.push_back(v.stringValue());
  }
  if (frames) {
    for (const fd::Value& v : *frames) tags.frames.push_back(storedTagFrame(v));
  }
  if (storedVersion < kDataVersion) {
    // The legacy sound only fills lists the file did not have.
    if (std::optional<SoundTagLists> legacy = legacySoundTag()) {
      if (!points) tags.points = std::move(legacy->points);
      if (!names) tags.names = std::move(legacy->names);
      if (!frames) tags.frames = std::move(legacy->frames);
      isNewVersion_ = true;
    }
  }
  soundTags_ = soundTagsFromLists(tags);
  return true;
}

std::optional<SoundTagLists> ProjectDataModel::legacySoundTag() const {
  const fs::path folder = projectDicPath();
  std::optional<SoundTagLists> tag;
  for (const std::string& entry : fd::files::subpaths(folder)) {
    if (entry != kLegacySoundFile) continue;
    std::string name = (audioName_ && !audioName_->empty()) ? *audioName_ : std::string(kLegacySoundFile);
    const fd::Expected<double> length = media::soundDuration(folder / entry);
    float seconds = length ? static_cast<float>(*length) : 0.0f;
    int frameCount = static_cast<int>(state_.frames_.size());
    int steps = static_cast<int>(seconds / timeline::kSoundFrameSeconds);
    float endX = steps == 0 ? timeline::kStartX + timeline::kSpanX / frameCount
                            : timeline::kStartX + timeline::kSpanX * steps / frameCount;
    // The tag's end is kept as a frame number (the sound's length in frames,
    // within the project), so that it reads as a frame limit later.
    tag = SoundTagLists{{timeline::kStartX, endX}, {name}, {1, std::clamp(steps, 1, frameCount)}};
  }
  return tag;
}

void ProjectDataModel::repairAfterLoad() {
  if (state_.frames_.empty()) createImageAtPage(1);
  // Every layer a frame names gets a record, so paths and flags resolve.
  auto ensureLayers = [this](const std::vector<FrameRecord>& frames, bool countPages) {
    for (std::size_t page = 0; page < frames.size(); ++page) {
      const FrameRecord& r = frames[page];
      for (std::size_t i = 0; i < r.laysArray.size(); ++i) {
        auto [it, added] = state_.layers_.try_emplace(r.laysArray[i]);
        if (added) it->second.layPosition = std::clamp(static_cast<int>(i) + 1, 1, frameLayCount_);
        if (added && countPages) it->second.refPageArray.push_back(static_cast<int>(page) + 1);
      }
    }
  };
  ensureLayers(state_.frames_, true);
  ensureLayers(state_.tray_, false);
  state_.recountReferenceBound();
}

bool ProjectDataModel::saveData() const { return saveDataWith({}, ListFailure::Told).ok(); }

std::optional<ProjectNotice> ProjectDataModel::unsavedList() const {
  std::lock_guard lock(plistWriteMutex_);
  return unsavedList_;
}

fd::Status ProjectDataModel::saveDataWith(std::vector<fd::files::StagedFile> files, ListFailure onFailure) const {
  saveHeldBack_ = false;
  if (fd::Status written =
          writePlist(plistFilePath(), plistValue(), ++plistGeneration_, std::move(files), onFailure);
      !written)
    return written;
  fd::crashPoint("project.save.written");
  deleteFilesOfLastSave();
  return {};
}

ProjectDataModel::~ProjectDataModel() {
  if (saveHeldBack_) saveData();
}

fd::Status ProjectDataModel::writePlist(const fs::path& path, const fd::Value& plist, std::uint64_t generation,
                                        std::vector<fd::files::StagedFile> files, ListFailure onFailure) const {
  std::lock_guard lock(plistWriteMutex_);
  std::string text;  // the list as written, once made
  // What only the list holds (a layer shown or hidden, a sound's tag) stays
  // in memory for the next save, and whoever ends the program hears it;
  // unless the list on disk already says the same, when nothing is lost.
  const auto notWritten = [&](const fd::Failure& failure) -> fd::Status {
    if (onFailure == ListFailure::Undone) return failure;
    if (!text.empty() && fd::files::holdsBytes(path, text.data(), text.size())) {
      unsavedList_.reset();
      return failure;
    }
    const std::string reason = notWrittenInWords(failure);
    unsavedList_ = ProjectNotice{ProjectNotice::Kind::ListNotWritten, projectOfList(path), {}, reason, failure.error};
    if (onFailure == ListFailure::Told) listRefused(path, *unsavedList_);
    return failure;
  };
  // A later state of the same project is on disk already.
  const bool later = path == plistWrittenPath_ && generation < plistWrittenGeneration_;
  std::vector<fd::files::StagedFile> list;
  if (!later) {
    // Checked as every other list the program keeps: one its own edits grew
    // past what the next start reads is not written, and the list before it
    // stays.
    fd::Expected<std::string> storable = fd::plistcheck::storableText(plist);
    if (!storable) {
      const ProjectNotice refused{ProjectNotice::Kind::ListNotSaved, projectOfList(path), {}, storable.error(), 0};
      if (onFailure != ListFailure::Undone) unsavedList_ = refused;
      listRefused(path, refused);
      return fd::fail(std::string(kListRefused) + storable.error());
    }
    text = std::move(*storable);
    // A list saved again unchanged (every quit, every pause of drawing) is
    // not written again: a long project's takes seconds to reach the disk.
    fd::Expected<fd::files::StagedFile> staged =
        fd::files::stageFile(path, text.data(), text.size(), fd::files::IfSame::Keep);
    if (!staged) return notWritten(staged.failure());
    list.push_back(std::move(*staged));
  }
  // The files it names are in place, and on disk, before the list is renamed:
  // a kill in between leaves the list as it was, and a file that could not
  // be put in place leaves it so too.
  if (!files.empty()) {
    if (fd::Status committed = fd::files::commitFiles(std::move(files)); !committed)
      return notWritten(committed.failure());
  }
  if (later) return {};
  if (fd::Status committed = fd::files::commitFiles(std::move(list)); !committed)
    return notWritten(committed.failure());
  plistWrittenPath_ = path;
  plistWrittenGeneration_ = generation;
  unsavedList_.reset();
  listWritten(path);
  return {};
}

fd::Value ProjectDataModel::plistValue() const {
  fd::Dictionary d;
  d[kVersionKey] = fd::Value(kDataVersion);
  d[kFrameLayCountKey] = fd::Value(frameLayCount_);
  d[kAnimationSpeedKey] = fd::Value(animationSpeed_);
  d[kImagesArrayKey] = framesToValue(state_.frames_);
  d[kTemporarysArrayKey] = framesToValue(state_.tray_);
  fd::Dictionary lays;
  for (const auto& [id, r] : state_.layers_) lays[id] = r.toValue();
  d[kLaysDictionaryKey] = fd::Value(std::move(lays));
  if (audioName_) d[kAudioNameKey] = fd::Value(*audioName_);
  if (curBackgroundName_) d[kBackgroundNameKey] = fd::Value(*curBackgroundName_);
  d[kBackgroundTypeKey] = fd::Value(backgroundType_);
  if (backgroundCopyId_) d[kBackgroundCopyKey] = fd::Value(*backgroundCopyId_);
  d[kIsBackgroundOpenKey] = fd::Value(isOpenBackground_);
  if (description_) d[kDescriptionKey] = fd::Value(*description_);
  d[kProjectDataVersionKey] = fd::Value(dataVersion_);
  d[kDataTypeKey] = fd::Value(dataType_);
  const SoundTagLists tags = soundTagListsOf(soundTags_);
  d[kSoundTagViewPointsKey] = fd::Value(fd::Array(tags.points.begin(), tags.points.end()));
  d[kSoundNameArrayKey] = fd::Value(fd::Array(tags.names.begin(), tags.names.end()));
  d[kSoundTagViewFrameKey] = fd::Value(fd::Array(tags.frames.begin(), tags.frames.end()));
  return fd::Value(std::move(d));
}

fs::path ProjectDataModel::projectDicPath() const { return fd::paths::library() / "Projects" / curProjectName_; }

void ProjectDataModel::moveFromOldLayout() const {
  // Projects of old versions lived in Documents; they move when first opened.
  // Looked for once, as the project takes its name, not at every path asked:
  // the player asks for one at every step, and on slow storage each look
  // held the main loop.
  const fs::path inLibrary = projectDicPath();
  const fs::path inDocuments = fd::paths::documents() / curProjectName_;
  if (isOldLayoutProject(inDocuments) && !fd::files::exists(inLibrary)) {
    fd::files::createDirectory(inLibrary.parent_path());
    fd::files::moveItem(inDocuments, inLibrary);
  }
}

fs::path ProjectDataModel::plistFilePath() const { return projectDicPath() / kFileName; }

fs::path ProjectDataModel::fileInFolder(const std::string& name) const { return projectDicPath() / name; }

OptionalPath ProjectDataModel::audioPath() const {
  static constexpr const char* kExtensions[] = {"caf", "wav", "aif"};
  const fs::path folder = projectDicPath();
  for (const char* ext : kExtensions) {
    std::string lower = ext;
    std::string upper = lower;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const std::string& e : {lower, upper}) {
      fs::path p = folder / ("audio." + e);
      if (fd::files::exists(p)) return p;
    }
  }
  return std::nullopt;
}

const FrameRecord* ProjectDataModel::recordAt(int page, bool mark) const {
  const std::vector<FrameRecord>& list = listFor(mark);
  if (page < 1 || page > static_cast<int>(list.size())) return nullptr;
  return &list[page - 1];
}

std::optional<std::string> ProjectDataModel::iconAtPage(int page, bool mark) const {
  const FrameRecord* r = recordAt(page, mark);
  if (r == nullptr) return std::nullopt;
  return r->iconName + "Icon";
}

OptionalPath ProjectDataModel::iconFullPathAtPage(int page, bool mark) const {
  std::optional<std::string> name = iconAtPage(page, mark);
  if (!name) return std::nullopt;
  return fileInFolder(*name + ".png");
}

std::optional<std::string> ProjectDataModel::snapshotNameAtPage(int page, bool mark) const {
  const FrameRecord* r = recordAt(page, mark);
  if (r == nullptr) return std::nullopt;
  return r->iconName + "Snapshot";
}

OptionalPath ProjectDataModel::snapshotFullPathAtPage(int page, bool mark) const {
  std::optional<std::string> name = snapshotNameAtPage(page, mark);
  if (!name) return std::nullopt;
  return fileInFolder(*name + ".png");
}

std::optional<std::string> ProjectDataModel::snapshotIconNameAtPage(int page, bool mark) const {
  const FrameRecord* r = recordAt(page, mark);
  if (r == nullptr) return std::nullopt;
  return r->iconName + "SnapshotIcon.png";
}

OptionalPath ProjectDataModel::snapshotIconFullPathAtPage(int page, bool mark) const {
  std::optional<std::string> name = snapshotIconNameAtPage(page, mark);
  if (!name) return std::nullopt;
  return fileInFolder(*name);
}

std::optional<std::vector<std::string>> ProjectDataModel::laysAtPage(int page, bool mark) const {
  const FrameRecord* r = recordAt(page, mark);
  if (r == nullptr) return std::nullopt;
  return r->laysArray;
}

OptionalPath ProjectDataModel::layFullPathAtPage(int page, bool mark, int position) const {
  const FrameRecord* r = recordAt(page, mark);
  if (r == nullptr || position < 1 || position > static_cast<int>(r->laysArray.size())) return std::nullopt;
  return fileInFolder(r->laysArray[position - 1] + ".png");
}

OptionalPath ProjectDataModel::backgroundFullPath() const {
  if (!curBackgroundName_ || !isStillBackgroundType(backgroundType_)) return std::nullopt;
  return backgroundCopyFile(backgroundCopyId_, false);
}

OptionalPath ProjectDataModel::backgroundIconFullPath() const {
  if (!isStillBackgroundType(backgroundType_)) return std::nullopt;
  return backgroundCopyFile(backgroundCopyId_, true);
}

OptionalPath ProjectDataModel::soundFilePathWithName(const std::string& name) const {
  if (!isPlainPathComponent(name)) return std::nullopt;
  std::string file = fs::path(name).extension().string().size() > 1 ? name : fs::path(name).replace_extension("caf").string();
  fs::path inDocuments = fd::paths::documents() / file;
  if (fd::files::exists(inDocuments)) return inDocuments;
  return fileInFolder(file);
}

bool ProjectDataModel::setCurBackgroundName(std::optional<std::string> name) {
  if (name && !isPlainPathComponent(*name)) return false;
  curBackgroundName_ = std::move(name);
  backgroundType_ = curBackgroundName_ ? backgroundTypeOfName(*curBackgroundName_) : kBackgroundOther;
  return true;
}
