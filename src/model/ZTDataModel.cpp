// The application model: start-up, saving, and the project list operations.
#include "model/ZTDataModel.h"

#include <stdlib.h>

#include <algorithm>
#include <functional>
#include <new>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <unordered_set>

#include "model/CombineJournal.h"
#include "model/PackageZipOperator.h"
#include "model/ProjectNotice.h"
#include "model/ProjectPlistKeys.h"
#include "model/SafeName.h"
#include "model/StagingFolder.h"
#include "model/Tools.h"
#include "platform/foundation/CrashPoint.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/StopRequest.h"
#include "platform/foundation/Unicode.h"
#include "platform/foundation/UserDefaults.h"

namespace fs = std::filesystem;

namespace {

// User-defaults keys; stored state depends on their spelling.
constexpr const char* kProjectsNameArrayKey = "ProjectsNameArray";
constexpr const char* kCurProjectNameKey = "CurProjectName";
constexpr const char* kAudiosArrayKey = "AudiosArray";
constexpr const char* kBackgroundsArrayKey = "BackgroundsArray";
constexpr const char* kVersionKey = "Version";
constexpr const char* kDataVersionKey = "DataVersion";
constexpr const char* kDataTypeKey = "DataType";
constexpr const char* kShowDeskSimpleKey = "ShowDeskSimple";
constexpr const char* kShowPicSimpleKey = "ShowPicSimple";

// Marks the folder a project built from pictures grows in until it is
// finished: "." + name + kCreationStagingMark + XXXXXX.
constexpr std::string_view kCreationStagingMark = ".building-";
// Marks the folder a duplicate is copied into before it takes its name, and
// the one a deleted project's folder is moved into to be emptied.
constexpr std::string_view kCopyStagingMark = ".copying-";
constexpr std::string_view kRemovalStagingMark = ".deleting-";
// Marks the folder a renamed project's folder waits in, under its old name,
// while the list naming the new one is stored: "." + new name + mark + XXXXXX.
constexpr std::string_view kRenameStagingMark = ".renaming-";
// What a deleted project's folder is called inside its hidden folder once it
// is to be emptied: no longer the project's name, so that no start, whatever
// it finds of the list, takes a folder half emptied back for the project.
constexpr const char* kBeingEmptiedName = ".emptying";

bool isStagingName(std::string_view name) {
  return ZipOperator::isImportStagingName(name) || ZTDataModel::isCreationStagingName(name) ||
         staging::isHiddenName(name, kCopyStagingMark) || staging::isHiddenName(name, kRemovalStagingMark) ||
         staging::isHiddenName(name, kRenameStagingMark) || CombineJournal::isJournalName(name);
}

// Moves a project folder in one rename into a hidden folder, under its own
// name: a kill leaves it there for the next start, which removes it or, when
// the project is still listed, moves it back. Nothing when it cannot be
// moved (a file system mounted on it).
std::optional<staging::Folder> moveAside(const fs::path& folder) {
  staging::Folder aside(folder.parent_path(), staging::hiddenPrefix(folder.filename().string(), kRemovalStagingMark));
  if (!aside.valid() || fd::files::renameToFreeName(folder, aside.path() / folder.filename()) != 0) return std::nullopt;
  return aside;
}

// The deleted project's folder moved aside into `aside` under `name` is to go.
void markBeingEmptied(const fs::path& aside, const std::string& name) {
  fd::files::renameToFreeName(aside / name, aside / kBeingEmptiedName);
}

// A project a kill left half built goes holding a project's files only.
bool builtProjectGoes(const fs::path& folder) {
  for (const std::string& item : fd::files::contentsOfDirectory(folder)) {
    std::error_code ec;
    if (!fs::is_regular_file(fs::symlink_status(folder / item, ec))) {
      return staging::leaveAsItIs(folder, "a project being built holds files only");
    }
  }
  return true;
}

// A delete killed before the list without its project was stored had moved
// the folder aside: still listed, the project goes back to its place (so
// does every one when the list was lost: each folder is listed again). One
// whose place a project of the same name took since, after the list without
// it was stored, is what was left of that delete, and goes; so does one
// already being emptied. It goes only holding a deleted project's folder.
bool deletedProjectGoes(const fs::path& folder, const std::function<bool(const std::string&)>& stillListed) {
  const std::vector<std::string> inside = fd::files::contentsOfDirectory(folder);
  if (inside.empty()) return true;
  const std::string& name = inside.front();
  const std::string hidden = folder.filename().string();
  const bool itsOwn = name == kBeingEmptiedName ||
                      staging::hiddenPrefix(name, kRemovalStagingMark) == hidden.substr(0, hidden.rfind('-') + 1);
  std::error_code ec;
  if (inside.size() != 1 || !itsOwn || !fs::is_directory(fs::symlink_status(folder / name, ec))) {
    return staging::leaveAsItIs(folder, "a deleted project's hidden folder holds that project's folder alone");
  }
  if (name == kBeingEmptiedName) return true;
  const int moved =
      stillListed(name) ? fd::files::renameToFreeName(folder / name, folder.parent_path() / name) : EEXIST;
  if (moved == EEXIST) markBeingEmptied(folder, name);
  return moved == 0 || moved == EEXIST;
}

// A rename killed before or after the list naming the new name was stored
// left the project's folder, under its old name, in a hidden folder of the
// new one: it takes the new name when `newListed`, else goes back to the old.
// It goes only holding a project's folder alone.
bool renamedProjectGoes(const fs::path& folder, const std::function<bool(const std::string&)>& newListed) {
  const std::vector<std::string> inside = fd::files::contentsOfDirectory(folder);
  if (inside.empty()) return true;
  const std::string& name = inside.front();
  std::error_code ec;
  if (inside.size() != 1 || !isPlainPathComponent(name) || !fs::is_directory(fs::symlink_status(folder / name, ec))) {
    return staging::leaveAsItIs(folder, "a renamed project's hidden folder holds that project's folder alone");
  }
  const std::string renamed = staging::nameInHiddenName(folder.filename().string(), kRenameStagingMark);
  return fd::files::renameToFreeName(folder / name, folder.parent_path() / (newListed(renamed) ? renamed : name)) == 0;
}

// Removes a folder no list names, so that a kill leaves it whole or gone.
void removeUnlistedFolder(const fs::path& folder) {
  if (std::optional<staging::Folder> aside = moveAside(folder)) {
    markBeingEmptied(aside->path(), folder.filename().string());
    return;  // emptied as it goes
  }
  fd::files::removeItem(folder);
}

// A stored data version this old is read as the current one.
constexpr int kOldestDataVersion = 99;

std::mutex& sharedMutex() {
  static std::mutex m;
  return m;
}

std::unique_ptr<ZTDataModel>& sharedSlot() {
  // The slot is never destroyed: the model (its players, its open project)
  // is only released on purpose, never by the end of the process.
  static auto* model = new std::unique_ptr<ZTDataModel>();
  return *model;
}

std::vector<std::string> stringsFromValue(const fd::Value& v) {
  std::vector<std::string> out;
  if (const fd::Array* a = v.array()) {
    for (const fd::Value& item : *a) {
      if (const std::string* s = item.string()) out.push_back(*s);
    }
  }
  return out;
}

fd::Value toValue(const std::vector<std::string>& strings) { return fd::Value(fd::Array(strings.begin(), strings.end())); }

// Whether `name` in the projects folder is a project folder a list may name.
// Hidden folders are the staging folders of imports and of projects still
// being built, never a project of the list; a name no list can keep (bytes
// that are not UTF-8) would leave the preferences unsaved.
bool isListableFolder(const fs::path& projects, const std::string& name) {
  std::error_code ec;
  return isPlainPathComponent(name) && !name.starts_with('.') && !fd::plistcheck::uncarriedIn(name) &&
         fs::is_directory(fs::symlink_status(projects / name, ec));
}

// The stored names that can be used, each once (the first time it is
// listed): a name a project may be given, or that of a project folder there
// (older versions gave names up to the file system's 255 bytes). A name past
// a project name's bytes with no folder names nothing the program made, and
// would open a project too long-named for the names built from it.
std::vector<std::string> projectNamesFromValue(const fd::Value& v, const fs::path& projects) {
  std::vector<std::string> names;
  std::unordered_set<std::string_view> listed;
  if (const fd::Array* a = v.array()) {
    for (const fd::Value& item : *a) {
      const std::string* s = item.string();
      if (s != nullptr && (isValidProjectName(*s) || isListableFolder(projects, *s)) && listed.insert(*s).second)
        names.push_back(*s);
    }
  }
  return names;
}

// What the preferences hold where the project list belongs, when it names
// no project (`absent`: it names projects, none of which has a folder).
ProjectNotice::StoredList storedListKind(const fd::Value& v, bool absent) {
  using Kind = ProjectNotice::StoredList;
  if (v.isNull()) return Kind::Missing;
  if (v.isString()) return Kind::Text;
  if (v.isDictionary()) return Kind::Dictionary;
  if (!v.isArray()) return Kind::OtherValue;
  if (absent) return Kind::Absent;
  return v.array()->empty() ? Kind::Empty : Kind::Unusable;
}

// A folder's name as the user is shown it: each character a list cannot keep
// (a control character, U+FFFE, U+FFFF, a byte that begins none) as U+FFFD.
std::string shownName(std::string_view name) {
  std::string shown;
  for (std::size_t i = 0; i < name.size();) {
    const auto c = static_cast<unsigned char>(name[i]);
    std::size_t length = c < 0x80 ? 1 : fd::plistcheck::carriedWideAt(name, i);
    if (c < 0x80 ? c >= 0x20 || c == '\t' || c == '\n' || c == '\r' : length > 0) {
      shown.append(name.substr(i, length));
    } else {
      shown += "\uFFFD";
      // A noncharacter is good UTF-8: one mark for its three bytes.
      length = name.substr(i).starts_with("\xEF\xBF") && i + 2 < name.size() &&
                       (static_cast<unsigned char>(name[i + 2]) & 0xFE) == 0xBE
                   ? 3
                   : 1;
    }
    i += length;
  }
  return shown;
}

}  // namespace

