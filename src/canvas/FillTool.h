#pragma once
// Flood fill of the like-coloured region around a seed pixel. The fill runs on
// a serial queue of the tool's own and its result, a layer holding only the
// filled pixels, comes back on the main thread for the caller to draw over its
// picture. The main thread never waits for the queue.
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"

namespace fd {
class DispatchQueue;
}

// The fill's output layer as raw RGBA bytes (rows bottom-up, premultiplied).
// The bytes belong to the fill tool and stay valid until its next fill.
struct FillImageData {
  const std::uint8_t* bytes = nullptr;
  gfx::Size size;
};

// Receives finished fills on the main thread; each entry point answers with
// its own message.
class FillToolDelegate {
 public:
  virtual ~FillToolDelegate() = default;
  virtual void fillToolDidFinishedWithImageData(const FillImageData&) {}
  virtual void fillToolDidFinishdWithImage(const gfx::Image&) {}
  virtual void fillToolDidFinishedWithFillData(const gfx::Image&) {}
};

class FillTool {
 public:
  static constexpr gfx::Size kDefaultOutputSize{1280, 960};
  static constexpr int kDefaultExtentBord = 40;
  static constexpr int kDefaultTransactType = 2;

  FillTool();
  FillTool(int transactType, FillToolDelegate* delegate);
  FillTool(int transactType, gfx::Size outPutSize, FillToolDelegate* delegate);
  FillTool(int transactType, gfx::Size outPutSize, int extentBord, FillToolDelegate* delegate);
  // The default output size with a tolerance of the caller's.
  static std::unique_ptr<FillTool> createWithExtendBord(int transactType, int extendBord,
                                                        FillToolDelegate* delegate);
  ~FillTool();
  FillTool(const FillTool&) = delete;
  FillTool& operator=(const FillTool&) = delete;

  // Working size = output size / downscale factor of the type (0: 4, 1: 3,
  // 3: 1.5, 4: 1, anything else: 2). Reallocates the working images.
  void setTransactType(int type);
  void setExtentBord(int n);
  int extentBord() const { return extentBord_; }
  bool enableExtentBord() const { return extentBord_ != 0; }
  bool loadData();

  gfx::Size imageSize() const { return imageSize_; }
  int transactWidth() const { return transactWidth_; }
  int transactHeight() const { return transactHeight_; }
  float model() const { return model_; }
  bool isRunning() const;
  // A fill has been started and its result not yet taken on the main thread.
  bool hasPendingFill() const { return pending_; }
  FillToolDelegate* delegate() const { return delegate_; }
  void setDelegate(FillToolDelegate* d) { delegate_ = d; }

  // Input. Both clear the input and output layers first. bytes: RGBA rows
  // bottom-up of the given pixel size; null draws the current output layer
  // into the input instead. Refused (false) while a fill is pending, so a fill
  // never reads a picture that is being replaced.
  bool setImageData(const std::uint8_t* bytes, gfx::Size size);
  // A picture in the usual top-down order; it is kept for image(). A null
  // picture draws the current output layer into the input.
  bool setImage(const gfx::Image* picture);

  // Straight components 0..1. The stored colour is premultiplied and rounded,
  // as the canvas's pixels are.
  void setFillColorWithRed(float red, float green, float blue, float alpha);
  void setFillColor(const gfx::Color& c) { setFillColorWithRed(c.r, c.g, c.b, c.a); }
  std::uint32_t setterColor() const { return setterColor_; }

  // Start a fill at a position in output pixels, origin at the top left.
  // Answer false (and do nothing) while a previous fill is pending.
  bool fillImageDataWithPosition(gfx::Point p);
  bool fillImageWithPosition(gfx::Point p);
  bool fillDataWithPosition(gfx::Point p);
  // Convenience forms: input, colour and start in one call.
  bool fillImageDataWithImageData(const std::uint8_t* bytes, gfx::Size size, float r, float g, float b, float a,
                                  gfx::Point p);
  bool fillImageWithImage(const gfx::Image& picture, float r, float g, float b, float a, gfx::Point p);
  // Despite its name, answers with the composed picture, as fillImageWithImage.
  bool fillDataWithImage(const gfx::Image& picture, float r, float g, float b, float a, gfx::Point p);

  // The pending fill's result will not be delivered (the picture it was made
  // from is gone). The fill itself still finishes on the queue.
  void cancelPendingFill();

  // Working pixel of an output position: rows counted from the bottom, as in
  // a GL read-back. Output row r (from the top) is working row H - 1 - r.
  struct WorkingPoint {
    int x, y;
  };
  WorkingPoint positionWithPoint(gfx::Point p) const;

  // The output layer alone, top-down, premultiplied.
  gfx::Image fillImage() const;
  // The kept picture with the output layer over it, at the output size; it
  // becomes the kept picture.
  gfx::Image image();

 private:
  enum class ResultKind { ImageData, Image, FillData };
  struct Buffers;
  struct Link;

  void init(int type, gfx::Size size, int extentBord, FillToolDelegate* delegate);
  bool startFill(gfx::Point p, ResultKind kind);
  void deliver(std::uint64_t generation, ResultKind kind);
  void clearLayers();

  FillToolDelegate* delegate_ = nullptr;
  gfx::Size imageSize_;
  int extentBord_ = 0;
  int transactType_ = kDefaultTransactType;
  int transactWidth_ = 0;
  int transactHeight_ = 0;
  float model_ = 2.0f;
  std::uint32_t setterColor_ = 0;
  std::optional<gfx::Image> image_;
  bool pending_ = false;
  std::uint64_t generation_ = 0;
  std::shared_ptr<Buffers> buffers_;
  std::shared_ptr<Link> link_;
  std::shared_ptr<fd::DispatchQueue> processQueue_;
};
