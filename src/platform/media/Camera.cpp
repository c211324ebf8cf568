#include "platform/media/Camera.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
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
  // Why next() gave nothing, in words naming the file or device.
  virtual std::string failure() const = 0;
  // Whether the capture thread keeps the pace (a real device paces itself).
  virtual bool paced() const { return true; }
};

namespace {

using SourcePtr = std::unique_ptr<VideoCapture::Source>;

class PatternSource : public VideoCapture::Source {
 public:
  PatternSource(int w, int h) : w_(w), h_(h) {}
  std::shared_ptr<PixelBuffer> next() override {
    auto p = PixelBuffer::make(w_, h_);
    drawPattern(*p, frame_++);
    return p;
  }
  std::string failure() const override { return {}; }

 private:
  int w_, h_;
  std::uint64_t frame_ = 0;
};

// The centred part of a w x h picture that has the shape of tw x th: what
// fills a tw x th frame once scaled, the rest cut off evenly on both sides.
struct Crop {
  int x, y, width, height;
};
Crop fillCrop(int w, int h, int tw, int th) {
  if (static_cast<std::int64_t>(w) * th > static_cast<std::int64_t>(tw) * h) {
    const int cw = std::clamp(static_cast<int>(std::lround(static_cast<double>(h) * tw / th)), 1, w);
    return {(w - cw) / 2, 0, cw, h};
  }
  const int ch = std::clamp(static_cast<int>(std::lround(static_cast<double>(w) * th / tw)), 1, h);
  return {0, (h - ch) / 2, w, ch};
}

// Any picture filling the capture size.
class Scaler {
 public:
  std::shared_ptr<PixelBuffer> fill(const PixelBuffer& in, int w, int h) {
    const Crop c = fillCrop(in.width, in.height, w, h);
    if (c.width == w && c.height == h) {
      if (c.x == 0 && c.y == 0) return std::make_shared<PixelBuffer>(in);
    }
    sws_.reset(sws_getCachedContext(sws_.release(), c.width, c.height, AV_PIX_FMT_BGRA, w, h, AV_PIX_FMT_BGRA,
                                    SWS_BILINEAR, nullptr, nullptr, nullptr));
    auto out = PixelBuffer::make(w, h);
    if (!sws_) return out;
    const std::uint8_t* src[1] = {in.row(c.y) + 4 * c.x};
    const int srcStride[1] = {in.bytesPerRow};
    av::scaleIntoPixels(sws_.get(), src, srcStride, c.height, *out);
    return out;
  }

 private:
  av::Sws sws_;
};

class FileSource : public VideoCapture::Source {
 public:
  static fd::Expected<SourcePtr> open(const std::filesystem::path& file, int w, int h, MovieReadOptions options) {
    auto reader = MovieReader::open(file, options);
    if (!reader) return reader.failure();
    if (!(*reader)->hasVideo()) return fd::fail(file.filename().string() + " holds sound but no pictures");
    return SourcePtr(new FileSource(file, std::move(*reader), w, h, std::move(options)));
  }
  std::shared_ptr<PixelBuffer> next() override {
    auto frame = reader_->nextVideoFrame();
    if (!frame && reader_->status() != MovieReader::Status::Failed) {
      // The movie loops, as a camera never runs dry.
      auto again = MovieReader::open(file_, options_);
      if (!again) {
        failure_ = again.error();
        return nullptr;
      }
      reader_ = std::move(*again);
      frame = reader_->nextVideoFrame();
    }
    if (!frame) {
      failure_ = reader_->error();
      return nullptr;
    }
    // Upright as the movie asks to be shown (a phone films sideways and says so).
    const int turn = reader_->rotationDegrees();
    if (turn == 0) return scaler_.fill(*frame->pixels, w_, h_);
    return scaler_.fill(*turnedPixelBuffer(*frame->pixels, turn), w_, h_);
  }
  std::string failure() const override { return failure_; }

