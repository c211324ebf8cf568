// What the file-manager panel does with the chosen project or package: the
// model's own operations, each refusal or failure told in an alert.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "app/AppDelegate.h"
#include "app/FileManagerView.h"
#include "model/PackageZipOperator.h"
#include "model/SafeName.h"
#include "model/Tools.h"
#include "platform/foundation/CrashPoint.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Localized.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Unicode.h"

namespace {

constexpr const char* kShowInstoreNotification = "ShowInstoreViewNotification";

using fd::filled;

// Why a name the field holds cannot be a project's, saying what in it is
// refused: what is quoted may look like a name that would do (a character
// the list cannot keep shows as nothing, or as a box).
std::string nameRefusal(const std::string& name) {
  if (name.empty()) return fd::Localized("A project name cannot be empty or spaces alone. Type a name.");
  if (name.front() == '.') {
    return filled("\u201c%@\u201d cannot be a project name: it begins with \u201c.\u201d, as the program\u2019s own "
                  "hidden folders do. Choose another name.",
                  {name});
  }
  if (name.find('/') != std::string::npos)
    return filled("\u201c%@\u201d cannot be a project name: it holds \u201c/\u201d. Choose another name.", {name});
  char code[16] = "";
  if (const std::optional<char32_t> control = fd::directionControlIn(name)) {
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(*control));
    return filled("\u201c%@\u201d cannot be a project name: it holds the character %@, which turns the direction "
                  "of the text around it. Choose another name.",
                  {name, code});
  }
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(byte));
      break;
    }
  }
  if (code[0] == '\0') {
    // The field holds text only, so a byte that begins no character is not
    // met here; it would be told by its value all the same.
    if (const std::optional<fd::plistcheck::Uncarried> found = fd::plistcheck::uncarriedIn(name))
      std::snprintf(code, sizeof code, found->notUtf8 ? "0x%02X" : "U+%04X", static_cast<unsigned>(found->code));
  }
  return filled("\u201c%@\u201d cannot be a project name: it holds the character %@, which the list of projects "
                "cannot keep. Choose another name.",
                {name, code});
}

bool listed(const std::string& name) {
  const std::vector<std::string>& names = ZTDataModel::sharedInstance().projectsNameArray();
  return std::find(names.begin(), names.end(), name) != names.end();
}

// Takes back what an action had made when memory ran out after it. Memory may
// still be short: then what is left is a folder no list names, which a later
// action or start finds as it would any other.
void takeBack(const std::function<void()>& undo) noexcept {
  try {
    undo();
  } catch (const std::bad_alloc&) {
  }
}

