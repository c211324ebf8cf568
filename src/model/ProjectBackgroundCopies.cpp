// A project's own copies of its still background, and giving the project
// another background. The copies and the list naming them cannot be replaced
// together by renames in sequence, so new copies never replace files a list
// on disk names: they are written under names no list names, the list is
// renamed to name them, and only then do the copies it no longer names go.
// A mark made in the folder before the first of these steps, and removed
// once the copies are as the list names them, tells the start which
// projects it must look into.
#include <algorithm>

#include "model/Backgrounds.h"
#include "model/ProjectDataModel.h"
#include "model/SafeName.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Log.h"

namespace fs = std::filesystem;

fs::path ProjectDataModel::backgroundCopyFile(const std::optional<std::string>& id, bool icon) const {
  return fileInFolder(backgroundCopyName(id, icon));
}

std::string ProjectDataModel::newBackgroundCopyId() const {
  std::string id = dateString();
  while (fd::files::exists(backgroundCopyFile(id, false)) || fd::files::exists(backgroundCopyFile(id, true)))
    id = dateString();
  return id;
}

std::vector<fs::path> ProjectDataModel::namedBackgroundCopies() const {
  if (!curBackgroundName_ || !isStillBackgroundType(backgroundType_)) return {};
  return {backgroundCopyFile(backgroundCopyId_, false), backgroundCopyFile(backgroundCopyId_, true)};
}

void ProjectDataModel::removeUnnamedBackgroundCopies() const {
  const std::vector<fs::path> named = namedBackgroundCopies();
  const fs::path folder = projectDicPath();
  for (const std::string& file : fd::files::contentsOfDirectory(folder)) {
    if (isBackgroundCopyName(file) && std::find(named.begin(), named.end(), folder / file) == named.end())
      fd::files::removeItem(folder / file);
  }
}

void ProjectDataModel::unmarkBackgroundIfSettled() const {
  if (backgroundCopyId_) return;
  for (const fs::path& copy : namedBackgroundCopies())
    if (!fd::files::exists(copy)) return;
  fd::files::removeItem(fileInFolder(std::string(kBackgroundMendMark)));
}

fd::Status ProjectDataModel::switchBackgroundCopies(const std::optional<std::string>& name,
                                                    const std::optional<std::string>& id,
                                                    const BackgroundCopyBytes& bytes) {
  // Before anything of the folder or the list changes: a kill from here on
  // leaves the mark, and the next start looks into the project.
  if (fd::Status marked = fd::files::touchFile(fileInFolder(std::string(kBackgroundMendMark))); !marked) return marked;
  std::vector<fd::files::StagedFile> copies;
  std::vector<fs::path> made;
  for (const bool icon : {false, true}) {
    const std::optional<fd::Data>& data = icon ? bytes.icon : bytes.picture;
    if (!data) continue;
    fd::Expected<fd::files::StagedFile> copy = fd::files::stageFile(backgroundCopyFile(id, icon), data->data(), data->size());
    if (!copy) return copy.failure();
    made.push_back(copy->target());
    copies.push_back(std::move(*copy));
  }
  const std::vector<fs::path> wereNamed = namedBackgroundCopies();
  const std::optional<std::string> oldName = curBackgroundName_;
  const int oldType = backgroundType_;
  const std::optional<std::string> oldId = backgroundCopyId_;
  setCurBackgroundName(name);
  backgroundCopyId_ = id;
  fd::Status saved = saveDataWith(std::move(copies));
  if (saved) return saved;
  curBackgroundName_ = oldName;
  backgroundType_ = oldType;
  backgroundCopyId_ = oldId;
  // Copies put in place before the list failed are named by no list.
  for (const fs::path& p : made) {
    if (std::find(wereNamed.begin(), wereNamed.end(), p) == wereNamed.end() && fd::files::exists(p))
      fd::files::removeItem(p);
  }
  return saved;
}

