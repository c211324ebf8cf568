// The random walk through the desk: seeded steps of real touches on the
// desk's own controls, each checked against a model of what every page's
// layers must hold. The walk runs in forked children; each is killed at a
// chosen moment (after a step, with a finger still drawing, or as a paused
// drawing comes to be written: just before, while and after), and the next
// one starts the program again on the same sandbox and first checks that the
// project on disk is what the model last saved.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "desk/DeskTestSupport.h"
#include "desk/StampLibrary.h"
#include "desk/frames/PictureLoad.h"
#include "desk/walk/DeskWalk.h"
#include "platform/foundation/UserDefaults.h"
#include "services/VTSystemManager.h"
#include "support/ChildProcess.h"

#if defined(__SANITIZE_ADDRESS__)
#define DESK_WALK_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DESK_WALK_SANITIZED 1
#endif
#endif

namespace {

using desk_walk::DeskWalk;
using desk_walk::Model;
using testing_support::runInChild;

struct WalkCase {
  std::uint64_t seed;
  int steps;
  bool tall = false;
  float scale = 1;
  // Alerts fade on the clock and their fades end inside a composition.
  bool timedAlerts = false;
};

std::ostream& operator<<(std::ostream& out, const WalkCase& c) {
  return out << "seed " << c.seed << ", " << c.steps << " steps" << (c.tall ? ", tall screen" : "")
             << (c.scale > 1 ? ", 2x" : "") << (c.timedAlerts ? ", timed alerts" : "");
}

// The sanitizer build is several times slower: it walks a shorter way.
int stepsFor(int steps) {
#ifdef DESK_WALK_SANITIZED
  return steps / 4;
#else
  return steps;
#endif
}

class DeskWalkTest : public desk_test::DeskTest, public testing::WithParamInterface<WalkCase> {
 protected:
  // The program as a person starts it: user defaults read from disk, the
  // stamp library's server a closed port on this machine.
  void startProgram(bool tall, float scale) {
    fd::UserDefaults::resetStandardForTesting();
    fd::UserDefaults::standard().setObject(ResourceDownLoadManager::kServerDefaultsKey, "http://127.0.0.1:9");
    ResourceDownLoadManager::resetSharedForTesting();
    VTSystemManager::resetSharedManagerForTesting();
    start(tall, scale);
  }

  std::filesystem::path statePath() const { return root() / "walk-model.bin"; }

  // How a run of the program ends when it is killed.
  enum class Kill { AfterStep, MidStroke, ShortOfSave, SaveStarted, Saved };

