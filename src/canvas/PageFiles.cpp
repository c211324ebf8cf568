#include "canvas/PageFiles.h"

#include <cmath>
#include <future>

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

fd::Status PageFiles::writePNG(const std::filesystem::path& path, const gfx::Image& image) {
  fd::Expected<fd::Data> bytes = gfx::encodePNG(image, kEncoding);
  if (!bytes) return fd::fail("cannot encode the picture for " + path.string() + ": " + bytes.error());
  return fd::files::writeFileAtomicallyReporting(path, *bytes);
}

namespace {

// The first failure of several writes, all of which are tried.
fd::Status firstFailure(std::initializer_list<const fd::Status*> results) {
  for (const fd::Status* r : results) {
    if (!r->ok()) return r->failure();
  }
  return {};
}

}  // namespace

gfx::Image PageFiles::composeSnapshot(const gfx::Image* layer1, bool open1, const gfx::Image* layer2, bool open2) {
  gfx::Context ctx = pageContext(kSnapshotWidth, kSnapshotHeight);
  const gfx::Rect r = whole(ctx);
  if (layer1 != nullptr && open1 && !layer1->empty()) ctx.drawImage(*layer1, r);
  if (layer2 != nullptr && open2 && !layer2->empty()) ctx.drawImage(*layer2, r);
  return ctx.makeImage();
}

gfx::Image PageFiles::makeIcon(const gfx::Image& picture, float scale) {
  gfx::Context ctx = pageContext(static_cast<int>(std::lround(kIconWidth * scale)),
                                 static_cast<int>(std::lround(kIconHeight * scale)));
  if (!picture.empty()) ctx.drawImage(picture, whole(ctx));
  return ctx.makeImage();
}

namespace {
std::launch launchFor(PageFiles::Spread spread) {
  return spread == PageFiles::Spread::Threads ? std::launch::async : std::launch::deferred;
}
}  // namespace

fd::Status PageFiles::writeSnapshotAndIcon(const gfx::Image& layer, int position, const FrameTargets& targets,
                                           float scale, Spread spread) {
  std::array<std::optional<gfx::Image>, 2> read;
  std::array<const gfx::Image*, 2> layers{nullptr, nullptr};
  for (int i = 0; i < 2; ++i) {
    if (i + 1 == position) {
      layers[i] = &layer;
    } else if (targets.layerOpen[i] && targets.layers[i]) {
      read[i] = gfx::readPNG(*targets.layers[i]).toOptional();
      if (read[i]) layers[i] = &*read[i];
    }
  }
  const gfx::Image snapshot = composeSnapshot(layers[0], targets.layerOpen[0], layers[1], targets.layerOpen[1]);
  // Each file waits for its own flush to disk; the two flushes overlap.
  std::future<fd::Status> snapshotWrite = std::async(launchFor(spread), [&]() -> fd::Status {
    if (targets.snapshot) return writePNG(*targets.snapshot, snapshot);
    return {};
  });
  fd::Status icon;
  if (targets.icon) icon = writePNG(*targets.icon, makeIcon(snapshot, scale));
  const fd::Status snap = snapshotWrite.get();
  return firstFailure({&snap, &icon});
}

fd::Status PageFiles::writeLayer(const gfx::Image& layer, int position, const FrameTargets& targets, float scale,
                                 Spread spread) {
  // The layer file (the largest encode) is written beside the snapshot work,
  // which only reads the same picture; the call returns when all are written.
  std::future<fd::Status> layerWrite = std::async(launchFor(spread), [&]() -> fd::Status {
    if (position >= 1 && position <= 2 && targets.layers[position - 1]) {
      return writePNG(*targets.layers[position - 1], layer);
    }
    return {};
  });
  const fd::Status frame = writeSnapshotAndIcon(layer, position, targets, scale, spread);
  const fd::Status own = layerWrite.get();
  return firstFailure({&own, &frame});
}

fd::Status PageFiles::writeBackground(const gfx::Image& background, const OptionalPath& image,
                                      const OptionalPath& icon, float scale) {
  fd::Status picture, small;
  if (image) picture = writePNG(*image, background);
  if (icon) small = writePNG(*icon, makeIcon(background, scale));
  return firstFailure({&picture, &small});
}

bool PageFiles::reported(const fd::Status& status) {
  if (!status.ok()) fd::Log("Page files not written: %s\n", status.error().c_str());
  return status.ok();
}

namespace {

// The picture travels with its job; the job may be copied, the picture not.
using Picture = std::shared_ptr<const gfx::Image>;

template <typename Write>
fd::Expected<PageFiles::Job> currentPageJob(std::optional<gfx::Image> layer, Write write) {
  ZTDataModel& model = ZTDataModel::sharedInstance();
  const std::shared_ptr<ProjectDataModel>& project = model.prjDataModel();
  if (!project) return fd::fail("no project is open");
  if (!layer) return fd::fail("the canvas cannot be read");
  Picture picture = std::make_shared<const gfx::Image>(std::move(*layer));
  PageFiles::FrameTargets targets = PageFiles::targetsOfPage(*project, model.extendDataModel().curPage());
  return PageFiles::Job([picture, targets = std::move(targets), write] { return write(*picture, targets); });
}

bool runNow(const fd::Expected<PageFiles::Job>& job) {
  return PageFiles::reported(job ? (*job)() : fd::Status(job.failure()));
}

}  // namespace

fd::Expected<PageFiles::Job> PageFiles::currentLayerJob(std::optional<gfx::Image> layer, int position, float scale,
                                                        Spread spread) {
  return currentPageJob(std::move(layer),
                        [position, scale, spread](const gfx::Image& picture, const FrameTargets& targets) {
                          return writeLayer(picture, position, targets, scale, spread);
                        });
}

fd::Expected<PageFiles::Job> PageFiles::currentSnapshotAndIconJob(std::optional<gfx::Image> layer, int position,
                                                                  float scale, Spread spread) {
  return currentPageJob(std::move(layer),
                        [position, scale, spread](const gfx::Image& picture, const FrameTargets& targets) {
                          return writeSnapshotAndIcon(picture, position, targets, scale, spread);
                        });
}

fd::Expected<PageFiles::Job> PageFiles::currentBackgroundJob(std::optional<gfx::Image> background, float scale) {
  if (!background) return fd::fail("the canvas cannot be read");
  ZTDataModel& model = ZTDataModel::sharedInstance();
  const std::optional<std::string>& name = model.extendDataModel().backgroundName();
  // Only the user's own pictures are painted on; a built-in background's
  // files belong to the application and are never overwritten.
  if (!name || !isPaintableBackgroundType(backgroundTypeOfName(*name)))
    return fd::fail("only a user's own background can be painted on");
  Picture picture = std::make_shared<const gfx::Image>(std::move(*background));
  return Job([picture, image = model.backgroundFullPathWithBackgroundName(name),
              icon = model.backgroundIconFullPathWithBackgroundName(name),
              scale] { return writeBackground(*picture, image, icon, scale); });
}

bool PageFiles::writeCurrentLayer(std::optional<gfx::Image> layer, int position, float scale) {
  return runNow(currentLayerJob(std::move(layer), position, scale));
}

bool PageFiles::writeCurrentSnapshotAndIcon(std::optional<gfx::Image> layer, int position, float scale) {
  return runNow(currentSnapshotAndIconJob(std::move(layer), position, scale));
}

bool PageFiles::writeCurrentBackground(std::optional<gfx::Image> background, float scale) {
  return runNow(currentBackgroundJob(std::move(background), scale));
}
