#include "canvas/FillTool.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "canvas/FillToolWalk.h"
#include "platform/foundation/Dispatch.h"
#include "platform/foundation/RunLoop.h"

namespace {

// Downscale factor from output size to working size, by transaction type;
// types beyond the table use 2.
constexpr float kTransactModels[] = {4.0f, 3.0f, 2.0f, 1.5f, 1.0f};

float modelForType(int type) {
  if (type < 0 || type >= static_cast<int>(std::size(kTransactModels))) return 2.0f;
  return kTransactModels[type];
}

std::uint8_t unitToByte(float v) {
  return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
}

// Premultiplied source over, rounded: top + bottom * (1 - top alpha).
std::uint32_t sourceOver(std::uint32_t top, std::uint32_t bottom) {
  const int inverse = 255 - fill::channel(top, 3);
  if (inverse == 255) return bottom;
  if (inverse == 0) return top;
  std::uint8_t c[4];
  for (int k = 0; k < 4; ++k) {
    const int mixed = fill::channel(top, k) + (fill::channel(bottom, k) * inverse + 127) / 255;
    c[k] = static_cast<std::uint8_t>(std::min(mixed, 255));
  }
  return fill::packRGBA(c[0], c[1], c[2], c[3]);
}

}  // namespace

// The working images and the walk's scratch space. The queue uses them only
// while a fill is pending, and the main thread leaves them alone until the
// result has been taken, so they need no lock.
struct FillTool::Buffers {
  std::vector<std::uint32_t> input;
  std::vector<std::uint32_t> output;
  std::vector<std::uint32_t> stack;
  std::atomic<bool> running{false};
};

// Lets a result posted to the main thread find out whether its tool still
// exists: the tool drops its link when it goes.
struct FillTool::Link {
  FillTool* tool;
};

FillTool::FillTool() { init(kDefaultTransactType, kDefaultOutputSize, kDefaultExtentBord, nullptr); }

FillTool::FillTool(int transactType, FillToolDelegate* delegate) {
  init(transactType, kDefaultOutputSize, kDefaultExtentBord, delegate);
}

FillTool::FillTool(int transactType, gfx::Size outPutSize, FillToolDelegate* delegate) {
  init(transactType, outPutSize, kDefaultExtentBord, delegate);
}

FillTool::FillTool(int transactType, gfx::Size outPutSize, int extentBord, FillToolDelegate* delegate) {
  init(transactType, outPutSize, extentBord, delegate);
}

std::unique_ptr<FillTool> FillTool::createWithExtendBord(int transactType, int extendBord,
                                                         FillToolDelegate* delegate) {
  return std::make_unique<FillTool>(transactType, kDefaultOutputSize, extendBord, delegate);
}

void FillTool::init(int type, gfx::Size size, int extentBord, FillToolDelegate* delegate) {
  processQueue_ = std::make_shared<fd::DispatchQueue>("flipdesk.filltool.imageprocess");
  buffers_ = std::make_shared<Buffers>();
  link_ = std::make_shared<Link>(Link{this});
  delegate_ = delegate;
  imageSize_ = size;
  setExtentBord(extentBord);
  transactType_ = type;
  model_ = modelForType(type);
  transactWidth_ = static_cast<int>(imageSize_.width / model_);
  transactHeight_ = static_cast<int>(imageSize_.height / model_);
  loadData();
}

FillTool::~FillTool() {
  link_.reset();
  if (pending_) {
    // The queue's destructor waits for the running fill; let another thread
    // do that waiting so that the main thread goes on at once (or, with no
    // room for one, wait here). The fill's buffers live on in its job until
    // it ends.
    fd::detachThread([queue = std::move(processQueue_)]() mutable { queue.reset(); });
  }
}

void FillTool::setTransactType(int type) {
  if (pending_) return;
  transactType_ = type;
  model_ = modelForType(type);
  transactWidth_ = static_cast<int>(imageSize_.width / model_);
  transactHeight_ = static_cast<int>(imageSize_.height / model_);
  loadData();
}

void FillTool::setExtentBord(int n) { extentBord_ = n; }

bool FillTool::loadData() {
  if (pending_) return false;
  const std::size_t count = static_cast<std::size_t>(std::max(transactWidth_, 0)) *
                            static_cast<std::size_t>(std::max(transactHeight_, 0));
  try {
    buffers_->input.assign(count, 0u);
    buffers_->output.assign(count, 0u);
  } catch (const std::bad_alloc&) {
    buffers_->input.clear();
    buffers_->output.clear();
    return false;
  }
  return count > 0;
}

bool FillTool::isRunning() const { return buffers_->running.load(); }

void FillTool::clearLayers() {
  std::fill(buffers_->input.begin(), buffers_->input.end(), 0u);
  std::fill(buffers_->output.begin(), buffers_->output.end(), 0u);
}

bool FillTool::setImageData(const std::uint8_t* bytes, gfx::Size size) {
  if (pending_) return false;
  auto& b = *buffers_;
  if (bytes == nullptr) {
    // The output layer is drawn over the input; nothing is cleared.
    for (std::size_t i = 0; i < b.input.size(); ++i) b.input[i] = sourceOver(b.output[i], b.input[i]);
    return true;
  }
  clearLayers();
  const int w = static_cast<int>(size.width);
  const int h = static_cast<int>(size.height);
  if (w <= 0 || h <= 0 || b.input.empty()) return true;
  std::vector<std::uint32_t> words(static_cast<std::size_t>(w) * h);
  std::memcpy(words.data(), bytes, words.size() * 4);
  fill::nearestSample(words.data(), w, h, b.input.data(), transactWidth_, transactHeight_);
  return true;
}

