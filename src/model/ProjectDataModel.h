#pragma once
// One project in memory together with its folder on disk: its frames with
// shared layers and repeat runs, the temporary tray, its background, speed and
// sound tags, Project.plist and the paths of every page file.
//
// A project lives behind a shared_ptr: image-write jobs keep it alive until
// they are done. Its name is always one plain path component.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "model/FrameRecord.h"
#include "model/ProjectFrames.h"
#include "model/ProjectNotice.h"
#include "model/SoundTag.h"
#include "model/Timeline.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Value.h"
#include "platform/graphics/Image.h"

using ImageRef = std::shared_ptr<const gfx::Image>;
using OptionalPath = std::optional<std::filesystem::path>;

class ProjectDataModel : public std::enable_shared_from_this<ProjectDataModel> {
 public:
  static constexpr int kDataVersion = 104;         // "Version" written to Project.plist
  static constexpr int kProjectDataVersion = 100;  // "ProjectDataVersion"
  static constexpr float kNewProjectSpeed = timeline::kNewProjectSpeed;
  static constexpr int kFrameLayers = 2;  // layers of every frame the program makes

  // Loads the project of that name, or creates it when it has no readable
  // Project.plist. nullptr when the name is not a plain path component.
  static std::shared_ptr<ProjectDataModel> initWithProjectName(const std::string& name);
  // The same for a reader that only shows the project (a card of the project
  // list, the sounds a combination mixes): a Project.plist that cannot be
  // read is left where it is and nobody is told; the project reads as a new
  // one with keptDamagedFile() set, and so does one too large to read with
  // the memory left. Opening the project is what decides.
  static std::shared_ptr<ProjectDataModel> initToShowWithProjectName(const std::string& name);

  // --- load, create, save (Project.plist)
  // Re-points this object at another project: loads it, or creates it. A name
  // that is not a plain path component is refused (false) and nothing changes.
  bool setCurProjectName(const std::string& name);
  const std::string& curProjectName() const { return curProjectName_; }
  // False when Project.plist is missing or cannot be read; one that cannot be
  // read is moved aside (kept as "Project.plist.damaged-<time stamp>") and
  // reported, never written over. A project whose list was set aside earlier
  // is reported again: someone asked for it once more.
  bool readData();
  bool createData();
  // The folder holds a project the last load could not read: its
  // Project.plist was unreadable, or is missing while a set-aside copy lies
  // there. Its pages and the copy stay as they are.
  bool keptDamagedFile() const { return keptDamagedFile_; }
  // Writes Project.plist atomically, with everything a save on the write
  // queue still held back; once it is written, deletes the files of frames
  // and layers deleted since the last such save (files the list on disk may
  // still have named until now). False when the list could not be written:
  // the project stays as it is in memory, to be written by the next save,
  // and the user hears why once (a ProjectNotice) until a list is written.
  bool saveData() const;
  // Why the list on disk is behind the project in memory: what was told of
  // the last failed save of the list, until a list is written or a refused
  // one is found to say what the list on disk says. A save of a background
  // switch, which the switch takes back and tells itself, leaves it as it
  // was.
  std::optional<ProjectNotice> unsavedList() const;
  ~ProjectDataModel();

  // --- paths
  std::filesystem::path projectDicPath() const;
  std::filesystem::path plistFilePath() const;
  static std::string dateString();
  // Removes the temp files that writes killed before their rename left in a
  // project folder (only those of the program's own files). Answers, from
  // the same one listing of the folder, whether its files leave its
  // background in doubt (backgroundFilesInDoubt), for the start's mend.
  static bool removeWriteLeftovers(const std::filesystem::path& folder);
  // A new id for the files of this project: a time stamp that names no file
  // in the folder and no layer or frame of the project.
  std::string newId() const;
  // Ids for many files of this project's folder drawn at once: what is taken
  // (the names its records use, the stems of the files in its folder) is
  // gathered once rather than looked up at each id, and the ids are counted
  // ones (fd::countedTimestampId), which do not wait for the clock. Where the
  // folder holds far more files than ids are wanted, each id looks for its
  // own files instead of the folder being listed.
  class FreshIds {
   public:
    std::string next();
    // The names another project's records use are taken too.
    void take(const ProjectDataModel& project);