fd::Status ProjectDataModel::attachBackground(std::optional<std::string> name,
                                              const std::optional<BackgroundPictures>& pictures) {
  if (name && !isPlainPathComponent(*name)) return fd::fail("the picture chosen is none of the gallery\u2019s");
  // Only the name: the copies stay (an animated background shows none of them).
  if (!pictures) {
    fd::Status switched = switchBackgroundCopies(name, backgroundCopyId_, {});
    if (switched) unmarkBackgroundIfSettled();
    return switched;
  }
  // The backgrounds may have lost the picture of the background the project
  // already has (deleted meanwhile): the project's own copy is that picture.
  const bool same = name && name == curBackgroundName_ && isStillBackgroundType(backgroundType_);
  auto sourceOf = [&](const OptionalPath& given, const OptionalPath& own) -> OptionalPath {
    if (given && fd::files::exists(*given)) return given;
    if (same && own && fd::files::exists(*own)) return own;
    return std::nullopt;
  };
  fd::Expected<BackgroundCopyBytes> bytes = readBackgroundCopyBytes(sourceOf(pictures->picture, backgroundFullPath()),
                                                                    sourceOf(pictures->icon, backgroundIconFullPath()));
  if (!bytes) return bytes.failure();
  // Files left under copy names by a switch a kill cut short would be taken
  // for the new copies where the new background has none.
  removeUnnamedBackgroundCopies();
  // While the list names the usual names the new copies go under their own
  // first, and come to the usual names in a second switch once the old ones
  // are gone; a second switch that fails leaves the list naming them where
  // they are.
  const bool usualNamesTaken = !backgroundCopyId_ && !namedBackgroundCopies().empty();
  const std::optional<std::string> id = usualNamesTaken ? std::optional(newBackgroundCopyId()) : std::nullopt;
  if (fd::Status switched = switchBackgroundCopies(name, id, *bytes); !switched) return switched;
  removeUnnamedBackgroundCopies();
  if (id) (void)switchBackgroundCopiesHome(*bytes);
  unmarkBackgroundIfSettled();
  return {};
}

fd::Status ProjectDataModel::switchBackgroundCopiesHome(const BackgroundCopyBytes& bytes) {
  if (fd::Status switched = switchBackgroundCopies(curBackgroundName_, std::nullopt, bytes); !switched) return switched;
  removeUnnamedBackgroundCopies();
  return {};
}

fd::Status ProjectDataModel::finishBackgroundSwitch() {
  if (!backgroundCopyId_) return {};
  // The copies the list names, where they are (one may be missing: the
  // switch then leaves that one missing, as it was).
  const std::vector<fs::path> named = namedBackgroundCopies();
  auto existing = [&](std::size_t i) -> OptionalPath {
    if (i < named.size() && fd::files::exists(named[i])) return named[i];
    return std::nullopt;
  };
  fd::Expected<BackgroundCopyBytes> bytes = readBackgroundCopyBytes(existing(0), existing(1));
  if (!bytes) return bytes.failure();
  // The old background's copies a kill left under the usual names must not
  // stay beside a list that names them where it has no copy of its own.
  removeUnnamedBackgroundCopies();
  if (fd::Status home = switchBackgroundCopiesHome(*bytes); !home) return home;
  unmarkBackgroundIfSettled();
  return {};
}

fd::Expected<ProjectDataModel::BackgroundCopyBytes> ProjectDataModel::readBackgroundCopyBytes(
    const OptionalPath& picture, const OptionalPath& icon) {
  BackgroundCopyBytes bytes;
  const std::pair<const OptionalPath*, std::optional<fd::Data>*> reads[] = {{&picture, &bytes.picture},
                                                                           {&icon, &bytes.icon}};
  for (const auto& [from, into] : reads) {
    if (!*from) continue;
    fd::Expected<fd::Data> read = fd::files::readFile(**from, gfx::ReadLimits{}.largestFile());
    if (!read) {
      // The path and the system's reason are for the log; the user hears
      // what it means.
      fd::Log("The background's picture %s cannot be read: %s\n", (*from)->c_str(), read.error().c_str());
      return fd::fail("the background\u2019s picture cannot be read");
    }
    *into = std::move(*read);
  }
  return bytes;
}