// The project folders found at start, in the order of their names: those a
// list may name, and the first few of those whose names no list can keep.
class ZTDataModel::FoldersFound {
 public:
  static constexpr std::size_t kUnlistedNamed = 5;

  explicit FoldersFound(const fs::path& projects) {
    for (std::string& name : fd::files::contentsOfDirectory(projects)) {
      if (isListableFolder(projects, name)) {
        names_.push_back(std::move(name));
        continue;
      }
      std::error_code ec;
      if (!isPlainPathComponent(name) || name.starts_with('.') ||
          !fs::is_directory(fs::symlink_status(projects / name, ec)))
        continue;
      if (const std::optional<fd::plistcheck::Uncarried> held = fd::plistcheck::uncarriedIn(name)) {
        if (unlisted_.size() < kUnlistedNamed)
          unlisted_.push_back({shownName(name), fd::plistcheck::uncarriedText(*held)});
        ++unlistedCount_;
      }
    }
    exact_.insert(names_.begin(), names_.end());
  }

  const std::vector<std::string>& names() const { return names_; }
  const std::vector<ProjectNotice::UnlistedFolder>& unlisted() const { return unlisted_; }
  std::size_t unlistedCount() const { return unlistedCount_; }

  // The folder a stored name stands for: the one of that name, else the one
  // whose name is the same in composed form (a list written where names are
  // kept decomposed names "Café" as "Cafe" and a combining accent).
  std::optional<std::string> folderOf(const std::string& name) {
    if (exact_.contains(name)) return name;
    if (names_.empty()) return std::nullopt;
    if (composed_.empty()) {
      for (const std::string& folder : names_) composed_.emplace(fd::composedForm(folder), folder);
    }
    const auto it = composed_.find(fd::composedForm(name));
    if (it == composed_.end()) return std::nullopt;
    return it->second;
  }

