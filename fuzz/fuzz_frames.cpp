// Fuzz target for the frame operations: the bytes are a program of frame
// operations (add, insert, copy, delete, move, repeat, park, bring back, save,
// reload) on one project, pages and counts taken from the bytes that follow
// each operation, out-of-range values included. After every operation the
// project's invariants must hold, and after a reload the project read back
// must equal the one that was saved.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "FuzzSandbox.h"
#include "model/ProjectDataModel.h"
#include "platform/foundation/Paths.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxOperations = 96;
constexpr const char* kProject = "Fuzz";

class Program {
 public:
  Program(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool done() const { return at_ >= size_; }
  std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
  // A page around the list's range: below 1, inside, and past the end.
  int page(int count) { return static_cast<int>(byte() % (count + 4)) - 1; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

void checkInvariants(const ProjectDataModel& p, const std::string& after) {
  std::optional<std::string> broken = p.frames().brokenInvariant();
  fuzz_support::check(!broken, "fuzz_frames", "after " + after + ": " + broken.value_or(""));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz_support::sandbox();
  std::error_code ec;
  fs::remove_all(fd::paths::library() / "Projects" / kProject, ec);
  std::shared_ptr<ProjectDataModel> p = ProjectDataModel::initWithProjectName(kProject);
  checkInvariants(*p, "creation");
  Program program(data, size);
  for (std::size_t step = 0; step < kMaxOperations && !program.done(); ++step) {
    const int count = static_cast<int>(p->imagesArray().size());
    const int trayCount = static_cast<int>(p->temporarysArray().size());
    std::string what;
    switch (program.byte() % 11) {
      case 0:
        what = "add";
        p->createImageAtPage(program.page(count));
        break;
      case 1: {
        // A frame sharing the layers of another page, as a run's copies do.
        what = "insert";
        const int source = program.page(count);
        std::optional<std::vector<std::string>> lays = p->laysAtPage(source, false);
        p->insertImageWithLays(lays.value_or(std::vector<std::string>{}), ProjectDataModel::dateString(),
                               program.page(count));
        break;
      }
      case 2: {
        what = "copy";
        const int page = program.page(count);
        if (page >= 1 && page <= count) p->copyImageAtPage(page);
        break;
      }
      case 3: {
        what = "delete";
        const bool tray = program.byte() % 2 == 1;
        p->deleteImageAtPage(program.page(tray ? trayCount : count), tray);
        break;
      }
      case 4: {
        what = "move";
        const int from = program.page(count);
        p->moveImageFrom(from, program.page(count));
        break;
      }
      case 5: {
        what = "repeat";
        const int page = program.page(count);
        p->setRepeatRunAtPage(page, static_cast<int>(program.byte() % 6));
        break;
      }
      case 6:
        what = "park";
        p->moveImageToTemporaryWithPage(program.page(count));
        break;
      case 7: {
        what = "bring back";
        const int trayPage = program.page(trayCount);
        p->moveTemporaryAtpage(trayPage, program.page(count));
        break;
      }
      case 8: {
        what = "hide layer";
        const int page = program.page(count);
        if (page >= 1 && page <= count) p->setLayStateIsOpen(program.byte() % 2 == 0, page, 1 + program.byte() % 2, false);
        break;
      }
      case 9:
        what = "save";
        fuzz_support::check(p->saveData(), "fuzz_frames", "the save failed");
        break;
      default: {
        what = "reload";
        fuzz_support::check(p->saveData(), "fuzz_frames", "the save before a reload failed");
        std::shared_ptr<ProjectDataModel> back = ProjectDataModel::initWithProjectName(kProject);
        fuzz_support::check(back->frames() == p->frames(), "fuzz_frames", "the project read back differs");
        fuzz_support::check(back->frameLayCount() == p->frameLayCount(), "fuzz_frames", "the layer count read back differs");
        p = back;
        break;
      }
    }
    checkInvariants(*p, what + " (operation " + std::to_string(step + 1) + ")");
  }
  return 0;
}
