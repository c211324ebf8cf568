#pragma once
// Stand-ins for the phone's system services the program meets: the photo
// library (a folder, Documents/Pictures) with its picker and "save to album",
// the store's product sheet, and network reachability.
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/NavigationController.h"
#include "platform/ui/Picture.h"
#include "platform/ui/TableView.h"

namespace ui {

// --- the photo library and album

// The folder that plays the photo library and album.
std::filesystem::path photoLibraryFolder();
// Pictures in it (PNG and JPEG), sorted by name.
std::vector<std::filesystem::path> photoLibraryPictures();
// Writes the picture as the next "IMG_nnnn.png"; completion runs on the main
// thread at its next turn with the written path, or nullopt on failure.
void saveImageToAlbum(const gfx::Image& image,
                      std::function<void(std::optional<std::filesystem::path>)> completion = {});
// Copies a movie file into the album folder.
void saveVideoToAlbum(const std::filesystem::path& movie,
                      std::function<void(std::optional<std::filesystem::path>)> completion = {});

enum class ImagePickerSource { PhotoLibrary, Camera, SavedPhotosAlbum };

struct PickedMedia {
  Picture originalImage;
  Picture editedImage;  // when editing is allowed: the centred square crop
  std::filesystem::path file;
};

class ImagePickerController;

class ImagePickerDelegate : public DelegateLife {
 public:
  virtual ~ImagePickerDelegate() = default;
  virtual void didFinishPickingMedia(ImagePickerController&, const PickedMedia&) {}
  // false: the delegate does not answer, and the picker dismisses itself.
  virtual bool didCancel(ImagePickerController&) { return false; }
  // The picked file is not a picture that can be read.
  virtual void didFailToPick(ImagePickerController&, const std::filesystem::path& /*file*/) {}
};

// Lists the library folder; a tap on a row picks that picture.
class ImagePickerController : public NavigationController {
 public:
  ImagePickerController();
  static bool isSourceTypeAvailable(ImagePickerSource source);

  ImagePickerSource sourceType() const { return source_; }
  void setSourceType(ImagePickerSource s) { source_ = s; }
  bool allowsEditing() const { return allowsEditing_; }
  void setAllowsEditing(bool on) { allowsEditing_ = on; }
  ImagePickerDelegate* pickerDelegate() const { return delegate_.get(); }
  void setPickerDelegate(ImagePickerDelegate* d) { delegate_ = d; }

  // What a tap on the row does; false when the file cannot be read.
  bool pickFile(const std::filesystem::path& file);
  void cancel();
  TableView* tableView();

 private:
  class ListController;
  ImagePickerSource source_ = ImagePickerSource::PhotoLibrary;
  bool allowsEditing_ = false;
  DelegateRef<ImagePickerDelegate> delegate_;
  std::shared_ptr<ListController> list_;
};

// --- the store's product sheet

class StoreProductViewController;

class StoreProductDelegate : public DelegateLife {
 public:
  virtual ~StoreProductDelegate() = default;
  virtual void productViewControllerDidFinish(StoreProductViewController&) {}
};

// Shows one product's identifier with a Done button.
class StoreProductViewController : public ViewController {
 public:
  // completion(loaded, error) runs at the next turn; the stand-in has nothing
  // to fetch and succeeds for any non-empty identifier.
  void loadProduct(const std::string& identifier, std::function<void(bool, std::string)> completion);
  const std::string& productIdentifier() const { return product_; }
  StoreProductDelegate* delegate() const { return delegate_.get(); }
  void setDelegate(StoreProductDelegate* d) { delegate_ = d; }
  void loadView() override;
  // The Done button.
  void done();

 private:
  std::string product_;
  DelegateRef<StoreProductDelegate> delegate_;
};

// --- reachability

inline constexpr const char* kReachabilityChangedNotification = "kNetworkReachabilityChangedNotification";

class Reachability {
 public:
  enum class Status { NotReachable, ViaWiFi };
  struct Flags {
    bool reachable = false;
    bool connectionRequired = false;
  };

  // Flags for reaching a host by name; nullopt when they cannot be read. On
  // this platform: a default network route means reachable.
  static std::optional<Flags> flagsForHost(const std::string& host);
  static Status currentStatus();
  // Tests fix the answer (nullopt returns to the real one).
  static void setOverride(std::optional<Flags> flags);
  // Posts kReachabilityChangedNotification when the status changes, checking
  // every few seconds on the main run loop.
  static void startNotifier();
  static void stopNotifier();
};

}  // namespace ui
