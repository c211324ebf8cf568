#include "desk/StampLibrary.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <cstdio>
#include <system_error>

#include "desk/VTImageCache.h"
#include "model/SafeName.h"
#include "model/zip/ZipWrapper.h"
#include "net/JSON.h"
#include "platform/foundation/DamagedFile.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Localized.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Standins.h"

namespace fs = std::filesystem;

namespace {

// The stored lists, in the order of ResourceDownLoadManager::lists().
constexpr std::array<const char*, 3> kListFiles = {"stampDownloadlist", "templateDownloadlist",
                                                   "templateDownloadECardlist"};
constexpr const char* kThumbnailSuffix = "Thumbnail";
constexpr const char* kGiveUpLog = "请求超时， 请检查你的网络是否畅通";

double& requestTimeOut() {
  static double seconds = HTTPRequest::kDefaultTimeOutSeconds;
  return seconds;
}

// A pack or thumbnail that stalls is asked for again from where it stopped.
constexpr int kFileRetries = 2;

bool succeeded(const HTTPRequest& r) { return r.responseStatusCode() >= 200 && r.responseStatusCode() < 300; }

std::string percentEncoded(const std::string& s) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

// A number of the list, which may come as a number or as digits in a string;
// none for anything else, and for what is not a finite number ("nan", "inf").
std::optional<double> numberOf(const fd::Value& v) {
  std::optional<double> d;
  if (v.isInteger() || v.isReal()) d = v.doubleValue();
  if (const std::string* s = v.string()) {
    try {
      std::size_t used = 0;
      const double read = std::stod(*s, &used);
      if (used == s->size()) d = read;
    } catch (...) {
    }
  }
  if (d && !std::isfinite(*d)) return std::nullopt;
  return d;
}

// A pack's picture count and price as shown: a number that is no count of
// pictures or no price (negative, past what the field holds, not a number)
// shows as the list's own fallback, 0 (and a price of 0 reads "Free").
int packQuantity(const fd::Value& v) {
  const std::optional<double> d = numberOf(v);
  if (!d || *d < 0 || *d >= 2147483648.0) return 0;
  return static_cast<int>(*d);
}

float packPrice(const fd::Value& v) {
  const std::optional<double> d = numberOf(v);
  if (!d || *d < 0 || *d > std::numeric_limits<float>::max()) return 0;
  return static_cast<float>(*d);
}

// The dispatcher's answer: a non-empty array whose elements are all objects
// with a string "url".
bool isAddressList(const fd::Value& v) {
  const fd::Array* a = v.array();
  if (!a || a->empty()) return false;
  return std::all_of(a->begin(), a->end(), [](const fd::Value& e) { return e.isDictionary() && e["url"].isString(); });
}

// The items of a stored list; none when the list is not there to be read
// whole (gone, or set aside as damaged).
std::optional<std::vector<std::shared_ptr<DownLoadItem>>> readItems(const fs::path& path) {
  fd::files::removeAtomicWriteLeftoversOf(path);
  const fd::Value archived = ResourceDownLoadManager::itemToArray(path);
  const fd::Array* a = archived.array();
  if (!a) return std::nullopt;
  std::vector<std::shared_ptr<DownLoadItem>> out;
  for (const fd::Value& e : *a)
    if (auto item = DownLoadItem::initWithCoder(e)) out.push_back(std::move(item));
  return out;
}

fd::Value archive(const std::vector<std::shared_ptr<DownLoadItem>>& items) {
  fd::Array a;
  for (const auto& item : items) a.push_back(item->encodeWithCoder());
  return fd::Value(std::move(a));
}

std::unique_ptr<ResourceDownLoadManager>& instance() {
  // Never destroyed: its requests must not be cancelled on a network client
  // the end of the process has already taken down.
  static auto* manager = new std::unique_ptr<ResourceDownLoadManager>();
  return *manager;
}

}  // namespace

// --- one pack

