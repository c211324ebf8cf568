#pragma once
// Stamp packs from the resource dispatcher: the list of packs (through a list
// of mirrors), a thumbnail and a zip of pictures per pack, kept under the
// Library folder's "downloadFolder". The manager is one for the run; each
// pack item runs its own requests; a cell shows one pack in the stamp tool's
// pack list.
//
// What comes from the network is checked before it changes anything: a list
// of the wrong shape is ignored, a pack title must be one plain file name, a
// download counts only with a 2xx status, and a pack's zip is unpacked aside
// and moved into place only whole, with only the pack's own two folders kept.
#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/HTTPRequest.h"
#include "platform/foundation/Dispatch.h"
#include "platform/foundation/Value.h"
#include "platform/ui/Alert.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableView.h"

class DownLoadCell;

// The cell showing an item: told when the item's state changed.
class DownLoadItemDelegate {
 public:
  virtual ~DownLoadItemDelegate() = default;
  virtual void reloadTheCell() {}
};

class DownLoadItem : public HTTPRequestDelegate,
                     public ui::ButtonSheetDelegate,
                     public std::enable_shared_from_this<DownLoadItem> {
 public:
  enum State { kNone = 0, kLoading = 1, kLoaded = 2 };

  // The archived form (keys as stored); nullopt when a field is missing or of
  // the wrong type, or the title is not one plain file name.
  static std::shared_ptr<DownLoadItem> initWithCoder(const fd::Value& archived);
  fd::Value encodeWithCoder() const;

  void requestForThumbnailImage();
  void requestForImages();
  bool isConnectToNetWork() const;

  void requestFinished(HTTPRequest& request) override;
  void requestFailed(HTTPRequest& request) override;
  void getList1(const fd::Value& list, bool thumbnail);

  const std::string& key() const { return key_; }
  void setKey(std::string k) { key_ = std::move(k); }
  const std::string& thumbnailURL() const { return thumbnailURL_; }
  void setThumbnailURL(std::string u) { thumbnailURL_ = std::move(u); }
  const std::string& downLoadURL() const { return downLoadURL_; }
  void setDownLoadURL(std::string u) { downLoadURL_ = std::move(u); }
  const std::string& title() const { return title_; }
  void setTitle(std::string t) { title_ = std::move(t); }
  int quantity() const { return quantity_; }
  void setQuantity(int q) { quantity_ = q; }
  float price() const { return price_; }
  void setPrice(float p) { price_ = p; }
  int downLoadState() const { return downLoadState_; }
  void setDownLoadState(int s) { downLoadState_ = s; }
  int thumbnailDownLoadState() const { return thumbnailDownLoadState_; }
  void setThumbnailDownLoadState(int s) { thumbnailDownLoadState_ = s; }
  DownLoadItemDelegate* delegate() const { return delegate_; }
  void setDelegate(DownLoadItemDelegate* d) { delegate_ = d; }
  // Requests started for the thumbnail since the item was made.
  int thumbnailRequests() const { return thumbnailRequests_; }

 private:
  std::shared_ptr<HTTPRequest> jsonRequest(const std::string& url);
  void fileRequestEnded(HTTPRequest& request, bool ok);
  void tell();

  std::string key_, thumbnailURL_, downLoadURL_, title_;
  int quantity_ = 0;
  float price_ = 0;
  int downLoadState_ = kNone;
  int thumbnailDownLoadState_ = kNone;
  DownLoadItemDelegate* delegate_ = nullptr;
  // Each request knows what it is for, so that one failing never touches the
  // other's state.
  std::shared_ptr<HTTPRequest> thumbDispatch_, thumbFile_, packDispatch_, packFile_;
  int thumbnailRequests_ = 0;
  std::shared_ptr<ui::AlertView> alert_;
};

class ResourceDownLoadManager : public HTTPRequestDelegate {
 public:
  // The dispatcher's address: the user default "StampLibraryServer", else this.
  static constexpr const char* kServerDefaultsKey = "StampLibraryServer";
  static constexpr const char* kDefaultServer = "http://dispatch.flipdesk-stamps.net";
  static constexpr const char* kListKey = "APP.IPAD.VELMORA.PACKAGE.LIST.ALL";
  static constexpr const char* kVersionDefaultsKey = "downloadsourceversion";
  static constexpr const char* kShapesKey = "shape_0%d.png";

  static ResourceDownLoadManager& shared();
  // Tests: the next shared() starts again from the files of the current sandbox.
  static void resetSharedForTesting();
  ~ResourceDownLoadManager() override;