 private:
  std::vector<std::string> names_;
  std::unordered_set<std::string> exact_;
  std::unordered_map<std::string, std::string> composed_;  // made at the first name no folder has
  std::vector<ProjectNotice::UnlistedFolder> unlisted_;
  std::size_t unlistedCount_ = 0;
};

ZTDataModel& ZTDataModel::sharedInstance() {
  std::lock_guard lock(sharedMutex());
  std::unique_ptr<ZTDataModel>& slot = sharedSlot();
  if (!slot) slot = std::make_unique<ZTDataModel>();
  return *slot;
}

void ZTDataModel::resetSharedInstanceForTesting() {
  ProjectDataModel::waitForImageWrites();
  waitForRemovals();
  std::lock_guard lock(sharedMutex());
  sharedSlot().reset();
}

ZTDataModel::ZTDataModel() {
  // Before any project opens: the start is the one moment no import runs.
  const BackgroundDoubts doubts = removeLeftovers();
  if (!readData()) createData();
  mendProjectBackgrounds(doubts);
  extendDataModel_ = std::make_unique<ExtendDataModel>();
}

ZTDataModel::~ZTDataModel() = default;

void ZTDataModel::waitForRemovals() { staging::waitForEmptying(); }

fs::path ZTDataModel::audioFolderPath() { return fd::paths::library() / "Audio"; }

fs::path ZTDataModel::backgroundPath() const { return fd::paths::library() / "Background"; }

fs::path ZTDataModel::plistFilePath() const { return fd::paths::library() / "Zoetra.plist"; }

OptionalPath ZTDataModel::projectPathWithProjectName(const std::string& name) const {
  if (!isPlainPathComponent(name)) return std::nullopt;
  return fd::paths::library() / "Projects" / name;
}

bool ZTDataModel::sweepStagingFolders(const fs::path& projects, const std::vector<std::string>& names) {
  // A duplicate's or an import's copy is stored as listed before it takes
  // its name: listed, it is whole and takes it now; otherwise it goes. A
  // renamed project's folder takes the new name when the list naming that
  // was stored, else goes back to the old one. What a deleted project left
  // goes, unless still listed (deletedProjectGoes).
  const fd::UserDefaults& defaults = fd::UserDefaults::standard();
  const fd::Value stored = defaults.objectForKey(kProjectsNameArrayKey);
  const std::vector<std::string> listed = projectNamesFromValue(stored, projects);
  // A list of another kind, or of names none can use, is lost as an
  // unreadable one is: the start lists the folders again. An empty one was
  // stored by the delete of the last project, killed before the default
  // project was listed: what that delete left goes.
  const bool damaged = defaults.startedFromDamagedFile() || !stored.isArray() ||
                       (listed.empty() && !stored.array()->empty());
  const auto isListed = [&](const std::string& name) {
    return std::find(listed.begin(), listed.end(), name) != listed.end();
  };
  bool placing = false;
  const auto settle = [&](const fs::path& folder) {
    const std::string hidden = folder.filename().string();
    if (isCreationStagingName(hidden)) return builtProjectGoes(folder);
    if (CombineJournal::isJournalName(hidden)) return CombineJournal::settle(folder);
    placing = true;
    for (const std::string_view mark : {kCopyStagingMark, ZipOperator::kImportStagingMark}) {
      if (!staging::isHiddenName(hidden, mark)) continue;
      const std::string name = staging::nameInHiddenName(hidden, mark);
      if (damaged || !isListed(name)) return true;
      const int moved = fd::files::renameToFreeName(folder, projects / name);
      std::error_code ec;
      if (moved == 0) fs::permissions(projects / name, staging::kPlainFolderPermissions, ec);
      return moved == EEXIST;  // kept for the next start when it could not move
    }
    if (staging::isHiddenName(hidden, kRemovalStagingMark)) {
      return deletedProjectGoes(folder, [&](const std::string& name) { return damaged || isListed(name); });
    }
    return renamedProjectGoes(folder, [&](const std::string& name) { return !damaged && isListed(name); });
  };
  staging::sweep(projects, names, isStagingName, settle, [](const fs::path& folder, const std::atomic<bool>& ending) {
    return !CombineJournal::isJournalName(folder.filename().string()) || CombineJournal::takeBack(folder, ending);
  });
  return placing;
}

