#pragma once
// The sound track's pictures (the track bar, its cursor, the record, add and
// stop buttons, the tag bars in their long, short and selected looks, the tag's
// delete button and the single-sound button), drawn by the program at the
// screen's scale and kept by name.
#include "desk/ArtCatalogue.h"

namespace sound_art {

// named(): at the main screen's scale; draw(): at scale 1 or 2, not kept.
desk_art::ArtCatalogue& pictures();

}  // namespace sound_art
