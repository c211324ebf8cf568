#pragma once
// Projects written straight to disk for the package tests: frames with
// pattern layer pictures, optional repeat runs, tray frames and sound tags.
#include <filesystem>
#include <string>
#include <vector>

#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/Value.h"
#include "platform/graphics/Image.h"
#include "ZipTestSupport.h"

namespace packagetest {

namespace fs = std::filesystem;

inline gfx::Image pattern(int w, int h, int seed) {
  gfx::Image img(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = img.pixel(x, y);
      p[0] = static_cast<std::uint8_t>(x * 3 + seed * 29);
      p[1] = static_cast<std::uint8_t>(y * 5 + seed * 7);
      p[2] = static_cast<std::uint8_t>(seed * 61);
      p[3] = 255;
    }
  }
  return img;
}

// A picture transparent everywhere but one opaque rectangle.
inline gfx::Image patch(int w, int h, int x0, int y0, int x1, int y1, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  gfx::Image img(w, h);
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      std::uint8_t* p = img.pixel(x, y);
      p[0] = r;
      p[1] = g;
      p[2] = b;
      p[3] = 255;
    }
  }
  return img;
}

struct FrameLayout {
  std::vector<std::string> lays;
  std::string icon;
  int frameInfo = 0;  // 0: none
  int repeat = 0;     // 0: none
};

struct ProjectLayout {
  std::string name = "Walk";
  std::vector<FrameLayout> frames;
  std::vector<FrameLayout> tray;
  fd::Dictionary lays;  // id -> record
  std::vector<int> tagFrames;
  std::vector<std::string> soundNames;
};

inline fd::Value frameValue(const FrameLayout& f) {
  fd::Array lays;
  for (const auto& id : f.lays) lays.push_back(fd::Value(id));
  fd::Dictionary d{{"LaysArray", fd::Value(lays)}, {"IconName", fd::Value(f.icon)}};
  if (f.frameInfo != 0) d["kFrameInfo"] = fd::Value(f.frameInfo);
  if (f.repeat != 0) d["kReapeatNumber"] = fd::Value(f.repeat);
  return fd::Value(d);
}

inline fd::Value layerValue(int position, std::vector<int> pages, bool open) {
  fd::Array refs;
  for (int p : pages) refs.push_back(fd::Value(p));
  return fd::Value(fd::Dictionary{{"LayPosition", fd::Value(position)}, {"RefPageArray", fd::Value(refs)},
                                  {"isLayOpen", fd::Value(open)}});
}

inline fs::path projectFolder(const std::string& name) { return fd::paths::library() / "Projects" / name; }

inline void writeProject(const ProjectLayout& layout) {
  fd::Array frames, tray, points, names, tagFrames;
  for (const auto& f : layout.frames) frames.push_back(frameValue(f));
  for (const auto& f : layout.tray) tray.push_back(frameValue(f));
  for (int f : layout.tagFrames) {
    tagFrames.push_back(fd::Value(f));
    points.push_back(fd::Value(49.0f + f));
  }
  for (const auto& n : layout.soundNames) names.push_back(fd::Value(n));
  fd::Dictionary plist{{"Version", fd::Value(104)},
                       {"FrameLayCount", fd::Value(2)},
                       {"AnimationSpeed", fd::Value(0.25)},
                       {"ImagesArray", fd::Value(frames)},
                       {"temporarysArray", fd::Value(tray)},
                       {"LaysDictionary", fd::Value(layout.lays)},
                       {"isBackgroundOpen", fd::Value(true)},
                       {"Description", fd::Value("")},
                       {"ProjectDataVersion", fd::Value(100)},
                       {"DataType", fd::Value(1)},
                       {"SoundTagViewPoints", fd::Value(points)},
                       {"SoundNameArray", fd::Value(names)},
                       {"soundTagViewFrame", fd::Value(tagFrames)}};
  fs::create_directories(projectFolder(layout.name));
  ASSERT_TRUE(fd::writePropertyList(projectFolder(layout.name) / "Project.plist", fd::Value(plist)));
}

// n plain frames, each with two layers and its icon and snapshot files.
inline ProjectLayout plainProject(const std::string& name, int n, int layerWidth = 48, int layerHeight = 36) {
  ProjectLayout layout;
  layout.name = name;
  const fs::path folder = projectFolder(name);
  fs::create_directories(folder);
  for (int i = 1; i <= n; ++i) {
    const std::string a = "L" + std::to_string(i) + "a", b = "L" + std::to_string(i) + "b";
    const std::string icon = "I" + std::to_string(i);
    layout.frames.push_back(FrameLayout{{a, b}, icon});
    layout.lays[a] = layerValue(1, {i}, true);
    layout.lays[b] = layerValue(2, {i}, true);
    EXPECT_TRUE(gfx::writePNG(folder / (a + ".png"), pattern(layerWidth, layerHeight, i)));
    EXPECT_TRUE(gfx::writePNG(folder / (b + ".png"), pattern(layerWidth, layerHeight, i + 100)));
    EXPECT_TRUE(gfx::writePNG(folder / (icon + "Icon.png"), pattern(12, 9, i + 50)));
    EXPECT_TRUE(gfx::writePNG(folder / (icon + "Snapshot.png"), pattern(48, 36, i + 70)));
  }
  return layout;
}

// Every file of a project folder with its bytes.
inline std::map<std::string, std::vector<std::uint8_t>> folderContents(const fs::path& folder) {
  return ziptest::snapshotTree(folder);
}

}  // namespace packagetest
