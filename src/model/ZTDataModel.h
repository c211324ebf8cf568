#pragma once
// The one process-wide model: the ordered project list, the current project
// and its open ProjectDataModel, the extended settings, the audio and user
// background lists and the first-run tip flags. It keeps its own state in the
// user defaults and creates, removes, duplicates, renames, reorders and
// combines project folders.
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/ExtendDataModel.h"
#include "model/ProjectDataModel.h"
#include "model/SoundMerger.h"

class CombineJournal;
class ZipOperator;
namespace staging {
class Folder;
}

class ZTDataModelDelegate {
 public:
  virtual ~ZTDataModelDelegate() = default;
  // A combination has finished (sent on the main thread).
  virtual void combineFinish() {}
};

class ZTDataModel : public SoundMergerDelegate {
 public:
  static constexpr int kVersion = 104;
  static constexpr int kStoredDataVersion = 100;
  static constexpr const char* kDefaultProjectName = "test";

  static ZTDataModel& sharedInstance();
  // Tests: drops the model so the next sharedInstance() starts afresh.
  static void resetSharedInstanceForTesting();

  ZTDataModel();
  ~ZTDataModel() override;
  ZTDataModel(const ZTDataModel&) = delete;
  ZTDataModel& operator=(const ZTDataModel&) = delete;

  bool readData();
  bool createData();
  // False when the open project's list could not be written (its
  // unsavedList() says why).
  bool saveData();

  // --- projects
  // Lists a new, empty project under a name no project and no folder has
  // (freeProjectName) and makes it current, the list stored first; false,
  // lastError() saying why, with nothing changed when the list cannot be
  // stored. The project itself is not saved.
  bool createProject(const std::string& name, const std::optional<std::string>& description);
  // Stores the list without the project before its folder goes (moved aside
  // into a hidden folder the start sweeps, then emptied off the calling
  // thread). Answers NO and changes nothing when that list cannot be stored
  // (a full disk).
  bool removeProject(const std::string& name);
  // Waits until the folders of removed and merged projects are emptied.
  static void waitForRemovals();
  bool removeProjects(const std::vector<std::string>& names);
  bool moveProjectBack(const std::string& name);
  bool moveProjectForward(const std::string& name);
  // Duplicating and combining answer NO, never throw, when memory runs out;
  // lastError() then says why in words. The copy is made in a hidden folder
  // ("." + its name + ".copying-" + six letters or digits), under a name no
  // project and no folder has, and the list naming it is stored before it
  // takes that name in one rename: a kill leaves it whole and listed (the
  // start gives it its name) or gone.
  bool duplicateProject(const std::string& name);
  // The package <Documents>/<package>.zt2 (or .zt) as a new project `name`
  // (freeProjectName), listed and stored as a duplicate is. NO when refused
  // (op says why) or when the list cannot be stored (lastError() says so).
  bool importProject(ZipOperator& op, const std::string& package, bool isUpgrade, const std::string& name);
  // The folder is moved into a hidden folder of the new name
  // ("." + new name + ".renaming-" + six letters or digits), the list naming
  // the new name stored, and only then does the folder take it: a kill leaves
  // the project listed and whole under one of the two names. NO, nothing
  // changed, when refused or when the list cannot be stored (lastError()
  // then says so).
  bool changeProjectName(const std::string& newName, const std::string& oldName);
  // nullopt for a name that is not a plain path component.
  OptionalPath projectPathWithProjectName(const std::string& name) const;
  // A name no listed project has, within a project name's bytes.
  std::string rightNameWithName(const std::string& name) const;
  // The same, also free of every folder in the projects folder: the name of
  // a project the program makes there itself.
  std::string freeProjectName(const std::string& name) const;

  // --- combining projects: sound first, then frames
  void combineSoundFileWithProject(const std::vector<std::string>& names);
  // From the sound merger, on any thread: the combination goes on on the main thread.
  void combineAudioFinishedwithSoundNameArray(const std::vector<std::string>& soundNames) override;
  bool combineProjects(const std::vector<std::string>& names);
  // Why the last duplication, import, rename or combination answered NO, in
  // words a person reads after "could not be duplicated: "; empty when none
  // was said.
  const std::string& lastError() const { return lastError_; }
  void combineSoundTagFrameAndPoints(ProjectDataModel& target);

