// The background photo import: album picker, photo editor, the crop.
#include "desk/BackgroundPhotoImport.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Localized.h"
#include "platform/graphics/Context.h"
#include "platform/ui/Animation.h"
#include "platform/ui/NavigationController.h"

namespace background_import {

namespace {

// Each factor x factor block averaged into one pixel; orientation, scale and
// the premultiplied flag kept. Edge blocks average what they have.
gfx::Image reducedBy(const gfx::Image& image, int factor) {
  const int inW = image.pixelWidth(), inH = image.pixelHeight();
  const int w = (inW + factor - 1) / factor, h = (inH + factor - 1) / factor;
  gfx::Image out(w, h, image.scale());
  out.setOrientation(image.orientation());
  out.setPremultiplied(image.premultiplied());
  for (int oy = 0; oy < h; ++oy) {
    const int y0 = oy * factor, y1 = std::min(y0 + factor, inH);
    std::uint8_t* dst = out.pixel(0, oy);
    for (int ox = 0; ox < w; ++ox, dst += 4) {
      const int x0 = ox * factor, x1 = std::min(x0 + factor, inW);
      unsigned r = 0, g = 0, b = 0, a = 0;
      for (int y = y0; y < y1; ++y) {
        const std::uint8_t* p = image.pixel(x0, y);
        for (int x = x0; x < x1; ++x, p += 4) {
          r += p[0];
          g += p[1];
          b += p[2];
          a += p[3];
        }
      }
      const unsigned n = static_cast<unsigned>((y1 - y0) * (x1 - x0));
      dst[0] = static_cast<std::uint8_t>((r + n / 2) / n);
      dst[1] = static_cast<std::uint8_t>((g + n / 2) / n);
      dst[2] = static_cast<std::uint8_t>((b + n / 2) / n);
      dst[3] = static_cast<std::uint8_t>((a + n / 2) / n);
    }
  }
  return out;
}

}  // namespace

fd::Expected<gfx::Image> readPhoto(const std::filesystem::path& path) {
  const std::string name = path.filename().string();
  auto size = fd::files::fileSize(path);
  if (!size) return fd::fail("\"" + name + "\" cannot be opened");
  if (*size == 0) return fd::fail("\"" + name + "\" is empty");
  // A large JPEG decodes straight at 1/2, 1/4 or 1/8 of its size within the
  // longest side; anything else (a PNG, a JPEG that is still too large)
  // is read within the readers' own limits, scaled down where it can be.
  gfx::ReadLimits small = gfx::ReadLimits::atMost(kLongestSide, kLongestSide);
  small.scaleDownToFit = true;
  fd::Expected<gfx::Image> read = gfx::readImage(path, small);
  if (!read) {
    gfx::ReadLimits any;
    any.scaleDownToFit = true;
    read = gfx::readImage(path, any);
  }
  if (!read) return fd::fail("\"" + name + "\" is not a picture that can be read: " + read.error());
  if (read->empty()) return fd::fail("\"" + name + "\" has no pixels");
  // Large photos are reduced by a whole factor first (an average of each
  // block), which is cheap and keeps the turn below on few pixels.
  const int longest = std::max(read->pixelWidth(), read->pixelHeight());
  const int factor = (longest + kLongestSide - 1) / kLongestSide;
  if (factor > 1) *read = reducedBy(*read, factor);
  gfx::Image upright = read->normalizedOrientation();
  upright.setScale(1.0f);
  return upright;
}

ui::Rect clipRectForViewSize(ui::Size view, ui::Size clip) {
  const float s = std::min(view.width / clip.width, view.height / clip.height);
  float w = std::floor(clip.width * s), h = std::floor(clip.height * s);
  if (view.width - w < 1) w = view.width;
  else if (view.height - h < 1) h = view.height;
  return {(view.width - w) / 2, (view.height - h) / 2, w, h};
}

ui::Rect fittedPhotoFrame(ui::Rect photo, ui::Rect window, ui::Size pictureSize) {
  if (photo.width <= 0 || photo.height <= 0) return photo;
  const float cx = photo.x + photo.width / 2, cy = photo.y + photo.height / 2;
  // The smallest scale that covers the window, and the largest wanted.
  const float cover = std::max(window.width / photo.width, window.height / photo.height);
  const float limit = std::min(pictureSize.width * 1.5f / photo.width, pictureSize.height * 1.5f / photo.height);
  float s = 1;
  if (cover > 1) s = cover;
  else if (limit < 1) s = std::max(limit, cover);
  ui::Rect r{cx - photo.width * s / 2, cy - photo.height * s / 2, photo.width * s, photo.height * s};
  // Pull each edge back to the window where a gap would show.
  r.x = std::min(r.x, window.x);
  r.y = std::min(r.y, window.y);
  r.x = std::max(r.x, window.x + window.width - r.width);
  r.y = std::max(r.y, window.y + window.height - r.height);
  return r;
}

std::optional<gfx::Image> cropToPicture(const gfx::Image& photo, ui::Rect photoFrame, ui::Rect window) {
  if (photo.empty() || window.width <= 0 || window.height <= 0) return std::nullopt;
  gfx::Context ctx(kPictureWidth, kPictureHeight);
  if (!ctx.valid()) return std::nullopt;
  const float s = kPictureWidth / window.width;
  ctx.drawImage(photo, {(photoFrame.x - window.x) * s, (photoFrame.y - window.y) * s, photoFrame.width * s,
                        photoFrame.height * s});
  return ctx.makeImage();
}

}  // namespace background_import

