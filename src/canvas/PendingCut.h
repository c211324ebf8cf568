#pragma once
// A cut whose piece is held outside the canvas (by the stamp tool) until it
// is placed: the canvas pictures before and after the cut, and the undo
// steps of the cut and of the placing, followed through undo and redo. Until
// the piece is placed the cut is outstanding; withdrawing it puts back what
// the cut took, under anything drawn there since.
#include <optional>
#include <string>

#include "canvas/ImagesUndoManager.h"

class PendingCut {
 public:
  PendingCut(SnapshotData before, SnapshotData after, std::string cutStep)
      : before_(std::move(before)), after_(std::move(after)), cut_{std::move(cutStep)} {}

  const std::string& cutStep() const { return cut_.name; }
  // The piece was stamped onto the canvas by the step now current.
  void placedBy(const std::string& step) { placed_ = Step{step}; }
  // An undo left `from`; a redo reached `to`.
  void undidFrom(const std::string& from);
  void redidTo(const std::string& to);
  // The cut is in effect and its piece is not on the canvas.
  bool outstanding() const { return !cut_.undone && !(placed_ && !placed_->undone); }
  // `now` (a whole backing) with what the cut took back under it; nullptr
  // when that changes nothing or `now` is not of the cut's size.
  SnapshotData withdrawnFrom(const fd::Data& now) const;

 private:
  struct Step {
    std::string name;
    bool undone = false;
  };
  SnapshotData before_, after_;
  Step cut_;
  std::optional<Step> placed_;
};
