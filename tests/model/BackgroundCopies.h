#pragma once
// A project's own copies of its background, as the model and the app tests
// find them on disk after a kill: the copies its list names, and the files
// its folder or a package of it holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "model/ProjectDataModel.h"
#include "model/ZTDataModel.h"
#include "support/Sandbox.h"

namespace background_copies {

inline const std::vector<std::string> kUsualNames{"background.png", "backgroundIcon.png"};

// The files named background-something among `paths` (a folder's files, a
// package's entries), by file name, sorted.
inline std::vector<std::string> backgroundFilesAmong(const std::vector<std::string>& paths) {
  std::vector<std::string> found;
  for (const std::string& path : paths) {
    const std::string name = std::filesystem::path(path).filename().string();
    if (name.starts_with("background")) found.push_back(name);
  }
  std::sort(found.begin(), found.end());
  return found;
}

// The copies the project's list names are byte for byte the gallery's
// picture and icon of the background it names, or absent where the gallery
// has no picture of it; a list naming no background names no copy.
inline void expectItsOwnCopies(const ProjectDataModel& project) {
  const std::optional<std::string> named = project.curBackgroundName();
  if (!named) {
    EXPECT_FALSE(project.backgroundFullPath().has_value());
    return;
  }
  for (const bool icon : {false, true}) {
    const OptionalPath copy = icon ? project.backgroundIconFullPath() : project.backgroundFullPath();
    ASSERT_TRUE(copy.has_value());
    const std::filesystem::path picture =
        ZTDataModel::sharedInstance().backgroundPath() / (*named + (icon ? "Icon.png" : ".png"));
    if (std::filesystem::exists(picture))
      EXPECT_TRUE(testing_support::fileBytes(*copy) == testing_support::fileBytes(picture))
          << *named << (icon ? " icon" : " picture") << " at " << *copy;
    else
      EXPECT_FALSE(std::filesystem::exists(*copy)) << *named << " has no picture, yet " << *copy << " is there";
  }
}

// The folder holds the background's copies under the usual names and no
// other, and its list lacks the key that names copies apart.
inline void expectOnlyTheUsualCopies(const std::filesystem::path& folder) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) files.push_back(entry.path().string());
  EXPECT_EQ(backgroundFilesAmong(files), kUsualNames) << folder;
  const std::optional<fd::Data> list = testing_support::fileBytes(folder / "Project.plist");
  ASSERT_TRUE(list.has_value());
  EXPECT_EQ(std::string(list->begin(), list->end()).find("BackgroundCopy"), std::string::npos)
      << "the list still names copies apart";
}

}  // namespace background_copies
