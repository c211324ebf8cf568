// A project the desk grows past what the next start reads keeps the list saved
// last: adding frames, the pause's saves and quitting write nothing over it,
// the user is told once in an alert naming the project, the quit ends with
// the status of a project not saved, and the next start opens the project as
// it was saved instead of setting its list aside.
#include <string>

#include "app/AppTestSupport.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/UserDefaults.h"
#include "support/ListBound.h"

namespace {

constexpr std::uint64_t kBound = 64 << 10;

class ProjectListBoundTest : public app_test::AppTest {
 protected:
  ZTDataModel& model() { return ZTDataModel::sharedInstance(); }
  // The alerts on screen that say a project was not saved.
  std::vector<ui::ButtonSheet*> notSaved() {
    std::vector<ui::ButtonSheet*> found;
    for (ui::ButtonSheet* alert : host->alerts())
      if (alert->title() == "Project not saved") found.push_back(alert);
    return found;
  }
};

TEST_F(ProjectListBoundTest, FramesAddedPastTheBoundAreToldOnceAndTheListSavedLastOpens) {
  testing_support::ScopedListFileBound bound(kBound);
  DesktopManagerController* desk = openDesk(start());
  ASSERT_NE(desk, nullptr);
  ProjectDataModel& project = *model().prjDataModel();
  const std::string name = project.curProjectName();
  const std::filesystem::path list = project.plistFilePath();
  ASSERT_TRUE(project.saveData());
  const std::string described(kBound - 150 - *fd::files::fileSize(list), 'x');
  project.setDescription(described);
  ASSERT_TRUE(project.saveData());
  const std::optional<fd::Data> saved = testing_support::fileBytes(list);

  for (int i = 0; i < 3; ++i) desk->paperOperation(desk->drawerButton(DesktopManagerController::kTagAddFrame));
  host->runUntilIdle();
  ASSERT_EQ(project.imagesArray().size(), 4u);
  ASSERT_EQ(notSaved().size(), 1u) << "the user is not told, or told at each save";
  const std::string told = notSaved()[0]->message();
  EXPECT_NE(told.find("\u201c\u2068" + name + "\u2069\u201d"), std::string::npos) << told;
  // Its figures read as more than the bound they pass, in one unit.
  EXPECT_NE(told.find("it is too large to keep, as it would be saved as 64 KiB and "), std::string::npos) << told;
  EXPECT_NE(told.find(" bytes, more than the 64 KiB a list may be."), std::string::npos) << told;
  ASSERT_TRUE(host->pressAlertButton(0));
  host->runUntilIdle();
  // Strokes and the pauses' saves after them, then quitting: no other alert.
  for (int stroke = 0; stroke < 3; ++stroke) {
    host->drag(onPage(desk, 40, 40.0f + 60 * stroke), onPage(desk, 300, 60.0f + 60 * stroke), 8);
    host->runUntilIdle();
    host->advance(2.1);
    desk->drawsView()->waitForPageWrites();
    ProjectDataModel::waitForImageWrites();
    host->runUntilIdle();
  }
  EXPECT_TRUE(notSaved().empty()) << "told again while the project stays too large";
  EXPECT_TRUE(ui::Application::shared().requestTermination());
  host->runUntilIdle();
  EXPECT_TRUE(notSaved().empty()) << "told again at quitting";
  EXPECT_EQ(ui::Application::shared().exitStatus(), AppDelegate::kPageNotSavedExitStatus) << "ended as if saved";
  EXPECT_TRUE(testing_support::fileBytes(list) == saved) << "the list saved last was written over";

  ui::Application::shared().reset();
  host.reset();
  ZTDataModel::resetSharedInstanceForTesting();
  fd::UserDefaults::resetStandardForTesting();
  ASSERT_NE(openDesk(start()), nullptr);
  EXPECT_TRUE(host->alerts().empty()) << host->alerts()[0]->message();
  EXPECT_EQ(model().curProjectName(), name);
  EXPECT_FALSE(model().prjDataModel()->keptDamagedFile());
  EXPECT_EQ(model().prjDataModel()->imagesArray().size(), 1u);
  EXPECT_TRUE(model().prjDataModel()->description() == described);
}

}  // namespace
