// An export killed midway: the pictures written so far stay in a hidden
// folder that no project list names, and the next start sweeps them away; no
// "Roto" project that looks complete is left behind.
#include "platform/foundation/CrashPoint.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Localized.h"
#include "platform/foundation/Paths.h"
#include "roto/RotoScreenFixture.h"
#include "support/ChildProcess.h"

namespace {

namespace fs = std::filesystem;
using roto::VTRotoscopingViewController;

// The program runs in a forked child, so the parent starts no thread (the
// model's write queue among them) before the fork.
class RotoExportKillTest : public roto_test::RotoscopingScreenTest {
 protected:
  void SetUp() override {}
};

std::vector<std::string> hiddenProjects() {
  std::vector<std::string> out;
  for (const std::string& name : fd::files::contentsOfDirectory(fd::paths::library() / "Projects"))
    if (!name.empty() && name.front() == '.') out.push_back(name);
  return out;
}

TEST_F(RotoExportKillTest, AnExportKilledMidwayLeavesNoRotoProject) {
  const auto child = testing_support::runInChild([&] {
    FileManagerView::registerWithDesk();
    ZTLoadingViewController* launch = start();
    VTRotoscopingViewController* screen = openWithRecording(launch, 4.0);
    ASSERT_NE(screen, nullptr);
    // Killed once the tenth of the 41 pictures is on disk.
    fd::armCrashPoint("project.image-written", 10);
    screen->saveAction();
    ASSERT_TRUE(host->pressAlertButton(fd::Localized("Middle Ground")));
    pumpUntil([] { return false; });
  });
  ASSERT_TRUE(child.crashedAtPoint()) << "exited " << child.exited << " code " << child.exitCode;

  const fs::path projects = fd::paths::library() / "Projects";
  const std::vector<std::string> hidden = hiddenProjects();
  ASSERT_EQ(hidden.size(), 1u);
  EXPECT_TRUE(ZTDataModel::isCreationStagingName(hidden[0])) << hidden[0];
  EXPECT_EQ(hidden[0].rfind(".Roto.", 0), 0u);
  EXPECT_FALSE(fs::exists(projects / "Roto"));
  // The next start: no "Roto" listed or opened, and the leftovers are gone.
  ZTDataModel& model = ZTDataModel::sharedInstance();
  for (const std::string& name : model.projectsNameArray()) EXPECT_EQ(name.find("Roto"), std::string::npos) << name;
  EXPECT_EQ(model.curProjectName().find("Roto"), std::string::npos);
  ZTDataModel::waitForRemovals();  // the start has the leftovers emptied off its thread
  EXPECT_TRUE(hiddenProjects().empty());
}

}  // namespace
