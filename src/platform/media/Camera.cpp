#include "platform/media/Camera.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/media/FFmpegSupport.h"
#include "platform/media/AudioFile.h"
#include "platform/media/MovieReader.h"

extern "C" {
#include <libavdevice/avdevice.h>
}

namespace media {

namespace {

constexpr const char* kCameraSettingKey = "CameraSource";
constexpr const char* kPatternId = "pattern";

std::chrono::steady_clock::time_point clockEpoch() {
  static const auto epoch = std::chrono::steady_clock::now();
  return epoch;
}

CameraDevice patternDevice() { return {kPatternId, "Test pattern", kCameraPositionBack}; }

std::vector<std::string> videoDeviceNodes() {
  std::vector<std::string> nodes;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/dev", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("video", 0) == 0 && name.size() > 5 &&
        std::all_of(name.begin() + 5, name.end(), [](char c) { return c >= '0' && c <= '9'; }))
      nodes.push_back(entry.path().string());
  }
  std::sort(nodes.begin(), nodes.end(), [](const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
  });
  return nodes;
}

// A picture that moves, so a person or a test can see frames go by: colour
// bars, a white square sweeping across and a bar that grows with the frame count.
void drawPattern(PixelBuffer& p, std::uint64_t frame) {
  static constexpr std::uint8_t kBars[8][3] = {{255, 255, 255}, {0, 255, 255}, {255, 255, 0}, {0, 255, 0},
                                               {255, 0, 255},   {0, 0, 255},   {255, 0, 0},   {0, 0, 0}};
  const int square = std::max(8, p.height / 6);
  const int sx = static_cast<int>((frame * 8) % static_cast<std::uint64_t>(std::max(1, p.width - square)));
  const int sy = p.height / 2 - square / 2;
  const int barLength = static_cast<int>(frame % 60) * p.width / 60;
  for (int y = 0; y < p.height; ++y) {
    std::uint8_t* row = p.row(y);
    for (int x = 0; x < p.width; ++x) {
      const auto* c = kBars[std::min(7, x * 8 / p.width)];
      std::uint8_t b = c[0], g = c[1], r = c[2];
      if (x >= sx && x < sx + square && y >= sy && y < sy + square) b = g = r = 255;
      if (y >= p.height - 8 && x < barLength) b = g = r = 32;
      row[4 * x + 0] = b;
      row[4 * x + 1] = g;
      row[4 * x + 2] = r;
      row[4 * x + 3] = 255;
    }
  }
}

}  // namespace

struct VideoCapture::Source {
  virtual ~Source() = default;
  // The next picture at the capture size; nullptr when the source failed.
  virtual std::shared_ptr<PixelBuffer> next() = 0;
  // Whether the capture thread keeps the pace (a real device paces itself).
  virtual bool paced() const { return true; }
};

namespace {

class PatternSource : public VideoCapture::Source {
 public:
  PatternSource(int w, int h) : w_(w), h_(h) {}
  std::shared_ptr<PixelBuffer> next() override {
    auto p = PixelBuffer::make(w_, h_);
    drawPattern(*p, frame_++);
    return p;
  }

 private:
  int w_, h_;
  std::uint64_t frame_ = 0;
};

// Scales any picture to the capture size.
class Scaler {
 public:
  std::shared_ptr<PixelBuffer> toSize(const PixelBuffer& in, int w, int h) {
    if (in.width == w && in.height == h) return std::make_shared<PixelBuffer>(in);
    sws_.reset(sws_getCachedContext(sws_.release(), in.width, in.height, AV_PIX_FMT_BGRA, w, h, AV_PIX_FMT_BGRA,
                                    SWS_BILINEAR, nullptr, nullptr, nullptr));
    auto out = PixelBuffer::make(w, h);
    if (!sws_) return out;
    const std::uint8_t* src[1] = {in.data.data()};
    const int srcStride[1] = {in.bytesPerRow};
    std::uint8_t* dst[1] = {out->data.data()};
    const int dstStride[1] = {out->bytesPerRow};
    sws_scale(sws_.get(), src, srcStride, 0, in.height, dst, dstStride);
    return out;
  }

 private:
  av::Sws sws_;
};

class FileSource : public VideoCapture::Source {
 public:
  FileSource(std::filesystem::path file, std::unique_ptr<MovieReader> reader, int w, int h)
      : file_(std::move(file)), reader_(std::move(reader)), w_(w), h_(h) {}
  std::shared_ptr<PixelBuffer> next() override {
    auto frame = reader_->nextVideoFrame();
    if (!frame) {
      // The movie loops, as a camera never runs dry.
      auto again = MovieReader::open(file_);
      if (!again) return nullptr;
      reader_ = std::move(*again);
      frame = reader_->nextVideoFrame();
      if (!frame) return nullptr;
    }
    return scaler_.toSize(*frame->pixels, w_, h_);
  }