std::shared_ptr<DownLoadItem> DownLoadItem::initWithCoder(const fd::Value& a) {
  if (!a.isDictionary()) return nullptr;
  for (const char* k : {"key", "title", "thumbnailURL", "downLoadURL"})
    if (!a[k].isString()) return nullptr;
  if (!isPlainPathComponent(*a["title"].string())) return nullptr;
  auto item = std::make_shared<DownLoadItem>();
  item->key_ = *a["key"].string();
  item->title_ = *a["title"].string();
  item->thumbnailURL_ = *a["thumbnailURL"].string();
  item->downLoadURL_ = *a["downLoadURL"].string();
  item->quantity_ = packQuantity(a["quantity"]);
  item->price_ = packPrice(a["price"]);
  item->downLoadState_ = std::clamp(a["downLoadState"].intValue(), 0, 2);
  item->thumbnailDownLoadState_ = std::clamp(a["thumbnailDownLoadState"].intValue(), 0, 2);
  return item;
}

fd::Value DownLoadItem::encodeWithCoder() const {
  fd::Dictionary d;
  d["key"] = key_;
  d["thumbnailURL"] = thumbnailURL_;
  d["title"] = title_;
  d["quantity"] = quantity_;
  d["price"] = price_;
  d["downLoadState"] = downLoadState_;
  d["thumbnailDownLoadState"] = thumbnailDownLoadState_;
  d["downLoadURL"] = downLoadURL_;
  return fd::Value(std::move(d));
}

bool DownLoadItem::isConnectToNetWork() const {
  std::string host = ResourceDownLoadManager::server();
  if (auto p = host.find("://"); p != std::string::npos) host = host.substr(p + 3);
  host = host.substr(0, host.find_first_of(":/"));
  auto flags = ui::Reachability::flagsForHost(host);
  return flags && flags->reachable && !flags->connectionRequired;
}

std::shared_ptr<HTTPRequest> DownLoadItem::jsonRequest(const std::string& url) {
  auto r = HTTPRequest::initWithURL(url);
  r->setTimeOutSeconds(requestTimeOut());
  r->addRequestHeader("Content-Type", "application/json");
  r->addRequestHeader("Accept", "application/json");
  r->setDelegate(this);
  r->startAsynchronous();
  return r;
}

void DownLoadItem::requestForImages() {
  if (!isConnectToNetWork()) {
    alert_ = ui::AlertView::make(fd::Localized("Sorry"), fd::Localized("check the network"), this, fd::Localized("OK"), {});
    alert_->show();
    return;
  }
  downLoadState_ = kLoading;
  packDispatch_ = jsonRequest(downLoadURL_);
}

void DownLoadItem::requestForThumbnailImage() {
  // Once per run: a failing server is not asked again at every redraw.
  if (thumbnailDownLoadState_ != kNone || thumbnailRequests_ > 0) return;
  ++thumbnailRequests_;
  thumbnailDownLoadState_ = kLoading;
  thumbDispatch_ = jsonRequest(thumbnailURL_);
}

void DownLoadItem::getList1(const fd::Value& list, bool thumbnail) {
  if (!isAddressList(list)) {
    (thumbnail ? thumbnailDownLoadState_ : downLoadState_) = kNone;
    tell();
    return;
  }
  auto r = HTTPRequest::initWithURL(*list.at(0)["url"].string());
  r->setTimeOutSeconds(requestTimeOut());
  r->setNumberOfTimesToRetryOnTimeout(kFileRetries);
  r->setDelegate(this);
  const fs::path folder = ResourceDownLoadManager::shared().downloadPath();
  r->setDownloadDestinationPath((folder / (title_ + (thumbnail ? ".png" : ".zip"))).string());
  (thumbnail ? thumbFile_ : packFile_) = r;
  r->startAsynchronous();
}

void DownLoadItem::requestFinished(HTTPRequest& request) {
  if (&request == thumbDispatch_.get() || &request == packDispatch_.get()) {
    const bool thumbnail = &request == thumbDispatch_.get();
    std::optional<fd::Value> list;
    if (succeeded(request))
      if (auto body = request.responseString()) list = mutableObjectFromJSONString(*body);
    getList1(list.value_or(fd::Value()), thumbnail);
    return;
  }
  fileRequestEnded(request, succeeded(request));
}

void DownLoadItem::requestFailed(HTTPRequest& request) {
  if (request.error()) fd::Log("%s", request.error()->localizedDescription.c_str());
  if (&request == thumbDispatch_.get()) thumbnailDownLoadState_ = kNone;
  else if (&request == packDispatch_.get()) downLoadState_ = kNone;
  else return fileRequestEnded(request, false);
  tell();
}

