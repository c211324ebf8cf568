#include "platform/ui/GLView.h"

#include <cstring>

#include "platform/graphics/PixelFormat.h"
#include "platform/ui/Compositor.h"
#include "platform/ui/Screen.h"

namespace ui {

GLView::GLView(const Rect& frame, float contentsScale) : View(frame) {
  float scale = contentsScale > 0 ? contentsScale : Screen::main().scale();
  layer_ = std::make_unique<glx::GLLayer>(bounds().width, bounds().height, scale);
  layer_->setPresentHandler([this](const gfx::Image& picture) { present(picture); });
  setOpaque(true);
  changesFrom_ = contentVersion();
}

GLView::~GLView() {
  layer_->setPresentHandler({});
  layer_->setPresentObserver({});
}

void GLView::setContentsScale(float s) { layer_->setContentsScale(s); }

void GLView::present(gfx::Image picture) {
  presented_ = std::make_shared<const gfx::Image>(std::move(picture));
  stale_ = false;
  ++presents_;
  noteChange(std::nullopt);
}

void GLView::noteChange(std::optional<glx::PixelBox> box) {
  contentChanged();
  changes_.push_back({contentVersion(), box});
  constexpr std::size_t kKept = 64;
  if (changes_.size() > kKept) {
    changesFrom_ = changes_.front().version;
    changes_.pop_front();
  }
}

void GLView::readPicturesOnDemand() {
  onDemand_ = true;
  layer_->setPresentHandler({});
  layer_->setPresentObserver([this] { presentObserved(); });
}

void GLView::presentObserved() {
  stale_ = true;
  ++presents_;
  const std::optional<glx::PixelBox> damage = layer_->presentedDamage();
  if (!damage) {
    unreadWhole_ = true;
  } else if (damage->empty()) {
    return;
  } else {
    unread_ = unread_ ? unread_->unionWith(*damage) : *damage;
  }
  noteChange(damage);
}

const std::shared_ptr<const gfx::Image>& GLView::presentedImage() {
  if (stale_) {
    stale_ = false;
    if (std::optional<gfx::Image> picture = readPresentedPicture()) {
      presented_ = std::make_shared<const gfx::Image>(std::move(*picture));
    }
  }
  return presented_;
}

bool GLView::readPresentedRect(const glx::PixelBox& box, std::uint8_t* out) {
  std::optional<gfx::Image> picture = readPresentedPicture();
  if (!picture || box.x < 0 || box.y < 0 || box.x + box.width > picture->pixelWidth() ||
      box.y + box.height > picture->pixelHeight())
    return false;
  gfx::Image premultiplied = std::move(*picture);
  if (!premultiplied.premultiplied()) premultiplied.premultiply();
  const std::size_t row = static_cast<std::size_t>(box.width) * 4;
  for (int r = 0; r < box.height; ++r)
    std::memcpy(out + r * row, premultiplied.pixel(box.x, premultiplied.pixelHeight() - 1 - (box.y + r)), row);
  return true;
}

bool GLView::updateScreenPixels(bool whole) {
  const int w = layer_->storageWidth(), h = layer_->storageHeight();
  if (w <= 0 || h <= 0) return false;
  if (w != screenWidth_ || h != screenHeight_) {
    screenPixels_.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0u);
    screenWidth_ = w;
    screenHeight_ = h;
    unreadWhole_ = true;
  }
  const glx::PixelBox all{0, 0, w, h};
  glx::PixelBox box;
  if (unreadWhole_ || (whole && unread_)) box = all;
  else if (unread_) box = unread_->intersection(all);
  if (!box.empty()) {
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(box.width) * static_cast<std::size_t>(box.height) * 4);
    if (!readPresentedRect(box, rgba.data())) return false;
    // GL rows run bottom-up; the screen copy's run top-down.
    for (int row = 0; row < box.height; ++row) {
      std::uint32_t* dst =
          screenPixels_.data() + static_cast<std::size_t>(h - 1 - (box.y + row)) * static_cast<std::size_t>(w) + box.x;
      gfx::pixelformat::rgbaToArgb32(rgba.data() + static_cast<std::size_t>(row) * box.width * 4, dst, box.width, true);
    }
  }
  unread_.reset();
  unreadWhole_ = false;
  return true;
}

std::optional<Rect> GLView::contentDamageSince(std::uint64_t version) const {
  if (version == contentVersion()) return Rect{};
  // A change of the view's own besides presents, or one no longer listed.
  const std::uint64_t listed = changes_.empty() ? changesFrom_ : changes_.back().version;
  if (listed != contentVersion() || version < changesFrom_ || !onDemand_) return std::nullopt;
  std::optional<glx::PixelBox> box;
  for (const Change& c : changes_) {
    if (c.version <= version) continue;
    if (!c.box) return std::nullopt;
    box = box ? box->unionWith(*c.box) : *c.box;
  }
  const int w = layer_->storageWidth(), h = layer_->storageHeight();
  if (w <= 0 || h <= 0) return std::nullopt;
  if (!box || box->empty()) return Rect{};
  // A pixel more on each side: the picture is filtered when it is scaled.
  const Rect b = bounds();
  const float sx = b.width / static_cast<float>(w), sy = b.height / static_cast<float>(h);
  const float left = static_cast<float>(box->x - 1), right = static_cast<float>(box->x + box->width + 1);
  const float top = static_cast<float>(h - (box->y + box->height) - 1), bottom = static_cast<float>(h - box->y + 1);
  return Rect{b.x + left * sx, b.y + top * sy, (right - left) * sx, (bottom - top) * sy};
}

void GLView::boundsSizeChanged(Size oldSize) {
  View::boundsSizeChanged(oldSize);
  layer_->setBounds(bounds().width, bounds().height);
}

void GLView::drawLayerContent(Compositor& compositor, const Geometry& g) {
  if (onDemand_) {
    // A picture that cannot be read now keeps showing what was read before.
    updateScreenPixels(!compositor.incremental());
    if (screenWidth_ > 0 && screenHeight_ > 0)
      compositor.drawPixels(screenPixels_.data(), screenWidth_, screenHeight_, g.bounds);
    return;
  }
  if (presented_) compositor.drawImage(presented_, g.bounds);
}

}  // namespace ui