 private:
  std::filesystem::path file_;
  std::unique_ptr<MovieReader> reader_;
  int w_, h_;
  Scaler scaler_;
};

class DeviceSource : public VideoCapture::Source {
 public:
  static std::unique_ptr<DeviceSource> open(const std::string& node, int w, int h, int fps, std::string* why) {
    static std::once_flag registered;
    std::call_once(registered, [] { avdevice_register_all(); });
    const AVInputFormat* v4l2 = av_find_input_format("video4linux2");
    if (v4l2 == nullptr) {
      *why = "no video device support";
      return nullptr;
    }
    AVDictionary* opts = nullptr;
    av_dict_set(&opts, "video_size", (std::to_string(w) + "x" + std::to_string(h)).c_str(), 0);
    av_dict_set(&opts, "framerate", std::to_string(fps).c_str(), 0);
    AVFormatContext* ctx = nullptr;
    int r = avformat_open_input(&ctx, node.c_str(), v4l2, &opts);
    av_dict_free(&opts);
    if (r < 0) {
      *why = av::errorText(r);
      return nullptr;
    }
    auto s = std::unique_ptr<DeviceSource>(new DeviceSource(w, h));
    s->input_.reset(ctx);
    if (avformat_find_stream_info(ctx, nullptr) < 0 || ctx->nb_streams == 0) {
      *why = "the device gives no pictures";
      return nullptr;
    }
    const AVCodecParameters* par = ctx->streams[0]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (codec == nullptr) {
      *why = "the device's picture format is not supported";
      return nullptr;
    }
    s->decoder_.reset(avcodec_alloc_context3(codec));
    if (avcodec_parameters_to_context(s->decoder_.get(), par) < 0 || avcodec_open2(s->decoder_.get(), codec, nullptr) < 0) {
      *why = "the device's pictures cannot be decoded";
      return nullptr;
    }
    return s;
  }
  std::shared_ptr<PixelBuffer> next() override {
    for (int tries = 0; tries < 8; ++tries) {
      if (av_read_frame(input_.get(), packet_.get()) < 0) return nullptr;
      const int sent = avcodec_send_packet(decoder_.get(), packet_.get());
      av_packet_unref(packet_.get());
      if (sent < 0) continue;
      if (avcodec_receive_frame(decoder_.get(), frame_.get()) != 0) continue;
      auto out = PixelBuffer::make(w_, h_);
      sws_.reset(sws_getCachedContext(sws_.release(), frame_->width, frame_->height,
                                      static_cast<AVPixelFormat>(frame_->format), w_, h_, AV_PIX_FMT_BGRA,
                                      SWS_BILINEAR, nullptr, nullptr, nullptr));
      if (sws_) {
        std::uint8_t* dst[1] = {out->data.data()};
        const int dstStride[1] = {out->bytesPerRow};
        sws_scale(sws_.get(), frame_->data, frame_->linesize, 0, frame_->height, dst, dstStride);
      }
      av_frame_unref(frame_.get());
      return out;
    }
    return nullptr;
  }
  bool paced() const override { return false; }

 private:
  DeviceSource(int w, int h) : w_(w), h_(h) {}
  int w_, h_;
  av::Input input_;
  av::CodecContext decoder_;
  av::Sws sws_;
  av::Packet packet_ = av::makePacket();
  av::Frame frame_ = av::makeFrame();
};

}  // namespace

std::string cameraSetting() {
  if (const char* env = std::getenv("FLIPDESK_CAMERA"); env != nullptr && *env != '\0') return env;
  std::string stored = fd::UserDefaults::standard().stringForKey(kCameraSettingKey);
  return stored.empty() ? "auto" : stored;
}

std::vector<CameraDevice> cameraDevices() {
  const std::string setting = cameraSetting();
  if (setting == kPatternId) return {patternDevice()};
  if (setting.rfind("file:", 0) == 0) return {{setting, "Movie " + setting.substr(5), kCameraPositionBack}};
  if (setting != "auto") return {{setting, setting, kCameraPositionBack}};
  std::vector<CameraDevice> devices;
  for (const auto& node : videoDeviceNodes()) {
    devices.push_back({node, node, devices.empty() ? kCameraPositionBack : kCameraPositionFront});
    if (devices.size() == 2) break;
  }
  if (devices.empty()) devices.push_back(patternDevice());
  return devices;
}

CMTime captureClockNow() {
  const auto us = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - clockEpoch());
  return CMTimeMake(us.count(), 1000000);
}