ZTDataModel::BackgroundDoubts ZTDataModel::removeLeftovers() {
  const fs::path projects = fd::paths::library() / "Projects";
  // Listed once: a long list of projects is read at every start. Again only
  // when a kill's leftovers put a project in place.
  std::vector<std::string> names = fd::files::contentsOfDirectory(projects);
  if (sweepStagingFolders(projects, names)) names = fd::files::contentsOfDirectory(projects);
  BackgroundDoubts doubts;
  for (const std::string& name : names) {
    std::error_code ec;
    if (fs::is_directory(fs::symlink_status(projects / name, ec)) && !isStagingName(name)) {
      doubts.emplace_back(name, ProjectDataModel::removeWriteLeftovers(projects / name));
    }
  }
  ZipOperator::removeExportLeftovers();
  return doubts;
}

void ZTDataModel::openCurrentProject() {
  prjDataModel_ = ProjectDataModel::initWithProjectName(curProjectName_);
  if (!prjDataModel_) return;
  if (!prjDataModel_->keptDamagedFile()) {
    // A project made here (the first start, or a listed project whose folder
    // is gone) is stored at once: the pages the desk writes are found only
    // through its list.
    if (!fd::files::exists(prjDataModel_->plistFilePath())) prjDataModel_->saveData();
    return;
  }
  // The project's list could not be read: its folder stays as it is, with
  // its pages and the set-aside copy, and stays in the list. A new project
  // under a name no folder has yet is opened instead, and stored at once, so
  // that nothing the program writes later lands in the damaged folder.
  const std::string fresh = freeProjectName(curProjectName_);
  std::vector<std::string> names = projectsNameArray_;
  if (std::find(names.begin(), names.end(), curProjectName_) == names.end()) names.push_back(curProjectName_);
  names.push_back(fresh);
  setProjectsNameArray(std::move(names));
  setCurProjectName(fresh);
  prjDataModel_->setCurProjectName(fresh);
  prjDataModel_->saveData();
  fd::UserDefaults::standard().synchronize();
}

void ZTDataModel::listProjectsAgain(const fd::Value& stored, bool absent, bool damaged, FoldersFound& found) {
  ProjectNotice unlisted{ProjectNotice::Kind::FoldersLeftUnlisted, {}, {}, {}};
  unlisted.unlisted = found.unlisted();
  unlisted.unlistedCount = found.unlistedCount();
  if (found.names().empty()) {
    if (unlisted.unlistedCount > 0) tellProjectNotice(unlisted);
    return;
  }
  // The one written last opens when the current one is not among them.
  const fs::path projects = fd::paths::library() / "Projects";
  std::string newest = found.names().front();
  fs::file_time_type newestTime = fs::file_time_type::min();
  for (const std::string& name : found.names()) {
    std::error_code ec;
    const fs::file_time_type written = fs::last_write_time(projects / name / projectplist::kFileName, ec);
    if (!ec && written > newestTime) {
      newest = name;
      newestTime = written;
    }
  }
  ProjectNotice notice = unlisted;
  notice.kind = ProjectNotice::Kind::ProjectsListedAgain;
  notice.project = found.names().front();
  notice.storedList = storedListKind(stored, absent);
  notice.count = found.names().size();
  const bool keepCurrent = found.folderOf(curProjectName_) == curProjectName_;
  setProjectsNameArray(found.names());
  if (!keepCurrent) setCurProjectName(newest);
  fd::UserDefaults::standard().synchronize();
  // An unreadable file is told as it is set aside, saying the projects are
  // listed again; only those left out remain to be told.
  if (!damaged) {
    tellProjectNotice(notice);
  } else if (unlisted.unlistedCount > 0) {
    tellProjectNotice(unlisted);
  }
}

