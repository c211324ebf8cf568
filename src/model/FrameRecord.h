#pragma once
// The records a project keeps per frame and per layer, with their stored keys.
// Loading is lenient: a record that cannot be used is reported as nullopt
// instead of being half-read.
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"

// Keys of Project.plist records; stored files depend on their spelling.
inline constexpr const char* kLaysArrayKey = "LaysArray";
inline constexpr const char* kIconNameKey = "IconName";
inline constexpr const char* kFrameInfoKey = "kFrameInfo";
inline constexpr const char* kReapeatNumberKey = "kReapeatNumber";
inline constexpr const char* kLayPositionKey = "LayPosition";
inline constexpr const char* kRefPageArrayKey = "RefPageArray";
inline constexpr const char* kIsLayOpenKey = "isLayOpen";

// The largest page number a stored value may carry: far beyond any project,
// and small enough that page arithmetic on it can never overflow.
inline constexpr int kMaxPageNumber = 1 << 24;

// A page number from a stored list; nullopt when it is not a number or lies
// outside +-kMaxPageNumber.
std::optional<int> storedPageNumber(const fd::Value& v);
// A tag frame from a stored list, held within +-kMaxPageNumber so that the
// pair it belongs to keeps its place.
int storedTagFrame(const fd::Value& v);

// kFrameInfo values.
inline constexpr int kFrameInfoRunStart = 1;
inline constexpr int kFrameInfoRepeatCopy = 2;

struct FrameRecord {
  std::vector<std::string> laysArray;  // index 0 = position 1 (middle ground)
  std::string iconName;                // stem of <IconName>Icon.png / Snapshot.png
  std::optional<int> frameInfo;        // kFrameInfo
  std::optional<int> reapeatNumber;    // kReapeatNumber

  bool isRunStart() const { return frameInfo == kFrameInfoRunStart; }
  bool isRepeatCopy() const { return frameInfo == kFrameInfoRepeatCopy; }
  bool names(const std::string& layId) const;

  fd::Value toValue() const;
  // nullopt unless IconName and every layer id are plain path components.
  static std::optional<FrameRecord> fromValue(const fd::Value& v);
  bool operator==(const FrameRecord&) const = default;
};

struct LayerRecord {
  int layPosition = 1;
  std::vector<int> refPageArray;
  std::optional<bool> isLayOpen;  // absent counts as open

  bool isOpen() const { return isLayOpen.value_or(true); }
  fd::Value toValue() const;
  static std::optional<LayerRecord> fromValue(const fd::Value& v);
  bool operator==(const LayerRecord&) const = default;
};