 private:
  FileSource(std::filesystem::path file, std::unique_ptr<MovieReader> reader, int w, int h, MovieReadOptions options)
      : file_(std::move(file)), reader_(std::move(reader)), w_(w), h_(h), options_(std::move(options)) {}
  std::filesystem::path file_;
  std::unique_ptr<MovieReader> reader_;
  int w_, h_;
  MovieReadOptions options_;
  Scaler scaler_;
  std::string failure_;
};

class DeviceSource : public VideoCapture::Source {
 public:
  static fd::Expected<SourcePtr> open(const std::string& node, int w, int h, int fps,
                                      const std::function<bool()>& interrupted) {
    struct stat st {};
    if (::stat(node.c_str(), &st) != 0) return fd::fail(node + " does not exist");
    if (!S_ISCHR(st.st_mode)) return fd::fail(node + " is not a camera");
    static std::once_flag registered;
    std::call_once(registered, [] { avdevice_register_all(); });
    const AVInputFormat* v4l2 = av_find_input_format("video4linux2");
    if (v4l2 == nullptr) return fd::fail("this build reads no video devices");
    auto s = std::unique_ptr<DeviceSource>(new DeviceSource(w, h));
    s->interrupted_ = std::make_unique<std::function<bool()>>(interrupted);
    AVFormatContext* ctx = avformat_alloc_context();
    if (ctx == nullptr) return fd::fail("out of memory opening " + node);
    ctx->interrupt_callback.callback = [](void* o) { return (*static_cast<std::function<bool()>*>(o))() ? 1 : 0; };
    ctx->interrupt_callback.opaque = s->interrupted_.get();
    AVDictionary* opts = nullptr;
    av_dict_set(&opts, "video_size", (std::to_string(w) + "x" + std::to_string(h)).c_str(), 0);
    av_dict_set(&opts, "framerate", std::to_string(fps).c_str(), 0);
    int r = avformat_open_input(&ctx, node.c_str(), v4l2, &opts);
    av_dict_free(&opts);
    if (r < 0) return fd::fail(node + " does not open as a camera: " + av::errorText(r));
    s->input_.reset(ctx);
    if (avformat_find_stream_info(ctx, nullptr) < 0 || ctx->nb_streams == 0)
      return fd::fail(node + " gives no pictures");
    auto decoder = av::openDecoder(ctx->streams[0], {});
    if (!decoder) return fd::fail(node + ": " + decoder.error());
    s->decoder_ = std::move(*decoder);
    s->node_ = node;
    return SourcePtr(std::move(s));
  }
  std::shared_ptr<PixelBuffer> next() override {
    for (int tries = 0; tries < 8; ++tries) {
      if (const int r = av_read_frame(input_.get(), packet_.get()); r < 0) {
        failure_ = node_ + " stopped giving pictures: " + av::errorText(r);
        return nullptr;
      }
      const int sent = avcodec_send_packet(decoder_.get(), packet_.get());
      av_packet_unref(packet_.get());
      if (sent < 0) continue;
      if (avcodec_receive_frame(decoder_.get(), frame_.get()) != 0) continue;
      // A device that gives another shape than asked fills the frame too.
      const Crop c = fillCrop(frame_->width, frame_->height, w_, h_);
      frame_->crop_left = static_cast<std::size_t>(c.x);
      frame_->crop_top = static_cast<std::size_t>(c.y);
      frame_->crop_right = static_cast<std::size_t>(frame_->width - c.x - c.width);
      frame_->crop_bottom = static_cast<std::size_t>(frame_->height - c.y - c.height);
      av_frame_apply_cropping(frame_.get(), AV_FRAME_CROP_UNALIGNED);
      auto out = PixelBuffer::make(w_, h_);
      sws_.reset(sws_getCachedContext(sws_.release(), frame_->width, frame_->height,
                                      static_cast<AVPixelFormat>(frame_->format), w_, h_, AV_PIX_FMT_BGRA,
                                      SWS_BILINEAR, nullptr, nullptr, nullptr));
      if (sws_) av::scaleIntoPixels(sws_.get(), frame_->data, frame_->linesize, frame_->height, *out);
      av_frame_unref(frame_.get());
      return out;
    }
    failure_ = node_ + " gives pictures that cannot be decoded";
    return nullptr;
  }
  std::string failure() const override { return failure_; }
  bool paced() const override { return false; }

