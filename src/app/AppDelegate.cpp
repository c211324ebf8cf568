#include "app/AppDelegate.h"

#include <cstdio>
#include <optional>

#include "app/ZTLoadingViewController.h"
#include "desk/BackgroundsView.h"
#include "desk/DesktopManagerController.h"
#include "desk/frames/SoundTrack.h"
#include "desk/frames/ZTPicManagerView.h"
#include "desk/sound/AudioRecorderManager.h"
#include "gpu/filters/sketch/GPUSketchFilters.h"
#include "model/ProjectNotice.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/DamagedFile.h"
#include "platform/foundation/Localized.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Unicode.h"
#include "platform/ui/Alert.h"
#include "platform/ui/Screen.h"
#include "roto/RotoArt.h"
#include "services/VTSystemManager.h"

namespace {
AppDelegate* gShared = nullptr;

// The alert that names a file the program could not read and where it was
// kept.
void tellDamagedFile(const fd::DamagedFileReport& report) {
  using Kind = fd::DamagedFileReport::Kind;
  std::string title, message;
  if (report.kind == Kind::Project) {
    title = fd::Localized("Project could not be read");
    message = fd::Localized("The project") + " " + fd::quoted(report.name) + " " + fd::Localized("could not be read") +
              " (" + report.reason + ").";
  } else if (report.kind == Kind::Picture) {
    title = fd::Localized("Picture could not be read");
    message = report.name + " " + fd::Localized("could not be read") + " (" + report.reason + ").";
  } else {
    title = fd::Localized("Settings could not be read");
    const std::string file = report.kind == Kind::Preferences ? fd::Localized("The preferences file")
                                                              : fd::Localized("The settings file") + " " + fd::quoted(report.name);
    message = file + " " + fd::Localized("could not be read") + " (" + report.reason + ").";
  }
  const bool kept = !report.keptAs.empty();
  if (kept) {
    message += "\n" + fd::Localized("It was kept as") + " " + report.keptAs.string();
  } else {
    message += "\n" + fd::Localized("It could not be moved aside") + " (" + report.notMoved + ") " +
               fd::Localized("and stays as it was:") + " " + report.file.string() + "\n" +
               fd::Localized("Nothing is written over it until it can be moved aside.");
  }
  if (report.kind == Kind::Project) {
    message += "\n" + fd::Localized("Its pages stay in its folder. The project open now is") + " " +
               fd::quoted(ZTDataModel::sharedInstance().curProjectName()) + ".";
  } else if (report.kind == Kind::Preferences) {
    message += "\n" + fd::Localized("The projects found in the projects folder are listed again.");
  } else if (report.kind == Kind::Picture) {
    message += "\n" + fd::Localized(kept ? "The canvas starts empty; what you draw is saved in its place."
                                          : "The canvas starts empty; what you draw stays unsaved until then.");
  }
  ui::AlertView::make(title, message, nullptr, fd::Localized("OK"))->show();
}

// What the preferences held where the project list belongs, as the alert
// tells it after "The preferences hold".
std::string storedListAsTold(ProjectNotice::StoredList held) {
  using Held = ProjectNotice::StoredList;
  switch (held) {
    case Held::Missing: return fd::Localized("no list of projects");
    case Held::Text: return fd::Localized("a text where the list of projects belongs");
    case Held::Dictionary: return fd::Localized("a dictionary where the list of projects belongs");
    case Held::OtherValue: return fd::Localized("a value of another kind where the list of projects belongs");
    case Held::Empty: return fd::Localized("an empty list of projects");
    case Held::Unusable: return fd::Localized("a list of projects with no name that can be used");
    case Held::Absent: return fd::Localized("a list naming only projects that have no folder");
  }
  return {};
}

// The folders left unlisted, each by its name and why no list can name it.
std::string unlistedInWords(const ProjectNotice& notice) {
  std::string words;
  for (const ProjectNotice::UnlistedFolder& folder : notice.unlisted) {
    if (!words.empty()) words += ' ';
    words += fd::filled("The name of the folder \u201c%@\u201d cannot be listed: %@; the folder stays unlisted.",
                        {fd::oneLine(folder.shown), folder.reason});
  }
  if (notice.unlistedCount > notice.unlisted.size()) {
    words += ' ';
    words += fd::filled("%@ more folders stay unlisted, their names holding what a list cannot keep.",
                        {std::to_string(notice.unlistedCount - notice.unlisted.size())});
  }
  return words;
}

// The alert for what the model did to a project on its own.
void showProjectNotice(const ProjectNotice& notice) {
  // A project still being built from pictures has a hidden name of the
  // program's own and is listed nowhere: the export that builds it tells
  // what the disk refused.
  if (ZTDataModel::isCreationStagingName(notice.project)) return;
  std::string title, message;
  switch (notice.kind) {
    case ProjectNotice::Kind::ListNotSaved:
      title = fd::Localized("Project not saved");
      message = fd::Localized("The project") + " " + fd::quoted(notice.project) + " " +
                fd::Localized("could not be saved") + ": " + notice.reason + ".\n" +
                fd::Localized("It keeps what was saved last. What was changed since stays open here, and is saved "
                              "once the project is small enough again (fewer frames, a shorter description).");
      break;
    case ProjectNotice::Kind::ListNotWritten:
      title = fd::Localized("Project not saved");
      message = fd::filled("The project \u201c%@\u201d could not be saved: %@. What was changed since its last save "
                           "stays here, and is saved at the next save that succeeds.",
                           {notice.project, notice.reason});
      break;
    case ProjectNotice::Kind::BackgroundRestored:
      title = fd::Localized("Background mended");
      message = fd::filled("The project \u201c%@\u201d had lost its copy of its background, %@; it was taken again "
                           "from the gallery.",
                           {notice.project, backgroundAsShown(notice.background)});
      break;
    case ProjectNotice::Kind::BackgroundDropped:
      title = fd::Localized("Background mended");
      message = fd::filled("The project \u201c%@\u201d had lost its copy of its background, %@, and no picture of it "
                           "is left; the project now has no background.",
                           {notice.project, backgroundAsShown(notice.background)});
      break;
    case ProjectNotice::Kind::ProjectsListedAgain: {
      title = fd::Localized("Projects listed again");
      const std::string held = storedListAsTold(notice.storedList);
      message = notice.count == 1
                    ? fd::filled("The preferences hold %@, while the projects folder holds one project, \u201c%@\u201d; "
                                 "it is listed again.",
                                 {held, notice.project})
                    : fd::filled("The preferences hold %@, while the projects folder holds %@ projects; they are listed "
                                 "again.",
                                 {held, std::to_string(notice.count)});
      if (notice.unlistedCount > 0) message += ' ' + unlistedInWords(notice);
      break;
    }
    case ProjectNotice::Kind::FoldersLeftUnlisted:
      title = fd::Localized("Folders left unlisted");
      message = unlistedInWords(notice);
      break;
  }
  ui::AlertView::make(title, message, nullptr, fd::Localized("OK"))->show();
}
}  // namespace

