// GLib ends the process when it cannot start a thread; under an address-space
// ceiling the program then says why, in its own words.
#include "platform/graphics/LibraryEnd.h"

#include <glib.h>
#include <gtest/gtest.h>

#include "graphics/MemoryCeiling.h"

namespace {

gpointer nothing(gpointer) { return nullptr; }

[[noreturn]] void startAGLibThreadWithNoRoomForIt() {
  gfx::tellWhenGLibEndsTheProcess();
  testing_support::limitAddressSpaceGrowth(std::size_t{16} << 20);
  if (!testing_support::mapEveryNewThreadStackAnew()) std::_Exit(0);
  g_thread_unref(g_thread_new("no room", nothing, nullptr));
  std::_Exit(0);
}

TEST(LibraryEnd, AThreadGLibCannotStartEndsTheProcessWithTheCeilingNamed) {
  FD_SKIP_WITHOUT_ADDRESS_SPACE_CEILING();
  EXPECT_DEATH(startAGLibThreadWithNoRoomForIt(),
               "flipdesk: ends, as a library it uses cannot go on: its address-space limit of [0-9]+ MiB "
               "\\(ulimit -v\\)\nleaves no room for what it was doing. Raise the limit and start it again.");
}

}  // namespace
