#include "canvas/PageFiles.h"

#include <cmath>
#include <initializer_list>
#include <future>
#include <mutex>
#include <vector>

#include "model/Backgrounds.h"
#include "model/ExtendDataModel.h"
#include "model/ProjectDataModel.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Log.h"
#include "platform/graphics/Context.h"

namespace {

// A scale-1 context, cleared, in which pictures are drawn upright.
gfx::Context pageContext(int width, int height) {
  gfx::Context ctx(width, height, 1.0f, gfx::Origin::TopLeft);
  ctx.clear();
  return ctx;
}

gfx::Rect whole(const gfx::Context& ctx) {
  return {0, 0, static_cast<float>(ctx.pixelWidth()), static_cast<float>(ctx.pixelHeight())};
}

}  // namespace

PageFiles::FrameTargets PageFiles::targetsOfPage(const ProjectDataModel& project, int page) {
  FrameTargets t;
  for (int i = 0; i < 2; ++i) {
    t.layers[i] = project.layFullPathAtPage(page, false, i + 1);
    t.layerOpen[i] = project.layIsOpenAtPage(page, i + 1, false);
  }
  t.snapshot = project.snapshotFullPathAtPage(page, false);
  t.icon = project.iconFullPathAtPage(page, false);
  return t;
}

namespace {

gfx::PngEncoder::Spread encoderSpread(PageFiles::Spread spread) {
  return spread == PageFiles::Spread::Threads ? gfx::PngEncoder::Spread::SideBySide
                                              : gfx::PngEncoder::Spread::CallingThread;
}

// Icons are small: threads of their own would cost more than they save.
constexpr gfx::PngEncoder::Spread kSmall = gfx::PngEncoder::Spread::CallingThread;

// A thread of its own when one can start; where none can (no room for its
// stack), the work runs on the thread that waits for it.
std::launch launchFor(PageFiles::Spread spread) {
  return spread == PageFiles::Spread::Threads ? std::launch::async | std::launch::deferred : std::launch::deferred;
}

// The files of one write, each staged as soon as it is encoded (one thread a
// slot), all committed together: the folder is flushed once, not once a
// file. Every file is tried; the first failure, in slot order, is told.
class FileBatch {
 public:
  enum Slot { kPicture, kSnapshot, kIcon, kSlots };

  // The picture is encoded once and staged at every path given.
  void stage(Slot slot, gfx::PngEncoder& encoder, gfx::PngEncoder::Spread spread,
             std::initializer_list<PageFiles::OptionalPath> paths, const gfx::Image& image) {
    std::vector<std::filesystem::path> targets;
    for (const PageFiles::OptionalPath& p : paths)
      if (p) targets.push_back(*p);
    if (targets.empty()) return;
    fd::Expected<std::span<const std::uint8_t>> bytes = encoder.encode(image, spread);
    for (const std::filesystem::path& path : targets) {
      if (!bytes) staged_[slot].emplace_back(fd::fail("cannot encode the picture for " + path.string() + ": " + bytes.error()));
      else staged_[slot].emplace_back(fd::files::stageFile(path, bytes->data(), bytes->size()));
    }
  }
  fd::Status commit() {
    std::optional<fd::Failure> first;
    std::vector<fd::files::StagedFile> files;
    for (auto& slot : staged_)
      for (auto& staged : slot) {
        if (staged) files.push_back(std::move(*staged));
        else if (!first) first = staged.failure();
      }
    fd::Status committed = fd::files::commitFiles(std::move(files));
    if (first) return *first;
    return committed;
  }

 private:
  std::array<std::vector<fd::Expected<fd::files::StagedFile>>, kSlots> staged_;
};

// Layer 1, then layer 2 over it, each only when given and open.
gfx::Context snapshotContext(const gfx::Image* layer1, bool open1, const gfx::Image* layer2, bool open2) {
  gfx::Context ctx = pageContext(PageFiles::kSnapshotWidth, PageFiles::kSnapshotHeight);
  const gfx::Rect r = whole(ctx);
  if (layer1 != nullptr && open1 && !layer1->empty()) ctx.drawImage(*layer1, r);
  if (layer2 != nullptr && open2 && !layer2->empty()) ctx.drawImage(*layer2, r);
  return ctx;
}

}  // namespace

struct PageFiles::Workspace::State {
  std::mutex turn;
  // One for each file of a page, as they may be encoded side by side.
  gfx::PngEncoder layer{kEncoding}, snapshot{kEncoding}, icon{kEncoding};
  // The last other layer read for a snapshot, alone at snapshot size and
  // premultiplied: drawn at that size it gives the same pixels as the layer
  // scaled down in the snapshot itself.
  struct Other {
    std::filesystem::path path;
    fd::files::FileStamp stamp;
    gfx::Image picture;
  };
  std::optional<Other> other;