bool ZTDataModel::readData() {
  // A missing Audio or Background folder is made again; the stored project
  // list and current project stay as they are.
  if (!fd::files::createDirectory(audioFolderPath()) || !fd::files::createDirectory(backgroundPath())) return false;
  fd::UserDefaults& defaults = fd::UserDefaults::standard();
  const fs::path projects = fd::paths::library() / "Projects";
  const fd::Value storedList = defaults.objectForKey(kProjectsNameArrayKey);
  const std::vector<std::string> stored = projectNamesFromValue(storedList, projects);
  FoldersFound found(projects);
  // Each name takes the spelling of the folder it stands for, so that the
  // project opened is the one on disk, not a new one beside it.
  bool namesAFolder = false, respelled = false;
  projectsNameArray_.clear();
  projectsNameArray_.reserve(stored.size());
  for (const std::string& name : stored) {
    std::optional<std::string> folder = found.folderOf(name);
    namesAFolder = namesAFolder || folder.has_value();
    respelled = respelled || (folder && *folder != name);
    projectsNameArray_.push_back(folder ? std::move(*folder) : name);
  }
  if (respelled) {
    std::unordered_set<std::string> once;
    std::erase_if(projectsNameArray_, [&](const std::string& name) { return !once.insert(name).second; });
  }
  const fd::Value current = defaults.objectForKey(kCurProjectNameKey);
  curProjectName_ = current.string() != nullptr ? *current.string() : "";
  if (const std::optional<std::string> folder = found.folderOf(curProjectName_); folder && *folder != curProjectName_)
    setCurProjectName(*folder);
  // A list naming none of the folders there hides every project: they are
  // listed again, as for a list that is missing or unreadable.
  if (!namesAFolder) {
    listProjectsAgain(storedList, !stored.empty(), defaults.startedFromDamagedFile(), found);
  } else if (respelled) {
    setProjectsNameArray(projectsNameArray_);
    defaults.synchronize();
  }
  if (projectsNameArray_.empty()) {
    projectsNameArray_.push_back(kDefaultProjectName);
    setProjectsNameArray(projectsNameArray_);
    setCurProjectName(kDefaultProjectName);
  } else if (std::find(projectsNameArray_.begin(), projectsNameArray_.end(), curProjectName_) ==
             projectsNameArray_.end()) {
    // A current project no list names would be drawn in and never be found
    // again once another is opened: its folder is listed, and a name with no
    // folder gives way to the first project listed.
    if (isListableFolder(projects, curProjectName_)) {
      std::vector<std::string> names = projectsNameArray_;
      names.push_back(curProjectName_);
      setProjectsNameArray(std::move(names));
      defaults.synchronize();
    } else {
      setCurProjectName(projectsNameArray_.front());
    }
  }
  openCurrentProject();
  const fd::Value audios = defaults.objectForKey(kAudiosArrayKey);
  if (audios.isArray()) audiosArray_ = *audios.array();
  dataVersion_ = static_cast<int>(defaults.integerForKey(kDataVersionKey));
  dataType_ = static_cast<int>(defaults.integerForKey(kDataTypeKey));
  dataType_ = ProjectDataModel::curDevideDataType();
  showDeskSimple_ = defaults.boolForKey(kShowDeskSimpleKey);
  showPicSimple_ = defaults.boolForKey(kShowPicSimpleKey);
  if (defaults.integerForKey(kVersionKey) < kVersion) {
    showDeskSimple_ = true;
    showPicSimple_ = true;
  }
  if (dataVersion_ <= kOldestDataVersion) dataVersion_ = kVersion;
  backgroundArray_ = stringsFromValue(defaults.objectForKey(kBackgroundsArrayKey));
  return true;
}

bool ZTDataModel::createData() {
  fd::files::createDirectory(audioFolderPath());
  fd::files::createDirectory(backgroundPath());
  setProjectsNameArray({kDefaultProjectName});
  setCurProjectName(kDefaultProjectName);
  openCurrentProject();
  setAudiosArray({});
  setBackgroundArray({});
  dataVersion_ = kStoredDataVersion;
  dataType_ = ProjectDataModel::curDevideDataType();
  showDeskSimple_ = true;
  showPicSimple_ = true;
  return true;
}

bool ZTDataModel::saveData() {
  fd::UserDefaults& defaults = fd::UserDefaults::standard();
  defaults.synchronize();
  fd::files::createDirectory(audioFolderPath());
  defaults.setObject(kVersionKey, fd::Value(version()));
  defaults.setObject(kProjectsNameArrayKey, toValue(projectsNameArray_));
  defaults.setObject(kCurProjectNameKey, fd::Value(curProjectName_));
  const bool listWritten = !prjDataModel_ || prjDataModel_->saveData();
  extendDataModel_->saveData();
  defaults.setObject(kAudiosArrayKey, fd::Value(audiosArray_));
  defaults.setObject(kBackgroundsArrayKey, toValue(backgroundArray_));
  defaults.setObject(kDataVersionKey, fd::Value(kStoredDataVersion));
  defaults.setObject(kDataTypeKey, fd::Value(dataType_));
  defaults.setObject(kShowDeskSimpleKey, fd::Value(showDeskSimple_));
  defaults.setObject(kShowPicSimpleKey, fd::Value(showPicSimple_));
  defaults.synchronize();
  return listWritten;
}

void ZTDataModel::setCurProjectName(const std::string& name) {
  curProjectName_ = name;
  fd::UserDefaults::standard().setObject(kCurProjectNameKey, fd::Value(name));
}

void ZTDataModel::setProjectsNameArray(std::vector<std::string> names) {
  projectsNameArray_ = std::move(names);
  fd::UserDefaults::standard().setObject(kProjectsNameArrayKey, toValue(projectsNameArray_));
}

void ZTDataModel::setAudiosArray(fd::Array names) {
  audiosArray_ = std::move(names);
  fd::UserDefaults::standard().setObject(kAudiosArrayKey, fd::Value(audiosArray_));
}

void ZTDataModel::setBackgroundArray(std::vector<std::string> names) {
  backgroundArray_ = std::move(names);
  fd::UserDefaults::standard().setObject(kBackgroundsArrayKey, toValue(backgroundArray_));
}

