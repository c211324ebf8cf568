#pragma once
// Entry names as the archive stores them, checked before anything touches the
// disk: a name may only ever lead to a place inside the extraction folder.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zipnames {

// The name as readers see it: every backslash of a name that holds a slash or
// a backslash becomes a slash.
std::string normalize(std::string_view raw);

// A name ending in a slash or a backslash names a folder.
bool namesFolder(std::string_view raw);

// LongPart: a part between two slashes longer than a folder can hold.
enum class Verdict { Safe, Empty, NotUtf8, EmbeddedNul, Absolute, DriveLetter, ParentReference, LongPart };

struct Checked {
  Verdict verdict = Verdict::Empty;
  // The path below the extraction folder, one element per level ("." and
  // empty levels dropped); empty unless the verdict is Safe.
  std::vector<std::string> components;
};

// Judges a raw (not yet normalised) entry name.
Checked check(std::string_view raw);

const char* describe(Verdict verdict);

// Whether the name is a readable one that leads out of the extraction
// folder (".." parts, an absolute path, a drive letter), rather than no
// usable name at all.
inline bool climbsOut(Verdict verdict) {
  return verdict == Verdict::Absolute || verdict == Verdict::DriveLetter || verdict == Verdict::ParentReference;
}

}  // namespace zipnames
