#pragma once
// The older package layout, made on a copy of a project folder: repeat copies
// become real frames, every snapshot and icon is drawn again from all layers,
// the repeat keys go, and sound-tag points are rebuilt from the tag frames.
#include <filesystem>
#include <vector>

namespace package_format {

// Snapshot and icon sizes of the older layout, whatever the screen scale.
inline constexpr int kSnapshotWidth = 384;
inline constexpr int kSnapshotHeight = 288;
inline constexpr int kIconWidth = 108;
inline constexpr int kIconHeight = 81;

// Rewrites folder (which must hold a Project.plist) in place; false when the
// property list is missing, unreadable or names files outside the folder, or
// a redrawn picture cannot be written, or the program was asked to end
// (fd::endAsked) on the way. Pictures are drawn on several threads.
bool convertToOlderFormat(const std::filesystem::path& folder);

// Tag points of the older layout: (330 / frames) * (f - 1) + 49 per tag frame.
std::vector<float> olderTagPoints(const std::vector<int>& tagFrames, int frameCount);

}  // namespace package_format
