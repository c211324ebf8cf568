#include "platform/ui/Standins.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Screen.h"

namespace ui {

namespace fs = std::filesystem;

// --- album

fs::path photoLibraryFolder() { return fd::paths::photoLibrary(); }

std::vector<fs::path> photoLibraryPictures() {
  std::vector<fs::path> out;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(photoLibraryFolder(), ec)) {
    std::string ext = e.path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (e.is_regular_file() && (ext == ".png" || ext == ".jpg" || ext == ".jpeg")) out.push_back(e.path());
  }
  std::sort(out.begin(), out.end());
  return out;
}

namespace {
fs::path nextAlbumName(const std::string& extension) {
  fs::path dir = photoLibraryFolder();
  std::error_code ec;
  fs::create_directories(dir, ec);
  for (int n = 1;; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "IMG_%04d%s", n, extension.c_str());
    if (!fs::exists(dir / name)) return dir / name;
  }
}

void finish(std::function<void(std::optional<fs::path>)> completion, std::optional<fs::path> result) {
  if (!completion) return;
  fd::RunLoop::main().post([completion = std::move(completion), result] { completion(result); });
}
}  // namespace

void saveImageToAlbum(const gfx::Image& image, std::function<void(std::optional<fs::path>)> completion) {
  fs::path file = nextAlbumName(".png");
  bool ok = !image.empty() && gfx::writePNG(file, image);
  finish(std::move(completion), ok ? std::optional<fs::path>(file) : std::nullopt);
}

void saveVideoToAlbum(const fs::path& movie, std::function<void(std::optional<fs::path>)> completion) {
  fs::path file = nextAlbumName(movie.extension().string());
  std::error_code ec;
  bool ok = fs::is_regular_file(movie) && fs::copy_file(movie, file, ec) && !ec;
  finish(std::move(completion), ok ? std::optional<fs::path>(file) : std::nullopt);
}

// --- picker

class ImagePickerController::ListController : public ViewController, public TableViewDataSource, public TableViewDelegate {
 public:
  explicit ListController(ImagePickerController* owner) : owner_(owner) {}
  void loadView() override {
    table_ = std::make_shared<TableView>(Screen::main().bounds());
    table_->setDataSource(this);
    table_->setTableDelegate(this);
    table_->setAutoresizingMask(FlexibleWidth | FlexibleHeight);
    setView(table_);
  }
  void viewWillAppear(bool) override {
    files_ = photoLibraryPictures();
    table_->reloadData();
  }
  int numberOfRows(TableView&, int) override { return static_cast<int>(files_.size()); }
  std::shared_ptr<TableViewCell> cellForRow(TableView& tv, IndexPath ip) override {
    auto cell = tv.dequeueReusableCell("Cell");
    if (!cell) cell = std::make_shared<TableViewCell>(CellStyle::Default, "Cell");
    cell->textLabel()->setText(files_[static_cast<std::size_t>(ip.row)].filename().string());
    return cell;
  }
  void didSelectRow(TableView&, IndexPath ip) override {
    if (ip.row < static_cast<int>(files_.size())) owner_->pickFile(files_[static_cast<std::size_t>(ip.row)]);
  }
  TableView* table() { return table_.get(); }

 private:
  ImagePickerController* owner_;
  std::shared_ptr<TableView> table_;
  std::vector<fs::path> files_;
};

ImagePickerController::ImagePickerController() : NavigationController(nullptr) {
  list_ = std::make_shared<ListController>(this);
  list_->setTitle("Photos");
  list_->navigationItem().setRightBarButtonItem(
      std::make_shared<BarButtonItem>("Cancel", BarButtonStyle::Plain, [this] { cancel(); }));
  pushViewController(list_, false);
}

bool ImagePickerController::isSourceTypeAvailable(ImagePickerSource source) {
  return source != ImagePickerSource::Camera;
}

TableView* ImagePickerController::tableView() {
  list_->view();
  return list_->table();
}

bool ImagePickerController::pickFile(const fs::path& file) {
  Picture original = Picture::fromFile(file);
  if (original.empty()) {
    if (delegate_) delegate_->didFailToPick(*this, file);
    return false;
  }
  PickedMedia media;
  media.originalImage = original;
  media.file = file;
  if (allowsEditing_) {
    const gfx::Image& img = *original.image();
    int side = std::min(img.pixelWidth(), img.pixelHeight());
    Rect crop{float((img.pixelWidth() - side) / 2), float((img.pixelHeight() - side) / 2), float(side), float(side)};
    media.editedImage = Picture(img.cropped(crop));
  }
  if (delegate_) delegate_->didFinishPickingMedia(*this, media);
  return true;
}

void ImagePickerController::cancel() {
  if (delegate_ && delegate_->didCancel(*this)) return;
  dismissViewController(true);
}

// --- store sheet

void StoreProductViewController::loadProduct(const std::string& identifier,
                                             std::function<void(bool, std::string)> completion) {
  product_ = identifier;
  bool ok = !identifier.empty();
  fd::RunLoop::main().post([completion = std::move(completion), ok] {
    if (completion) completion(ok, ok ? std::string{} : std::string("no product"));
  });
}

void StoreProductViewController::loadView() {
  Rect screen = Screen::main().bounds();
  auto v = std::make_shared<View>(screen);
  v->setBackgroundColor(Color::white(0.95f));
  auto label = std::make_shared<Label>(Rect{20, 100, screen.width - 40, 60});
  label->setTextAlignment(TextAlignment::Center);
  label->setNumberOfLines(0);
  label->setText("Store\n" + product_);
  v->addSubview(label);
  auto done = Button::make(ButtonType::RoundedRect, {screen.width - 90, 10, 80, 30});
  done->setTitle("Done");
  done->addTarget(this, [this](Control*, const Event*) { this->done(); }, TouchUpInside);
  v->addSubview(done);
  setView(v);
}

void StoreProductViewController::done() {
  if (delegate_) delegate_->productViewControllerDidFinish(*this);
  else dismissViewController(true);
}

// --- reachability

namespace {
std::optional<Reachability::Flags>& overrideFlags() {
  static std::optional<Reachability::Flags> flags;
  return flags;
}
fd::TimerRef& notifierTimer() {
  static fd::TimerRef timer;
  return timer;
}
}  // namespace

std::optional<Reachability::Flags> Reachability::flagsForHost(const std::string&) {
  if (overrideFlags()) return overrideFlags();
  std::ifstream routes("/proc/net/route");
  if (!routes) return std::nullopt;
  std::string line;
  std::getline(routes, line);  // header
  Flags f;
  while (std::getline(routes, line)) {
    std::istringstream in(line);
    std::string iface, dest;
    in >> iface >> dest;
    if (dest == "00000000" && iface != "lo") f.reachable = true;
  }
  return f;
}

Reachability::Status Reachability::currentStatus() {
  auto f = flagsForHost("www.debian.org");
  return f && f->reachable && !f->connectionRequired ? Status::ViaWiFi : Status::NotReachable;
}

void Reachability::setOverride(std::optional<Flags> flags) { overrideFlags() = flags; }

void Reachability::startNotifier() {
  stopNotifier();
  auto last = std::make_shared<Status>(currentStatus());
  notifierTimer() = fd::RunLoop::main().scheduleTimer(2.0, true, [last] {
    Status now = currentStatus();
    if (now == *last) return;
    *last = now;
    fd::NotificationCenter::defaultCenter().post(kReachabilityChangedNotification);
  });
}

void Reachability::stopNotifier() {
  if (notifierTimer()) notifierTimer()->invalidate();
  notifierTimer().reset();
}

}  // namespace ui
