#include "model/PackageOlderFormat.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "model/FrameRecord.h"
#include "model/ProjectDataModel.h"
#include "model/ProjectPlistKeys.h"
#include "model/Timeline.h"
#include "model/zip/OrderedWork.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/StopRequest.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Image.h"

namespace fs = std::filesystem;

namespace package_format {

namespace {

using namespace projectplist;

// The older layout also keeps both tag lists under these names.
constexpr const char* kOlderTagFramesKey = "kSoundTagViewFrame";
constexpr const char* kOlderTagPointsKey = "kSoundTagViewPoints";
constexpr float kTimelineWidth = timeline::kSpanX;
constexpr float kTimelineStart = timeline::kStartX;

std::optional<std::vector<FrameRecord>> readFrames(const fd::Value& list) {
  std::vector<FrameRecord> frames;
  if (list.isNull()) return frames;
  if (!list.isArray()) return std::nullopt;
  for (const fd::Value& v : *list.array()) {
    auto record = FrameRecord::fromValue(v);
    if (!record) return std::nullopt;
    frames.push_back(std::move(*record));
  }
  return frames;
}

fd::Value framesValue(std::vector<FrameRecord>& frames) {
  fd::Array list;
  for (FrameRecord& f : frames) {
    f.frameInfo.reset();
    f.reapeatNumber.reset();
    list.push_back(f.toValue());
  }
  return fd::Value(std::move(list));
}

fs::path layerFile(const fs::path& folder, const std::string& id) { return folder / (id + ".png"); }
fs::path snapshotFile(const fs::path& folder, const std::string& icon) { return folder / (icon + "Snapshot.png"); }
fs::path iconFile(const fs::path& folder, const std::string& icon) { return folder / (icon + "Icon.png"); }

// The pictures to draw for one frame: its layer files in position order and
// the snapshot and icon to write.
struct Redraw {
  std::vector<fs::path> layers;
  fs::path snapshot;
  fs::path icon;
};

// All layers of the frame in position order, open or not; each layer drawn is
// marked open. Only the plan is made here, on the calling thread, since it
// changes the shared layer records.
Redraw planRedraw(const fs::path& folder, const FrameRecord& frame, fd::Dictionary& lays) {
  std::vector<std::pair<int, std::string>> order;
  for (std::size_t i = 0; i < frame.laysArray.size(); ++i) {
    const std::string& id = frame.laysArray[i];
    auto found = lays.find(id);
    const fd::Value position = found != lays.end() ? found->second[kLayPositionKey] : fd::Value();
    order.emplace_back(position.isNumber() ? position.intValue() : static_cast<int>(i) + 1, id);
  }
  std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  Redraw redraw{{}, snapshotFile(folder, frame.iconName), iconFile(folder, frame.iconName)};
  for (const auto& [position, id] : order) {
    redraw.layers.push_back(layerFile(folder, id));
    auto found = lays.find(id);
    if (found != lays.end() && found->second.isDictionary()) found->second[kIsLayOpenKey] = fd::Value(true);
  }
  return redraw;
}

// The work copy is the export's own and goes whole when anything fails; the
// package made of it is what is flushed to disk, so a picture is not flushed
// on its own (two files and their folder a frame). What stood under its name
// (a file, a link) is replaced, never written through.
bool writeQuickPNG(const fs::path& path, const gfx::Image& picture) {
  using fd::files::FaultAt;
  auto bytes = gfx::encodePNG(picture, gfx::kQuickPngEncoding);
  if (!bytes) return false;
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) return false;
  fd::files::UniqueFd out(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
  if (out.get() < 0) return false;
  const bool written = fd::files::through(fd::files::injectedWriteError(path, FaultAt::Bytes), [&] {
    return fd::files::writeAll(out.get(), bytes->data(), bytes->size()) ? 0 : -1;
  }) == 0;
  const int closed = ::close(out.release());
  return fd::files::through(fd::files::injectedWriteError(path, FaultAt::Close), [&] { return closed; }) == 0 && written;
}

// Each layer drawn over the whole snapshot; a layer without a readable file
// adds nothing. False when a picture cannot be written.
bool drawPictures(const Redraw& redraw) {
  gfx::Context snapshot(kSnapshotWidth, kSnapshotHeight);
  const gfx::Rect whole{0, 0, static_cast<float>(kSnapshotWidth), static_cast<float>(kSnapshotHeight)};
  for (const fs::path& layer : redraw.layers) {
    if (auto picture = gfx::readPNG(layer)) snapshot.drawImage(*picture, whole);
  }
  const gfx::Image picture = snapshot.makeImage();
  gfx::Context icon(kIconWidth, kIconHeight);
  icon.drawImage(picture, {0, 0, static_cast<float>(kIconWidth), static_cast<float>(kIconHeight)});
  const bool snapshotWritten = writeQuickPNG(redraw.snapshot, picture);
  return writeQuickPNG(redraw.icon, icon.makeImage()) && snapshotWritten;
}

// Draws the frames' pictures on several threads. Frames sharing an icon name
// write the same files, and only the last of them would stand when drawn one
// after another; only that one is drawn.
bool drawAll(std::vector<Redraw> redraws) {
  std::vector<Redraw> last;
  std::set<fs::path> taken;
  for (auto it = redraws.rbegin(); it != redraws.rend(); ++it) {
    if (taken.insert(it->snapshot).second) last.push_back(std::move(*it));
  }
  bool all = true;
  const std::size_t threads = orderedwork::threadsFor(last.size());
  // A result holds nothing, so no worker waits for a slow one ahead of it.
  // An end asked stops the drawing between two frames.
  const bool finished = orderedwork::run<bool>(
      last.size(), threads, last.size(), [&] { return [&](std::size_t i) { return drawPictures(last[i]); }; },
      [&](std::size_t, bool& drawn) {
        all = all && drawn;
        return !fd::endAsked();
      });
  return finished && all;
}

void copyIfPresent(const fs::path& from, const fs::path& to) {
  if (fd::files::exists(from)) fd::files::copyItem(from, to);
}

// A repeat copy at page becomes a frame of its own: fresh layer files and
// records, fresh icon and snapshot files, and its page no longer counted as a
// user of the run's shared layers.
void makeRealFrame(const fs::path& folder, FrameRecord& frame, int page, fd::Dictionary& lays) {
  std::vector<std::string> fresh;
  for (std::size_t k = 0; k < frame.laysArray.size(); ++k) {
    const std::string& id = frame.laysArray[k];
    const std::string newId = ProjectDataModel::dateString();
    copyIfPresent(layerFile(folder, id), layerFile(folder, newId));
    fd::Value record = fd::Dictionary{{kLayPositionKey, fd::Value(static_cast<int>(k) + 1)}};
    auto found = lays.find(id);
    if (found != lays.end() && found->second.isDictionary()) {
      record = found->second;
      if (fd::Array* refs = found->second[kRefPageArrayKey].array()) {
        std::erase_if(*refs, [page](const fd::Value& v) { return v.intValue() == page; });
      }
    }
    record[kRefPageArrayKey] = fd::Array{fd::Value(page)};
    record[kIsLayOpenKey] = fd::Value(true);
    lays[newId] = std::move(record);
    fresh.push_back(newId);
  }
  const std::string newIcon = ProjectDataModel::dateString();
  copyIfPresent(snapshotFile(folder, frame.iconName), snapshotFile(folder, newIcon));
  copyIfPresent(iconFile(folder, frame.iconName), iconFile(folder, newIcon));
  frame.laysArray = std::move(fresh);
  frame.iconName = newIcon;
}

}  // namespace

std::vector<float> olderTagPoints(const std::vector<int>& tagFrames, int frameCount) {
  std::vector<float> points;
  if (frameCount <= 0) return points;
  const float step = kTimelineWidth / static_cast<float>(frameCount);
  for (int f : tagFrames) points.push_back(step * static_cast<float>(f - 1) + kTimelineStart);
  return points;
}

bool convertToOlderFormat(const fs::path& folder) {
  const fs::path plistPath = folder / kFileName;
  auto plist = fd::readPropertyList(plistPath);
  if (!plist || !plist->isDictionary()) return false;
  fd::Value& root = *plist;
  auto frames = readFrames(root[kImagesArrayKey]);
  auto tray = readFrames(root[kTemporarysArrayKey]);
  if (!frames || !tray) return false;
  if (!root[kLaysDictionaryKey].isDictionary()) root[kLaysDictionaryKey] = fd::Dictionary{};
  fd::Dictionary& lays = *root[kLaysDictionaryKey].dictionary();

  // Runs are drawn before their copies are split off, so that each copy
  // starts from the run's new all-layer pictures.
  std::vector<Redraw> redraws;
  for (const FrameRecord& f : *frames) {
    if (!f.isRepeatCopy()) redraws.push_back(planRedraw(folder, f, lays));
  }
  for (const FrameRecord& f : *tray) redraws.push_back(planRedraw(folder, f, lays));
  if (!drawAll(std::move(redraws))) return false;
  for (std::size_t i = 0; i < frames->size(); ++i) {
    if (fd::endAsked()) return false;
    if ((*frames)[i].isRepeatCopy()) makeRealFrame(folder, (*frames)[i], static_cast<int>(i) + 1, lays);
  }
  root[kImagesArrayKey] = framesValue(*frames);
  root[kTemporarysArrayKey] = framesValue(*tray);

  const fd::Value tagFrames = root[kSoundTagViewFrameKey];
  if (tagFrames.isArray() && tagFrames.count() > 0) {
    std::vector<int> values;
    for (const fd::Value& v : *tagFrames.array()) values.push_back(storedTagFrame(v));
    fd::Array points;
    for (float p : olderTagPoints(values, static_cast<int>(frames->size()))) points.push_back(fd::Value(p));
    root[kSoundTagViewPointsKey] = points;
    root[kOlderTagPointsKey] = points;
    root[kOlderTagFramesKey] = tagFrames;
  }
  return fd::writePropertyList(plistPath, root).ok();
}

}  // namespace package_format
