// flipdesk's entry: parses the options, chooses the screen, starts the
// application with its delegate in a window (or headless) and runs the main
// loop until the application terminates.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "app/AppDelegate.h"
#include "app/FileManagerView.h"
#include "app/videoEncode.h"
#include "model/DeviceScreen.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Localized.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/ProcessMemory.h"
#include "platform/foundation/RunLoop.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/LibraryEnd.h"
#include "platform/ui/Alert.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "platform/ui/SdlHost.h"

namespace {

struct Options {
  bool tall = false;
  float scale = 1;
  bool headless = false;
  std::optional<double> exitAfter;
  std::string screenshot;
};

void usage() {
  std::fprintf(stderr,
               "usage: flipdesk [--tall] [--scale 1|2] [--headless] [--exit-after SECONDS] [--screenshot FILE.png]\n");
}

std::optional<Options> parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (a == "--tall") {
      o.tall = true;
    } else if (a == "--headless") {
      o.headless = true;
    } else if (a == "--scale") {
      const char* v = value();
      if (!v || (std::strcmp(v, "1") != 0 && std::strcmp(v, "2") != 0)) return std::nullopt;
      o.scale = static_cast<float>(std::atoi(v));
    } else if (a == "--exit-after") {
      const char* v = value();
      char* end = nullptr;
      double s = v ? std::strtod(v, &end) : -1;
      if (!v || *end != '\0' || !(s >= 0)) return std::nullopt;
      o.exitAfter = s;
    } else if (a == "--screenshot") {
      const char* v = value();
      if (!v) return std::nullopt;
      o.screenshot = v;
    } else {
      return std::nullopt;
    }
  }
  return o;
}

// What the launch screen takes beyond what the program holds as it starts
// (25 MB measured, a thread of the text layout library's among it), with
// room to spare: too little ends the process in a library that cannot start
// its thread.
constexpr std::uint64_t kRoomToStart = std::uint64_t{48} << 20;

// Whether the address-space ceiling leaves the program room to start; when
// not, says so on standard error.
bool roomToStart() {
  const std::optional<std::uint64_t> room = fd::addressSpaceRoom();
  if (!room || *room >= kRoomToStart) return true;
  std::fprintf(stderr,
               "flipdesk: cannot start under an address-space limit of %s (ulimit -v): it holds %s as it begins\n"
               "and needs %s more. Raise the limit, or start it without one.\n",
               fd::files::describeSize(fd::addressSpaceCeiling().value_or(0)).c_str(),
               fd::files::describeSize(fd::addressSpaceInUse().value_or(0)).c_str(),
               fd::files::describeSize(kRoomToStart).c_str());
  return false;
}

// A second start on a data folder in use (a launcher clicked twice) would
// open the same projects and write over the other run's lists and pages.
std::string dataFolderInUse() {
  std::string text = fd::Localized(
      "flipdesk is already running with the data folder %@. This second start ends, so that neither run writes over "
      "the other's work; use the window already open. To run another one beside it, give it a data folder of its "
      "own (FLIPDESK_HOME).");
  if (const std::size_t at = text.find("%@"); at != std::string::npos) text.replace(at, 2, fd::paths::home().string());
  return text;
}

// A data folder that cannot be written would take the user's drawing and
// keep none of it: the start ends, saying what refused it.
std::string dataFolderNotWritable(bool made, const std::string& why) {
  return fd::filled(made ? "flipdesk cannot write in its data folder %@ (%@), so it ends without changing anything "
                           "there. Make the folder writable, or give flipdesk another data folder (FLIPDESK_HOME)."
                         : "flipdesk cannot make its data folder %@ (%@), so it ends. Make its place writable, or "
                           "give flipdesk another data folder (FLIPDESK_HOME).",
                    {fd::paths::home().string(), why});
}

