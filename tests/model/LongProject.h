#pragma once
// A project of many frames written straight to disk, as a long-used project
// stands there: building it through the model would cost the tests and
// benchmarks what they set out to measure. Every frame is plain, on two
// layers of its own, and has its layer, icon and snapshot files.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "model/FrameRecord.h"
#include "model/ProjectPlistKeys.h"
#include "platform/foundation/PropertyList.h"

namespace model_test {

// Ids "2019010110" + seven digits; `series` (0..89) keeps two projects' ids
// apart, as ids made at different times are.
inline std::string longProjectId(int series, int n) {
  char id[32];
  std::snprintf(id, sizeof id, "20190101%02d%07d", 10 + series, n);
  return id;
}

// False when a file could not be written. Without `pageFiles`, only the list.
inline bool writeLongProject(const std::filesystem::path& folder, int frames, int series, bool pageFiles = true) {
  namespace keys = projectplist;
  std::filesystem::create_directories(folder);
  fd::Array images;
  images.reserve(static_cast<std::size_t>(frames));
  fd::Dictionary lays;
  // A tiny picture's bytes: what lies in the files does not matter here,
  // only that each is a file of its own.
  const std::string bytes = "\x89PNG\r\n\x1a\n";
  auto write = [&](const std::string& name) {
    if (!pageFiles) return true;
    std::ofstream out(folder / name, std::ios::binary);
    out << bytes;
    return static_cast<bool>(out);
  };
  for (int page = 1; page <= frames; ++page) {
    const int base = 3 * (page - 1);
    FrameRecord frame;
    frame.laysArray = {longProjectId(series, base), longProjectId(series, base + 1)};
    frame.iconName = longProjectId(series, base + 2);
    for (int position = 1; position <= 2; ++position) {
      const std::string& id = frame.laysArray[static_cast<std::size_t>(position - 1)];
      LayerRecord layer;
      layer.layPosition = position;
      layer.refPageArray = {page};
      layer.isLayOpen = true;
      lays[id] = layer.toValue();
      if (!write(id + ".png")) return false;
    }
    if (!write(frame.iconName + "Icon.png") || !write(frame.iconName + "Snapshot.png")) return false;
    images.push_back(frame.toValue());
  }
  fd::Dictionary d;
  d[keys::kVersionKey] = fd::Value(104);
  d[keys::kFrameLayCountKey] = fd::Value(2);
  d[keys::kAnimationSpeedKey] = fd::Value(0.16);
  d[keys::kImagesArrayKey] = fd::Value(std::move(images));
  d[keys::kTemporarysArrayKey] = fd::Value(fd::Array{});
  d[keys::kLaysDictionaryKey] = fd::Value(std::move(lays));
  d[keys::kBackgroundTypeKey] = fd::Value(0);
  d[keys::kIsBackgroundOpenKey] = fd::Value(true);
  d[keys::kProjectDataVersionKey] = fd::Value(100);
  d[keys::kDataTypeKey] = fd::Value(1);
  return static_cast<bool>(fd::writePropertyList(folder / keys::kFileName, fd::Value(std::move(d))));
}

}  // namespace model_test