std::string ZTDataModel::rightNameWithName(const std::string& name) const {
  return Tools::uniqueNameWithin(name, projectsNameArray_, kMaxProjectNameBytes);
}

std::string ZTDataModel::freeProjectName(const std::string& name) const {
  std::vector<std::string> taken = projectsNameArray_;
  for (std::string& folder : fd::files::contentsOfDirectory(fd::paths::library() / "Projects"))
    taken.push_back(std::move(folder));
  return Tools::uniqueNameWithin(name, taken, kMaxProjectNameBytes);
}

bool ZTDataModel::createProject(const std::string& name, const std::optional<std::string>& description) {
  if (!isPlainPathComponent(name)) return false;
  // Free of every folder too: a folder no list names holds a project of its
  // own, which a new one must neither open nor write into.
  const std::string unique = freeProjectName(name);
  const std::vector<std::string> before = projectsNameArray_;
  const std::string currentBefore = curProjectName_;
  std::vector<std::string> names = before;
  names.push_back(unique);
  setProjectsNameArray(std::move(names));
  setCurProjectName(unique);
  // Listed on disk before anything is drawn in it: a project the stored list
  // does not name is never found again once the program ends. Only the last
  // project's delete, whose empty list makes the start make one again, goes
  // on all the same, since the desk needs a project.
  if (!fd::UserDefaults::standard().synchronize() && !before.empty()) {
    setProjectsNameArray(before);
    setCurProjectName(currentBefore);
    setLastError(kListNotWrittenReason);
    return false;
  }
  if (prjDataModel_) {
    prjDataModel_->setCurProjectName(unique);
  } else {
    openCurrentProject();
  }
  prjDataModel_->setDescription(description);
  return true;
}

bool ZTDataModel::removeProject(const std::string& name) {
  return unlistProjects({name}, curProjectName_, "project.remove").ok();
}

fd::Status ZTDataModel::unlistProjects(const std::vector<std::string>& gone, const std::string& current,
                                       std::string_view steps) {
  const std::vector<std::string> before = projectsNameArray_;
  const std::string currentBefore = curProjectName_;
  std::vector<std::string> names = before;
  std::erase_if(names, [&](const std::string& n) { return std::find(gone.begin(), gone.end(), n) != gone.end(); });
  const bool listed = names.size() != before.size();
  // Each folder is moved aside, the list that no longer names it stored, and
  // only then is it emptied, off this thread: a kill at any moment leaves the
  // project listed and whole (the start moves it back) or gone.
  struct Aside {
    fs::path folder;
    std::optional<staging::Folder> staged;  // nullopt: it could not be moved
  };
  std::vector<Aside> aside;
  aside.reserve(gone.size());  // nothing moved aside is dropped by a growing list
  // Until the list without them is stored, no folder aside is removed: one
  // that cannot go back now is kept for the next start to move back.
  const auto putBack = [&]() noexcept {
    for (Aside& a : aside) {
      if (!a.staged) continue;
      try {
        if (fd::files::renameToFreeName(a.staged->path() / a.folder.filename(), a.folder) == 0) continue;
      } catch (const std::bad_alloc&) {
      }
      a.staged->handOver();
    }
    try {
      setProjectsNameArray(before);
      setCurProjectName(currentBefore);
    } catch (const std::bad_alloc&) {
    }
  };
  fd::Status stored;
  try {
    for (const std::string& name : gone) {
      if (OptionalPath folder = projectPathWithProjectName(name); folder && fd::files::exists(*folder)) {
        aside.push_back({*folder, moveAside(*folder)});
      }
    }
    if (listed) {
      setProjectsNameArray(std::move(names));
      if (current != curProjectName_) setCurProjectName(current);
      fd::crashPoint(std::string(steps) + ".moved-aside");
      stored = fd::UserDefaults::standard().synchronizeReporting();
    }
  } catch (const std::bad_alloc&) {
    putBack();
    throw;
  }
  if (!stored) {
    putBack();
    return stored;
  }
  fd::crashPoint(std::string(steps) + ".list-saved");
  for (Aside& a : aside) {
    if (a.staged) {
      markBeingEmptied(a.staged->path(), a.folder.filename().string());
      staging::emptyInBackground(std::move(*a.staged));
    } else if (fd::files::exists(a.folder)) {
      fd::files::removeItem(a.folder);
    }
  }
  if (projectsNameArray_.empty()) createProject(kDefaultProjectName, "");
  return {};
}

bool ZTDataModel::removeProjects(const std::vector<std::string>& names) {
  for (const std::string& name : names) removeProject(name);
  for (const std::string& name : names) {
    // The default project may have been made again under one of these names.
    if (std::find(projectsNameArray_.begin(), projectsNameArray_.end(), name) != projectsNameArray_.end()) continue;
    if (OptionalPath folder = projectPathWithProjectName(name); folder && fd::files::exists(*folder)) {
      removeUnlistedFolder(*folder);
    }
  }
  return true;
}

bool ZTDataModel::moveProjectBack(const std::string& name) {
  auto it = std::find(projectsNameArray_.rbegin(), projectsNameArray_.rend(), name);
  if (it == projectsNameArray_.rend()) return false;
  const std::size_t index = projectsNameArray_.size() - 1 - (it - projectsNameArray_.rbegin());
  if (index < 1) return false;
  std::vector<std::string> names = projectsNameArray_;
  std::swap(names[index], names[index - 1]);
  setProjectsNameArray(std::move(names));
  return true;
}