  // --- backgrounds
  static int backgroundTypeWithBackgroundName(const std::string& name);
  OptionalPath backgroundFullPathWithBackgroundName(const std::optional<std::string>& name) const;
  OptionalPath backgroundIconFullPathWithBackgroundName(const std::optional<std::string>& name) const;
  OptionalPath dynamicBackgroundFullPathWithBackgroundName(const std::string& name, int page) const;
  OptionalPath dynamicBackgroundIconFullPathWithBackgroundName(const std::string& name, int page) const;
  // Makes the named background (or none) each project's, with its list
  // written with it (attachBackground); answers the first failure.
  fd::Status setBackground(const std::string& name, const std::vector<std::shared_ptr<ProjectDataModel>>& projects);
  // Makes the named background (or none) the project's, its list written
  // once its copies are in place (ProjectDataModel::attachBackground).
  // Animated backgrounds only change the
  // name; a user's still picture (or "none") replaces the project's own copy
  // of the picture and icon, and so does a built-in still when asked
  // (choosing in the gallery copies it, leaving background mode keeps the
  // copy the project has).
  fd::Status attachBackground(ProjectDataModel& project, const std::optional<std::string>& name,
                              bool copyBuiltInStill) const;

  // --- a project built from pictures
  // Callable from a worker thread. The project is built under a hidden name
  // in the projects folder ("." + name + ".building-" + six letters or
  // digits), listed nowhere and not current, so a kill before it is finished
  // leaves nothing that looks like a project; the next start sweeps it away.
  std::shared_ptr<ProjectDataModel> creatProject(const std::string& name, const ImageRef& image, int layPosition);
  // On the main thread, once the project's last picture is written
  // (ProjectDataModel::waitForImageWrites): gives it its name, made unique,
  // as a duplicate takes its own (nameStagedProject: listed while still
  // hidden), makes it current and saves. False for a project not built by
  // creatProject, a folder that cannot be moved or a list that cannot be
  // stored.
  bool finishCreatedProject(const std::shared_ptr<ProjectDataModel>& project);
  static bool isCreationStagingName(std::string_view name);

  // --- paths
  std::filesystem::path plistFilePath() const;
  std::filesystem::path backgroundPath() const;
  static std::filesystem::path audioFolderPath();

  // --- fields
  const std::string& curProjectName() const { return curProjectName_; }
  void setCurProjectName(const std::string& name);
  const std::shared_ptr<ProjectDataModel>& prjDataModel() const { return prjDataModel_; }
  void setPrjDataModel(std::shared_ptr<ProjectDataModel> p) { prjDataModel_ = std::move(p); }
  const std::vector<std::string>& projectsNameArray() const { return projectsNameArray_; }
  void setProjectsNameArray(std::vector<std::string> names);
  // Loaded and saved as stored; nothing reads its entries.
  const fd::Array& audiosArray() const { return audiosArray_; }
  void setAudiosArray(fd::Array names);
  const std::vector<std::string>& backgroundArray() const { return backgroundArray_; }
  void setBackgroundArray(std::vector<std::string> names);
  ExtendDataModel& extendDataModel() { return *extendDataModel_; }
  int dataVersion() const { return dataVersion_; }
  void setDataVersion(int v) { dataVersion_ = v; }
  int dataType() const { return dataType_; }
  void setDataType(int t) { dataType_ = t; }
  bool showDeskSimple() const { return showDeskSimple_; }
  void setShowDeskSimple(bool b) { showDeskSimple_ = b; }
  bool showPicSimple() const { return showPicSimple_; }
  void setShowPicSimple(bool b) { showPicSimple_ = b; }
  const std::vector<std::string>& prjSoundNameArray() const { return prjSoundNameArray_; }
  const std::vector<std::string>& prjSoundName() const { return prjSoundName_; }
  ZTDataModelDelegate* delegate() const { return delegate_; }
  void setDelegate(ZTDataModelDelegate* d) { delegate_ = d; }
  int version() const { return kVersion; }
  void setVersion(int v) { storedVersion_ = v; }

