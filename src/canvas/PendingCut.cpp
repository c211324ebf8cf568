#include "canvas/PendingCut.h"

#include <cstring>

void PendingCut::undidFrom(const std::string& from) {
  if (from == cut_.name) cut_.undone = true;
  if (placed_ && from == placed_->name) placed_->undone = true;
}

void PendingCut::redidTo(const std::string& to) {
  if (to == cut_.name) cut_.undone = false;
  if (placed_ && to == placed_->name) placed_->undone = false;
}

SnapshotData PendingCut::withdrawnFrom(const fd::Data& now) const {
  if (!before_ || !after_ || before_->size() != now.size() || after_->size() != now.size()) return nullptr;
  auto out = std::make_shared<fd::Data>(now);
  bool changed = false;
  const std::uint8_t* b = before_->data();
  const std::uint8_t* a = after_->data();
  std::uint8_t* o = out->data();
  for (std::size_t i = 0; i + 4 <= now.size(); i += 4) {
    // Only what the cut changed comes back; where something was drawn over
    // the cut since, that drawing stays over what returns.
    if (std::memcmp(b + i, a + i, 4) == 0 || std::memcmp(o + i, b + i, 4) == 0) continue;
    if (std::memcmp(o + i, a + i, 4) == 0) {
      std::memcpy(o + i, b + i, 4);
    } else {
      const unsigned keep = 255u - o[i + 3];
      for (int c = 0; c < 4; ++c) o[i + c] = static_cast<std::uint8_t>(o[i + c] + (b[i + c] * keep + 127u) / 255u);
    }
    changed = true;
  }
  return changed ? out : nullptr;
}
