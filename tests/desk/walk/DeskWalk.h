#pragma once
// The random walk through the desk: each step is one thing a person does
// with the desk's own controls, touched where they are on screen (drawing
// and erasing on either layer, filling, undo and redo, turning, adding,
// duplicating and deleting pages, the layer and onion panels, background
// mode, the stamp tool's copy, cut, paste and lasso, frame manager moves,
// playback), chosen from a seed and the step's number. Each step's effect
// goes into the model; after it the canvas, the screen and the files just
// written must agree with the model.
#include <cstdint>
#include <deque>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "desk/DesktopManagerController.h"
#include "desk/walk/WalkModel.h"
#include "platform/ui/HeadlessHost.h"

namespace desk_walk {

class DeskWalk {
 public:
  DeskWalk(ui::HeadlessHost& host, DesktopManagerController& desk, Model& model, std::uint64_t seed);

  // Step n of the walk.
  void step(int n);
  // A stroke begun with step n's randomness that the finger has not yet
  // lifted: what a kill in the middle of drawing finds.
  void holdStroke(int n);
  // The drawing pauses around the moment a changed page is written (a
  // stroke drawn first, with step n's randomness, if nothing waits to be
  // written): just short of it; until the write has started (held by the
  // disk until the kill, or running on), after which the disk may hold the
  // page before or after it; until it is on disk.
  void pauseShortOfSave(int n);
  void pauseUntilSaveStarts(int n);
  void pauseUntilSaved(int n);
  // For the record: the program is killed now.
  void killed() { note("the program is killed"); }
  // Alerts fade on the clock as in a window, and the main thread is busy
  // when a fade ends: the next composition of the screen is the first to
  // run the fade's end, which closes the alert's window (animations end at
  // once otherwise).
  void setTimedAlerts(bool on) { timedAlerts_ = on; }

  // The desk against the model: its state, the canvas, the screen.
  void checkDesk();
  // Every page, the background and the project file on disk against the
  // model; where a kill fell during a write, the model takes, file by file,
  // the state found if it is one of the two it allows.
  void checkProjectOnDisk();
  // The last actions, oldest first, for a failure's report.
  std::string recentActions() const;

 private:
  using Pick = std::pair<double, std::function<void()>>;
  // Starts step n (or what follows it before a kill, of that kind).
  void begin(int n, std::uint64_t kind);
  // --- the program's clock
  double now() const;
  // Time passes with no finger down; a changed page whose first unwritten
  // change has waited long enough is written meanwhile.
  void passTime(double seconds);
  // The model writes what the program wrote while time passed, or at the
  // lift of a stroke on the canvas.
  void catchUp();
  // The background writes started so far have finished and been told.
  void waitForPageWrites();
  // Draws a stroke unless the page waits to be written; false when the page
  // cannot be drawn on.
  bool somethingToSave(int n);

  // --- touches on controls where they are on screen
  ui::Point onScreen(gfx::Point page) const;
  ui::View* hitAt(ui::Point p) const;
  void tap(ui::View* control, const char* what);
  void tapAt(ui::Point p);
  void stroke(gfx::Point from, gfx::Point to);
  // The stroke just made drew `picture`: a change made when its finger went
  // down, and its lift writes the page if a change has waited long enough.
  void stroked(const Sheet& picture);
  // A drag anywhere; one on the canvas holds off the page's write to its lift.
  void drag(ui::Point from, ui::Point to, int steps, bool onCanvas);
  void settle();
  // `pressed` tells the model the button's effect once the alert has gone,
  // when the desk acts on it.
  void pressAlertButton(const std::string& title, const std::function<void()>& pressed = {});
  ui::Button* buttonTitled(ui::View* root, const std::string& title) const;

  // --- what the walk chooses
  double uniform(double lo, double hi);
  int below(int n);
  bool chance(double p);
  gfx::Point pointOnPage(float margin);
  // A page point where a finger lands on the page itself, clear of the tool.
  bool canvasPointFree(gfx::Point p) const;
  std::optional<gfx::Point> freePagePoint(float margin);
  Rgb colour() const;

  // --- the steps
  void note(std::string what);
  void chooseColour(bool force);
  void chooseBrushBand(float y);
  enum class Tool { Pen, Eraser, Fill };
  void useTool(Tool tool);
  void draw();
  void drawBox();
  void erase();
  void fill();
  void openDrawer();
  void inDrawer(int tag);
  void undoOrRedo(bool redo, int times);
  // Many short strokes on one page: the history grows past its 50 steps.
  void scribble();
  void nextPage();
  void previousPage();
  void addOrDuplicate(bool duplicate);
  void deletePage();
  void clearPage();
  void layerPanel();
  void onionPanel();
  void enterBackground();
  void leaveBackground();
  void showOrHideStamp();
  void stampCopy();
  void stampCut();
  void stampPaste();
  void stampClear();
  void stampLasso();
  void stampOutline();
  void stampMove();
  void moveToolBy(float dx, float dy);
  // Brings the tool back to the middle when the control on it or its window
  // cannot be touched where it is.
  void reachTool(ui::View* control);
  void stampExit();
  void frameManager();
  void playback();
  void playerJump();
  void pause();

  // --- checks
  void checkState();
  void checkCanvas();
  // The other layer's view and the onion views hold the pictures the model expects.
  void checkViews();
  void checkScreen();
  void checkSavedPage(int number);
  // The files a step wrote.
  void checkWritten();
  // The layer files, snapshot and icon of a frame or a depository entry:
  // each file as `page` has it, or else as `earlier` has it; `found` takes
  // the page as its files hold it.
  void checkPageFiles(const StoredPage& page, int number, bool tray, const StoredPage* earlier = nullptr,
                      StoredPage* found = nullptr);
  // The painted background's file, the same way.
  void checkPainted(const std::string& name, const std::optional<Sheet>* earlier, std::optional<Sheet>* found);
  void checkSheet(const gfx::Image& image, const Sheet& expected, float tolerance, const std::string& what);
  static int misfits(const gfx::Image& image, const Sheet& expected, float tolerance);
  static int iconMisfits(const gfx::Image& icon, const Sheet& source);
  gfx::Rect windowOnPage() const;
  Region windowRegion() const;
  // The lasso outline with the window's corner at that page point.
  Region outlineRegion(gfx::Point windowCorner) const;
  // Whether the region's content is surely something or surely nothing.
  std::optional<bool> regionHolds(const Sheet& sheet, const Region& region) const;
  bool playing() const;

  ui::HeadlessHost& host_;
  DesktopManagerController& desk_;
  Model& model_;
  std::uint64_t seed_;
  float scale_;  // the screen's
  std::mt19937_64 rng_;
  int stepNumber_ = 0;
  std::deque<std::string> log_;
  // What the brush strip was last slid to in this run of the program.
  std::optional<Tool> tool_;
  // Pages whose files a step wrote, checked after it.
  std::vector<int> written_;
  // A paused drawing was written in this step; the background was.
  bool autosaved_ = false;
  bool paintedWritten_ = false;
  // When the last stroke's finger went down.
  double strokeBegan_ = 0;
  bool timedAlerts_ = false;
};

}  // namespace desk_walk
