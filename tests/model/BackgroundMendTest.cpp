// A project's list naming a still background whose copy is missing is mended
// at the model's start, for the open project and every listed project whose
// folder leaves it in doubt (a copy without the other, or the mark of a
// background given before it had a picture, or of a change cut short, which
// goes once the copies are in order): the copy is taken again
// from the backgrounds when they have the picture, and the background is
// dropped when no picture of it is left; each is told with the project's and
// the background's names. A background of the user's never painted has no
// picture to lose and stays.
#include <map>

#include "model/Backgrounds.h"
#include "model/ModelTestSupport.h"
#include "model/ProjectNotice.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"

namespace {

using model_test::ModelTest;
using model_test::readText;
using model_test::writeTinyPng;
namespace fs = std::filesystem;

class BackgroundMendTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    takeProjectNotices();
  }
  static void restart() {
    ZTDataModel::resetSharedInstanceForTesting();
    fd::UserDefaults::resetStandardForTesting();
  }
  ZTDataModel& model() { return ZTDataModel::sharedInstance(); }
  fs::path gallery(const std::string& name, bool icon) {
    return model().backgroundPath() / (name + (icon ? "Icon.png" : ".png"));
  }
  // A listed project whose list names the background, with its copies.
  std::shared_ptr<ProjectDataModel> projectWith(const std::string& project, const std::string& background) {
    EXPECT_TRUE(model().createProject(project, ""));
    std::shared_ptr<ProjectDataModel> p = model().prjDataModel();
    EXPECT_TRUE(model().attachBackground(*p, background, false));
    EXPECT_EQ(fs::exists(*p->backgroundFullPath()), fs::exists(gallery(background, false)));
    EXPECT_TRUE(model().saveData());
    return p;
  }
  std::uint8_t seed_ = 0;
};

TEST_F(BackgroundMendTest, AMissingCopyIsTakenAgainFromTheBackgroundsOrTheBackgroundDropped) {
  const std::string painted = "US20240101000000001", lost = "US20240101000000002", unpainted = "US20240101000000003";
  // Given before it was painted, and taken out of the backgrounds since.
  const std::shared_ptr<ProjectDataModel> gone = projectWith("gone", lost);
  writeTinyPng(gallery(painted, false), ++seed_);
  writeTinyPng(gallery(painted, true), ++seed_);
  model().setBackgroundArray({painted, unpainted});
  ASSERT_TRUE(model().saveData());
  // Its copy gone; its icon gone; never painted.
  const std::shared_ptr<ProjectDataModel> noCopy = projectWith("no copy", painted);
  fs::remove(*noCopy->backgroundFullPath());
  const std::shared_ptr<ProjectDataModel> noIcon = projectWith("no icon", painted);
  fs::remove(*noIcon->backgroundIconFullPath());
  const std::shared_ptr<ProjectDataModel> fresh = projectWith("fresh", unpainted);
  EXPECT_FALSE(fs::exists(*fresh->backgroundFullPath()));
  // Its copies in order, and the mark of a change a kill cut short just
  // before it would have gone.
  const std::shared_ptr<ProjectDataModel> marked = projectWith("marked", painted);
  const fs::path mark = marked->projectDicPath() / kBackgroundMendMark;
  ASSERT_TRUE(fd::files::touchFile(mark));
  // An animated background shows no copy: its change leaves no mark.
  const std::shared_ptr<ProjectDataModel> animated = projectWith("animated", "SD1");
  EXPECT_FALSE(fs::exists(animated->projectDicPath() / kBackgroundMendMark));
  // The open project is one to mend, though neither copy is left to put
  // its folder in doubt.
  const std::shared_ptr<ProjectDataModel> noCopies = projectWith("no copies", painted);
  fs::remove(*noCopies->backgroundFullPath());
  fs::remove(*noCopies->backgroundIconFullPath());
  ASSERT_TRUE(model().saveData());
  takeProjectNotices();

  restart();
  ZTDataModel& m = model();
  std::map<std::string, ProjectNotice> told;
  for (const ProjectNotice& n : takeProjectNotices()) told[n.project] = n;
  for (const char* name : {"no copy", "no icon", "no copies"}) {
    SCOPED_TRACE(name);
    const std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName(name);
    EXPECT_EQ(p->curBackgroundName(), painted);
    EXPECT_EQ(readText(*p->backgroundFullPath()), readText(gallery(painted, false)));
    EXPECT_EQ(readText(*p->backgroundIconFullPath()), readText(gallery(painted, true)));
    ASSERT_TRUE(told.contains(name)) << "not told";
    EXPECT_EQ(told[name].kind, ProjectNotice::Kind::BackgroundRestored);
    EXPECT_EQ(told[name].background, painted);
  }
  const std::shared_ptr<ProjectDataModel> dropped = ProjectDataModel::initWithProjectName("gone");
  EXPECT_FALSE(dropped->curBackgroundName().has_value());
  ASSERT_TRUE(told.contains("gone")) << "not told";
  EXPECT_EQ(told["gone"].kind, ProjectNotice::Kind::BackgroundDropped);
  EXPECT_EQ(told["gone"].background, lost);
  EXPECT_EQ(ProjectDataModel::initWithProjectName("fresh")->curBackgroundName(), unpainted);
  EXPECT_FALSE(told.contains("fresh"));
  EXPECT_EQ(told.size(), 4u);
  // The mark goes once the copies are found in order: every later start
  // read the project's list again.
  EXPECT_FALSE(fs::exists(mark));
  // The open project is mended in memory too.
  ASSERT_EQ(m.curProjectName(), "no copies");
  ASSERT_TRUE(m.prjDataModel()->backgroundFullPath().has_value());
  EXPECT_EQ(readText(*m.prjDataModel()->backgroundFullPath()), readText(gallery(painted, false)));

  restart();
  model();
  EXPECT_TRUE(takeProjectNotices().empty()) << "told again at the next start";
}

}  // namespace
