// Where no sound card opens, a thread of the output's own consumes the mix in
// time so that players keep time in silence. Under an address-space ceiling
// that leaves no room for its stack either, adding a sound ended the
// process (an exception out of the player that added it); it waits instead.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "graphics/MemoryCeiling.h"
#include "platform/media/AudioOutput.h"

namespace {

class Silence : public media::AudioSource {
 public:
  bool mixInto(float*, std::size_t) override { return true; }
};

TEST(AudioOutputUnderCeiling, ASoundWithNoRoomForThePacingThreadWaitsInTheMix) {
  FD_SKIP_WITHOUT_ADDRESS_SPACE_CEILING();
  const auto child = testing_support::runInChild([] {
    ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);  // no sound card
    media::AudioOutput& output = media::AudioOutput::shared();
    output.setManualRendering(false);
    testing_support::limitAddressSpaceGrowth(std::size_t{16} << 20);
    ASSERT_TRUE(testing_support::mapEveryNewThreadStackAnew());
    const auto sound = std::make_shared<Silence>();
    EXPECT_NO_THROW(output.add(sound));
    EXPECT_FALSE(output.hasDevice());
    EXPECT_TRUE(output.contains(sound.get()));
  });
  EXPECT_TRUE(child.exited && child.exitCode == 0) << "exit " << child.exitCode << ", signal " << child.signal;
}

}  // namespace