bool FillTool::setImage(const gfx::Image* picture) {
  if (pending_) return false;
  if (picture == nullptr || picture->empty()) {
    image_.reset();
    return setImageData(nullptr, {});
  }
  image_ = *picture;
  // The input keeps rows bottom-up whatever the source, so that positions
  // map the same way as for read-back pixel blocks.
  const gfx::Image upright =
      picture->orientation() == gfx::Orientation::Up ? *picture : picture->normalizedOrientation();
  const std::vector<std::uint8_t> block = upright.toPixelBlock();
  return setImageData(block.data(),
                      {static_cast<float>(upright.pixelWidth()), static_cast<float>(upright.pixelHeight())});
}

void FillTool::setFillColorWithRed(float red, float green, float blue, float alpha) {
  const float a = std::clamp(alpha, 0.0f, 1.0f);
  setterColor_ = fill::packRGBA(unitToByte(red * a), unitToByte(green * a), unitToByte(blue * a), unitToByte(a));
}

FillTool::WorkingPoint FillTool::positionWithPoint(gfx::Point p) const {
  const float column = std::floor(p.x);
  const float rowFromBottom = imageSize_.height - 1.0f - std::floor(p.y);
  return {static_cast<int>(std::floor(column / model_)), static_cast<int>(std::floor(rowFromBottom / model_))};
}

bool FillTool::fillImageDataWithPosition(gfx::Point p) { return startFill(p, ResultKind::ImageData); }
bool FillTool::fillImageWithPosition(gfx::Point p) { return startFill(p, ResultKind::Image); }
bool FillTool::fillDataWithPosition(gfx::Point p) { return startFill(p, ResultKind::FillData); }

bool FillTool::fillImageDataWithImageData(const std::uint8_t* bytes, gfx::Size size, float r, float g, float b,
                                          float a, gfx::Point p) {
  if (pending_) return false;
  setImageData(bytes, size);
  setFillColorWithRed(r, g, b, a);
  return fillImageDataWithPosition(p);
}

bool FillTool::fillImageWithImage(const gfx::Image& picture, float r, float g, float b, float a, gfx::Point p) {
  if (pending_) return false;
  setImage(&picture);
  setFillColorWithRed(r, g, b, a);
  return fillImageWithPosition(p);
}

bool FillTool::fillDataWithImage(const gfx::Image& picture, float r, float g, float b, float a, gfx::Point p) {
  return fillImageWithImage(picture, r, g, b, a, p);
}

bool FillTool::startFill(gfx::Point p, ResultKind kind) {
  if (pending_) return false;
  pending_ = true;
  const std::uint64_t generation = ++generation_;
  const WorkingPoint q = positionWithPoint(p);
  std::weak_ptr<Link> link = link_;
  processQueue_->async([buffers = buffers_, link, q, kind, generation, setter = setterColor_,
                        tolerance = extentBord_, w = transactWidth_, h = transactHeight_] {
    if (q.x >= 0 && q.y >= 0 && q.x < w && q.y < h && !buffers->input.empty()) {
      buffers->running = true;
      fill::Surface surface{w, h, buffers->input.data(), buffers->output.data()};
      fill::walkRegion(surface, q.x, q.y, setter, tolerance, buffers->stack);
      buffers->running = false;
    }
    fd::performOnMain(
        [link, kind, generation] {
          if (auto alive = link.lock()) alive->tool->deliver(generation, kind);
        },
        false);
  });
  return true;
}

void FillTool::cancelPendingFill() {
  if (pending_) ++generation_;
}

void FillTool::deliver(std::uint64_t generation, ResultKind kind) {
  pending_ = false;
  if (generation != generation_ || delegate_ == nullptr) return;
  switch (kind) {
    case ResultKind::ImageData:
      delegate_->fillToolDidFinishedWithImageData(
          {reinterpret_cast<const std::uint8_t*>(buffers_->output.data()),
           {static_cast<float>(transactWidth_), static_cast<float>(transactHeight_)}});
      break;
    case ResultKind::Image:
      delegate_->fillToolDidFinishdWithImage(image());
      break;
    case ResultKind::FillData:
      delegate_->fillToolDidFinishedWithFillData(fillImage());
      break;
  }
}

gfx::Image FillTool::fillImage() const {
  if (buffers_->output.empty()) return gfx::Image(transactWidth_, transactHeight_);
  return gfx::Image::fromPixelBlock(reinterpret_cast<const std::uint8_t*>(buffers_->output.data()),
                                    transactWidth_, transactHeight_);
}

gfx::Image FillTool::image() {
  const int w = static_cast<int>(imageSize_.width);
  const int h = static_cast<int>(imageSize_.height);
  const std::size_t count = static_cast<std::size_t>(std::max(w, 0)) * std::max(h, 0);
  std::vector<std::uint32_t> base(count, 0u);
  if (image_ && !image_->empty()) {
    const std::vector<std::uint8_t> block = image_->toPixelBlock();
    std::vector<std::uint32_t> words(block.size() / 4);
    std::memcpy(words.data(), block.data(), words.size() * 4);
    fill::nearestSample(words.data(), image_->pixelWidth(), image_->pixelHeight(), base.data(), w, h);
  }
  std::vector<std::uint32_t> layer(count, 0u);
  fill::nearestSample(buffers_->output.data(), transactWidth_, transactHeight_, layer.data(), w, h);
  for (std::size_t i = 0; i < count; ++i) base[i] = sourceOver(layer[i], base[i]);
  gfx::Image composed = count == 0 ? gfx::Image(w, h)
                                   : gfx::Image::fromPixelBlock(reinterpret_cast<const std::uint8_t*>(base.data()), w, h);
  image_ = composed;
  return composed;
}
