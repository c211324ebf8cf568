#pragma once
// A sound clip tagged to a stretch of frames. A project keeps its tags as a
// list of these; Project.plist stores them as three parallel lists (points,
// names, frames), and the two conversions below are the only place those
// lists exist.
#include <array>
#include <optional>
#include <string>
#include <vector>

struct SoundTag {
  std::optional<std::string> name;            // the sound's file name
  std::optional<std::array<float, 2>> points;  // start x and end x on the sound timeline
  std::optional<std::array<int, 2>> frames;    // start frame and end frame

  bool operator==(const SoundTag&) const = default;
};

// The stored shape: tag i owns values 2i and 2i + 1 of the flat lists and
// name i. Lists of unequal length are kept as they are: a tag lacks the parts
// its lists do not reach.
struct SoundTagLists {
  std::vector<float> points;
  std::vector<std::string> names;
  std::vector<int> frames;

  bool operator==(const SoundTagLists&) const = default;
};

// A flat list of odd length loses its unpaired last value.
std::vector<SoundTag> soundTagsFromLists(const SoundTagLists& lists);
SoundTagLists soundTagListsOf(const std::vector<SoundTag>& tags);