void DownLoadItem::fileRequestEnded(HTTPRequest& request, bool ok) {
  const bool thumbnail = &request == thumbFile_.get();
  if (!thumbnail && &request != packFile_.get()) return;
  ResourceDownLoadManager& manager = ResourceDownLoadManager::shared();
  const std::optional<std::string>& dest = request.downloadDestinationPath();
  if (!ok) {
    // An error page may have been stored in the destination: it is no picture
    // and no pack.
    std::error_code ec;
    if (dest) fs::remove(*dest, ec);
    (thumbnail ? thumbnailDownLoadState_ : downLoadState_) = kNone;
    tell();
    return;
  }
  if (thumbnail) {
    thumbnailDownLoadState_ = kLoaded;
    manager.saveDownLoadListToFile();
    tell();
    return;
  }
  // The pack shows as downloaded only once its pictures are in place.
  std::weak_ptr<DownLoadItem> weak = weak_from_this();
  manager.unzipFilePath(*dest, title_, [weak](bool unpacked) {
    auto self = weak.lock();
    if (!self) return;
    self->downLoadState_ = unpacked ? kLoaded : kNone;
    ResourceDownLoadManager::shared().saveDownLoadListToFile();
    self->tell();
  });
}

void DownLoadItem::tell() {
  if (delegate_) delegate_->reloadTheCell();
}

// --- the manager

ResourceDownLoadManager& ResourceDownLoadManager::shared() {
  auto& m = instance();
  if (!m) {
    m.reset(new ResourceDownLoadManager());
  }
  return *m;
}

void ResourceDownLoadManager::resetSharedForTesting() { instance().reset(); }

ResourceDownLoadManager::ResourceDownLoadManager()
    : downloadPath_(fd::paths::library() / "downloadFolder"),
      unzipQueue_(std::make_unique<fd::DispatchQueue>("stamp-pack-unzip")) {
  std::error_code ec;
  fs::create_directories(downloadPath_, ec);
}

ResourceDownLoadManager::~ResourceDownLoadManager() { unzipQueue_.reset(); }

std::string ResourceDownLoadManager::server() {
  std::string s = fd::UserDefaults::standard().stringForKey(kServerDefaultsKey);
  if (s.empty()) s = kDefaultServer;
  while (!s.empty() && s.back() == '/') s.pop_back();
  return s;
}

void ResourceDownLoadManager::setTimeOutSeconds(double seconds) { requestTimeOut() = seconds; }
double ResourceDownLoadManager::timeOutSeconds() { return requestTimeOut(); }

std::string ResourceDownLoadManager::mirrorListURL() { return server() + "/paths.json?key=" + percentEncoded(kListKey); }

std::string ResourceDownLoadManager::pathsURL(const std::string& key) {
  return server() + "/paths?key=" + percentEncoded(key);
}

std::array<std::vector<std::shared_ptr<DownLoadItem>>*, 3> ResourceDownLoadManager::lists() {
  return {&stampItems_, &templateItems_, &ecardItems_};
}

void ResourceDownLoadManager::fetchDownLoadListFromFile() {
  const fs::path lib = fd::paths::library();
  for (std::size_t i = 0; i < kListFiles.size(); ++i) {
    auto items = readItems(lib / kListFiles[i]);
    listOfNotedVersion_[i] = items.has_value();
    *lists()[i] = std::move(items).value_or(std::vector<std::shared_ptr<DownLoadItem>>{});
  }
}

void ResourceDownLoadManager::fetchDownLoadList(const std::string& url) {
  index_ = 1;
  jsonRequst_ = HTTPRequest::initWithURL(url);
  jsonRequst_->setTimeOutSeconds(requestTimeOut());
  jsonRequst_->setNumberOfTimesToRetryOnTimeout(3);
  jsonRequst_->addRequestHeader("Content-Type", "application/json");
  jsonRequst_->addRequestHeader("Accept", "application/json");
  jsonRequst_->setDelegate(this);
  jsonRequst_->startAsynchronous();
}

void ResourceDownLoadManager::getList(const fd::Value& list) {
  if (!isAddressList(list)) {
    fd::Log("stamp library: the mirror list is not a list of addresses");
    return;
  }
  urlArray_ = list;
  // The second mirror first, as the dispatcher orders them; a list of one
  // has only the first.
  index_ = std::min<int>(1, static_cast<int>(list.count()) - 1);
  requestList();
}