   private:
    friend class ProjectDataModel;
    std::unordered_set<std::string> taken_;
    std::optional<std::filesystem::path> folder_;  // looked in at each id
  };
  FreshIds freshIds(std::size_t wanted) const;
  static int curDevideDataType();
  OptionalPath audioPath() const;
  std::optional<std::string> iconAtPage(int page, bool mark) const;
  OptionalPath iconFullPathAtPage(int page, bool mark) const;
  std::optional<std::string> snapshotNameAtPage(int page, bool mark) const;
  OptionalPath snapshotFullPathAtPage(int page, bool mark) const;
  std::optional<std::string> snapshotIconNameAtPage(int page, bool mark) const;
  OptionalPath snapshotIconFullPathAtPage(int page, bool mark) const;
  std::optional<std::vector<std::string>> laysAtPage(int page, bool mark) const;
  OptionalPath layFullPathAtPage(int page, bool mark, int position) const;
  OptionalPath backgroundFullPath() const;
  OptionalPath backgroundIconFullPath() const;
  // Where a tagged sound is played from: the name in Documents (with ".caf"
  // added when it has no extension), else the same name in the project folder.
  OptionalPath soundFilePathWithName(const std::string& name) const;

  // --- fields
  int frameLayCount() const { return frameLayCount_; }
  float animationSpeed() const { return animationSpeed_; }
  void setAnimationSpeed(float s) { animationSpeed_ = s; }
  // The frames, tray and layers; changed only through the operations below.
  const ProjectFrames& frames() const { return state_; }
  const std::vector<FrameRecord>& imagesArray() const { return state_.frames(); }
  const std::vector<FrameRecord>& temporarysArray() const { return state_.tray(); }
  const std::map<std::string, LayerRecord>& laysDictionary() const { return state_.layers(); }
  const std::optional<std::string>& audioName() const { return audioName_; }
  void setAudioName(std::optional<std::string> n) { audioName_ = std::move(n); }
  const std::optional<std::string>& curBackgroundName() const { return curBackgroundName_; }
  // Sets the name and derives the type. A name that is not a plain path
  // component is refused (false) and nothing changes.
  bool setCurBackgroundName(std::optional<std::string> name);
  // The pictures a project keeps its own copies of, for a still background.
  struct BackgroundPictures {
    OptionalPath picture, icon;
  };
  // Makes the named background (or none) the project's and writes the list
  // with it. Given pictures, the project's copies become them (a picture
  // that is not there leaves no copy; one the backgrounds no longer have,
  // for the background the project already has, keeps the project's own).
  // The copies are written under names no list on disk names yet, then the
  // list is renamed to name them, then the copies no list names go; the
  // copies end under their usual names the same way. A kill at any step so
  // leaves a list naming the old background's copies or the new one's, each
  // with its own bytes. Without pictures only the name changes. When a
  // picture cannot be read or a file cannot be written nothing changes, in
  // memory or on disk, and the failure says why.
  fd::Status attachBackground(std::optional<std::string> name, const std::optional<BackgroundPictures>& pictures);
  // Removes the copies of backgrounds the project's list does not name:
  // those left by a switch of copies a kill cut short.
  void removeUnnamedBackgroundCopies() const;
  // Brings copies the list names under names of their own (a kill, or a
  // failure, between the two switches of attachBackground) to the usual
  // names the same crash-safe way, the list's key for them gone, so that
  // other programs reading the folder or a package of it find them. Does
  // nothing for a list that names the usual names; on failure the list goes
  // on naming the copies where they are.
  fd::Status finishBackgroundSwitch();
  // Removes the folder's mark (kBackgroundMendMark) once the copies are as
  // the list names them: none under names of their own, each named one there.
  void unmarkBackgroundIfSettled() const;
  const std::optional<std::string>& description() const { return description_; }
  void setDescription(std::optional<std::string> d) { description_ = std::move(d); }
  int backgroundType() const { return backgroundType_; }
  int dataVersion() const { return dataVersion_; }
  void setDataVersion(int v) { dataVersion_ = v; }
  int dataType() const { return dataType_; }
  void setDataType(int t) { dataType_ = t; }
  // The sound tags in their order; what Project.plist keeps as parallel lists.
  // Tags that lack a part come after all tags that have it, as they do when
  // read from lists of unequal length.
  const std::vector<SoundTag>& soundTags() const { return soundTags_; }
  void setSoundTags(std::vector<SoundTag> tags) { soundTags_ = std::move(tags); }
  // The parts of every tag that has them, flattened as they are stored.
  std::vector<float> soundTagPointsArray() const;
  std::vector<std::string> soundNameArray() const;
  std::vector<int> soundFrameArray() const;
  bool isNewVersion() const { return isNewVersion_; }
  void setIsNewVersion(bool b) { isNewVersion_ = b; }
  bool isOpenBackground() const { return isOpenBackground_; }
  void setIsOpenBackground(bool b) { isOpenBackground_ = b; }