  // The layer file's picture for a snapshot; nullptr when it cannot be read.
  const gfx::Image* otherLayer(const std::filesystem::path& path) {
    // Stamped before reading: a file replaced meanwhile is read again next time.
    const std::optional<fd::files::FileStamp> stamp = fd::files::fileStamp(path);
    if (other && stamp && other->path == path && other->stamp == *stamp) return &other->picture;
    other.reset();
    if (!stamp) return nullptr;
    fd::Expected<gfx::Image> read = gfx::readPNG(path);
    if (!read) return nullptr;
    other = Other{path, *stamp, snapshotContext(&*read, true, nullptr, false).makeImage(true)};
    return &other->picture;
  }
  void forget(const PageFiles::OptionalPath& path) {
    if (other && path && other->path == *path) other.reset();
  }

  void snapshotAndIcon(const gfx::Image& layer, int position, const FrameTargets& targets, float scale,
                       Spread spread, FileBatch& batch) {
    std::array<const gfx::Image*, 2> layers{nullptr, nullptr};
    for (int i = 0; i < 2; ++i) {
      if (i + 1 == position) layers[i] = &layer;
      else if (targets.layerOpen[i] && targets.layers[i]) layers[i] = otherLayer(*targets.layers[i]);
    }
    const gfx::Image picture = composeSnapshot(layers[0], targets.layerOpen[0], layers[1], targets.layerOpen[1]);
    // Each file waits for its own flush to disk; the two flushes overlap.
    std::future<void> snapshotWrite = std::async(launchFor(spread), [&] {
      batch.stage(FileBatch::kSnapshot, snapshot, encoderSpread(spread), {targets.snapshot}, picture);
    });
    if (targets.icon) batch.stage(FileBatch::kIcon, icon, kSmall, {targets.icon}, makeIcon(picture, scale));
    snapshotWrite.get();
  }
};

PageFiles::Workspace::Workspace() : state_(std::make_unique<State>()) {}
PageFiles::Workspace::~Workspace() = default;

fd::Status PageFiles::writePNG(const std::filesystem::path& path, const gfx::Image& image) {
  gfx::PngEncoder encoder(kEncoding);
  FileBatch batch;
  batch.stage(FileBatch::kPicture, encoder, gfx::PngEncoder::Spread::SideBySide, {path}, image);
  return batch.commit();
}

gfx::Image PageFiles::composeSnapshot(const gfx::Image* layer1, bool open1, const gfx::Image* layer2, bool open2) {
  return snapshotContext(layer1, open1, layer2, open2).makeImage();
}

gfx::Image PageFiles::makeIcon(const gfx::Image& picture, float scale) {
  gfx::Context ctx = pageContext(static_cast<int>(std::lround(kIconWidth * scale)),
                                 static_cast<int>(std::lround(kIconHeight * scale)));
  if (!picture.empty()) ctx.drawImage(picture, whole(ctx));
  return ctx.makeImage();
}

fd::Status PageFiles::writeSnapshotAndIcon(const gfx::Image& layer, int position, const FrameTargets& targets,
                                           float scale, Spread spread, Workspace* workspace) {
  Workspace fresh;
  Workspace& w = workspace ? *workspace : fresh;
  std::lock_guard turn(w.state_->turn);
  FileBatch batch;
  w.state_->snapshotAndIcon(layer, position, targets, scale, spread, batch);
  return batch.commit();
}

fd::Status PageFiles::writeLayer(const gfx::Image& layer, int position, const FrameTargets& targets, float scale,
                                 Spread spread, Workspace* workspace) {
  Workspace fresh;
  Workspace& w = workspace ? *workspace : fresh;
  std::lock_guard turn(w.state_->turn);
  Workspace::State& state = *w.state_;
  const OptionalPath file = position >= 1 && position <= 2 ? targets.layers[position - 1] : std::nullopt;
  state.forget(file);
  // The layer file (the largest encode) is written beside the snapshot work,
  // which only reads the same picture; the call returns when all are written.
  FileBatch batch;
  std::future<void> layerWrite = std::async(launchFor(spread), [&] {
    batch.stage(FileBatch::kPicture, state.layer, encoderSpread(spread), {file}, layer);
  });
  state.snapshotAndIcon(layer, position, targets, scale, spread, batch);
  layerWrite.get();
  return batch.commit();
}

