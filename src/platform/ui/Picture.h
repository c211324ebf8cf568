#pragma once
// The toolkit's image object: shared, immutable pixels with the caps of a
// stretchable picture (the phone's stretchableImageWithLeftCapWidth:...).
#include <filesystem>
#include <memory>
#include <string>

#include "platform/graphics/Image.h"
#include "platform/ui/Types.h"

namespace ui {

class Picture {
 public:
  Picture() = default;
  Picture(gfx::Image image);  // NOLINT: a picture stands wherever an image does
  Picture(std::shared_ptr<const gfx::Image> image);

  // A bundle picture by its resource name ("erase.png"). On a scale-2 screen
  // the "@2x" file is preferred. Empty when neither can be read. Pictures are
  // read once and shared until the low-memory notification.
  static Picture named(const std::string& name);
  // A picture file (PNG or JPEG). A photo larger than the readers allow opens
  // at 1/2, 1/4 or 1/8 of its size rather than not at all.
  static Picture fromFile(const std::filesystem::path& path);
  static void purgeNamedCache();

  bool empty() const { return !image_ || image_->empty(); }
  explicit operator bool() const { return !empty(); }
  // In points: pixels over scale (orientation applied).
  Size size() const;
  float scale() const { return image_ ? image_->scale() : 1.0f; }
  // Upright pixels (orientation already applied).
  const gfx::Image* image() const { return image_.get(); }
  const std::shared_ptr<const gfx::Image>& shared() const { return image_; }

  // The middle column at leftCap and row at topCap stretch; the rest keeps its
  // size. A cap of 0 stretches the whole of that axis.
  Picture stretchable(int leftCap, int topCap) const;
  int leftCap() const { return leftCap_; }
  int topCap() const { return topCap_; }
  bool isStretchable() const { return leftCap_ > 0 || topCap_ > 0; }

  bool operator==(const Picture& o) const {
    return image_ == o.image_ && leftCap_ == o.leftCap_ && topCap_ == o.topCap_;
  }

 private:
  std::shared_ptr<const gfx::Image> image_;
  int leftCap_ = 0, topCap_ = 0;
};

}  // namespace ui