// The application of a start that must not go on: an alert says why, and
// the program ends once it is answered or its window closed, having touched
// nothing in the data folder.
class StartRefused : public ui::ApplicationDelegate, public ui::AlertViewDelegate {
 public:
  static constexpr int kExitStatus = 1;
  StartRefused(std::string title, std::string message) : title_(std::move(title)), message_(std::move(message)) {}
  bool didFinishLaunching(ui::Application& app) override {
    app.setExitStatus(kExitStatus);
    ui::AlertView::make(title_, message_, this, fd::Localized("OK"))->show();
    return true;
  }
  void didDismissWithButtonIndex(ui::ButtonSheet&, int) override { ui::Application::shared().terminate(); }

 private:
  std::string title_, message_;
};

}  // namespace

int main(int argc, char** argv) {
  // Before the first thread: every idle arena would keep its 64 MB reserved,
  // and every rasteriser thread its stacks, which a file operation or the
  // desk under an address-space ceiling would find gone.
  fd::fitToAddressSpace();
  std::optional<Options> options = parse(argc, argv);
  if (!options) {
    usage();
    return 2;
  }
  if (!roomToStart()) return 1;
  gfx::tellWhenGLibEndsTheProcess();
  // Each check runs only once the one before passed: a folder another run
  // holds is not written to, not even to see whether it can be.
  std::optional<std::pair<std::string, std::string>> refused;
  if (const fd::Status made = fd::paths::makeSandbox(); !made) {
    refused.emplace(fd::Localized("Data folder cannot be made"), dataFolderNotWritable(false, made.error()));
  } else if (!fd::paths::holdSandbox()) {
    refused.emplace(fd::Localized("Already running"), dataFolderInUse());
  } else if (const fd::Status writable = fd::paths::sandboxWritable(); !writable) {
    refused.emplace(fd::Localized("Data folder cannot be written"), dataFolderNotWritable(true, writable.error()));
  }
  if (refused) {
    // Each text begins with the program's name already.
    std::fprintf(stderr, "%s\n", refused->second.c_str());
    if (options->headless) return StartRefused::kExitStatus;
  }
  fd::RunLoop::main().makeCurrentThreadMain();
  ui::Screen::configure(options->tall, options->scale);
  const ui::Screen& screen = ui::Screen::main();
  // The model sees the screen as the phone reported it: portrait bounds.
  DeviceScreen::setMainScreen(screen.scale(), screen.bounds().height, screen.bounds().width);
  videoEncode::registerAsSoundMerger();
  FileManagerView::registerWithDesk();

  ui::Application& app = ui::Application::shared();
  if (refused) {
    app.setDelegate(std::make_shared<StartRefused>(std::move(refused->first), std::move(refused->second)));
  } else {
    app.setDelegate(std::make_shared<AppDelegate>());
  }

  app.terminateOnSignals();
  fd::TimerRef exitTimer;
  if (options->exitAfter)
    exitTimer = fd::RunLoop::main().scheduleTimer(*options->exitAfter, false, [&app] { app.terminate(); });

  int status = 0;
  if (options->headless) {
    // Frames are composed as a window would show them, so that the headless
    // run exercises the same drawing.
    fd::TimerRef frames = fd::RunLoop::main().scheduleTimer(1.0 / 30, true, [&app] { app.composeScreen(); });
    app.launch();
    if (!app.isTerminated()) fd::RunLoop::main().run();
    frames->invalidate();
  } else {
    ui::SdlHost host;
    std::string error;
    if (!host.open("flipdesk", &error)) {
      std::fprintf(stderr,
                   "flipdesk: cannot open a window: %s.\n"
                   "Start it under a display (X11 or Wayland), or run it without a window with --headless\n"
                   "(for example: flipdesk --headless --exit-after 5 --screenshot screen.png).\n",
                   error.c_str());
      return 1;
    }
    app.launch();
    host.run();
  }
  if (!options->screenshot.empty() && !gfx::writePNG(options->screenshot, app.screenshot())) {
    std::fprintf(stderr, "flipdesk: cannot write %s\n", options->screenshot.c_str());
    status = 1;
  }
  if (exitTimer) exitTimer->invalidate();
  // Work the termination could not keep outweighs a screenshot not written.
  if (app.exitStatus() != 0) status = app.exitStatus();
  app.reset();
  return status;
}