void ResourceDownLoadManager::requestList() {
  listRequst_ = HTTPRequest::initWithURL(*urlArray_.at(static_cast<std::size_t>(index_))["url"].string());
  listRequst_->setTimeOutSeconds(requestTimeOut());
  listRequst_->addRequestHeader("Content-Type", "application/json");
  listRequst_->addRequestHeader("Accept", "application/json");
  listRequst_->setDelegate(this);
  listRequst_->startAsynchronous();
}

void ResourceDownLoadManager::requestFinished(HTTPRequest& request) {
  if (&request == jsonRequst_.get()) {
    if (!succeeded(request)) return requestFailed(request);
    auto body = request.responseString();
    std::optional<fd::Value> list = body ? mutableObjectFromJSONString(*body) : std::nullopt;
    if (list) getList(*list);
    else fd::Log("stamp library: the mirror list is not JSON");
  } else if (&request == listRequst_.get()) {
    if (!succeeded(request)) return requestFailed(request);
    auto body = request.responseString();
    takeList(body.value_or(""));
  }
}

void ResourceDownLoadManager::requestFailed(HTTPRequest& request) {
  if (request.error()) fd::Log("%s", request.error()->localizedDescription.c_str());
  else fd::Log("HTTP status %d", request.responseStatusCode());
  if (&request != listRequst_.get()) return;
  --index_;
  if (index_ >= 0) requestList();
  else fd::Log("%s", kGiveUpLog);
}

std::shared_ptr<DownLoadItem> ResourceDownLoadManager::addItem(const fd::Value& e) {
  if (!e.isDictionary() || !e["KEY"].isString() || !e["TITLE"].isString()) return nullptr;
  // The title names the pack's files and folders: one plain name only.
  const std::string& title = *e["TITLE"].string();
  if (!isPlainPathComponent(title) || title.front() == '.') return nullptr;
  auto item = std::make_shared<DownLoadItem>();
  item->setKey(*e["KEY"].string());
  item->setThumbnailURL(pathsURL(item->key() + "_THUMBNAIL"));
  item->setDownLoadURL(pathsURL(item->key()));
  item->setTitle(title);
  item->setQuantity(packQuantity(e["QUANTITY"]));
  item->setPrice(packPrice(e["PRICE"]));
  return item;
}

void ResourceDownLoadManager::takeList(const std::string& body) {
  std::optional<fd::Value> list = mutableObjectFromJSONString(body);
  if (!list || !list->isDictionary()) {
    fd::Log("stamp library: the pack list is not a JSON object");
    return;
  }
  const fd::Value& version = (*list)["VERSION"];
  const fd::Array* items = (*list)["ITEMS"].array();
  if (!items || !(version.isString() || version.isInteger() || version.isReal())) {
    fd::Log("stamp library: the pack list has no VERSION or ITEMS");
    return;
  }
  const std::string v = version.stringValue();
  fd::UserDefaults& defaults = fd::UserDefaults::standard();
  // The noted version vouches only for the lists that were read whole: one
  // set aside as damaged, or gone, is built again, while the others keep
  // what was downloaded from them.
  std::array<bool, 3> keep{};
  if (defaults.objectForKey(kVersionDefaultsKey).isString() && defaults.stringForKey(kVersionDefaultsKey) == v)
    keep = listOfNotedVersion_;
  if (std::all_of(keep.begin(), keep.end(), [](bool k) { return k; })) return;
  for (std::size_t i = 0; i < keep.size(); ++i)
    if (!keep[i]) lists()[i]->clear();
  defaults.setObject(kVersionDefaultsKey, v);
  defaults.synchronize();
  for (const fd::Value& e : *items) {
    const std::string type = e["TYPE"].isString() ? *e["TYPE"].string() : "";
    const std::size_t target = type == "STAMP" ? 0 : type == "TEMPLATE" ? 1 : type == "ECARD" ? 2 : keep.size();
    if (target < keep.size() && !keep[target])
      if (auto item = addItem(e)) lists()[target]->push_back(std::move(item));
  }
  listOfNotedVersion_.fill(true);
  if (!items->empty()) saveDownLoadListToFile();
}

