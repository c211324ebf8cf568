// Clip players that read their sound on a thread of their own: the answer
// comes at once, the player keeps time in silence until the sound is there,
// and a file that cannot be played is told on the main loop and ends silently.
#include <gtest/gtest.h>

#include "platform/foundation/RunLoop.h"
#include "platform/media/AudioFile.h"
#include "platform/media/AudioOutput.h"
#include "platform/media/ClipPlayer.h"
#include "support/Sandbox.h"
#include "support/SoundFiles.h"

namespace {

namespace fs = std::filesystem;
using testing_support::writeSineWav8;

std::vector<float> render(std::size_t n) {
  std::vector<float> out(n);
  media::AudioOutput::shared().render(out.data(), n);
  return out;
}

class ClipLoadTest : public testing_support::SandboxTest {
 protected:
  ClipLoadTest() { media::AudioOutput::shared().setManualRendering(true); }
  ~ClipLoadTest() override {
    media::ClipPlayer::waitForLoads();
    media::AudioOutput::shared().setManualRendering(true);
  }
};

TEST_F(ClipLoadTest, ALoadAnswersAtOnceAndKeepsTimeUntilItsSoundIsRead) {
  // Nine minutes at 4000 Hz: long enough that the decode is still going
  // when load has answered.
  const fs::path file = root() / "long.wav";
  writeSineWav8(file, 4000, 9 * 60 * 4000);
  std::vector<std::string> told;
  auto clip = media::ClipPlayer::load(file, [&](const fd::Status& s) { told.push_back(s ? "read" : s.error()); });
  EXPECT_TRUE(clip->isLoading());
  EXPECT_EQ(clip->file(), file);
  clip->setCurrentTime(2.0);
  ASSERT_TRUE(clip->play());
  for (float s : render(441)) ASSERT_EQ(s, 0.0f);  // silence while reading, in time
  media::ClipPlayer::waitForLoads();
  EXPECT_EQ(told, std::vector<std::string>{"read"});
  EXPECT_FALSE(clip->isLoading());
  EXPECT_NEAR(clip->currentTime(), 2.01, 1e-9);
  auto whole = media::decodeSound(file);
  ASSERT_TRUE(whole.ok());
  const std::vector<float> heard = render(100);
  for (std::size_t i = 0; i < heard.size(); ++i) ASSERT_EQ(heard[i], (*whole)[88641 + i]) << i;
}

TEST_F(ClipLoadTest, ARefusedLoadIsToldOnTheMainLoopAndEndsSilently) {
  const fs::path file = root() / "one-hertz.wav";
  writeSineWav8(file, 1, 20000);
  std::string told;
  int finished = 0;
  auto clip = media::ClipPlayer::load(file, [&](const fd::Status& s) { told = s.error(); });
  clip->setFinishHandler([&] { ++finished; });
  clip->setNumberOfLoops(-1);
  // The decode may refuse the file before play() is asked (on a busy
  // machine it does) or after: either way nothing is heard and no end told.
  clip->play();
  media::ClipPlayer::waitForLoads();
  EXPECT_NE(told.find("\"one-hertz.wav\" has a sample rate of 1 Hz"), std::string::npos) << told;
  for (float s : render(1000)) ASSERT_EQ(s, 0.0f);
  EXPECT_FALSE(clip->isPlaying());
  EXPECT_EQ(media::AudioOutput::shared().sourceCount(), 0u);
  EXPECT_FALSE(clip->play());
  fd::RunLoop::main().runUntilIdle();
  EXPECT_EQ(finished, 0);  // it never played: no end to tell
}

}  // namespace