 private:
  DeviceSource(int w, int h) : w_(w), h_(h) {}
  int w_, h_;
  std::string node_;
  std::string failure_;
  std::unique_ptr<std::function<bool()>> interrupted_;  // outlives the input that asks it
  av::Input input_;
  av::CodecContext decoder_;
  av::Sws sws_;
  av::Packet packet_ = av::makePacket();
  av::Frame frame_ = av::makeFrame();
};

fd::Expected<SourcePtr> openSource(const CameraDevice& device, int w, int h, int fps,
                                   const std::function<bool()>& interrupted) {
  if (device.id == kPatternId) return SourcePtr(new PatternSource(w, h));
  if (device.id.rfind("file:", 0) == 0) {
    MovieReadOptions options;
    options.interrupt = interrupted;
    return FileSource::open(device.id.substr(5), w, h, std::move(options));
  }
  return DeviceSource::open(device.id, w, h, fps, interrupted);
}

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

struct VideoCapture::State {
  std::mutex m;  // guards the handlers and the device
  FrameHandler frames;
  OpenHandler opened;
  CameraDevice device;
  std::atomic<bool> running{false};
  std::atomic<int> fps{30};
  std::unique_ptr<Source> source;  // the capture thread's, kept across restarts
  std::mutex exitMutex;
  std::condition_variable exitChanged;
  bool exited = true;
};

namespace {

// How long stop() waits for a capture thread caught in a system call before
// it leaves the thread to end on its own.
constexpr auto kStopGrace = std::chrono::seconds(2);

void capture(const std::shared_ptr<VideoCapture::State>& s, int w, int h, int defaultFps) {
  std::shared_ptr<PixelBuffer> first;
  if (!s->source) {
    CameraDevice device;
    {
      std::lock_guard lock(s->m);
      device = s->device;
    }
    // The source keeps the question for its reopenings; it lives in the state,
    // so it asks the state's flag without owning the state.
    const std::atomic<bool>* running = &s->running;
    auto source = openSource(device, w, h, defaultFps, [running] { return !running->load(); });
    fd::Status result;
    if (source) {
      // Open is not enough: a movie whose pictures cannot be decoded, or a
      // stream that ends before its first picture, would film nothing at all.
      first = (*source)->next();
      if (first) {
        s->source = std::move(*source);
      } else {
        // An empty reason would tell the owner that the camera opened.
        const std::string why = (*source)->failure();
        result = fd::fail(why.empty() ? device.name + " gives no picture" : why);
      }
    } else {
      result = source.failure();
    }
    if (!result && s->running) {
      fd::Log("Camera %s gives no picture (%s); using the test pattern\n", device.id.c_str(), result.error().c_str());
      s->source = std::make_unique<PatternSource>(w, h);
      first = s->source->next();
      std::lock_guard lock(s->m);
      s->device = patternDevice();
    }
    if (s->running) {
      std::lock_guard lock(s->m);
      if (s->opened) s->opened(result);
    }
  }
  auto next = std::chrono::steady_clock::now();
  while (s->running && s->source) {
    auto pixels = first ? std::exchange(first, nullptr) : s->source->next();
    if (!pixels) {
      fd::Log("Camera stopped giving pictures (%s)\n", s->source->failure().c_str());
      s->running = false;
      break;
    }
    VideoSample sample{std::move(pixels), captureClockNow()};
    {
      std::lock_guard lock(s->m);
      if (s->frames) s->frames(sample);
    }
    if (s->source->paced()) {
      next += std::chrono::microseconds(1000000 / std::max(1, s->fps.load()));
      const auto now = std::chrono::steady_clock::now();
      // A slow handler makes the camera drop frames, not fall behind.
      if (next < now) next = now;
      std::this_thread::sleep_until(next);
    }
  }
  std::lock_guard lock(s->exitMutex);
  s->exited = true;
  s->exitChanged.notify_all();
}

}  // namespace

fd::Expected<std::unique_ptr<VideoCapture>> VideoCapture::open(const CameraDevice& device, int width, int height,
                                                               int framesPerSecond) {
  if (width < 2 || height < 2) return fd::fail("a camera picture needs at least 2x2 pixels");
  clockEpoch();
  av::quietLibraryLog();
  std::unique_ptr<VideoCapture> c(new VideoCapture());
  c->width_ = width;
  c->height_ = height;
  c->defaultFps_ = framesPerSecond > 0 ? framesPerSecond : 30;
  c->state_ = std::make_shared<State>();
  c->state_->device = device;
  c->state_->fps = c->defaultFps_;
  return c;
}

VideoCapture::~VideoCapture() { stop(); }

void VideoCapture::setFrameHandler(FrameHandler handler) {
  std::lock_guard lock(state_->m);
  state_->frames = std::move(handler);
}

void VideoCapture::setOpenHandler(OpenHandler handler) {
  std::lock_guard lock(state_->m);
  state_->opened = std::move(handler);
}

CameraDevice VideoCapture::device() const {
  std::lock_guard lock(state_->m);
  return state_->device;
}

bool VideoCapture::isRunning() const { return state_->running; }

void VideoCapture::setFrameRate(int framesPerSecond) {
  state_->fps = framesPerSecond > 0 ? framesPerSecond : defaultFps_;
}

void VideoCapture::start() {
  // A run that ended by itself (its source ran dry) is over: its thread goes first.
  if (!state_->running && thread_.joinable()) thread_.join();
  if (state_->running.exchange(true)) return;
  {
    std::lock_guard lock(state_->exitMutex);
    state_->exited = false;
  }
  thread_ = std::thread(capture, state_, width_, height_, defaultFps_);
}

void VideoCapture::stop() {
  state_->running = false;
  if (!thread_.joinable()) return;
  bool exited;
  {
    std::unique_lock lock(state_->exitMutex);
    exited = state_->exitChanged.wait_for(lock, kStopGrace, [this] { return state_->exited; });
  }
  if (exited) {
    thread_.join();
    return;
  }
  // Still inside a system call (a device or file that does not answer): the
  // thread keeps its own state and ends on its own; this capture starts
  // afresh, and the old state's handlers are dropped so nothing more is told.
  thread_.detach();
  const std::shared_ptr<State> left = std::exchange(state_, std::make_shared<State>());
  std::lock_guard lock(left->m);
  state_->frames = std::move(left->frames);
  state_->opened = std::move(left->opened);
  state_->device = left->device;
  state_->fps = left->fps.load();
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