// Why a package was not imported, in one sentence naming it once: what the
// user can act on, in the user's words.
std::string importRefusal(const ZipOperator& op, const std::string& file) {
  const ZipConcern& concern = op.concern();
  // A refused write, with the file system's reason when it has words.
  const auto notWritten = [&] {
    if (const char* why = fd::files::describeWriteError(concern.error))
      return filled("\u201c%@\u201d could not be imported: %@.", {file, why});
    return filled("\u201c%@\u201d could not be imported: its files could not be written into the projects folder.",
                  {file});
  };
  switch (op.lastFailure()) {
    case PackageFailure::ListTooLarge: {
      const std::string bound = fd::files::describeSize(op.listBound());
      if (op.listSize() == 0) {
        return filled("\u201c%@\u201d could not be imported: its project list is too large to open (once read it "
                      "would take more than the %@ a project list may take).",
                      {file, bound});
      }
      return filled("\u201c%@\u201d could not be imported: its project list is too large to open (%@, more than the "
                    "%@ a project list may be).",
                    {file, fd::files::describeSizePast(op.listSize(), op.listBound()), bound});
    }
    case PackageFailure::NotAProject:
      return filled("\u201c%@\u201d could not be imported: it holds no project.", {file});
    case PackageFailure::ListDamaged:
      return filled("\u201c%@\u201d could not be imported: the project list inside it is damaged.", {file});
    case PackageFailure::PackageMissing:
      return filled("\u201c%@\u201d could not be imported: it is no longer in Documents.", {file});
    case PackageFailure::TargetExists:
      return filled("\u201c%@\u201d could not be imported: a folder took the project\u2019s name meanwhile. Try again.",
                    {file});
    case PackageFailure::BadName:
      return filled("\u201c%@\u201d cannot be imported: its name cannot be a project name. Rename the file in "
                    "Documents.",
                    {file});
    case PackageFailure::FileSystem: return notWritten();
    case PackageFailure::OutOfMemory:
      return filled("\u201c%@\u201d could not be imported: %@.", {file, kOutOfMemoryReason});
    case PackageFailure::Archive: break;
    default: return filled("\u201c%@\u201d could not be imported: %@.", {file, op.lastError()});
  }
  switch (op.archiveFailure()) {
    case ZipFailure::CorruptEntry:
      if (concern.entry.empty()) return filled("\u201c%@\u201d could not be imported: it is damaged.", {file});
      return filled("\u201c%@\u201d could not be imported: it is damaged (\u201c%@\u201d inside it cannot be read "
                    "whole).",
                    {file, concern.entry});
    case ZipFailure::UnsafeName:
      if (concern.entry.empty())
        return filled("\u201c%@\u201d could not be imported: it holds a file whose name cannot be used.", {file});
      return filled("\u201c%@\u201d could not be imported: it holds a file, \u201c%@\u201d, that would be put outside "
                    "the project\u2019s folder.",
                    {file, concern.entry});
    case ZipFailure::LinkEntry:
      return filled("\u201c%@\u201d could not be imported: it holds a link or special file, \u201c%@\u201d, which a "
                    "package never holds.",
                    {file, concern.entry});
    case ZipFailure::TooManyEntries:
      return filled("\u201c%@\u201d could not be imported: it is damaged (its list of files counts more files than "
                    "it holds).",
                    {file});
    case ZipFailure::TooLarge:
      return filled("\u201c%@\u201d could not be imported: it holds a file larger than any a project holds (more "
                    "than %@).",
                    {file, fd::files::describeSize(concern.bound)});
    case ZipFailure::NoRoom:
      return filled("\u201c%@\u201d could not be imported: unpacked, it would take more than the %@ the disk has "
                    "free.",
                    {file, fd::files::describeSize(concern.bound)});
    case ZipFailure::Overlap:
      return filled("\u201c%@\u201d could not be imported: it is damaged (its files overlap one another).", {file});
    case ZipFailure::LongName:
      return filled("\u201c%@\u201d could not be imported: it holds a file name no folder can hold.", {file});
    case ZipFailure::NameClash:
      return filled("\u201c%@\u201d could not be imported: it holds a file and a folder of one name.", {file});
    case ZipFailure::FileWrite: return notWritten();
    default:
      // Not a zip, a zip of another password or of a kind this program does
      // not write: nothing in it is a package of this program's.
      return filled("\u201c%@\u201d could not be imported: it is not a package this program can read.", {file});
  }
}

// Why a project was not exported as a package, in one sentence naming it once.
std::string exportRefusal(const ZipOperator& op, const std::string& name) {
  const ZipConcern& concern = op.concern();
  if (const char* why = fd::files::describeWriteError(concern.error))
    return filled("\u201c%@\u201d could not be exported as a package: %@.", {name, why});
  switch (op.lastFailure()) {
    case PackageFailure::ProjectMissing:
      return filled("\u201c%@\u201d could not be exported as a package: its folder is missing.", {name});
    case PackageFailure::Conversion:
      return filled("\u201c%@\u201d could not be exported as a package: its pages could not be converted to the older "
                    "layout.",
                    {name});
    case PackageFailure::OutOfMemory:
      return filled("\u201c%@\u201d could not be exported as a package: %@.", {name, kOutOfMemoryReason});
    case PackageFailure::WouldNotImport:
      if (op.archiveFailure() == ZipFailure::TooLarge)
        return filled("\u201c%@\u201d could not be exported as a package: its file \u201c%@\u201d is larger than a "
                      "package may carry (more than %@).",
                      {name, concern.entry, fd::files::describeSize(concern.bound)});
      if (op.archiveFailure() == ZipFailure::UnsafeName && !concern.entry.empty())
        return filled("\u201c%@\u201d could not be exported as a package: its file \u201c%@\u201d has a name a "
                      "package cannot carry.",
                      {name, concern.entry});
      if (op.archiveFailure() == ZipFailure::UnsafeName)
        return filled("\u201c%@\u201d could not be exported as a package: it holds a file whose name a package "
                      "cannot carry.",
                      {name});
      return filled("\u201c%@\u201d could not be exported as a package: the package written would not import.",
                    {name});
    case PackageFailure::Archive:
      if (op.archiveFailure() == ZipFailure::CannotRead && !concern.entry.empty())
        return filled("\u201c%@\u201d could not be exported as a package: its file \u201c%@\u201d could not be read.",
                      {name, concern.entry});
      [[fallthrough]];
    default:
      return filled("\u201c%@\u201d could not be exported as a package: the package could not be written.", {name});
  }
}

