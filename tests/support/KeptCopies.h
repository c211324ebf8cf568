#pragma once
// Finding the copies the program kept of a file it could not read, damaging
// files, and folders that refuse to keep copies.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/DamagedFile.h"
#include "platform/foundation/FileUtil.h"
#include "support/Sandbox.h"

namespace testing_support {

// The files beside `file` that keep it aside, oldest first.
inline std::vector<std::filesystem::path> keptCopies(const std::filesystem::path& file) {
  std::vector<std::filesystem::path> copies;
  const std::string prefix = file.filename().string() + fd::kDamagedSuffix;
  for (const std::string& name : fd::files::contentsOfDirectory(file.parent_path()))
    if (name.starts_with(prefix)) copies.push_back(file.parent_path() / name);
  return copies;
}

// The bytes of a file, to compare a kept copy with what was damaged.
inline std::string fileText(const std::filesystem::path& file) {
  std::optional<fd::Data> d = testing_support::fileBytes(file);
  return d ? std::string(d->begin(), d->end()) : std::string("<unreadable>");
}

inline void writeBytes(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// From now on every move that would keep a copy beside a file fails with
// `error`, as in a folder that refuses it (setWriteFaultForTesting({}) ends it).
inline void refuseKeptCopies(int error = EACCES) {
  fd::files::setWriteFaultForTesting([error](const std::filesystem::path& file) {
    return file.filename().string().find(fd::kDamagedSuffix) != std::string::npos ? error : 0;
  });
}

// The file has one kept copy, holding `bytes`, and the one report not yet
// taken says where it went.
inline void expectKeptOnceAndTold(const std::filesystem::path& file, const std::string& bytes) {
  const std::vector<std::filesystem::path> kept = keptCopies(file);
  ASSERT_EQ(kept.size(), 1u) << file;
  EXPECT_EQ(fileText(kept[0]), bytes) << kept[0];
  const std::vector<fd::DamagedFileReport> reports = fd::takeDamagedFileReports();
  ASSERT_EQ(reports.size(), 1u) << file;
  EXPECT_EQ(reports[0].keptAs, kept[0]);
}

}  // namespace testing_support