fd::Status PageFiles::writeBackground(const gfx::Image& background, const PicturePaths& gallery,
                                      const PicturePaths& copy, float scale, Spread spread, Workspace* workspace) {
  Workspace fresh;
  Workspace& w = workspace ? *workspace : fresh;
  std::lock_guard turn(w.state_->turn);
  FileBatch batch;
  batch.stage(FileBatch::kPicture, w.state_->layer, encoderSpread(spread), {gallery.image, copy.image}, background);
  if (gallery.icon || copy.icon)
    batch.stage(FileBatch::kIcon, w.state_->icon, kSmall, {gallery.icon, copy.icon}, makeIcon(background, scale));
  return batch.commit();
}

bool PageFiles::reported(const fd::Status& status) {
  if (!status.ok()) fd::Log("Page files not written: %s\n", status.error().c_str());
  return status.ok();
}

namespace {

using Picture = PageFiles::Picture;

// The picture travels with its job; the job may be copied, the picture not.
Picture shared(std::optional<gfx::Image> picture) {
  return picture ? std::make_shared<const gfx::Image>(std::move(*picture)) : nullptr;
}

template <typename Write>
fd::Expected<PageFiles::Job> currentPageJob(Picture picture, Write write) {
  ZTDataModel& model = ZTDataModel::sharedInstance();
  const std::shared_ptr<ProjectDataModel>& project = model.prjDataModel();
  if (!project) return fd::fail("no project is open");
  if (!picture) return fd::fail("the canvas cannot be read");
  PageFiles::FrameTargets targets = PageFiles::targetsOfPage(*project, model.extendDataModel().curPage());
  return PageFiles::Job([picture, targets = std::move(targets), write] { return write(*picture, targets); });
}

bool runNow(const fd::Expected<PageFiles::Job>& job) {
  return PageFiles::reported(job ? (*job)() : fd::Status(job.failure()));
}

}  // namespace

fd::Expected<PageFiles::Job> PageFiles::currentLayerJob(Picture layer, int position, float scale, Spread spread,
                                                        SharedWorkspace workspace) {
  return currentPageJob(std::move(layer), [position, scale, spread, workspace = std::move(workspace)](
                                              const gfx::Image& picture, const FrameTargets& targets) {
    return writeLayer(picture, position, targets, scale, spread, workspace.get());
  });
}

fd::Expected<PageFiles::Job> PageFiles::currentSnapshotAndIconJob(Picture layer, int position, float scale,
                                                                  Spread spread, SharedWorkspace workspace) {
  return currentPageJob(std::move(layer), [position, scale, spread, workspace = std::move(workspace)](
                                              const gfx::Image& picture, const FrameTargets& targets) {
    return writeSnapshotAndIcon(picture, position, targets, scale, spread, workspace.get());
  });
}

fd::Expected<PageFiles::Job> PageFiles::currentBackgroundJob(Picture background, float scale, Spread spread,
                                                             SharedWorkspace workspace) {
  if (!background) return fd::fail("the canvas cannot be read");
  ZTDataModel& model = ZTDataModel::sharedInstance();
  const std::optional<std::string>& name = model.extendDataModel().backgroundName();
  // Only the user's own pictures are painted on; a built-in background's
  // files belong to the application and are never overwritten.
  if (!name || !isPaintableBackgroundType(backgroundTypeOfName(*name)))
    return fd::fail("only a user's own background can be painted on");
  // The open project's copy of the background it shows is the one its pages
  // are drawn over: it follows the painting in the same write, so that no
  // road out of the desk (a kill included) leaves the project showing the
  // picture as it was before.
  PicturePaths copy;
  if (const std::shared_ptr<ProjectDataModel>& project = model.prjDataModel();
      project && project->curBackgroundName() == name)
    copy = {project->backgroundFullPath(), project->backgroundIconFullPath()};
  return Job([picture = std::move(background),
              gallery = PicturePaths{model.backgroundFullPathWithBackgroundName(name),
                                     model.backgroundIconFullPathWithBackgroundName(name)},
              copy = std::move(copy), scale, spread, workspace = std::move(workspace)] {
    return writeBackground(*picture, gallery, copy, scale, spread, workspace.get());
  });
}

bool PageFiles::writeCurrentLayer(std::optional<gfx::Image> layer, int position, float scale) {
  return runNow(currentLayerJob(shared(std::move(layer)), position, scale));
}

bool PageFiles::writeCurrentSnapshotAndIcon(std::optional<gfx::Image> layer, int position, float scale) {
  return runNow(currentSnapshotAndIconJob(shared(std::move(layer)), position, scale));
}

bool PageFiles::writeCurrentBackground(std::optional<gfx::Image> background, float scale) {
  return runNow(currentBackgroundJob(shared(std::move(background)), scale));
}
