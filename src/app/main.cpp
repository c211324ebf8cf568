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

// The application of such a start: an alert says so, and the program ends
// once it is answered or its window closed, having touched nothing in the
// data folder.
class DataFolderInUse : public ui::ApplicationDelegate, public ui::AlertViewDelegate {
 public:
  static constexpr int kExitStatus = 1;
  bool didFinishLaunching(ui::Application& app) override {
    app.setExitStatus(kExitStatus);
    ui::AlertView::make(fd::Localized("Already running"), dataFolderInUse(), this, fd::Localized("OK"))->show();
    return true;
  }
  void didDismissWithButtonIndex(ui::ButtonSheet&, int) override { ui::Application::shared().terminate(); }
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
  if (!fd::paths::ensureSandbox()) {
    std::fprintf(stderr, "flipdesk: cannot create the data folder %s\n", fd::paths::home().c_str());
    return 1;
  }
  const bool inUse = !fd::paths::holdSandbox();
  if (inUse) {
    std::fprintf(stderr, "flipdesk: %s\n", dataFolderInUse().c_str());
    if (options->headless) return DataFolderInUse::kExitStatus;
  }
  fd::RunLoop::main().makeCurrentThreadMain();
  ui::Screen::configure(options->tall, options->scale);
  const ui::Screen& screen = ui::Screen::main();
  // The model sees the screen as the phone reported it: portrait bounds.
  DeviceScreen::setMainScreen(screen.scale(), screen.bounds().height, screen.bounds().width);
  videoEncode::registerAsSoundMerger();
  FileManagerView::registerWithDesk();

  ui::Application& app = ui::Application::shared();
  if (inUse) {
    app.setDelegate(std::make_shared<DataFolderInUse>());
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