// A package is made from the project's folder: one whose list there holds
// less than the project on screen would be told as made without what was
// changed since the list's last save.
std::string unsavedListRefusal(const ProjectNotice& unsaved, const std::string& name) {
  if (unsaved.kind != ProjectNotice::Kind::ListNotWritten)
    return filled("\u201c%@\u201d could not be exported as a package: what was changed since its last save could not "
                  "be saved (%@).",
                  {name, unsaved.reason});
  return filled("\u201c%@\u201d could not be exported as a package: what was changed since its last save could not be "
                "saved (%@). %@.",
                {name, unsaved.reason,
                 fd::Localized(roomMendsIt(unsaved.error) ? "Free some space, then try again"
                                                          : "Try again once that is mended")});
}

// A project made by an action and listed, unlisted and removed again.
void removeMadeProject(const std::string& name) {
  ZTDataModel& model = ZTDataModel::sharedInstance();
  if (listed(name)) {
    model.removeProject(name);
    model.saveData();
  } else if (OptionalPath folder = model.projectPathWithProjectName(name)) {
    fd::files::removeItem(*folder);
  }
}

}  // namespace

void FileManagerView::tell(const std::string& title, const std::string& message) {
  ui::AlertView::make(fd::Localized(title), message, nullptr, fd::Localized("OK"))->show();
}

// --- open

bool FileManagerView::holdsOpenProject() {
  const std::shared_ptr<ProjectDataModel>& project = ZTDataModel::sharedInstance().prjDataModel();
  if (!project || !project->unsavedList()) return false;
  // The list holds what the pages do not (a layer shown or hidden, a sound's
  // tag, pages added or moved): it is tried once more before it is given up.
  const std::optional<ProjectNotice> refused = listTheDiskRefuses();
  if (!refused) return false;
  tell("Project not saved", keptOpenInWords(*refused, false));
  return true;
}

bool FileManagerView::openProject(const std::string& name) {
  ZTDataModel& model = ZTDataModel::sharedInstance();
  const auto& names = model.projectsNameArray();
  if (std::find(names.begin(), names.end(), name) == names.end()) return false;
  const auto& project = model.prjDataModel();
  if (!project) return false;
  // The open project stays as it is in memory: read again from its folder
  // it would drop what the disk refused of it (a layer's eye, a sound's tag).
  if (name == project->curProjectName()) {
    close();
    return true;
  }
  if (holdsOpenProject()) return false;
  // A project whose list cannot be read is not opened: the reading set the
  // list aside and told the user, and the open project stays, so nothing is
  // written into the damaged folder. One too large for the memory left is
  // refused in words, and the open object, if it was being re-pointed, reads
  // the project it held back from its folder.
  const std::string leaving = project->curProjectName();
  try {
    const std::shared_ptr<ProjectDataModel> wanted = ProjectDataModel::initWithProjectName(name);
    if (!wanted || wanted->keptDamagedFile()) return false;
    if (!project->setCurProjectName(name)) return false;
  } catch (const std::bad_alloc&) {
    takeBack([&] {
      if (project->curProjectName() != leaving) project->setCurProjectName(leaving);
    });
    tell("Open", filled("\u201c%@\u201d could not be opened: %@.", {name, kOutOfMemoryReason}));
    return false;
  }
  model.setCurProjectName(name);
  model.saveData();
  close();
  return true;
}

// --- rename

void FileManagerView::beginRename() {
  const std::optional<std::string> name = projsView_->selectedProjectName();
  if (!name || mode_ != Mode::None) return;
  mode_ = Mode::Renaming;
  nameField_->setText(*name);
  layoutBars();
  updateActions();
  nameField_->becomeFirstResponder();
}

