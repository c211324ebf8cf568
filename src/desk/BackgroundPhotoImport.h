#pragma once
// Turning an album photo into a user background: the album picker, and the
// editor where the photo is moved and pinched under a fixed 384 : 288 window
// whose contents become the 384 x 288 background picture.
#include <filesystem>
#include <optional>

#include "platform/foundation/Expected.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Alert.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Standins.h"
#include "platform/ui/ViewController.h"

namespace background_import {

// The size of the picture the import hands back.
constexpr int kPictureWidth = 384, kPictureHeight = 288;
// Photos are kept no larger than this on their longer side: the window never
// needs more than a few times the picture's pixels.
constexpr int kLongestSide = 2048;

// A photo from a file, upright, no larger than kLongestSide; a clear
// failure for a file that is not a picture, is damaged or has no pixels.
fd::Expected<gfx::Image> readPhoto(const std::filesystem::path& path);

// The window for a view of that size: the clip size's aspect, as large as
// fits, centred, whole points.
ui::Rect clipRectForViewSize(ui::Size view, ui::Size clip);
// Where the photo goes when a touch ends: at least covering the window, at
// most 1.5 times the picture's own size (unless that would not cover the
// window), with no gap between its edges and the window's.
ui::Rect fittedPhotoFrame(ui::Rect photo, ui::Rect window, ui::Size pictureSize);
// What the window shows of the photo placed at `photoFrame`, as the
// 384 x 288 picture; nullopt when the window is empty or no picture can be made.
std::optional<gfx::Image> cropToPicture(const gfx::Image& photo, ui::Rect photoFrame, ui::Rect window);

}  // namespace background_import

class BackgroundEditControllerDelegate {
 public:
  virtual ~BackgroundEditControllerDelegate() = default;
  // The cropped 384 x 288 picture, or nullopt when there was nothing to crop.
  virtual void backgroundEditControllerShouldSuccessed(const std::optional<gfx::Image>& picture) = 0;
};

class BackgroundEditController : public ui::ViewController {
 public:
  BackgroundEditController();
  static std::shared_ptr<BackgroundEditController> make();

  void setImage(std::optional<gfx::Image> image);
  const std::optional<gfx::Image>& image() const { return image_; }
  void setDelegate(BackgroundEditControllerDelegate* d) { delegate_ = d; }
  void updateClipRect();
  void ok();

  ui::ImageView* imageView() const { return imageView_.get(); }
  ui::Rect imageRect() const { return imageRect_; }
  ui::View* mask(int i) const { return masks_[i].get(); }

  void loadView() override;
  void viewWillAppear(bool animated) override;
  void touchesBegan(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesMoved(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesEnded(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesCancelled(const ui::TouchSet& touches, const ui::Event& event) override;

 private:
  void fitPhoto();

  std::optional<gfx::Image> image_;
  std::shared_ptr<ui::ImageView> imageView_;
  std::shared_ptr<ui::View> masks_[4];  // top, bottom, left, right
  ui::Rect imageRect_{};
  ui::Size clipSize_{background_import::kPictureWidth, background_import::kPictureHeight};
  BackgroundEditControllerDelegate* delegate_ = nullptr;
  bool isMove_ = false;
  ui::Point offset_{};
};

class SelectedBackgroundViewController;

class SelectedBackgroundViewControllerDelegate {
 public:
  virtual ~SelectedBackgroundViewControllerDelegate() = default;
  virtual void selectedBackgroundViewControllerDidFinishWithImage(SelectedBackgroundViewController& picker,
                                                                  const gfx::Image& image) = 0;
  // false: the delegate does not answer, and the picker dismisses itself.
  virtual bool selectedBackgroundViewControllerDidCancel(SelectedBackgroundViewController&) { return false; }
};

// The album picker of the import: a picked photo opens in the editor; a file
// that cannot be read is named in an alert and nothing else happens.
class SelectedBackgroundViewController : public ui::ImagePickerController,
                                         public ui::ImagePickerDelegate,
                                         public BackgroundEditControllerDelegate {
 public:
  SelectedBackgroundViewController();
  static std::shared_ptr<SelectedBackgroundViewController> make();
  void setSelectedDelegate(SelectedBackgroundViewControllerDelegate* d) { selectedDelegate_ = d; }

  // Opens the photo in the editor; false (with the alert shown) when it
  // cannot be read.
  bool pickPhoto(const std::filesystem::path& file);
  const std::string& lastFailure() const { return lastFailure_; }

  void didFinishPickingMedia(ui::ImagePickerController&, const ui::PickedMedia& media) override;
  bool didCancel(ui::ImagePickerController&) override;
  void didFailToPick(ui::ImagePickerController&, const std::filesystem::path& file) override;
  void backgroundEditControllerShouldSuccessed(const std::optional<gfx::Image>& picture) override;

 private:
  SelectedBackgroundViewControllerDelegate* selectedDelegate_ = nullptr;
  std::string lastFailure_;
};