AppDelegate::AppDelegate() { gShared = this; }

AppDelegate::~AppDelegate() {
  if (gShared == this) {
    gShared = nullptr;
    fd::setDamagedFileHandler({});
    setProjectNoticeHandler({});
  }
}

AppDelegate* AppDelegate::sharedAppDelegate() { return gShared; }

bool AppDelegate::didFinishLaunching(ui::Application& app) {
  app.setStatusBarHidden(true);
  // The first touch of the model reads the defaults, the current project and
  // the per-sound limits and login record.
  ZTDataModel::sharedInstance();
  // The rotoscoping camera's filters can be named in filter configurations.
  registerSketchFilters();
  roto_art::registerWithImageCache();
  window_ = std::make_shared<ui::Window>(ui::Screen::main().bounds());
  loading_ = std::make_shared<ZTLoadingViewController>();
  window_->setRootViewController(loading_);
  window_->makeKeyAndVisible();
  // Files found unreadable (at this start, or later) are told about on the
  // main thread, over whatever is on screen.
  fd::setDamagedFileHandler([](const fd::DamagedFileReport& report) {
    fd::RunLoop::main().post([report] { tellDamagedFile(report); });
  });
  setProjectNoticeHandler([](const ProjectNotice& notice) {
    fd::RunLoop::main().post([notice] {
      // A close held for the same refusal says it already.
      const AppDelegate* delegate = sharedAppDelegate();
      if (notice.kind == ProjectNotice::Kind::ListNotWritten && delegate != nullptr && delegate->holdsQuit()) return;
      showProjectNotice(notice);
    });
  });
  app.registerForRemoteNotifications(kRemoteNotificationTypes);
  VTSystemManager::sharedManager();
  return true;
}

void AppDelegate::willEnterForeground(ui::Application& app) {
  app.registerForRemoteNotifications(kRemoteNotificationTypes);
}