bool ZTDataModel::moveProjectForward(const std::string& name) {
  auto it = std::find(projectsNameArray_.rbegin(), projectsNameArray_.rend(), name);
  if (it == projectsNameArray_.rend()) return false;
  const std::size_t index = projectsNameArray_.size() - 1 - (it - projectsNameArray_.rbegin());
  if (index + 1 >= projectsNameArray_.size()) return false;
  std::vector<std::string> names = projectsNameArray_;
  std::swap(names[index], names[index + 1]);
  setProjectsNameArray(std::move(names));
  return true;
}

bool ZTDataModel::duplicateProject(const std::string& name) {
  lastError_.clear();
  // A project too large to copy with the memory left is not duplicated at
  // all: the part of its copy already made goes, and the list never names it.
  const std::size_t listed = projectsNameArray_.size();
  std::optional<fs::path> copy;
  try {
    std::error_code why;
    if (duplicateUnguarded(name, copy, why)) return true;
    if (fd::endAsked()) {
      setLastError(kEndingReason);
    } else if (lastError_.empty()) {
      const char* full = fd::files::describeWriteError(why.value());
      setLastError(full != nullptr ? full : "its folder could not be copied");
    }
    return false;
  } catch (const std::bad_alloc&) {
    setLastError(kOutOfMemoryReason);
  }
  try {
    if (projectsNameArray_.size() > listed) {
      setProjectsNameArray(std::vector<std::string>(projectsNameArray_.begin(), projectsNameArray_.begin() + listed));
    }
    if (copy) removeUnlistedFolder(*copy);
  } catch (const std::bad_alloc&) {
    // Still short of memory: a copy left unlisted is only a folder the list
    // never shows.
  }
  return false;
}

bool ZTDataModel::duplicateUnguarded(const std::string& name, std::optional<fs::path>& copy, std::error_code& why) {
  saveData();
  if (std::find(projectsNameArray_.begin(), projectsNameArray_.end(), name) == projectsNameArray_.end()) return false;
  // Never a folder's name: one no list names may be a project hidden by a
  // kill of an older version, which a copy must not replace.
  const std::string copyName = freeProjectName(name);
  OptionalPath from = projectPathWithProjectName(name);
  OptionalPath to = projectPathWithProjectName(copyName);
  std::error_code ec;
  if (!from || !to || !fs::is_directory(fs::symlink_status(*from, ec))) return false;
  // Copied under a hidden name: a kill leaves no half copy where a project
  // could be, only a folder the next start removes.
  staging::Folder stage(to->parent_path(), staging::hiddenPrefix(copyName, kCopyStagingMark));
  if (!stage.valid()) {
    why.assign(errno, std::generic_category());  // the folder's making left why
    return false;
  }
  const auto goOn = [] {
    fd::crashPoint("project.duplicate.entry-copied");
    return !fd::endAsked();
  };
  if ((why = fd::files::copyContents(*from, stage.path(), goOn))) return false;
  fd::crashPoint("project.duplicate.copied");
  if (!nameStagedProject(std::move(stage), copyName, "project.duplicate", fs::status(*from, ec).permissions())) {
    return false;
  }
  copy = *to;
  return true;
}

bool ZTDataModel::importProject(ZipOperator& op, const std::string& package, bool isUpgrade, const std::string& name) {
  lastError_.clear();
  const OptionalPath folder = projectPathWithProjectName(name);
  if (!folder) return false;
  std::optional<staging::Folder> staged = op.unpack(package, *folder, isUpgrade);
  return staged && nameStagedProject(std::move(*staged), name, "package.import", staging::kPlainFolderPermissions);
}

bool ZTDataModel::nameStagedProject(staging::Folder staged, const std::string& name, std::string_view steps,
                                    fs::perms perms) {
  const OptionalPath to = projectPathWithProjectName(name);
  if (!to) return false;
  const std::vector<std::string> before = projectsNameArray_;
  // The list without the project, in memory and, when `store`, on disk; false
  // when it could not be stored.
  const auto unlist = [&](bool store) noexcept {
    try {
      setProjectsNameArray(before);
      return !store || fd::UserDefaults::standard().synchronize();
    } catch (const std::bad_alloc&) {
      return false;
    }
  };
  try {
    std::vector<std::string> names = before;
    names.push_back(name);
    setProjectsNameArray(std::move(names));
    fd::crashPoint(std::string(steps) + ".listing");
    if (!fd::UserDefaults::standard().synchronize()) {
      // The list on disk is the one before: the folder goes with `staged`.
      unlist(false);
      setLastError(kListNotWrittenReason);
      return false;
    }
    fd::crashPoint(std::string(steps) + ".listed");
    if (fd::files::renameToFreeName(staged.path(), *to) == 0) {
      staged.handOver();
      std::error_code ec;
      fs::permissions(*to, perms, ec);
      return true;
    }
  } catch (const std::bad_alloc&) {
    // Whether the list naming it reached the disk is not known: stored
    // without it, the folder goes; else the next start decides from the list.
    if (!unlist(true)) staged.handOver();
    throw;
  }
  // Listed on disk, with no folder of its name: still listed when the list
  // cannot be stored again, it is left for the next start to give its name.
  if (!unlist(true)) staged.handOver();
  return false;
}

