#pragma once
// Pictures read from files on a thread of their own and handed to the main
// loop: the frame manager's thumbnails and its player. Callers resolve the
// paths on the main thread, where the model changes, and decide there which
// load is still wanted.
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "platform/graphics/Image.h"

namespace picture_load {

using Pictures = std::vector<std::optional<gfx::Image>>;

// Reads every path (a missing path or file gives no picture) on a new thread,
// then runs done with them on the main loop.
void start(std::vector<std::optional<std::filesystem::path>> paths, std::function<void(Pictures&)> done);
// Loads still reading their files.
int inFlight();
// Blocks until every started load has posted its pictures, then runs the main
// loop so they are set. Main thread only.
void waitAll();

}  // namespace picture_load