 private:
  void openCurrentProject();
  class FoldersFound;
  // The preferences name no project folder found (`stored` is what they
  // hold where the list belongs; `absent`: names of projects, none of which
  // has a folder; `damaged`: they could not be read): every project folder
  // is listed again and stored, the current project staying current when
  // among them, else the one written last, and the user is told (an
  // unreadable file is told as it is set aside), with the folders no list can
  // name. Nothing is listed when no folder is found.
  void listProjectsAgain(const fd::Value& stored, bool absent, bool damaged, FoldersFound& found);
  // Whether each project folder the start's sweep listed leaves its
  // background in doubt (backgroundFilesInDoubt), in the order of the
  // folders' names.
  using BackgroundDoubts = std::vector<std::pair<std::string, bool>>;
  // At start: every listed project whose list names a still background with
  // a copy missing takes the copy again from the backgrounds, or, when no
  // picture of it is left anywhere, has its background dropped; each is
  // told (ProjectNotice). Copies a list names apart, left by a kill between
  // the two switches of attachBackground, come to the usual names
  // (ProjectDataModel::finishBackgroundSwitch). Copies no list names go.
  // Only the open project (read already) and the projects whose files leave
  // the background in doubt are read: the sweep's `doubts`, and for a folder
  // it did not list, a listing here.
  void mendProjectBackgrounds(const BackgroundDoubts& doubts);
  bool mendBackgroundOf(ProjectDataModel& project) const;
  // Leftovers of killed imports, duplicates, deletes and unfinished projects
  // built from pictures (their staging folders), of killed exports (their
  // work folders in tmp, their packages half written in Documents), of
  // killed combinations (the pages they carried) and of killed writes in
  // every project folder; the same look at each project folder tells whether
  // its background is in doubt.
  static BackgroundDoubts removeLeftovers();
  // The projects folder's staging folders (among `names`, its entries), by
  // what each holds; true when one may have put a project folder in place.
  static bool sweepStagingFolders(const std::filesystem::path& projects, const std::vector<std::string>& names);
  // The page files a combination makes in the target's folder: written down
  // beside it a batch at a time before they are made (CombineJournal), so
  // that a kill leaves them to the next start, and held here, in one string
  // since a long project carries hundreds of thousands, for the combination
  // to take back when it fails.
  class CarriedPages {
   public:
    CarriedPages();
    ~CarriedPages();
    CarriedPages(const CarriedPages&) = delete;
    CarriedPages& operator=(const CarriedPages&) = delete;
    void begin(std::filesystem::path folder);
    // Writes down a batch (old name, new name) before it is carried; false
    // when it could not be.
    bool note(const std::vector<std::pair<std::string, std::string>>& batch);
    void add(const std::string& name);
    void dropLast();
    void removeAll() const;
    // The target's list as it was, kept before the combination saves it, and
    // put back over the saved one (CombineJournal); false when it cannot be.
    bool keepList(const std::filesystem::path& list);
    bool putListBack(const std::filesystem::path& list);
    // The program is ending: what was carried stays, written down, for the
    // next start to take back.
    void leaveForNextStart();

   private:
    std::filesystem::path folder_;
    std::string names_;  // each followed by a NUL
    std::unique_ptr<CombineJournal> journal_;
  };
  // Every file carried into the target is noted in `carried` before it is
  // made; the new ids come from ids.
  void mergeProjectInto(ProjectDataModel& target, ProjectDataModel& source, ProjectDataModel::FreshIds& ids,
                        CarriedPages& carried);
  // `why`: the file system's refusal that stopped the copy, if one did.
  bool duplicateUnguarded(const std::string& name, std::optional<std::filesystem::path>& copy, std::error_code& why);
  // Lists a project made whole in a hidden folder of the projects folder and
  // gives it its name: the list naming it is stored while the folder is still
  // hidden (steps + ".listing", steps + ".listed" name the crash points on
  // either side), and only then is the folder renamed and given `perms`
  // (private while hidden, as the start takes only such). False, with the list
  // as it was and the folder gone, when the list cannot be stored or the
  // folder not renamed (kept, hidden, for the next start to name when the
  // list without it cannot be stored either); memory running out takes it
  // back the same way, and is thrown on.
  bool nameStagedProject(staging::Folder staged, const std::string& name, std::string_view steps,
                         std::filesystem::perms perms);
  // Takes the projects off the list, `current` made current with it: their
  // folders are moved aside, the list stored, and only then are the folders
  // emptied, off the calling thread. False, with nothing changed, when the
  // list cannot be stored, saying why. `steps` names the crash points it
  // passes (steps + ".moved-aside", steps + ".list-saved").
  fd::Status unlistProjects(const std::vector<std::string>& gone, const std::string& current, std::string_view steps);
  // nullopt when refused before anything began (the delegate is not told).
  // savedTarget is the first project once its list with the merged pages is
  // on disk.
  std::optional<bool> combineUnguarded(const std::vector<std::string>& names, CarriedPages& carried,
                                       std::shared_ptr<ProjectDataModel>& savedTarget);
  // Sets lastError() without throwing, even when memory is still short.
  void setLastError(const char* reason) noexcept;

  std::string curProjectName_;
  std::shared_ptr<ProjectDataModel> prjDataModel_;
  std::vector<std::string> projectsNameArray_;
  fd::Array audiosArray_;
  std::vector<std::string> backgroundArray_;
  std::unique_ptr<ExtendDataModel> extendDataModel_;
  int dataVersion_ = kStoredDataVersion;
  int dataType_ = 1;
  bool showDeskSimple_ = true;
  bool showPicSimple_ = true;
  std::vector<std::string> prjSoundNameArray_;
  std::vector<std::string> prjSoundName_;
  ZTDataModelDelegate* delegate_ = nullptr;
  int storedVersion_ = kVersion;
  std::string lastError_;
  // The merger of the combination in progress, kept until it has answered.
  std::shared_ptr<SoundMerger> merger_;
};