void ResourceDownLoadManager::saveDownLoadListToFile() {
  // A download cut short by the end of the run starts again from nothing.
  for (auto* list : {&stampItems_, &templateItems_}) {
    for (auto& item : *list)
      if (item->downLoadState() == DownLoadItem::kLoading) item->setDownLoadState(DownLoadItem::kNone);
  }
  const fs::path lib = fd::paths::library();
  for (std::size_t i = 0; i < kListFiles.size(); ++i) dicToItem(archive(*lists()[i]), lib / kListFiles[i]);
}

bool ResourceDownLoadManager::dicToItem(const fd::Value& list, const fs::path& path) {
  return fd::writePropertyList(path, list).ok();
}

fd::Value ResourceDownLoadManager::itemToArray(const fs::path& path) {
  // A list that cannot be read is set aside and told before the next save
  // of the lists could replace it.
  auto read = fd::readStoredList(path, fd::Value::Type::Array, fd::DamagedFileReport::Kind::Settings,
                                 path.filename().string());
  return read ? std::move(read).value() : fd::Value();
}

void ResourceDownLoadManager::unzipFilePath(const fs::path& zip, const std::string& title,
                                            std::function<void(bool)> done) {
  const fs::path folder = downloadPath_;
  unzipQueue_->async([zip, title, folder, done = std::move(done)] {
    // Unpacked aside and moved in whole: a broken or hostile zip installs
    // nothing, and a pack can only ever fill its own two folders.
    std::error_code ec;
    const fs::path staging = folder / ("." + title + ".unpack");
    fs::remove_all(staging, ec);
    bool ok = false;
    ZipWrapper unzip;
    if (unzip.UnzipOpenFile(zip)) {
      ok = unzip.UnzipFileTo(staging, true);
      fd::Log("%s", ok ? "unzipSucess" : "unzipfailed");
      unzip.UnzipCloseFile();
    }
    ok = ok && fs::is_directory(staging / title, ec);
    if (ok) {
      for (const std::string& part : {title, title + kThumbnailSuffix}) {
        if (!fs::exists(staging / part, ec)) continue;
        fs::remove_all(folder / part, ec);
        fs::rename(staging / part, folder / part, ec);
        if (ec) ok = false;
      }
    }
    // The archive's own metadata folder went with the staging folder; the
    // download folder's "__MACOSX", when a pack bears that title, is the pack.
    fs::remove_all(staging, ec);
    fs::remove(zip, ec);
    fd::performOnMain([done, ok] { done(ok); }, false);
  });
}

void ResourceDownLoadManager::drainUnzip() { unzipQueue_->drain(); }