using namespace background_import;

// --- the editor

BackgroundEditController::BackgroundEditController() {
  setTitle(fd::Localized("Edit image"));
  navigationItem().setRightBarButtonItem(
      std::make_shared<ui::BarButtonItem>(fd::Localized("OK"), ui::BarButtonStyle::Done, [this] { ok(); }));
}

std::shared_ptr<BackgroundEditController> BackgroundEditController::make() {
  return std::make_shared<BackgroundEditController>();
}

void BackgroundEditController::loadView() {
  ui::ViewController::loadView();
  ui::View* v = view();
  v->setBackgroundColor({0.5f, 0.5f, 0.5f, 1});
  v->setMultipleTouchEnabled(true);
  v->setClipsToBounds(true);
  imageView_ = std::make_shared<ui::ImageView>(v->bounds());
  imageView_->setBackgroundColor(ui::Color::clear());
  v->addSubview(imageView_);
  for (auto& m : masks_) {
    m = std::make_shared<ui::View>(ui::Rect{});
    m->setBackgroundColor({0, 0, 0, 0.3f});
    m->setUserInteractionEnabled(false);
    v->addSubview(m);
  }
  if (image_) setImage(image_);
  updateClipRect();
}

void BackgroundEditController::viewWillAppear(bool) { updateClipRect(); }

void BackgroundEditController::setImage(std::optional<gfx::Image> image) {
  image_ = std::move(image);
  if (!imageView_) return;
  imageView_->setImage(image_ ? ui::Picture(*image_) : ui::Picture());
  if (!image_) return;
  // The photo's aspect fitted into the view, centred.
  const ui::Rect b = view()->bounds();
  const float s = std::min(b.width / image_->pixelWidth(), b.height / image_->pixelHeight());
  const float w = image_->pixelWidth() * s, h = image_->pixelHeight() * s;
  imageView_->setFrame({(b.width - w) / 2, (b.height - h) / 2, w, h});
}

void BackgroundEditController::updateClipRect() {
  if (!imageView_) return;
  const ui::Rect b = view()->bounds();
  imageRect_ = clipRectForViewSize({b.width, b.height}, clipSize_);
  const float x = imageRect_.x, y = imageRect_.y, w = imageRect_.width, h = imageRect_.height;
  masks_[0]->setFrame({0, 0, b.width, y});
  masks_[1]->setFrame({0, y + h, b.width, y});
  masks_[2]->setFrame({0, y, x, h});
  masks_[3]->setFrame({x + w, y, x, h});
  fitPhoto();
}

void BackgroundEditController::fitPhoto() {
  if (!image_) return;
  ui::Rect f = imageView_->frame();
  if (isMove_ && (offset_.x != 0 || offset_.y != 0)) {
    // The photo glides on by half of the last step.
    f.x += offset_.x / 2;
    f.y += offset_.y / 2;
  }
  const ui::Rect fitted = fittedPhotoFrame(
      f, imageRect_, {static_cast<float>(image_->pixelWidth()), static_cast<float>(image_->pixelHeight())});
  ui::Animations::animate(0.3, 0.01, {}, [view = imageView_, fitted] { view->setFrame(fitted); });
}