AppDelegate::Saved AppDelegate::saveModel() {
  // The open page first (the background while it is being painted), so that
  // the list saved after it names every file drawn; then the pictures still
  // on the model's write queue.
  DesktopManagerController* desk = DesktopManagerController::sharedViewController();
  const bool pageSaved = desk == nullptr || desk->saveCurPage();
  ProjectDataModel::waitForImageWrites();
  ZTDataModel& model = ZTDataModel::sharedInstance();
  model.saveData();
  // A list the disk refused loses nothing while the one on disk says the same.
  const bool listSaved = !model.prjDataModel() || !model.prjDataModel()->unsavedList();
  model.extendDataModel().saveLumistoInfo();
  ++saves_;
  return {pageSaved, listSaved};
}

void AppDelegate::didEnterBackground(ui::Application&) { saveModel(); }

std::optional<ProjectNotice> listTheDiskRefuses() {
  const std::shared_ptr<ProjectDataModel>& project = ZTDataModel::sharedInstance().prjDataModel();
  if (!project) return std::nullopt;
  project->saveData();
  std::optional<ProjectNotice> unsaved = project->unsavedList();
  // A list refused as too large was told when it was refused, and staying
  // open would not let it be written.
  if (unsaved && unsaved->kind != ProjectNotice::Kind::ListNotWritten) return std::nullopt;
  return unsaved;
}

std::string keptOpenInWords(const ProjectNotice& refused, bool closing) {
  const bool room = roomMendsIt(refused.error);
  const std::string remedy = closing ? fd::Localized(room ? "free some space, then close it again"
                                                          : "close it again once that is mended")
                                     : fd::Localized(room ? "free some space, then try again"
                                                          : "try again once that is mended");
  return fd::filled("The project \u201c%@\u201d could not be saved: %@. It stays open until it can be saved: %@.",
                    {refused.project, refused.reason, remedy});
}

bool AppDelegate::holdsQuit() const {
  const std::shared_ptr<ui::AlertView> up = quitHeldAlert_.lock();
  return up && up->isVisible();
}

bool AppDelegate::shouldTerminate(ui::Application&) {
  // The page is written now, or the desk says why it cannot be and the
  // program stays, the page still open, until the user has made room.
  DesktopManagerController* desk = DesktopManagerController::sharedViewController();
  if (desk != nullptr && !desk->leavePage()) return false;
  // So is the project's list, which alone holds what the page does not (a
  // layer shown or hidden, a sound's tag, pages added or moved).
  ProjectDataModel::waitForImageWrites();
  const std::optional<ProjectNotice> refused = listTheDiskRefuses();
  if (!refused) return true;
  if (holdsQuit()) return false;
  std::shared_ptr<ui::AlertView> alert = ui::AlertView::make(fd::Localized("Project not saved"),
                                                             keptOpenInWords(*refused, true), nullptr,
                                                             fd::Localized("OK"));
  alert->show();
  quitHeldAlert_ = alert;
  return false;
}

void AppDelegate::willTerminate(ui::Application& app) {
  // A recording under way ends as its stop button ends it, its file whole
  // and its tag placed before the model is saved; nothing else is left
  // recording into a file the end of the process would cut off.
  DesktopManagerController* recordingDesk = DesktopManagerController::sharedViewController();
  if (auto* frames = recordingDesk ? dynamic_cast<ZTPicManagerView*>(recordingDesk->picManagerView()) : nullptr)
    if (SoundTrack* track = frames->soundTrack()) track->stopRecording();
  if (AudioRecorderManager::sharedManager().hasRecorder()) AudioRecorderManager::sharedManager().completeRecording();
  // The writes are tried once more; what still fails is lost with the
  // process, and whoever ended it hears which page or project, and why.
  const Saved saved = saveModel();
  if (saved.page && saved.list) return;
  if (DesktopManagerController* desk = DesktopManagerController::sharedViewController(); desk && !saved.page)
    std::fprintf(stderr, "flipdesk: %s\n",
                 fd::filled("%@ was not saved: %@.", {desk->openPageName(), desk->pageNotSavedReason()}).c_str());
  const std::shared_ptr<ProjectDataModel>& project = ZTDataModel::sharedInstance().prjDataModel();
  if (const std::optional<ProjectNotice> list = project ? project->unsavedList() : std::nullopt; list && !saved.list)
    std::fprintf(stderr, "flipdesk: %s\n",
                 fd::filled("the project \u201c%@\u201d was not saved: %@; what was changed since its last save is "
                            "lost.",
                            {list->project, list->reason})
                     .c_str());
  app.setExitStatus(kPageNotSavedExitStatus);
}
