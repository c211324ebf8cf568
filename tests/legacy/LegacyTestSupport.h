#pragma once
// Helpers of the legacy canvas tests: plain pictures, a recording desk
// delegate and a fixture with a fresh model holding an open project.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "legacy/DrawView.h"
#include "model/ExtendDataModel.h"
#include "model/ProjectDataModel.h"
#include "model/ZTDataModel.h"
#include "platform/graphics/Image.h"
#include "support/Sandbox.h"

namespace legacy_test {

// A picture of one straight colour.
inline gfx::Image solid(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a = 255) {
  gfx::Image image(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = image.pixel(x, y);
      p[0] = r;
      p[1] = g;
      p[2] = b;
      p[3] = a;
    }
  }
  return image;
}

// The desk's side of the undo buttons and the drawing gate.
struct DeskRecorder : OpenGLESDrawDelegate {
  std::vector<std::string> log;
  bool canDraw = true;
  void enableRedo() override { log.push_back("enableRedo"); }
  void enableUndo() override { log.push_back("enableUndo"); }
  void disableRedo() override { log.push_back("disableRedo"); }
  void disableUndo() override { log.push_back("disableUndo"); }
  bool isCanDraw() override { return canDraw; }
};

class LegacyTest : public testing_support::SandboxTest {
 protected:
  void SetUp() override {
    ZTDataModel::resetSharedInstanceForTesting();
    model().setPrjDataModel(ProjectDataModel::initWithProjectName("legacy"));
    model().extendDataModel().setCurPage(1);
    DrawView::setClockForTesting([this] { return clock; });
    DrawView::seedDabRotation(7);
  }
  void TearDown() override {
    DrawView::setClockForTesting({});
    ZTDataModel::resetSharedInstanceForTesting();
  }
  static ZTDataModel& model() { return ZTDataModel::sharedInstance(); }
  static ProjectDataModel& project() { return *model().prjDataModel(); }

  double clock = 100;
};

}  // namespace legacy_test