fd::Expected<std::unique_ptr<VideoCapture>> VideoCapture::open(const CameraDevice& device, int width, int height,
                                                               int framesPerSecond) {
  if (width < 2 || height < 2) return fd::fail("a camera picture needs at least 2x2 pixels");
  clockEpoch();
  av::quietLibraryLog();
  std::unique_ptr<VideoCapture> c(new VideoCapture());
  c->device_ = device;
  c->width_ = width;
  c->height_ = height;
  c->defaultFps_ = framesPerSecond > 0 ? framesPerSecond : 30;
  c->fps_ = c->defaultFps_;
  if (device.id == kPatternId) {
    c->source_ = std::make_unique<PatternSource>(width, height);
  } else if (device.id.rfind("file:", 0) == 0) {
    const std::filesystem::path file = device.id.substr(5);
    auto reader = MovieReader::open(file);
    if (!reader) return fd::fail("the movie chosen as the camera cannot be played: " + reader.error());
    if (!(*reader)->hasVideo()) return fd::fail("the movie chosen as the camera has no pictures");
    c->source_ = std::make_unique<FileSource>(file, std::move(*reader), width, height);
  } else {
    std::string why;
    auto source = DeviceSource::open(device.id, width, height, c->defaultFps_, &why);
    if (source) {
      c->source_ = std::move(source);
    } else {
      fd::Log("Camera %s does not open (%s); using the test pattern\n", device.id.c_str(), why.c_str());
      c->device_ = patternDevice();
      c->source_ = std::make_unique<PatternSource>(width, height);
    }
  }
  return c;
}

VideoCapture::~VideoCapture() { stop(); }

void VideoCapture::setFrameHandler(FrameHandler handler) {
  std::lock_guard lock(handlerMutex_);
  handler_ = std::move(handler);
}

void VideoCapture::setFrameRate(int framesPerSecond) { fps_ = framesPerSecond > 0 ? framesPerSecond : defaultFps_; }

void VideoCapture::start() {
  if (running_.exchange(true)) return;
  thread_ = std::thread([this] { run(); });
}

void VideoCapture::stop() {
  running_ = false;
  if (thread_.joinable()) thread_.join();
}

void VideoCapture::run() {
  auto next = std::chrono::steady_clock::now();
  while (running_) {
    auto pixels = source_->next();
    if (!pixels) {
      fd::Log("Camera %s stopped giving pictures\n", device_.id.c_str());
      running_ = false;
      break;
    }
    VideoSample sample{std::move(pixels), captureClockNow()};
    {
      std::lock_guard lock(handlerMutex_);
      if (handler_) handler_(sample);
    }
    if (source_->paced()) {
      next += std::chrono::microseconds(1000000 / std::max(1, fps_.load()));
      const auto now = std::chrono::steady_clock::now();
      // A slow handler makes the camera drop frames, not fall behind.
      if (next < now) next = now;
      std::this_thread::sleep_until(next);
    }
  }
}

fd::Expected<std::unique_ptr<MicrophoneStream>> MicrophoneStream::open() {
  auto capture = openCapture(CaptureClock::RealTime);
  if (!capture) return capture.failure();
  std::unique_ptr<MicrophoneStream> m(new MicrophoneStream());
  m->capture_ = std::move(*capture);
  return m;
}

MicrophoneStream::~MicrophoneStream() { stop(); }

void MicrophoneStream::setSampleHandler(SampleHandler handler) {
  std::lock_guard lock(handlerMutex_);
  handler_ = std::move(handler);
}

void MicrophoneStream::start() {
  if (running_.exchange(true)) return;
  clockEpoch();
  thread_ = std::thread([this] {
    const CMTime started = captureClockNow();
    std::int64_t delivered = 0;
    capture_->start();
    std::vector<float> block(4096);
    while (running_) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      for (;;) {
        const std::size_t n = capture_->read(block.data(), block.size());
        if (n == 0) break;
        AudioSamples s;
        s.samples.assign(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n));
        s.sampleRate = kRecordingSampleRate;
        // Stamped by the samples counted since the start: the capture clock
        // at the start plus their own duration, with no drift from the loop.
        s.presentationTime = CMTimeMake(started.value * kRecordingSampleRate / started.timescale + delivered,
                                        kRecordingSampleRate);
        delivered += static_cast<std::int64_t>(n);
        std::lock_guard lock(handlerMutex_);
        if (handler_) handler_(s);
      }
    }
    capture_->pause();
  });
}

void MicrophoneStream::stop() {
  running_ = false;
  if (thread_.joinable()) thread_.join();
}

}  // namespace media
