#pragma once
// The frames of a project as one value: the frame list with its repeat runs,
// the temporary tray, and the shared layer records with their page
// references. Only ProjectDataModel's operations change it; everything else
// reads it, and the invariants those operations keep are checked here alone.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "model/FrameRecord.h"

class ProjectDataModel;

class ProjectFrames {
 public:
  const std::vector<FrameRecord>& frames() const { return frames_; }
  const std::vector<FrameRecord>& tray() const { return tray_; }
  const std::map<std::string, LayerRecord>& layers() const { return layers_; }

  // The first invariant that does not hold, in words; nullopt when all hold:
  // the frame list is never empty; every layer id and icon name is a plain
  // path component; every layer a frame or tray record names has a record;
  // every page reference lies within
  // +-kMaxPageNumber and no higher than the bound the reference shifts use.
  std::optional<std::string> brokenInvariant() const;

  // Equal frames, tray and layers (the reference bound is bookkeeping).
  bool operator==(const ProjectFrames& o) const {
    return frames_ == o.frames_ && tray_ == o.tray_ && layers_ == o.layers_;
  }

 private:
  friend class ProjectDataModel;

  // Brings the reference bound up to a page just recorded.
  void noteReference(int page) { refPageBound_ = std::max(refPageBound_, page); }
  // The exact bound, after references were read or replaced wholesale.
  void recountReferenceBound();

  std::vector<FrameRecord> frames_;
  std::vector<FrameRecord> tray_;
  std::map<std::string, LayerRecord> layers_;
  // No page reference is above it, so shifting the pages from a later page
  // on (appending a frame) has nothing to walk.
  int refPageBound_ = 0;
};
