#include "desk/walk/WalkModel.h"

#include <algorithm>
#include <cstring>

namespace desk_walk {

// --- the project

int Project::insertEmpty(int after) {
  const int id = nextPage++;
  pages[id] = StoredPage{};
  frames.insert(frames.begin() + after, id);
  return after + 1;
}

// --- the undo history

void History::reset(const Sheet& picture) {
  undo_.clear();
  redo_.clear();
  current_ = {nextId_++, picture};
}

void History::add(const Sheet& picture) {
  if (undo_.size() >= kLimit) undo_.erase(undo_.begin());
  undo_.push_back(std::move(current_));
  current_ = {nextId_++, picture};
  redo_.clear();
}

bool History::undo() {
  if (undo_.empty()) return false;
  redo_.push_back(std::move(current_));
  current_ = std::move(undo_.back());
  undo_.pop_back();
  return true;
}

bool History::redo() {
  if (redo_.empty()) return false;
  undo_.push_back(std::move(current_));
  current_ = std::move(redo_.back());
  redo_.pop_back();
  return true;
}

// --- the stamp tool

gfx::Rect StampTool::window(gfx::Rect pageOnScreen) const {
  // The window lies at (27, 26) in the 190 x 191 tool, 136 x 138 points.
  return {centre.x - 95 + 27 - pageOnScreen.x, centre.y - 95.5f + 26 - pageOnScreen.y, 136, 138};
}

// --- the model

void Model::started() {
  const std::optional<int> none;
  desk = Desk{};
  desk.page = disk.count();
  desk.edited = 2;
  desk.onion = 0;
  desk.colour = none;
  // What was not written to Project.plist is gone.
  disk.backgroundOpen = disk.backgroundOpenSaved;
  loadPage();
}

Sheet Model::pagePicture() const {
  Sheet picture = desk.canvas.current();
  if (desk.cut && desk.cut->outstanding()) picture.underlay(desk.cut->before, desk.cut->region);
  return picture;
}

Sheet Model::snapshotOf(const StoredPage& page, int editedPosition, const Sheet& edited) const {
  const Sheet& one = editedPosition == 1 ? edited : page.layer[0];
  const Sheet& two = editedPosition == 2 ? edited : page.layer[1];
  const Sheet none;
  return Sheet::over(page.visible[1] ? two : none, page.visible[0] ? one : none);
}

void Model::loadPage() {
  if (desk.backgroundMode) return;
  desk.canvas.reset(disk.page(desk.page).layer[static_cast<std::size_t>(desk.edited - 1)]);
  desk.operated = false;
  desk.cut.reset();
}

bool Model::savePage() {
  if (!desk.operated) return false;
  const Sheet picture = pagePicture();
  desk.operated = false;
  if (desk.backgroundMode) {
    // The project's copy of the background it shows follows in the same write.
    disk.painted = picture;
    disk.background = picture;
    return true;
  }
  StoredPage& page = disk.page(desk.page);
  page.layer[static_cast<std::size_t>(desk.edited - 1)] = picture;
  page.setSnapshot(snapshotOf(page, desk.edited, picture));
  return true;
}

std::optional<double> Model::autosaveAt() const {
  if (!desk.operated) return std::nullopt;
  return desk.unsavedSince + kSaveDelay;
}

bool Model::autosave() {
  const bool background = desk.backgroundMode;
  if (!savePage()) return false;
  if (!background) plistSaved();
  return true;
}

void Model::markChanged(std::optional<double> madeAt) {
  if (!desk.operated) desk.unsavedSince = madeAt.value_or(clock());
  desk.operated = true;
}

void Model::canvasChanged(const Sheet& picture, std::optional<double> madeAt) {
  desk.canvas.add(picture);
  markChanged(madeAt);
}

bool Model::canDraw() const {
  return desk.backgroundMode || disk.page(desk.page).visible[static_cast<std::size_t>(desk.edited - 1)];
}

bool Model::undo() {
  const int from = desk.canvas.currentStep();
  const bool done = desk.canvas.undo();
  markChanged();
  if (done && desk.cut) {
    if (from == desk.cut->cutStep) desk.cut->cutUndone = true;
    if (desk.cut->placedStep && from == *desk.cut->placedStep) desk.cut->placedUndone = true;
  }
  return done;
}

bool Model::redo() {
  const bool done = desk.canvas.redo();
  markChanged();
  if (done && desk.cut) {
    const int to = desk.canvas.currentStep();
    if (to == desk.cut->cutStep) desk.cut->cutUndone = false;
    if (desk.cut->placedStep && to == *desk.cut->placedStep) desk.cut->placedUndone = false;
  }
  return done;
}

void Model::withdrawCut() {
  if (!desk.cut) return;
  const PendingCut cut = *desk.cut;
  desk.cut.reset();
  if (!cut.outstanding()) return;
  // Nothing since the cut: the cut is taken back, with nothing to redo.
  if (desk.canvas.currentStep() == cut.cutStep) {
    desk.canvas.undo();
    desk.canvas.dropRedo();
    markChanged();
    return;
  }
  if (!cut.took) return;
  Sheet back = desk.canvas.current();
  back.underlay(cut.before, cut.region);
  canvasChanged(back);
}

void Model::turnTo(int number) {
  desk.page = number;
  loadPage();
}

void Model::addFrame(bool duplicate) {
  const int at = desk.page;
  if (duplicate) {
    copyFrame(at);
  } else {
    // A new frame's snapshot and icon are written with it: empty.
    disk.page(disk.insertEmpty(at)).setSnapshot(Sheet());
  }
  plistSaved();
  turnTo(at + 1);
}

void Model::copyFrame(int number) {
  const StoredPage source = disk.page(number);
  disk.insertEmpty(number);
  StoredPage& copy = disk.page(number + 1);
  copy.layer = source.layer;
  copy.visible = source.visible;
  // The copy's snapshot is composed from its layer files, shown or not.
  copy.setSnapshot(Sheet::over(source.layer[1], source.layer[0]));
}

void Model::deleteFrame(int number) {
  const int id = disk.frames.at(static_cast<std::size_t>(number - 1));
  disk.frames.erase(disk.frames.begin() + (number - 1));
  disk.pages.erase(id);
  if (disk.frames.empty()) disk.insertEmpty(0);
  plistSaved();
}

void Model::moveFrame(int from, int to) {
  const int count = disk.count();
  to = std::clamp(to, 1, count);
  if (from < 1 || from > count || to == from) return;
  const int id = disk.frames[static_cast<std::size_t>(from - 1)];
  disk.frames.erase(disk.frames.begin() + (from - 1));
  disk.frames.insert(disk.frames.begin() + (to - 1), id);
  plistSaved();
}

void Model::parkFrame(int number) {
  const int id = disk.frames.at(static_cast<std::size_t>(number - 1));
  disk.frames.erase(disk.frames.begin() + (number - 1));
  disk.tray.push_back(id);
  if (disk.frames.empty()) disk.insertEmpty(0);
  plistSaved();
}

void Model::unparkFrame(int entry, int to) {
  const int id = disk.tray.at(static_cast<std::size_t>(entry - 1));
  disk.tray.erase(disk.tray.begin() + (entry - 1));
  to = std::clamp(to, 1, disk.count() + 1);
  disk.frames.insert(disk.frames.begin() + (to - 1), id);
  plistSaved();
}

void Model::setVisible(int position, bool visible) {
  StoredPage& page = disk.page(desk.page);
  page.visible[static_cast<std::size_t>(position - 1)] = visible;
  // The snapshot follows; the background being painted is no layer of the page.
  if (desk.backgroundMode) page.setSnapshot(snapshotOf(page, 1, page.layer[0]));
  else page.setSnapshot(snapshotOf(page, desk.edited, pagePicture()));
  plistSaved();
}

void Model::enterBackgroundMode() {
  desk.backgroundMode = true;
  disk.userBackground = true;
  desk.canvas.reset(disk.painted.value_or(Sheet()));
  desk.operated = false;
  desk.cut.reset();
  // Attaching the background copies its picture to the project.
  disk.background = disk.painted;
  desk.page = disk.count();
  desk.edited = 2;
  desk.onion = 0;
  plistSaved();
}

void Model::leaveBackgroundMode(int position) {
  desk.backgroundMode = false;
  // Attaching the background again writes the list with its copy.
  disk.background = disk.painted;
  plistSaved();
  desk.page = disk.count();
  desk.edited = position;
  desk.onion = 0;
  loadPage();
}

// --- serialisation

namespace {

constexpr char kMagic[] = "deskwalk3";

void putInt(std::string& out, std::int64_t v) { out.append(reinterpret_cast<const char*>(&v), sizeof v); }
bool getInt(const std::string& in, std::size_t& at, std::int64_t& v) {
  if (in.size() - at < sizeof v) return false;
  std::memcpy(&v, in.data() + at, sizeof v);
  at += sizeof v;
  return true;
}
void putSheet(std::string& out, const std::optional<Sheet>& s) {
  putInt(out, s ? 1 : 0);
  if (s) s->write(out);
}
bool getSheet(const std::string& in, std::size_t& at, std::optional<Sheet>& s) {
  std::int64_t has = 0;
  if (!getInt(in, at, has)) return false;
  if (!has) {
    s.reset();
    return true;
  }
  s.emplace();
  return s->read(in, at);
}

void putProject(std::string& out, const Project& disk) {
  putInt(out, disk.nextPage);
  for (const std::vector<int>* list : {&disk.frames, &disk.tray}) {
    putInt(out, static_cast<std::int64_t>(list->size()));
    for (int id : *list) {
      const StoredPage& p = disk.pages.at(id);
      putInt(out, id);
      putInt(out, p.visible[0]);
      putInt(out, p.visible[1]);
      putSheet(out, p.layer[0]);
      putSheet(out, p.layer[1]);
      putSheet(out, p.snapshot);
      putSheet(out, p.iconSource);
    }
  }
  putInt(out, disk.userBackground);
  putSheet(out, disk.painted);
  putSheet(out, disk.background);
  putInt(out, disk.backgroundOpenSaved);
}

bool getProject(const std::string& in, std::size_t& at, Project& p) {
  std::int64_t v = 0;
  if (!getInt(in, at, v)) return false;
  p.nextPage = static_cast<int>(v);
  for (std::vector<int>* list : {&p.frames, &p.tray}) {
    std::int64_t n = 0;
    if (!getInt(in, at, n)) return false;
    for (std::int64_t i = 0; i < n; ++i) {
      std::int64_t id = 0, v0 = 0, v1 = 0;
      if (!getInt(in, at, id) || !getInt(in, at, v0) || !getInt(in, at, v1)) return false;
      StoredPage page;
      page.visible = {v0 != 0, v1 != 0};
      std::optional<Sheet> l0, l1;
      if (!getSheet(in, at, l0) || !getSheet(in, at, l1) || !getSheet(in, at, page.snapshot) ||
          !getSheet(in, at, page.iconSource))
        return false;
      page.layer = {l0.value_or(Sheet()), l1.value_or(Sheet())};
      list->push_back(static_cast<int>(id));
      p.pages[static_cast<int>(id)] = std::move(page);
    }
  }
  if (!getInt(in, at, v)) return false;
  p.userBackground = v != 0;
  if (!getSheet(in, at, p.painted) || !getSheet(in, at, p.background) || !getInt(in, at, v)) return false;
  p.backgroundOpenSaved = p.backgroundOpen = v != 0;
  return true;
}

}  // namespace

std::string Model::serialise() const {
  std::string out(kMagic);
  putProject(out, disk);
  putInt(out, unsure ? 1 : 0);
  if (unsure) putProject(out, *unsure);
  return out;
}

bool Model::deserialise(const std::string& in) {
  if (in.compare(0, std::strlen(kMagic), kMagic) != 0) return false;
  std::size_t at = std::strlen(kMagic);
  Project p;
  std::optional<Project> earlier;
  std::int64_t has = 0;
  if (!getProject(in, at, p) || !getInt(in, at, has)) return false;
  if (has && !getProject(in, at, earlier.emplace())) return false;
  disk = std::move(p);
  unsure = std::move(earlier);
  return true;
}

}  // namespace desk_walk
