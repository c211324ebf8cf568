#pragma once
// The page files a combination links into the first project's folder are
// written down first, in a hidden folder beside it, so that a kill before
// that project's list names them leaves them for the next start to take back
// rather than in the folder for good under names no list knows.
#include <atomic>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/StagingFolder.h"

class CombineJournal {
 public:
  // Begun beside the target's folder ("." + its name + ".combining-" + six
  // letters or digits, held while the combination runs) before any page is
  // carried, headed by the target folder's name. Not valid() when it cannot
  // be written. It goes with the
  // object, at once (a single small file, even while the program ends): the
  // combination ended, its pages named by the target's saved list or taken
  // back.
  explicit CombineJournal(const std::filesystem::path& targetFolder);

  ~CombineJournal();
  CombineJournal(const CombineJournal&) = delete;
  CombineJournal& operator=(const CombineJournal&) = delete;

  bool valid() const { return file_.get() >= 0; }
  // Left for the next start to take back the pages it names: the program is
  // ending, and unlinking a long project's pages would hold the end.
  void leaveForNextStart() { folder_.handOver(); }
  // Writes down the new names of the files (old name, new name) before they
  // are made; false when they could not be written.
  bool note(const std::vector<std::pair<std::string, std::string>>& renamed);
  // Keeps the target's list as it is now (a second name for it, or a copy),
  // before the combination saves it, so that a combination refused after
  // that save can put it back; false when it could not be kept.
  bool keepList(const std::filesystem::path& list);
  // Puts the kept list back in the target's folder, over the one saved since;
  // false when there is none or it could not be moved.
  bool putListBack(const std::filesystem::path& list);

  // The start's part, for the hidden folder a killed combination left in the
  // projects folder. isJournalName tells it by its name; settle looks into
  // it: false (and logged) when it does not hold a list of pages as written
  // here. takeBack, the folder's emptier, removes from the target's folder
  // the pages it lists that the target's list does not name (all of them,
  // unless the combination stored that list).
  static bool isJournalName(std::string_view name);
  static bool settle(const std::filesystem::path& folder);
  static bool takeBack(const std::filesystem::path& folder, const std::atomic<bool>& ending);

 private:
  bool write(std::string_view bytes) const;

  staging::Folder folder_;
  fd::files::UniqueFd file_;
};