std::vector<std::string> ResourceDownLoadManager::stampDownArray() {
  std::vector<std::string> names;
  if (stampStyle_ < 0 || stampStyle_ >= static_cast<int>(stampItems_.size())) return names;
  const fs::path thumbs = downloadPath_ / (stampItems_[static_cast<std::size_t>(stampStyle_)]->title() + kThumbnailSuffix);
  std::error_code ec;
  for (fs::directory_iterator it(thumbs, ec), end; !ec && it != end; it.increment(ec))
    if (it->path().extension() == ".png") names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> ResourceDownLoadManager::stampUserArray() const {
  std::vector<std::string> names;
  for (int i = 1; i <= 9; ++i) names.push_back("shape_0" + std::to_string(i) + ".png");
  return names;
}

// --- the cell

namespace {
// Ink that reads on the stamp tool's pale screen, behind the list.
constexpr ui::Color kTitleInk{0.3f, 0.17f, 0.07f, 1}, kDetailInk{0.3f, 0.21f, 0.13f, 1};

std::shared_ptr<ui::Label> cellLabel(ui::Rect frame, float size, bool bold) {
  auto l = std::make_shared<ui::Label>(frame);
  l->setFont({"DejaVu Sans", size, bold});
  l->setTextColor(bold ? kTitleInk : kDetailInk);
  l->setBackgroundColor(ui::Color::clear());
  l->setUserInteractionEnabled(false);
  return l;
}
}  // namespace

DownLoadCell::DownLoadCell(ui::Rect frame) : ui::TableViewCell(ui::CellStyle::Default, "DownLoadCell") {
  setFrame(frame);
  setBackgroundColor(ui::Color::clear());
  // Its parts take touches before the first layout pass.
  contentView()->setFrame({0, 0, frame.width, frame.height});
  const float w = frame.width, h = frame.height;
  categrayImage_ = std::make_shared<ui::ImageView>(ui::Rect{4, 4, h - 8, h - 8});
  categrayImage_->setUserInteractionEnabled(false);
  // The title runs over the row's width; under it the count and the price
  // keep left of the button, which stands whole inside the row's lower right.
  const ui::Rect button{w - 38, h - 21, 34, 20};
  const float left = h + 2, right = button.x - 4, countWidth = 20;
  categaray_ = cellLabel({left, 1, w - 4 - left, 15}, 12, true);
  quantity_ = cellLabel({left, h / 2, countWidth, h / 2 - 3}, 10, false);
  fee_ = cellLabel({left + countWidth + 2, h / 2, right - left - countWidth - 2, h / 2 - 3}, 10, false);
  fee_->setText(fd::Localized("Free"));
  downLoadBtn_ = ui::Button::make(ui::ButtonType::Custom, button);
  downLoadBtn_->addTarget(this, [this](ui::Control*, const ui::Event*) { downLoadCategray(); }, ui::TouchUpInside);
  for (ui::View* v : {static_cast<ui::View*>(categrayImage_.get()), static_cast<ui::View*>(categaray_.get()),
                      static_cast<ui::View*>(quantity_.get()), static_cast<ui::View*>(fee_.get()),
                      static_cast<ui::View*>(downLoadBtn_.get())})
    contentView()->addSubview(v->self());
}

DownLoadCell::~DownLoadCell() {
  if (item_ && item_->delegate() == this) item_->setDelegate(nullptr);
}

void DownLoadCell::setDownLoadItem(std::shared_ptr<DownLoadItem> item) {
  if (item_ && item_->delegate() == this) item_->setDelegate(nullptr);
  item_ = std::move(item);
  if (item_) item_->setDelegate(this);
  reloadTheCell();
}

void DownLoadCell::reloadTheCell() {
  if (!item_) return;
  const fs::path folder = ResourceDownLoadManager::shared().downloadPath();
  if (item_->thumbnailDownLoadState() == DownLoadItem::kLoaded) {
    categrayImage_->setImage(ui::Picture::fromFile(folder / (item_->title() + ".png")));
  } else {
    categrayImage_->setImage({});
    item_->requestForThumbnailImage();
  }
  categaray_->setText(fd::Localized(item_->title()));
  if (item_->price() != 0) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", item_->price());
    fee_->setText(buf);
  } else {
    fee_->setText(fd::Localized("Free"));
  }
  quantity_->setText(std::to_string(item_->quantity()));
  switch (item_->downLoadState()) {
    case DownLoadItem::kLoaded:
      downLoadBtn_->setBackgroundImage(VTImageCache::imageNamed("stamp_library_open.png"));
      downLoadBtn_->setEnabled(false);
      break;
    case DownLoadItem::kLoading:
      downLoadBtn_->setBackgroundImage(VTImageCache::imageNamed("stamp_library_download.png"));
      downLoadBtn_->setEnabled(false);
      break;
    case DownLoadItem::kNone:
      downLoadBtn_->setBackgroundImage(VTImageCache::imageNamed("stamp_library_download.png"));
      downLoadBtn_->setEnabled(true);
      break;
    default:
      break;
  }
}

void DownLoadCell::downLoadCategray() {
  downLoadBtn_->setBackgroundImage(VTImageCache::imageNamed("stamp_library_download.png"));
  downLoadBtn_->setEnabled(false);
  if (item_) {
    item_->requestForImages();
    // No network: the alert is up and the pack can be asked for again.
    if (item_->downLoadState() == DownLoadItem::kNone) downLoadBtn_->setEnabled(true);
  }
}

void DownLoadCell::downLoadFailed() { downLoadBtn_->setEnabled(true); }

void DownLoadCell::touchesEnded(const ui::TouchSet& touches, const ui::Event& event) {
  if (tag() == kShapesTag) {
    if (delegate_) delegate_->didSelectedAndShowImage();
  } else if (!downLoadBtn_->isEnabled() && delegate_ && item_ && item_->downLoadState() == DownLoadItem::kLoaded) {
    delegate_->didSelected(this);
  }
  ui::TableViewCell::touchesEnded(touches, event);
}
