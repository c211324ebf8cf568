#include "app/DeskRoom.h"

#include <cstdint>

#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Localized.h"
#include "platform/foundation/ProcessMemory.h"
#include "platform/gl/Display.h"

namespace desk_room {

namespace {

// The first desk takes about 220 MB beyond the launch screen besides the
// rasteriser's stacks (the GL driver's libraries and what they make), and
// drawing and saving a few pages 25 MB more.
constexpr std::uint64_t kFirstDesk = std::uint64_t{256} << 20;
// Once the driver is loaded a new desk takes the place of the last one; its
// work still needs room for a thread or two.
constexpr std::uint64_t kLaterDesk = std::uint64_t{16} << 20;

}  // namespace

std::uint64_t need() {
  if (glx::Display::opened()) return kLaterDesk;
  // Each rasteriser thread has a stack of its own and one in its compute pool.
  const auto stacks = 2 * static_cast<std::uint64_t>(fd::rasterThreads()) * fd::defaultThreadStack();
  return kFirstDesk + stacks;
}

std::optional<std::string> shortfall() {
  const std::optional<std::uint64_t> room = fd::addressSpaceRoom();
  const std::optional<std::uint64_t> ceiling = fd::addressSpaceCeiling();
  const std::uint64_t needed = need();
  if (!room || !ceiling || *room >= needed) return std::nullopt;
  return fd::Localized("The desk needs about") + " " + fd::files::describeSize(needed) + " " +
         fd::Localized("more memory, and the program's address-space limit") + " (" +
         fd::files::describeSize(*ceiling) + ") " + fd::Localized("leaves it") + " " +
         fd::files::describeSize(*room) + ". " +
         fd::Localized("Quit, raise the limit (ulimit -v) and start the program again.");
}

}  // namespace desk_room