void ZTDataModel::setLastError(const char* reason) noexcept {
  try {
    lastError_ = reason;
  } catch (const std::bad_alloc&) {
    lastError_.clear();
  }
}

bool ZTDataModel::changeProjectName(const std::string& newName, const std::string& oldName) {
  lastError_.clear();
  const bool wasCurrent = oldName == curProjectName_;
  if (wasCurrent && prjDataModel_) prjDataModel_->saveData();
  if (!isValidProjectName(newName)) return false;
  if (std::find(projectsNameArray_.begin(), projectsNameArray_.end(), newName) != projectsNameArray_.end()) {
    return false;
  }
  const std::vector<std::string> before = projectsNameArray_;
  std::vector<std::string> names = before;
  const bool listed = std::find(names.begin(), names.end(), oldName) != names.end();
  std::replace(names.begin(), names.end(), oldName, newName);
  const OptionalPath from = projectPathWithProjectName(oldName);
  const OptionalPath to = projectPathWithProjectName(newName);
  if (!listed || !from || !fd::files::exists(*from)) {
    setProjectsNameArray(std::move(names));
    if (wasCurrent) {
      setCurProjectName(newName);
      openCurrentProject();
    }
    return true;
  }
  // The folder waits under its old name in a hidden folder of the new one
  // while the list naming the new name is stored: a kill before the store
  // leaves the start moving it back, one after it the start giving it the
  // new name.
  std::error_code ec;
  if (fs::exists(fs::symlink_status(*to, ec))) return false;
  staging::Folder stage(to->parent_path(), staging::hiddenPrefix(newName, kRenameStagingMark));
  const fs::path waiting = stage.path() / oldName;
  if (!stage.valid() || fd::files::renameToFreeName(*from, waiting) != 0) return false;
  // The list naming the old name again, in memory and, when `store`, on
  // disk; the folder goes back once the list on disk names the old name, and
  // otherwise waits for the next start to give it the name the list names.
  const auto takeBack = [&](bool store) noexcept {
    bool stored = !store;
    try {
      setProjectsNameArray(before);
      if (wasCurrent) setCurProjectName(oldName);
      if (store) stored = fd::UserDefaults::standard().synchronize();
    } catch (const std::bad_alloc&) {
    }
    if (!stored || fd::files::renameToFreeName(waiting, *from) != 0) stage.handOver();
  };
  try {
    setProjectsNameArray(std::move(names));
    if (wasCurrent) setCurProjectName(newName);
    fd::crashPoint("project.rename.listing");
    if (!fd::UserDefaults::standard().synchronize()) {
      takeBack(false);
      setLastError(kListNotWrittenReason);
      return false;
    }
    fd::crashPoint("project.rename.listed");
  } catch (const std::bad_alloc&) {
    takeBack(true);
    throw;
  }
  if (fd::files::renameToFreeName(waiting, *to) != 0) {
    takeBack(true);
    return false;
  }
  if (wasCurrent) openCurrentProject();
  return true;
}

std::shared_ptr<ProjectDataModel> ZTDataModel::creatProject(const std::string& name, const ImageRef& image,
                                                            int layPosition) {
  if (!isPlainPathComponent(name)) return nullptr;
  const fs::path projects = fd::paths::library() / "Projects";
  fd::files::createDirectory(projects);
  std::string staging = (projects / ("." + name + std::string(kCreationStagingMark) + "XXXXXX")).string();
  if (::mkdtemp(staging.data()) == nullptr) return nullptr;
  std::shared_ptr<ProjectDataModel> project = ProjectDataModel::initWithProjectName(fs::path(staging).filename().string());
  if (!project) return nullptr;
  project->setDescription(std::nullopt);
  if (!image || !project->setImage(image, layPosition, 1)) project->saveData();
  return project;
}

bool ZTDataModel::finishCreatedProject(const std::shared_ptr<ProjectDataModel>& project) {
  if (!project) return false;
  const std::string staging = project->curProjectName();
  if (!isCreationStagingName(staging)) return false;
  OptionalPath from = projectPathWithProjectName(staging);
  if (!from || !fd::files::isDirectory(*from)) return false;
  const std::string name = freeProjectName(staging::nameInHiddenName(staging, kCreationStagingMark));
  // Named as a copy of that name until the list naming it is stored, so that
  // a kill at any step leaves it listed and whole, or gone.
  staging::Folder stage = staging::Folder::takeOver(*from, staging::hiddenPrefix(name, kCopyStagingMark));
  if (!stage.valid() || !nameStagedProject(std::move(stage), name, "project.create", staging::kPlainFolderPermissions)) {
    return false;
  }
  project->setCurProjectName(name);
  setCurProjectName(name);
  if (prjDataModel_)
    prjDataModel_->setCurProjectName(name);
  else
    openCurrentProject();
  saveData();
  return true;
}

bool ZTDataModel::isCreationStagingName(std::string_view name) {
  const std::size_t mark = name.rfind(kCreationStagingMark);
  if (name.size() < 2 || name.front() != '.' || mark == std::string_view::npos || mark < 2) return false;
  return fd::files::isUniqueTempSuffix(name.substr(mark + kCreationStagingMark.size()));
}
