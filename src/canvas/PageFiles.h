#pragma once
// The page files the editor canvas writes: the layer picture at backing size,
// the 384 x 288 snapshot of the frame's open layers and the frame icon; in
// background mode the background picture and its icon. Every file is written
// atomically, so a crash while saving leaves the previous file readable.
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "platform/foundation/Expected.h"
#include "platform/graphics/Image.h"

class ProjectDataModel;

class PageFiles {
 public:
  static constexpr int kSnapshotWidth = 384;
  static constexpr int kSnapshotHeight = 288;
  static constexpr int kIconWidth = 108;   // points; times the screen scale
  static constexpr int kIconHeight = 81;
  // The page files are written on the main thread when a page is left.
  static constexpr gfx::PngEncoding kEncoding = gfx::kQuickPngEncoding;

  using OptionalPath = std::optional<std::filesystem::path>;

  // Where the files of one frame go, and which of its two layers show.
  struct FrameTargets {
    std::array<OptionalPath, 2> layers;  // positions 1 and 2
    std::array<bool, 2> layerOpen{true, true};
    OptionalPath snapshot;
    OptionalPath icon;
  };

  // The frame list's files of a page (from 1) of the project, and which of
  // its layers show.
  static FrameTargets targetsOfPage(const ProjectDataModel& project, int page);

  // PNG written to a temporary file and renamed; a failure (old file
  // untouched) when the picture cannot be encoded or written.
  static fd::Status writePNG(const std::filesystem::path& path, const gfx::Image& image);

  // What a writer keeps from one write to the next: its encoders' working
  // memory, and the snapshot's other layer drawn at snapshot size for as long
  // as that layer's file stays the same. Writes through one workspace take
  // turns; without one, a write takes its memory afresh.
  class Workspace {
   public:
    Workspace();
    ~Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;
    struct State;

   private:
    friend class PageFiles;
    std::unique_ptr<State> state_;
  };

  // Layer 1, then layer 2 over it, each only when given and open, scaled into
  // 384 x 288 pixels. No background.
  static gfx::Image composeSnapshot(const gfx::Image* layer1, bool open1, const gfx::Image* layer2, bool open2);
  // The picture scaled to fill 108 x 81 points at the given screen scale.
  static gfx::Image makeIcon(const gfx::Image& picture, float scale);

  // How a write spreads its files: over threads of their own (someone waits
  // for it), or one after the other on the calling thread (a background
  // write, which should take as little from the rest as it can).
  enum class Spread { Threads, Sequential };

  // The edited layer's file, then the snapshot and icon of its frame. The
  // other layer is read from its file; a file that cannot be read is left
  // out of the snapshot. Every file is tried; the first failure is reported.
  static fd::Status writeLayer(const gfx::Image& layer, int position, const FrameTargets& targets, float scale,
                               Spread spread = Spread::Threads, Workspace* workspace = nullptr);
  // Only the snapshot and the icon, with `layer` standing for the given
  // position.
  static fd::Status writeSnapshotAndIcon(const gfx::Image& layer, int position, const FrameTargets& targets,
                                         float scale, Spread spread = Spread::Threads,
                                         Workspace* workspace = nullptr);
  // A background picture and its icon, written to the gallery's files and,
  // in the same commit, to a copy's (the open project's own, when given).
  struct PicturePaths {
    OptionalPath image, icon;
  };
  static fd::Status writeBackground(const gfx::Image& background, const PicturePaths& gallery,
                                    const PicturePaths& copy, float scale, Spread spread = Spread::Threads,
                                    Workspace* workspace = nullptr);

  // A write of the model's open page, taken on the main thread: the picture
  // read off the canvas and the files it goes to, fixed now. Running it (on
  // any thread) encodes and writes, through the workspace when one is given
  // (the job keeps it and the picture, which must not change meanwhile). A
  // failure when the picture could not be read (null) or there is no page to
  // write to.
  using Job = std::function<fd::Status()>;
  using SharedWorkspace = std::shared_ptr<Workspace>;
  using Picture = std::shared_ptr<const gfx::Image>;
  static fd::Expected<Job> currentLayerJob(Picture layer, int position, float scale, Spread spread = Spread::Threads,
                                           SharedWorkspace workspace = nullptr);
  static fd::Expected<Job> currentSnapshotAndIconJob(Picture layer, int position, float scale,
                                                     Spread spread = Spread::Threads,
                                                     SharedWorkspace workspace = nullptr);
  static fd::Expected<Job> currentBackgroundJob(Picture background, float scale, Spread spread = Spread::Threads,
                                                SharedWorkspace workspace = nullptr);

  // The canvases' writers: the files of the model's open project at its
  // current page, or of the background being edited, from a picture read off
  // the canvas, written at once. NO, logged, when the picture could not be
  // read, no project is open or a file was not written.
  static bool writeCurrentLayer(std::optional<gfx::Image> layer, int position, float scale);
  static bool writeCurrentSnapshotAndIcon(std::optional<gfx::Image> layer, int position, float scale);
  static bool writeCurrentBackground(std::optional<gfx::Image> background, float scale);
  // A job's outcome, logged when it failed.
  static bool reported(const fd::Status& status);
};