  // One run of the program: steps [from, to), then a kill unless it is the last.
  void segment(const WalkCase& c, int from, int to, bool last, Kill kill) {
    Model model;
    if (std::ifstream in{statePath(), std::ios::binary}) {
      std::stringstream bytes;
      bytes << in.rdbuf();
      ASSERT_TRUE(model.deserialise(bytes.str())) << "the walk's saved model cannot be read";
    } else {
      model.disk.insertEmpty(0);
    }
    startProgram(c.tall, c.scale);
    DeskWalk walk(*host, *desk, model, c.seed);
    walk.setTimedAlerts(c.timedAlerts);
    auto failed = [&](const char* when) {
      if (!HasFailure()) return false;
      std::fprintf(stderr, "\nDesk walk %s failed %s. Last actions:\n%s\n", testing::PrintToString(c).c_str(), when,
                   walk.recentActions().c_str());
      return true;
    };
    walk.checkProjectOnDisk();
    if (failed("on the project found at a start")) return;
    model.started();
    walk.checkDesk();
    if (failed("on the desk just started")) return;
    for (int n = from; n < to; ++n) {
      walk.step(n);
      if (failed(("at step " + std::to_string(n)).c_str())) return;
    }
    if (last) {
      picture_load::waitAll();
      return;
    }
    switch (kill) {
      case Kill::AfterStep: break;
      case Kill::MidStroke: walk.holdStroke(to); break;
      case Kill::ShortOfSave: walk.pauseShortOfSave(to); break;
      case Kill::SaveStarted: walk.pauseUntilSaveStarts(to); break;
      case Kill::Saved: walk.pauseUntilSaved(to); break;
    }
    if (failed("before the kill")) return;
    walk.killed();
    const std::string bytes = model.serialise();
    const std::filesystem::path temp = statePath().string() + ".new";
    {
      std::ofstream out{temp, std::ios::binary | std::ios::trunc};
      out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::filesystem::rename(temp, statePath());
    std::fflush(nullptr);
    ::kill(::getpid(), SIGKILL);
  }

  void walk(const WalkCase& c) {
    std::mt19937_64 plan(c.seed);
    const int steps = stepsFor(c.steps);
    int done = 0;
    while (done < steps && !HasFailure()) {
      const int longest = std::max(20, steps / 6);
      const int len = std::min(steps - done, std::max(10, static_cast<int>(plan() % static_cast<std::uint64_t>(longest))));
      const bool last = done + len >= steps;
      // A third of the kills fall mid-stroke; the rest after a step, or
      // around the write of a paused drawing.
      const std::uint64_t how = plan();
      static constexpr Kill kKills[] = {Kill::AfterStep, Kill::ShortOfSave, Kill::SaveStarted, Kill::Saved};
      const Kill kill = how % 3 == 0 ? Kill::MidStroke : kKills[how / 3 % 4];
      const auto r = runInChild([&] { segment(c, done, done + len, last, kill); });
      if (last) {
        EXPECT_TRUE(r.exited && r.exitCode == 0)
            << "the walk (" << testing::PrintToString(c) << ") failed in steps " << done << ".." << done + len - 1;
      } else {
        EXPECT_EQ(r.signal, SIGKILL) << "the walk (" << testing::PrintToString(c) << ") failed in steps " << done << ".."
                                     << done + len - 1;
      }
      done += len;
    }
  }
};

TEST_P(DeskWalkTest, TheDeskAndTheDiskAgreeWithTheModelAtEveryStep) { walk(GetParam()); }

// 1,040 steps in all. Seeds 3 and 4 first found a layer's eye switched in
// background mode writing the background into the page's snapshot; seeds 2
// and 4 find it as the walk goes now.
INSTANTIATE_TEST_SUITE_P(Seeds, DeskWalkTest,
                         testing::Values(WalkCase{1, 260}, WalkCase{2, 260, false, 2, true}, WalkCase{3, 260},
                                         WalkCase{4, 260, true, 1, true}));

// Seeds that once failed, each with the length it failed at (the kills fall
// where the seed and the length put them):
// 230: a lasso cut in background mode blurred the painting around the outline
//      (the walk has changed since and no longer comes by it; the stamp
//      tool's own tests keep that fault).
// 26: the first project was not on disk until a page turn or a pause wrote its
//     list, so a page that playing wrote was lost at a kill.
// 3, 65 steps (the walk of seed 3 in the sanitizer build): a kill while a new
//     background's first picture, blank again after undoing, was held on its
//     way to the disk left the background without a file, as it was made; the
//     model took a missing file for a blank picture written, and so for the
//     write done and its file lost.
INSTANTIATE_TEST_SUITE_P(Regressions, DeskWalkTest,
                         testing::Values(WalkCase{230, 500, true}, WalkCase{26, 260}, WalkCase{3, 65}));

// Further seeds on demand, to look for faults: DESK_WALK_SEEDS=first-last
// (every fifth on the tall screen, every third at 2x, every second with timed
// alerts), DESK_WALK_STEPS=n steps each (default 260).
std::vector<WalkCase> requestedSeeds() {
  std::vector<WalkCase> out;
  const char* seeds = std::getenv("DESK_WALK_SEEDS");
  const char* steps = std::getenv("DESK_WALK_STEPS");
  unsigned long long first = 0, last = 0;
  if (seeds && std::sscanf(seeds, "%llu-%llu", &first, &last) == 2)
    for (unsigned long long s = first; s <= last; ++s)
      out.push_back({s, steps ? std::atoi(steps) : 260, s % 5 == 0, s % 3 == 0 ? 2.0f : 1.0f, s % 2 == 0});
  return out;
}
INSTANTIATE_TEST_SUITE_P(Requested, DeskWalkTest, testing::ValuesIn(requestedSeeds()));
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(DeskWalkTest);

}  // namespace