bool FileManagerView::finishRename() {
  const std::optional<std::string> old = projsView_->selectedProjectName();
  if (mode_ != Mode::Renaming || !old) return false;
  const std::string name = nameAsStored(nameField_->text());
  if (name == *old) {
    cancelMode();
    return true;
  }
  ZTDataModel& model = ZTDataModel::sharedInstance();
  if (name.size() > kMaxProjectNameBytes) {
    tell("Rename", filled("The name is %@ bytes long; a project name may be at most %@ bytes (a letter with an "
                          "accent takes two, many other characters three or four). Choose a shorter name.",
                          {std::to_string(name.size()), std::to_string(kMaxProjectNameBytes)}));
    return false;
  }
  if (!isValidProjectName(name) || fd::directionControlIn(name)) {
    tell("Rename", nameRefusal(name));
    return false;
  }
  if (listed(name)) {
    tell("Rename", filled("A project named \u201c%@\u201d already exists. Choose another name.", {name}));
    return false;
  }
  if (!model.changeProjectName(name, *old)) {
    if (!model.lastError().empty()) {
      tell("Rename", filled("\u201c%@\u201d could not be renamed: %@.", {*old, model.lastError()}));
      return false;
    }
    tell("Rename", filled("\u201c%@\u201d could not be renamed: its folder could not be moved to \u201c%@\u201d.",
                          {*old, name}));
    return false;
  }
  model.saveData();
  cancelMode();
  projsView_->reloadProjects(name);
  return true;
}

void FileManagerView::cancelMode() {
  if (projsView_->isCombining()) return;
  if (mode_ == Mode::Combining) projsView_->setChoosingOrder(false);
  mode_ = Mode::None;
  nameField_->resignFirstResponder();
  layoutBars();
  updateActions();
}

// --- duplicate and delete

bool FileManagerView::duplicateProject() {
  const std::optional<std::string> name = projsView_->selectedProjectName();
  if (!name || mode_ != Mode::None) return false;
  ZTDataModel& model = ZTDataModel::sharedInstance();
  if (!model.duplicateProject(*name)) {
    tell("Duplicate", filled("\u201c%@\u201d could not be duplicated: %@.", {*name, model.lastError()}));
    return false;
  }
  const std::string copy = model.projectsNameArray().back();
  try {
    model.saveData();
    fd::crashPoint("file-panel.duplicate.listed");
    projsView_->reloadProjects(copy);
  } catch (const std::bad_alloc&) {
    takeBack([&] {
      removeMadeProject(copy);
      projsView_->reloadProjects(*name);
    });
    tell("Duplicate", filled("\u201c%@\u201d could not be duplicated: %@.", {*name, kOutOfMemoryReason}));
    return false;
  }
  return true;
}

void FileManagerView::deleteProject() {
  const std::optional<std::string> name = projsView_->selectedProjectName();
  if (!name || mode_ != Mode::None) return;
  if (*name == ZTDataModel::sharedInstance().curProjectName()) {
    tell("Delete", filled("\u201c%@\u201d is open on the desk and cannot be deleted. Open another project first.",
                          {*name}));
    return;
  }
  pendingDelete_ = *name;
  ui::AlertView::make(fd::Localized("Delete"),
                      filled("Delete the project \u201c%@\u201d with all its frames? This cannot be undone.", {*name}),
                      this, fd::Localized("Cancel"), {fd::Localized("Delete")})
      ->show();
}

bool FileManagerView::removeProject(const std::string& name) {
  ZTDataModel& model = ZTDataModel::sharedInstance();
  // The list may have changed while the question was asked.
  if (name == model.curProjectName() || !listed(name)) return false;
  if (!model.removeProject(name)) {
    tell("Delete", filled("\u201c%@\u201d was not deleted: the list of projects could not be written (the disk may "
                          "be full). Nothing was changed.",
                          {name}));
    return false;
  }
  model.saveData();
  projsView_->reloadProjects();
  return true;
}

void FileManagerView::didDismissWithButtonIndex(ui::ButtonSheet& sheet, int index) {
  const std::string title = sheet.buttonTitleAtIndex(index);
  if (title == fd::Localized("Store")) {
    fd::NotificationCenter::defaultCenter().post(kShowInstoreNotification);
  } else if (title == fd::Localized("Delete")) {
    removeProject(std::exchange(pendingDelete_, {}));
  }
}

// --- packages

