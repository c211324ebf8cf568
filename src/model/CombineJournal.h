#pragma once
// The page files a combination links into the first project's folder are
// written down there first, in a hidden file, so that a kill before that
// project's list names them leaves them for the next start to take back
// rather than in the folder for good under names no list knows.
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/FileUtil.h"

class CombineJournal {
 public:
  // Begun in the target's folder before any page is carried, headed by the
  // stamp of the target's list as it stands: a start that finds the list
  // changed since knows the combination stored it, with the pages. Locked
  // while the combination runs. Not valid() when it cannot be written, or
  // when another combination into the same folder holds it.
  explicit CombineJournal(const std::filesystem::path& targetFolder);
  // Removed: the combination ended, its pages named by the target's saved
  // list or taken back.
  ~CombineJournal();
  CombineJournal(const CombineJournal&) = delete;
  CombineJournal& operator=(const CombineJournal&) = delete;

  bool valid() const { return file_.get() >= 0; }
  // Writes down the new names of the files (old name, new name) before they
  // are made; false when they could not be written.
  bool note(const std::vector<std::pair<std::string, std::string>>& renamed);

  // At start, for each project folder: a journal a killed combination left
  // there is handed, with the pages it names, to the low-priority emptying
  // when the folder's list is the one it began with; otherwise the list
  // names the pages, and only the journal goes.
  static void takeBackKilled(const std::filesystem::path& projects, const std::string& name);
  // The hidden folders the pages are taken back from ("." + name +
  // ".taking-back-" + six letters or digits); one a kill left is handed on
  // again by sweepTakingBack.
  static bool isTakingBackName(std::string_view name);
  static void sweepTakingBack(const std::filesystem::path& projects);

 private:
  std::filesystem::path path_;
  fd::files::UniqueFd file_;
};
