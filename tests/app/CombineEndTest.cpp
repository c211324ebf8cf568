// The program asked to end (SIGTERM) while it combines a long project: it
// ends within moments, and the next start finds either the combination done
// and saved or every project listed as it was, never something in between:
// the mix of the first project's sound, made before the pages are carried,
// goes with a combination given up.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>

#include "app/AppTestSupport.h"
#include "app/videoEncode.h"
#include "model/LongProject.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/media/AudioFile.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// The names in a folder, and its count of entries.
std::set<std::string> namesIn(const fs::path& folder) {
  std::set<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    names.insert(it->path().filename().string());
  return names;
}

// Waits up to `seconds` for the child to end; its wait status, or nothing.
std::optional<int> waitFor(pid_t child, double seconds) {
  const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  int status = 0;
  while (Clock::now() < deadline) {
    if (::waitpid(child, &status, WNOHANG) == child) return status;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return std::nullopt;
}

// The mixes a combination made in Documents.
std::set<std::string> mixesIn(const fs::path& documents) {
  std::set<std::string> mixes;
  for (const std::string& name : namesIn(documents))
    if (name.starts_with("Rec")) mixes.insert(name);
  return mixes;
}

class CombineEndTest : public app_test::AppTest {};

// 100,620 frames were still being combined after 15 minutes, and SIGTERM was
// not heard meanwhile.
TEST_F(CombineEndTest, SigtermDuringALongCombinationEndsTheProgramWithNothingHalfMade) {
  constexpr int kFrames = 20000;
  const fs::path projects = fd::paths::library() / "Projects";
  ASSERT_TRUE(model_test::writeLongProject(projects / "Short", 10, 1));
  ASSERT_TRUE(model_test::writeLongProject(projects / "Long", kFrames, 0));
  {
    std::shared_ptr<ProjectDataModel> withSound = ProjectDataModel::initWithProjectName("Short");
    withSound->setSoundTags({SoundTag{"voice.caf", {{49.0f, 100.0f}}, {{1, 2}}}});
    ASSERT_TRUE(withSound->saveData());
    ASSERT_TRUE(media::writeMonoCaf(fd::paths::documents() / "voice.caf", std::vector<float>(800, 0.25f)));
  }
  const std::set<std::string> shortBefore = namesIn(projects / "Short");
  const std::set<std::string> longBefore = namesIn(projects / "Long");

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    start();
    ZTDataModel& model = ZTDataModel::sharedInstance();
    model.setProjectsNameArray({ZTDataModel::kDefaultProjectName, "Short", "Long"});
    model.saveData();
    videoEncode::registerAsSoundMerger();
    ui::Application& app = ui::Application::shared();
    app.terminateOnSignals();
    model.combineSoundFileWithProject({"Short", "Long"});
    for (int turn = 0; turn < 100000 && !app.isTerminated(); ++turn) {
      host->advance(0.05);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ::_exit(app.isTerminated() ? 0 : 1);
  }
  // The signal comes once the long project's pages are being carried over
  // (a page the folder did not hold; a list's write in flight is none), or
  // after a while in any case.
  const auto carrying = [&] {
    const std::set<std::string> now = namesIn(projects / "Short");
    return std::any_of(now.begin(), now.end(),
                       [&](const std::string& n) { return n.ends_with(".png") && !shortBefore.contains(n); });
  };
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  while (Clock::now() < deadline && !carrying()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_EQ(::kill(child, SIGTERM), 0);
  const std::optional<int> status = waitFor(child, 30);
  if (!status) {
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    FAIL() << "the program did not end";
  }
  ASSERT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status);
  EXPECT_EQ(WEXITSTATUS(*status), 0) << "the application did not terminate";

  // The next start.
  ZTDataModel::resetSharedInstanceForTesting();
  fd::UserDefaults::resetStandardForTesting();
  ZTDataModel& model = ZTDataModel::sharedInstance();
  const std::vector<std::string>& listed = model.projectsNameArray();
  if (std::find(listed.begin(), listed.end(), "Long") != listed.end()) {
    // The pages carried by then were left as a kill there would leave them,
    // and this start took them back.
    SCOPED_TRACE("given up");
    ZTDataModel::waitForRemovals();
    EXPECT_EQ(namesIn(projects / "Short"), shortBefore);
    EXPECT_EQ(namesIn(projects / "Long"), longBefore);
    EXPECT_EQ(ProjectDataModel::initWithProjectName("Short")->imagesArray().size(), 10u);
    EXPECT_EQ(ProjectDataModel::initWithProjectName("Long")->imagesArray().size(), static_cast<std::size_t>(kFrames));
    EXPECT_EQ(mixesIn(fd::paths::documents()), std::set<std::string>{}) << "a mix no tag names was left";
  } else {
    SCOPED_TRACE("combined");
    EXPECT_FALSE(fs::exists(projects / "Long"));
    std::shared_ptr<ProjectDataModel> combined = ProjectDataModel::initWithProjectName("Short");
    ASSERT_EQ(combined->imagesArray().size(), static_cast<std::size_t>(kFrames + 10));
    const std::vector<std::string> sounds = combined->soundNameArray();
    EXPECT_EQ(mixesIn(fd::paths::documents()), std::set<std::string>(sounds.begin(), sounds.end()));
    // Every file of the folder is one the list names, and every one it names is there.
    std::set<std::string> named = {"Project.plist"};
    for (const FrameRecord& r : combined->imagesArray()) {
      named.insert(r.iconName + "Icon.png");
      named.insert(r.iconName + "Snapshot.png");
      for (const std::string& id : r.laysArray) named.insert(id + ".png");
    }
    EXPECT_EQ(namesIn(projects / "Short"), named);
  }
}

}  // namespace