  static std::string server();
  // The time-out of every library request (10 s unless changed).
  static void setTimeOutSeconds(double seconds);
  static double timeOutSeconds();
  static std::string mirrorListURL();
  // The dispatcher address of a key ("/paths?key=...").
  static std::string pathsURL(const std::string& key);

  void fetchDownLoadListFromFile();
  void fetchDownLoadList(const std::string& url);
  void getList(const fd::Value& list);
  void requestFinished(HTTPRequest& request) override;
  void requestFailed(HTTPRequest& request) override;
  // nullptr for an element of the wrong shape.
  std::shared_ptr<DownLoadItem> addItem(const fd::Value& element);
  void saveDownLoadListToFile();
  // Unpacks a downloaded pack in the background; done(ok) on the main thread.
  void unzipFilePath(const std::filesystem::path& zip, const std::string& title, std::function<void(bool)> done);
  // Waits until every unpack queued so far has ended (its result still to be
  // told on the main thread).
  void drainUnzip();

  // The chosen pack's picture names: the ".png" entries of its thumbnail folder.
  std::vector<std::string> stampDownArray();
  std::vector<std::string> stampUserArray() const;

  static bool dicToItem(const fd::Value& list, const std::filesystem::path& path);
  static fd::Value itemToArray(const std::filesystem::path& path);

  const std::filesystem::path& downloadPath() const { return downloadPath_; }
  std::vector<std::shared_ptr<DownLoadItem>>& stampDownLoadItems() { return stampItems_; }
  std::vector<std::shared_ptr<DownLoadItem>>& templateDownLoadItems() { return templateItems_; }
  std::vector<std::shared_ptr<DownLoadItem>>& templateDownLoadEcardItems() { return ecardItems_; }
  int stampStyle() const { return stampStyle_; }
  void setStampStyle(int s) { stampStyle_ = s; }
  int index() const { return index_; }
  const fd::Value& urlArray() const { return urlArray_; }

 private:
  ResourceDownLoadManager();
  void requestList();
  void takeList(const std::string& body);
  // The stamp, template and e-card lists, in that order.
  std::array<std::vector<std::shared_ptr<DownLoadItem>>*, 3> lists();

  std::filesystem::path downloadPath_;
  std::shared_ptr<HTTPRequest> jsonRequst_, listRequst_;
  fd::Value urlArray_;
  int index_ = 1;
  std::vector<std::shared_ptr<DownLoadItem>> stampItems_, templateItems_, ecardItems_;
  // By list: it is the one the noted server version gave (read back whole,
  // or built from the server this run).
  std::array<bool, 3> listOfNotedVersion_{};
  int stampStyle_ = -1;
  std::unique_ptr<fd::DispatchQueue> unzipQueue_;
};

// One pack in the stamp tool's pack list.
class DownLoadCellDelegate {
 public:
  virtual ~DownLoadCellDelegate() = default;
  virtual void didSelectedAndShowImage() {}
  virtual void didSelected(DownLoadCell*) {}
};

class DownLoadCell : public ui::TableViewCell, public DownLoadItemDelegate {
 public:
  static constexpr int kShapesTag = 111;
  explicit DownLoadCell(ui::Rect frame);
  ~DownLoadCell() override;

  void setDownLoadItem(std::shared_ptr<DownLoadItem> item);
  const std::shared_ptr<DownLoadItem>& downLoadItem() const { return item_; }
  void reloadTheCell() override;
  void downLoadCategray();
  void downLoadFailed();

  ui::ImageView* categrayImage() const { return categrayImage_.get(); }
  ui::Label* categaray() const { return categaray_.get(); }
  ui::Label* quantity() const { return quantity_.get(); }
  ui::Label* fee() const { return fee_.get(); }
  ui::Button* downLoadBtn() const { return downLoadBtn_.get(); }
  DownLoadCellDelegate* delegate() const { return delegate_; }
  void setDelegate(DownLoadCellDelegate* d) { delegate_ = d; }

  void touchesEnded(const ui::TouchSet& touches, const ui::Event& event) override;

 private:
  std::shared_ptr<ui::ImageView> categrayImage_;
  std::shared_ptr<ui::Label> categaray_, quantity_, fee_;
  std::shared_ptr<ui::Button> downLoadBtn_;
  std::shared_ptr<DownLoadItem> item_;
  DownLoadCellDelegate* delegate_ = nullptr;
};