bool FileManagerView::exportPackage(bool isUpgrade) {
  const std::optional<std::string> name = projsView_->selectedProjectName();
  if (!name || mode_ != Mode::None) return false;
  ZTDataModel& model = ZTDataModel::sharedInstance();
  // The package is made from the folder: the open project's newest state
  // goes there first.
  std::shared_ptr<ProjectDataModel> project;
  try {
    model.saveData();
    project = *name == model.curProjectName() && model.prjDataModel() ? model.prjDataModel()
                                                                     : ProjectDataModel::initWithProjectName(*name);
  } catch (const std::bad_alloc&) {
    tell("Export", filled("\u201c%@\u201d could not be exported as a package: %@.", {*name, kOutOfMemoryReason}));
    return false;
  }
  // A background switch a failed write left half done has the list naming
  // its copies under names of their own, which other programs reading the
  // package do not look for: they come to the usual names first (a switch
  // that fails again leaves them named where they are, and still shown).
  if (project) (void)project->finishBackgroundSwitch();
  ZipOperator op;
  if (!project) {
    tell("Export", filled("\u201c%@\u201d could not be exported as a package: its folder is missing.", {*name}));
    return false;
  }
  if (const std::optional<ProjectNotice> unsaved = project->unsavedList()) {
    tell("Export", unsavedListRefusal(*unsaved, *name));
    return false;
  }
  if (!op.exportAndIsUpgradeVersion(*project, isUpgrade)) {
    fd::Log("Export of \"%s\" refused: %s\n", name->c_str(), op.lastError().c_str());
    tell("Export", exportRefusal(op, *name));
    return false;
  }
  try {
    fd::crashPoint("file-panel.export.made");
    packagesView_->reloadPackages();
  } catch (const std::bad_alloc&) {
    takeBack([&] {
      fd::files::removeItem(op.lastPackagePath());
      packagesView_->reloadPackages();
    });
    tell("Export", filled("\u201c%@\u201d could not be exported as a package: %@.", {*name, kOutOfMemoryReason}));
    return false;
  }
  tell("Export", filled("\u201c%@\u201d is now in Documents as \u201c%@\u201d.",
                        {*name, op.lastPackagePath().filename().string()}));
  return true;
}

bool FileManagerView::importPackage() {
  const std::optional<PackagesView::Package> package = packagesView_->selectedPackage();
  if (!package) return false;
  const std::string file = package->fileName();
  ZTDataModel& model = ZTDataModel::sharedInstance();
  // A new project of the package's name, or a copy's name when that is
  // listed or its folder is in the way; the user typed neither, so a name
  // longer than a project's may be is cut to fit, and the alert names it.
  const std::string name = model.freeProjectName(package->name);
  if (!isValidProjectName(name)) {
    tell("Import", filled("\u201c%@\u201d cannot be imported: its name cannot be a project name. Rename the file "
                          "in Documents.", {file}));
    return false;
  }
  // The project's list was read once to accept it; listing it, storing the
  // list and showing its card may still find memory short, and then the new
  // project goes whole.
  ZipOperator op;
  try {
    if (!model.importProject(op, package->name, package->isUpgrade, name)) {
      fd::Log("Import of \"%s\" refused: %s\n", file.c_str(),
              (model.lastError().empty() ? op.lastError() : model.lastError()).c_str());
      tell("Import", model.lastError().empty()
                         ? importRefusal(op, file)
                         : filled("\u201c%@\u201d could not be imported: %@.", {file, model.lastError()}));
      return false;
    }
    model.saveData();
    projsView_->reloadProjects(name);
  } catch (const std::bad_alloc&) {
    takeBack([&] {
      removeMadeProject(name);
      projsView_->reloadProjects();
    });
    tell("Import", filled("\u201c%@\u201d could not be imported: %@.", {file, kOutOfMemoryReason}));
    return false;
  }
  tell("Import", filled("\u201c%@\u201d is now the project \u201c%@\u201d.", {file, name}));
  return true;
}

// --- combine

void FileManagerView::beginCombine() {
  if (mode_ != Mode::None || projsView_->projectNames().size() < 2) return;
  mode_ = Mode::Combining;
  projsView_->setChoosingOrder(true);
  layoutBars();
  updateActions();
}

bool FileManagerView::finishCombine() {
  const std::vector<std::string>& order = projsView_->chosenOrder();
  if (mode_ != Mode::Combining || order.size() < 2) return false;
  // A combination reads the open project from its folder, as its list there says.
  const std::string& open = ZTDataModel::sharedInstance().curProjectName();
  if (std::find(order.begin(), order.end(), open) != order.end() && holdsOpenProject()) return false;
  combineTarget_ = order.front();
  setBusy(true);
  if (!projsView_->combineChosenProjects()) {
    setBusy(false);
    return false;
  }
  return true;
}

void FileManagerView::combineFinished(bool combined) {
  setBusy(false);
  mode_ = Mode::None;
  layoutBars();
  updateActions();
  if (!combined) {
    const std::string& why = ZTDataModel::sharedInstance().lastError();
    if (why.empty())
      tell("Combine", filled("The projects could not be combined into \u201c%@\u201d.", {combineTarget_}));
    else
      tell("Combine", filled("The projects could not be combined into \u201c%@\u201d: %@.", {combineTarget_, why}));
  }
}
