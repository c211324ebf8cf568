#pragma once
// What the desk walk expects of the program: the project as it must be on
// disk (each page's two layer files, visibility and snapshot, the frame
// order, the background copy) and the desk as it must be in memory (the page
// and layer on the canvas, the canvas's undo history of 50 steps, the stamp
// tool's held piece and a cut not yet placed). Every user action the walk
// takes has its effect here, written from what the desk promises, not from
// what its code does.
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "desk/walk/WalkSheet.h"

namespace desk_walk {

// One page as its files hold it. A layer without a file is transparent.
struct StoredPage {
  std::array<Sheet, 2> layer;  // position 1 (middle ground), position 2 (foreground)
  std::array<bool, 2> visible{true, true};
  std::optional<Sheet> snapshot;  // nullopt: no snapshot file
  // The picture the icon was made from, where a kill during a write left the
  // icon of another snapshot than the one on disk; else the snapshot.
  std::optional<Sheet> iconSource;

  // The snapshot and the icon are written together.
  void setSnapshot(Sheet picture) {
    snapshot = std::move(picture);
    iconSource.reset();
  }
  const std::optional<Sheet>& icon() const { return iconSource ? iconSource : snapshot; }
};

// What is on disk.
struct Project {
  std::vector<int> frames;  // page ids in frame order
  std::vector<int> tray;    // page ids parked in the frame manager's depository
  std::map<int, StoredPage> pages;
  int nextPage = 1;
  // The user background painted on the desk, as its own file holds it (none
  // until its first write: a background is created without a file), and the
  // project's copy of it shown under every page.
  bool userBackground = false;
  std::optional<Sheet> painted;
  std::optional<Sheet> background;
  bool backgroundOpen = true;       // as the project in memory has it
  bool backgroundOpenSaved = true;  // as Project.plist has it

  StoredPage& page(int number) { return pages.at(frames.at(static_cast<std::size_t>(number - 1))); }
  const StoredPage& page(int number) const { return pages.at(frames.at(static_cast<std::size_t>(number - 1))); }
  int count() const { return static_cast<int>(frames.size()); }
  // A new empty page after position `after` (0: first); answers its number.
  int insertEmpty(int after);
};

// The canvas's undo history: at most 50 earlier states, reset by every load.
class History {
 public:
  static constexpr std::size_t kLimit = 50;
  void reset(const Sheet& picture);
  void add(const Sheet& picture);
  bool undo();
  bool redo();
  void dropRedo() { redo_.clear(); }
  const Sheet& current() const { return current_.picture; }
  int currentStep() const { return current_.id; }
  bool canUndo() const { return !undo_.empty(); }
  bool canRedo() const { return !redo_.empty(); }
  std::size_t depth() const { return undo_.size(); }

 private:
  struct Step {
    int id = 0;
    Sheet picture;
  };
  std::vector<Step> undo_, redo_;
  Step current_;
  int nextId_ = 1;
};

// A cut whose piece the stamp tool holds: what the region held before it,
// and the undo steps of the cut and of the piece's placing.
struct PendingCut {
  Sheet before;
  Region region;
  int cutStep = 0;
  bool cutUndone = false;
  std::optional<int> placedStep;
  bool placedUndone = false;
  // The region held something: giving it back changes the page.
  bool took = true;
  bool outstanding() const { return !cutUndone && !(placedStep && !placedUndone); }
};

// The stamp and shape tool on the desk.
struct StampTool {
  bool shown = false;
  gfx::Point centre{240, 160};  // screen points
  bool stampInterface = false;  // paste and clear on show; else cut, copy and the lasso
  bool lasso = false;
  // A finished lasso outline, in points from the window's corner: it moves
  // with the tool.
  std::optional<std::vector<gfx::Point>> outline;
  std::optional<Sheet> held;                        // the piece, at the page place it came from
  gfx::Point heldAt{};                              // the window's page origin when it was taken
  // The window (where pieces are taken and stamped) on the page.
  gfx::Rect window(gfx::Rect pageOnScreen) const;
};

// The desk in memory.
struct Desk {
  int page = 1;
  int edited = 2;  // layer position on the canvas
  int onion = 0;   // -1 off, 0 previous two, 1 previous and next, 2 next two
  bool backgroundMode = false;
  History canvas;
  bool operated = false;
  // When the earliest change not yet written was made (a stroke's when its
  // finger went down), on the program's clock.
  double unsavedSince = 0;
  std::optional<int> colour;  // palette index of the brush and the fill; nullopt: not chosen since the start
  StampTool tool;
  std::optional<PendingCut> cut;
  bool playerShown = false;
};

class Model {
 public:
  // A changed page is written once its earliest unwritten change has waited
  // this long: then, or at the lift of the stroke under way then.
  static constexpr double kSaveDelay = 2.0;

  Project disk;
  Desk desk;
  // A kill fell while a paused drawing was being written: each file may
  // still hold this earlier state instead of `disk`'s, until the next start
  // finds out which.
  std::optional<Project> unsure;
  // The program's clock, read when the picture changes.
  std::function<double()> clock = [] { return 0.0; };

  // --- the program starts (again) on what is on disk: the last page, the
  // foreground, onion mode 0.
  void started();
  // The page's picture as the canvas would store it now: a cut piece not
  // placed goes back under it.
  Sheet pagePicture() const;
  // The snapshot the canvas writes for the page, with `edited` standing for
  // the edited layer's picture.
  Sheet snapshotOf(const StoredPage& page, int editedPosition, const Sheet& edited) const;
  // What each kind of event does.
  void loadPage();
  // Answers whether files were written.
  bool savePage();
  // When the paused drawing is written, if the page waits to be.
  std::optional<double> autosaveAt() const;
  // That write: the page (or the background being painted) and, for a page,
  // the project's list.
  bool autosave();
  // A step of the history, made at `madeAt` (none: now).
  void canvasChanged(const Sheet& picture, std::optional<double> madeAt = std::nullopt);
  bool canDraw() const;
  bool undo();
  bool redo();
  // The tool gives a cut piece back (closing, its clear button, the layer panel).
  void withdrawCut();
  void turnTo(int number);  // after the save
  void addFrame(bool duplicate);
  void deleteFrame(int number);
  void moveFrame(int from, int to);
  // The frame manager's depository: frame n parked there, and entry e back at frame t.
  void parkFrame(int number);
  void unparkFrame(int entry, int to);
  // A frame manager's copy of frame n, after frame n.
  void copyFrame(int number);
  void setVisible(int position, bool visible);
  void setBackgroundOpen(bool open) { disk.backgroundOpen = open; }
  void plistSaved() { disk.backgroundOpenSaved = disk.backgroundOpen; }
  void enterBackgroundMode();
  void leaveBackgroundMode(int position);

  // --- the saved state between runs
  std::string serialise() const;
  bool deserialise(const std::string& bytes);

 private:
  void markChanged(std::optional<double> madeAt = std::nullopt);
};

}  // namespace desk_walk