  // --- frame queries (pages from 1; mark false: frame list, true: tray)
  bool isByReapeatFrame(int page) const;
  bool isReapeatFrame(int page) const;
  int reapeatFrame(int page) const;
  // The length of the run that page starts: its kReapeatNumber, but never
  // more than the repeat copies that really follow it (1 for other pages).
  int reapeatFrameNumber(int page) const;
  int pageUpWithCurrentPage(int page) const;
  int nextPageWithCurrentPage(int page) const;
  bool layIsOpenAtPage(int page, int position, bool mark) const;
  bool checkLayUsed(const std::string& layId) const;
  int gitRidOfRepeatFrameCurrentPage(int page) const;

  // --- frame operations
  bool createImageAtPage(int page);
  bool copyImageAtPage(int page);
  bool createImageWithLays(const std::vector<std::string>& lays, int page);
  bool insertImageWithLays(const std::vector<std::string>& lays, const std::string& icon, int page);
  bool deleteImageAtPage(int page, bool mark);
  bool moveImageFrom(int from, int to);
  bool moveImageToTemporaryWithPage(int page);
  bool moveTemporaryAtpage(int trayPage, int imagePage);
  // The repeat picker's edit: the run holding page becomes `number` frames
  // long (1: a plain frame), copies inserted or removed right after its first
  // frame. Page references are left as they are. false for a page out of
  // range or a number outside 1..kMaxRepeatRun.
  bool setRepeatRunAtPage(int page, int number);
  static constexpr int kMaxRepeatRun = 10000;
  // Appends the frames and layer records of another project, whose ids and
  // page references were already made to fit (renameAllWithPageStart). They
  // are moved, not copied: the source is left without them, for no use but
  // to go.
  void appendFramesOf(ProjectDataModel&& source);

  // --- layer operations
  void setLayStateIsOpen(bool open, int page, int position, bool mark);
  void createLay(const std::string& layId, int position, bool isOpen);
  bool replaceLay(const std::string& oldLay, const std::optional<std::string>& newLay, int page);
  void deleteLay(const std::string& layId);
  void addMark(int page, const std::string& layId);
  void removeMark(int page, const std::string& layId);
  void marksIncFromPage(int page);
  void marksDecToPage(int page);
  void marksIncFromPage(int page, int count);
  void marksDecToPage(int page, int count);
  // Gives every layer and frame new ids, for a project about to be merged
  // into another. Only the records change: the answer lists the renamed files
  // (old name, new name) for the caller to carry over, so the folder keeps
  // matching the Project.plist on disk until the merge is saved.
  std::vector<std::pair<std::string, std::string>> renameAllWithPageStart(int pageStart);
  // The same with the ids drawn from `ids` (those of the project the frames
  // go to), each renamed file told to `renamed` as it is renamed, so that a
  // long project's hundreds of thousands are never listed at once. Should
  // `renamed` throw, the project is left part renamed, for no use but to go.
  using RenamedFile = std::function<void(const std::string& oldName, const std::string& newName)>;
  void renameAllWithPageStart(int pageStart, FreshIds& ids, const RenamedFile& renamed);
  bool addLay(const std::string& layId, int page, int position);
  void replaceLay(const std::string& oldLay, const std::optional<std::string>& newLay);
  bool deleteLay(const std::string& layId, int page);
  bool deleteAllLaysAtPage(const std::string& layId, int page);
  std::optional<std::string> createLayAtPosition(int position) const;
  std::optional<int> layPosition(const std::string& layId) const;
  std::optional<std::vector<int>> layMarks(const std::string& layId) const;
  void addMarks(const std::vector<int>& pages, const std::string& layId);
  void removeMarks(const std::vector<int>& pages, const std::string& layId);
  std::string rightNameWithName(const std::string& name) const;
  static std::string randStringWithModel(int modulus);

