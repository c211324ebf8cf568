#include "model/FrameRecord.h"

#include <algorithm>
#include <cstdint>

#include "model/SafeName.h"

std::optional<int> storedPageNumber(const fd::Value& v) {
  if (!v.isNumber() && !v.isString()) return std::nullopt;
  const std::int64_t n = v.integerValue();
  if (n < -kMaxPageNumber || n > kMaxPageNumber) return std::nullopt;
  return static_cast<int>(n);
}

int storedTagFrame(const fd::Value& v) {
  return static_cast<int>(std::clamp<std::int64_t>(v.integerValue(), -kMaxPageNumber, kMaxPageNumber));
}

bool FrameRecord::names(const std::string& layId) const {
  return std::find(laysArray.begin(), laysArray.end(), layId) != laysArray.end();
}

fd::Value FrameRecord::toValue() const {
  fd::Array lays(laysArray.begin(), laysArray.end());
  fd::Dictionary d{{kLaysArrayKey, fd::Value(std::move(lays))}, {kIconNameKey, fd::Value(iconName)}};
  if (frameInfo) d[kFrameInfoKey] = fd::Value(*frameInfo);
  if (reapeatNumber) d[kReapeatNumberKey] = fd::Value(*reapeatNumber);
  return fd::Value(std::move(d));
}

std::optional<FrameRecord> FrameRecord::fromValue(const fd::Value& v) {
  if (!v.isDictionary()) return std::nullopt;
  const std::string* icon = v[kIconNameKey].string();
  const fd::Array* lays = v[kLaysArrayKey].array();
  if (icon == nullptr || lays == nullptr || !isPlainPathComponent(*icon)) return std::nullopt;
  FrameRecord r;
  r.iconName = *icon;
  for (const fd::Value& id : *lays) {
    const std::string* s = id.string();
    if (s == nullptr || !isPlainPathComponent(*s)) return std::nullopt;
    r.laysArray.push_back(*s);
  }
  if (v[kFrameInfoKey].isNumber() || v[kFrameInfoKey].isString()) r.frameInfo = v[kFrameInfoKey].intValue();
  if (v[kReapeatNumberKey].isNumber() || v[kReapeatNumberKey].isString()) {
    r.reapeatNumber = v[kReapeatNumberKey].intValue();
  }
  return r;
}

fd::Value LayerRecord::toValue() const {
  fd::Array refs(refPageArray.begin(), refPageArray.end());
  fd::Dictionary d{{kLayPositionKey, fd::Value(layPosition)}, {kRefPageArrayKey, fd::Value(std::move(refs))}};
  if (isLayOpen) d[kIsLayOpenKey] = fd::Value(*isLayOpen);
  return fd::Value(std::move(d));
}

std::optional<LayerRecord> LayerRecord::fromValue(const fd::Value& v) {
  if (!v.isDictionary()) return std::nullopt;
  LayerRecord r;
  r.layPosition = v[kLayPositionKey].intValue();
  if (const fd::Array* refs = v[kRefPageArrayKey].array()) {
    for (const fd::Value& p : *refs) {
      if (std::optional<int> page = storedPageNumber(p)) r.refPageArray.push_back(*page);
    }
  }
  if (v[kIsLayOpenKey].isNumber() || v[kIsLayOpenKey].isString()) r.isLayOpen = v[kIsLayOpenKey].boolValue();
  return r;
}
