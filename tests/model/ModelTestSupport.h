#pragma once
// Shared set-up of the model tests: a fresh sandbox with no model singleton,
// no sound merger, and helpers to put small page files on disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "model/DeviceScreen.h"
#include "model/ProjectDataModel.h"
#include "model/SoundMerger.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/FileUtil.h"
#include "platform/graphics/Image.h"
#include "support/Sandbox.h"

namespace model_test {

class ModelTest : public testing_support::SandboxTest {
 protected:
  void SetUp() override {
    ZTDataModel::resetSharedInstanceForTesting();
    SoundMerger::setFactory({});
    DeviceScreen::resetForTesting();
  }
  void TearDown() override {
    ZTDataModel::resetSharedInstanceForTesting();
    SoundMerger::setFactory({});
  }
};

// A w x h picture whose every pixel differs from its neighbours.
inline gfx::Image patternImage(int w, int h, std::uint8_t seed = 0) {
  gfx::Image img(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = img.pixel(x, y);
      p[0] = static_cast<std::uint8_t>(x * 37 + seed);
      p[1] = static_cast<std::uint8_t>(y * 53 + seed);
      p[2] = static_cast<std::uint8_t>((x + y) * 11 + seed);
      p[3] = 255;
    }
  }
  return img;
}

inline void writeTinyPng(const std::filesystem::path& path, std::uint8_t seed = 0) {
  ASSERT_TRUE(gfx::writePNG(path, patternImage(4, 3, seed)));
}

inline std::string readText(const std::filesystem::path& p) {
  std::optional<fd::Data> d = testing_support::fileBytes(p);
  return d ? std::string(d->begin(), d->end()) : std::string();
}

}  // namespace model_test