  // --- sound tags
  bool isCouldPlaySound() const;
  void deleteSoundTagViewDataWithTag(int tag);
  void soundTagPointsArrayArrange();
  void soundTagFrameArrayArrange();
  // [x, width] of a new tag, {0, 0} when there is no room.
  std::vector<float> pointXAndWidthOfInsertOrAddSoundTagViewWithSliderPointX(float sliderX, float width) const;

  // --- backgrounds
  static int countOfBackground(const std::string& name);

  // --- pictures handed in from outside (rotoscoping); callable from any one
  // thread at a time, not only the main one.
  bool setImage(const ImageRef& image, int layPosition, int index);
  bool addFrameWithImage(const ImageRef& image, int layPosition);
  void asyncWriteImage(const ImageRef& image, int layPosition, int index);
  // Blocks until every picture queued so far has been written, then writes
  // the Project.plist of every project whose save the queue held back. Call
  // it from the thread that changes those projects.
  static void waitForImageWrites();
  // The first write of those pictures, or of the list behind them, that the
  // disk refused; nullopt while every one went through.
  std::optional<fd::Failure> imageWriteFailure() const;
  // Keeps a refused write of the write queue's (its first) for that answer.
  void noteImageWriteFailure(const fd::Failure& failure) const;
  // Runs work on the write queue once the pictures queued so far are written.
  static void afterImageWrites(std::function<void()> work);
  // Project.plist as it is now, written on the write queue behind the
  // pictures queued so far; the caller does not wait. While one such save
  // waits on the queue, later ones are held back and the next save writes
  // them all, so adding N frames does not write N files of up to N frames
  // each.
  void saveDataInBackground();