void BackgroundEditController::touchesBegan(const ui::TouchSet&, const ui::Event&) {
  isMove_ = false;
  offset_ = {};
}

void BackgroundEditController::touchesMoved(const ui::TouchSet& touches, const ui::Event& event) {
  if (!imageView_) return;
  const ui::TouchSet all = event.allTouches();
  ui::Rect f = imageView_->frame();
  if (all.size() >= 2) {
    const ui::Touch* a = all[0];
    const ui::Touch* b = all[1];
    auto distance = [](ui::Point p, ui::Point q) { return std::hypot(p.x - q.x, p.y - q.y); };
    const float now = distance(a->locationInView(view()), b->locationInView(view()));
    const float before = distance(a->previousLocationInView(view()), b->previousLocationInView(view()));
    const float k = (now - before) / 400;
    const float cx = f.x + f.width / 2, cy = f.y + f.height / 2;
    f.width *= 1 + k;
    f.height *= 1 + k;
    f.x = cx - f.width / 2;
    f.y = cy - f.height / 2;
  } else if (!touches.empty()) {
    isMove_ = true;
    const ui::Point p = touches[0]->locationInView(view()), q = touches[0]->previousLocationInView(view());
    offset_ = {p.x - q.x, p.y - q.y};
    f.x += offset_.x;
    f.y += offset_.y;
  }
  imageView_->setFrame(f);
}

void BackgroundEditController::touchesEnded(const ui::TouchSet&, const ui::Event&) { fitPhoto(); }
void BackgroundEditController::touchesCancelled(const ui::TouchSet&, const ui::Event&) { fitPhoto(); }

void BackgroundEditController::ok() {
  std::optional<gfx::Image> picture;
  if (image_ && imageView_) picture = cropToPicture(*image_, imageView_->frame(), imageRect_);
  BackgroundEditControllerDelegate* delegate = delegate_;
  if (!picture) dismissViewController(false);
  else if (auto* nav = navigationController()) nav->popViewController(true);
  if (delegate) delegate->backgroundEditControllerShouldSuccessed(picture);
}

// --- the album picker

SelectedBackgroundViewController::SelectedBackgroundViewController() {
  setAllowsEditing(false);
  setSourceType(ui::ImagePickerSource::SavedPhotosAlbum);
  setPickerDelegate(this);
}

std::shared_ptr<SelectedBackgroundViewController> SelectedBackgroundViewController::make() {
  return std::make_shared<SelectedBackgroundViewController>();
}

bool SelectedBackgroundViewController::pickPhoto(const std::filesystem::path& file) {
  fd::Expected<gfx::Image> photo = readPhoto(file);
  if (!photo) {
    didFailToPick(*this, file);
    return false;
  }
  auto editor = BackgroundEditController::make();
  editor->setImage(std::move(*photo));
  editor->setDelegate(this);
  pushViewController(editor, true);
  return true;
}

void SelectedBackgroundViewController::didFinishPickingMedia(ui::ImagePickerController&, const ui::PickedMedia& media) {
  pickPhoto(media.file);
}

void SelectedBackgroundViewController::didFailToPick(ui::ImagePickerController&, const std::filesystem::path& file) {
  fd::Expected<gfx::Image> photo = readPhoto(file);
  lastFailure_ = photo ? "\"" + file.filename().string() + "\" cannot be read" : photo.error();
  ui::AlertView::make(fd::Localized("This picture cannot be used"), lastFailure_, nullptr, fd::Localized("OK"))->show();
}

bool SelectedBackgroundViewController::didCancel(ui::ImagePickerController&) {
  return selectedDelegate_ && selectedDelegate_->selectedBackgroundViewControllerDidCancel(*this);
}

void SelectedBackgroundViewController::backgroundEditControllerShouldSuccessed(const std::optional<gfx::Image>& picture) {
  if (picture && selectedDelegate_) selectedDelegate_->selectedBackgroundViewControllerDidFinishWithImage(*this, *picture);
  dismissViewController(true);
}