 private:
  ProjectDataModel() = default;
  const std::vector<FrameRecord>& listFor(bool mark) const { return mark ? state_.tray_ : state_.frames_; }
  const FrameRecord* recordAt(int page, bool mark) const;
  LayerRecord* layerRecord(const std::string& layId);
  bool isIconNamed(const std::string& iconName) const;
  bool isLayNamed(const std::string& layId) const;
  void deleteIconFilesIfUnused(const std::string& iconName);
  // The file of a deleted layer or frame goes at the next successful save.
  void deleteFileAfterSave(const std::string& id, const std::string& file);
  void deleteFilesOfLastSave() const;
  void removeLeftovers() const;
  static bool isOldLayoutProject(const std::filesystem::path& folderInDocuments);
  void moveFromOldLayout() const;
  void repairAfterLoad();
  // readData() itself; a reader that only shows the project calls it without
  // letting an allocation failure out.
  bool readStoredData();
  // Every page reference at or after page moves by `by`.
  void shiftMarks(int page, int by);
  // The tag an old project's audio.caf becomes, when the folder has one.
  std::optional<SoundTagLists> legacySoundTag() const;
  std::filesystem::path fileInFolder(const std::string& name) const;
  fd::Value plistValue() const;
  // What a failed write of the list leaves behind: nothing (its caller
  // undoes and tells it), the list noted as behind the project (a save on the
  // write queue, beside the page the desk tells of), or noted and told.
  enum class ListFailure { Undone, Noted, Told };
  // saveData, committing the given staged files before the list.
  fd::Status saveDataWith(std::vector<fd::files::StagedFile> files,
                          ListFailure onFailure = ListFailure::Undone) const;
  // Writes one state of Project.plist unless a later one is already written;
  // the staged files are committed before it, and only when the list itself
  // can be written: a list the next start would not read is refused, the
  // list before it kept, and the user told once until a list is written.
  fd::Status writePlist(const std::filesystem::path& path, const fd::Value& plist, std::uint64_t generation,
                        std::vector<fd::files::StagedFile> files, ListFailure onFailure) const;
  // How a refused list's failure begins; it is told once, not logged again.
  static constexpr std::string_view kListRefused = "the project's list is not written: ";
  // The project's copies of its still background: under the usual names
  // without an id, under names of their own with one.
  struct BackgroundCopyBytes {
    std::optional<fd::Data> picture, icon;
  };
  std::filesystem::path backgroundCopyFile(const std::optional<std::string>& id, bool icon) const;
  std::string newBackgroundCopyId() const;
  // Names the background, its copies under `id` written with `bytes`, in one
  // list; on failure memory and disk stay as they were.
  fd::Status switchBackgroundCopies(const std::optional<std::string>& name, const std::optional<std::string>& id,
                                    const BackgroundCopyBytes& bytes);
  // The copy files the list names: none without a still background's name.
  std::vector<std::filesystem::path> namedBackgroundCopies() const;
  // The second switch: the copies, with `bytes`, under the usual names.
  fd::Status switchBackgroundCopiesHome(const BackgroundCopyBytes& bytes);
  // The bytes of the given picture and icon, each when given.
  static fd::Expected<BackgroundCopyBytes> readBackgroundCopyBytes(const OptionalPath& picture,
                                                                  const OptionalPath& icon);

  std::string curProjectName_;
  int frameLayCount_ = kFrameLayers;
  float animationSpeed_ = kNewProjectSpeed;
  ProjectFrames state_;
  std::optional<std::string> audioName_;
  std::optional<std::string> curBackgroundName_;
  // Names the project's copies of its still background while they are not
  // under the usual names (a switch of copies under way, or cut short).
  std::optional<std::string> backgroundCopyId_;
  std::optional<std::string> description_;
  int backgroundType_ = 0;
  int dataVersion_ = kProjectDataVersion;
  int dataType_ = 1;
  std::vector<SoundTag> soundTags_;
  bool isNewVersion_ = false;
  bool isOpenBackground_ = true;
  bool keptDamagedFile_ = false;
  bool onlyShown_ = false;  // read by a reader that only shows it
  // Records taken out of both lists in the middle of a move: their layers are
  // still in use and must not be deleted meanwhile.
  const std::vector<FrameRecord>* recordsInFlight_ = nullptr;
  // Files of deleted layers and frames, by their id, kept until a save no
  // longer names them: a kill before that save must find them all.
  struct PendingDeletion {
    std::string id;
    std::string file;
  };
  mutable std::vector<PendingDeletion> pendingDeletions_;

  mutable std::mutex plistWriteMutex_;
  mutable std::atomic<std::uint64_t> plistGeneration_{0};  // the last state handed to a write
  mutable std::uint64_t plistWrittenGeneration_ = 0;       // guarded by plistWriteMutex_
  mutable std::filesystem::path plistWrittenPath_;         // guarded by plistWriteMutex_
  mutable std::optional<ProjectNotice> unsavedList_;       // guarded by plistWriteMutex_
  std::atomic<bool> saveQueued_{false};                    // a queued save has not run yet
  mutable std::atomic<bool> saveHeldBack_{false};          // changes no queued save carries
  mutable std::mutex imageWriteFailureMutex_;
  mutable std::optional<fd::Failure> imageWriteFailure_;   // the first refused write of the write queue's
};
