#include "model/PackageZipOperator.h"

#include <fcntl.h>
#include <stdio.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <new>
#include <optional>
#include <string_view>

#include "model/PackageOlderFormat.h"
#include "model/ProjectDataModel.h"
#include "model/ProjectPlistKeys.h"
#include "model/SafeName.h"
#include "model/StagingFolder.h"
#include "model/Tools.h"
#include "model/zip/EntryName.h"
#include "platform/foundation/CrashPoint.h"
#include "platform/foundation/DamagedFile.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/PropertyListCheck.h"
#include "platform/foundation/StopRequest.h"

namespace fs = std::filesystem;

namespace {

// Only these extensions are packed, compared exactly (case included).
constexpr std::array<std::string_view, 9> kPackedExtensions = {"JPG", "jpg", "PNG", "png", "plist",
                                                               "m4r", "caf", "wav", "aif"};
// An export's work folder in tmp: kExportStagingPrefix + XXXXXX, holding the
// converted copy under kExportWorkFolder (and, made by earlier versions, the
// zip being written, "<name>.zip").
constexpr std::string_view kExportStagingPrefix = "ProjectData-";
constexpr const char* kExportWorkFolder = "project";

// The spellings that take a package name, per format: a name is taken only by
// a package of the same format, whichever case its extension is in.
constexpr std::array<std::string_view, 2> kOlderSpellings = {"zt", "ZT"};
constexpr std::array<std::string_view, 2> kCurrentSpellings = {"zt2", "ZT2"};

bool hasExtensionIn(const fs::path& p, auto const& list) {
  const std::string ext = p.extension().string();
  if (ext.size() < 2) return false;
  const std::string_view bare = std::string_view(ext).substr(1);
  return std::find(list.begin(), list.end(), bare) != list.end();
}

bool isRealFile(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(fs::symlink_status(p, ec));
}

// Moves a file or folder to a path that must still be free at that instant:
// 0, or the error number it was refused with (EEXIST when the path is taken).
int moveNoReplace(const fs::path& from, const fs::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != EXDEV) return errno;
  std::error_code why;
  if (fd::files::moveItem(from, to, &why)) return 0;
  return why ? why.value() : fd::files::exists(to) ? EEXIST : EIO;
}

// Sound files named by the project's tags, taken from Documents and packed
// under their names; a file of the same name in the folder wins. They pass
// the same extension filter as the folder's own files: a package carries the
// same kinds of file whichever folder they came from.
std::vector<std::pair<fs::path, std::string>> taggedSounds(const std::vector<std::string>& names,
                                                           const fs::path& documents, const fs::path& folder) {
  std::vector<std::pair<fs::path, std::string>> sounds;
  for (const std::string& name : names) {
    if (!hasExtensionIn(fs::path(name), kPackedExtensions)) continue;
    const auto checked = zipnames::check(name);
    if (checked.verdict != zipnames::Verdict::Safe) continue;
    fs::path relative;
    for (const std::string& part : checked.components) relative /= part;
    const fs::path source = documents / relative;
    std::error_code ec;
    if (!isRealFile(source) || fs::exists(fs::symlink_status(folder / relative, ec))) continue;
    const std::string entry = relative.generic_string();
    const bool listed = std::any_of(sounds.begin(), sounds.end(), [&](const auto& s) { return s.second == entry; });
    if (!listed) sounds.emplace_back(source, entry);
  }
  return sounds;
}

struct ListSize {
  std::uint64_t size = 0, bound = 0;
};

// Why a list that could not be read, if its size alone is why: the file's
// size, or that of the form the program would write it in, past the most a
// list may be; or, for one that would build past what a list may take once
// read, that bound with no size. Read only once the list was refused.
std::optional<ListSize> oversizedList(const fs::path& plist) {
  namespace check = fd::plistcheck;
  const std::uint64_t bound = check::fileBound();
  if (const auto onDisk = fd::files::fileSize(plist); onDisk && *onDisk > bound) return ListSize{*onDisk, bound};
  const fd::Expected<fd::Data> bytes = fd::files::readFile(plist, bound);
  if (!bytes) return std::nullopt;
  const auto pastBudget = [](const std::string& why) {
    return why.find(check::pastTheBudget()) != std::string::npos ? std::optional(ListSize{0, check::buildBudget()})
                                                                 : std::nullopt;
  };
  constexpr std::string_view kBinaryMagic = "bplist00";
  const bool binary = bytes->size() >= kBinaryMagic.size() &&
                      std::equal(kBinaryMagic.begin(), kBinaryMagic.end(), bytes->begin());
  if (binary) {
    if (const fd::Status checked = check::checkBinary(*bytes); !checked) return pastBudget(checked.error());
  }
  const fd::Expected<fd::Value> value = binary ? check::readCheckedBinary(*bytes) : check::readXML(*bytes);
  if (!value) return pastBudget(value.error());
  if (const std::uint64_t written = fd::writtenPropertyListSize(*value); written > bound) return ListSize{written, bound};
  if (const fd::Status again = check::readableOnceWritten(*value); !again) return pastBudget(again.error());
  return std::nullopt;
}

}  // namespace

const char* describe(PackageFailure failure) {
  switch (failure) {
    case PackageFailure::None: return "no failure";
    case PackageFailure::TargetExists: return "the target folder already exists";
    case PackageFailure::PackageMissing: return "no such package in Documents";
    case PackageFailure::BadName: return "the name is not a plain file name";
    case PackageFailure::NotAProject: return "the package holds no project";
    case PackageFailure::ListDamaged: return "its project list cannot be read";
    case PackageFailure::ListTooLarge: return "its project list is too large to open";
    case PackageFailure::Archive: return "the zip archive failed";
    case PackageFailure::ProjectMissing: return "the project folder is missing";
    case PackageFailure::Conversion: return "the older package layout could not be made";
    case PackageFailure::WouldNotImport: return "the package written would not be imported";
    case PackageFailure::FileSystem: return "a file operation failed";
    case PackageFailure::OutOfMemory: return kOutOfMemoryReason;
    case PackageFailure::Ended: return kEndingReason;
  }
  return "unknown failure";
}

bool ZipOperator::fail(PackageFailure failure, ZipFailure archive, const std::string& detail, ZipConcern concern) {
  lastFailure_ = failure;
  archiveFailure_ = archive;
  lastError_ = detail.empty() ? std::string(describe(failure)) : std::string(describe(failure)) + ": " + detail;
  concern_ = std::move(concern);
  return false;
}

bool ZipOperator::failWriting(int error) {
  return fail(PackageFailure::FileSystem, ZipFailure::None, error != 0 ? std::strerror(error) : std::string(),
              {{}, 0, error});
}

bool ZipOperator::failIfEnding() {
  if (fd::endAsked()) fail(PackageFailure::Ended);
  return false;
}

bool ZipOperator::failForMemory() noexcept {
  lastFailure_ = PackageFailure::OutOfMemory;
  archiveFailure_ = ZipFailure::None;
  concern_.error = 0;
  try {
    lastError_ = describe(PackageFailure::OutOfMemory);
  } catch (const std::bad_alloc&) {
    lastError_.clear();
  }
  return false;
}

bool ZipOperator::packFolder(const fs::path& folder, const std::vector<std::pair<fs::path, std::string>>& extra,
                             const fs::path& zipPath) {
  std::vector<std::pair<fs::path, std::string>> files;
  for (const std::string& relative : fd::files::subpaths(folder)) {
    const fs::path file = folder / relative;
    if (hasExtensionIn(file, kPackedExtensions) && isRealFile(file)) files.emplace_back(file, relative);
  }
  files.insert(files.end(), extra.begin(), extra.end());
  ZipWrapper zip;
  const bool packed = zip.CreateZipFile2(zipPath, kPackagePassword) && zip.addFilesToZip(files) && zip.CloseZipFile2();
  if (!packed) return fail(PackageFailure::Archive, zip.lastFailure(), zip.lastError(), zip.lastConcern());
  // A package that import would refuse (a file whose name cannot be
  // unpacked, a size past what a package of its size may unpack to) never
  // takes its name.
  ZipWrapper check;
  if (check.UnzipOpenFile(zipPath, kPackagePassword) && check.checkDirectory()) return true;
  return fail(PackageFailure::WouldNotImport, check.lastFailure(), check.lastError(), check.lastConcern());
}

bool ZipOperator::exportAndIsUpgradeVersion(const ProjectDataModel& project, bool isUpgradeVersion) {
  lastFailure_ = PackageFailure::None;
  archiveFailure_ = ZipFailure::None;
  lastError_.clear();
  concern_ = {};
  lastPackagePath_.clear();
  // A package of a project too large for the memory left is refused like any
  // other failure: the staging folder with the half-written zip goes as the
  // failure unwinds, and nothing reaches Documents.
  // The work copy of a long project holds tens of thousands of files: it
  // goes off the calling thread, as the start's sweep empties what kills
  // left, and the package is told as made once it stands in Documents.
  std::optional<staging::Folder> stage;
  bool exported = false;
  try {
    exported = exportUnguarded(project, isUpgradeVersion, stage) || failIfEnding();
  } catch (const std::bad_alloc&) {
    exported = failForMemory();
  }
  emptyAside(stage);
  return exported;
}

void ZipOperator::emptyAside(std::optional<staging::Folder>& folder) noexcept {
  try {
    if (folder && folder->valid()) staging::emptyInBackground(std::move(*folder));
  } catch (const std::bad_alloc&) {
  }
  folder.reset();
}

bool ZipOperator::exportUnguarded(const ProjectDataModel& project, bool isUpgradeVersion,
                                  std::optional<staging::Folder>& stage) {
  // Named as the Rename would store the project's name: a package's name is
  // the name its import gives.
  std::string name = nameAsStored(project.curProjectName());
  if (!isPlainPathComponent(name)) return fail(PackageFailure::BadName);
  const fs::path source = project.projectDicPath();
  if (!fd::files::isDirectory(source)) return fail(PackageFailure::ProjectMissing);

  // For the older layout a converted copy of the project is made in a work
  // folder of its own: the project folder is only read, tagged sounds are
  // packed straight from Documents, and two exports never share a work folder.
  fs::path work = source;
  if (!isUpgradeVersion) {
    stage.emplace(fd::paths::temporary(), std::string(kExportStagingPrefix));
    if (!stage->valid()) return failWriting(errno);  // the folder's making left why
    work = stage->path() / kExportWorkFolder;
    if (!fd::files::createDirectory(work)) return failWriting(errno);
    if (const std::error_code why = fd::files::copyContents(source, work, [] { return !fd::endAsked(); }))
      return failWriting(why.value());
    if (!package_format::convertToOlderFormat(work)) return fail(PackageFailure::Conversion);
  }

  const fs::path documents = fd::paths::documents();
  if (std::error_code why; !fs::create_directories(documents, why) && !fd::files::isDirectory(documents))
    return failWriting(why.value());
  // A package of the same format holding the name makes it a copy; without
  // this, the zip would be written and then fail to take its place.
  const char* extension = isUpgradeVersion ? kCurrentExtension : kOlderExtension;
  if (fd::files::exists(documents / (name + "." + extension))) name = rightNameWithName(name, isUpgradeVersion);
  const auto sounds = taggedSounds(project.soundNameArray(), documents, work);

  // Written beside its place under a hidden name and renamed to its own once
  // whole: a zip made elsewhere was copied into a Documents on another file
  // system under the package's name, and a kill during the copy left a
  // package cut short that the Packages panel offered.
  fs::path package = documents / (name + "." + extension);
  fd::files::FileInFlight packing(package);
  if (!packing.valid()) return failWriting(errno);
  if (!packFolder(work, sounds, packing.path())) return false;
  fd::crashPoint("package.export.packed");
  if (const int error = packing.place()) return failWriting(error);
  // Moved, not copied: once the package stands in Documents nothing may fail.
  lastPackagePath_ = std::move(package);
  return true;
}

bool ZipOperator::exports(const std::vector<std::shared_ptr<ProjectDataModel>>& projects, bool isUpgradeVersion) {
  bool all = true;
  for (const auto& project : projects) {
    all = (project && exportAndIsUpgradeVersion(*project, isUpgradeVersion)) && all;
  }
  return all;
}

bool ZipOperator::import(const std::string& name, const fs::path& folder, bool isUpgrade) {
  std::optional<staging::Folder> staged = unpack(name, folder, isUpgrade);
  if (!staged) return false;
  try {
    if (const int error = moveNoReplace(staged->path(), folder)) {
      const bool taken = error == EEXIST || fd::files::exists(folder);
      emptyAside(staged);
      return taken ? fail(PackageFailure::TargetExists) : failWriting(error);
    }
  } catch (const std::bad_alloc&) {
    emptyAside(staged);
    return failForMemory();
  }
  staged->handOver();
  std::error_code ec;
  fs::permissions(folder, staging::kPlainFolderPermissions, ec);
  return true;
}

std::optional<staging::Folder> ZipOperator::unpack(const std::string& name, const fs::path& folder, bool isUpgrade) {
  lastFailure_ = PackageFailure::None;
  archiveFailure_ = ZipFailure::None;
  lastError_.clear();
  concern_ = {};
  listSize_ = listBound_ = 0;
  // Unpacking and reading the list may need more memory than is left: the
  // staging folder goes as the failure unwinds, and the target never appears.
  // What a refused package left unpacked goes off the calling thread.
  std::optional<staging::Folder> staged;
  try {
    if (!importUnguarded(name, folder, isUpgrade, staged)) {
      emptyAside(staged);
      failIfEnding();
    }
  } catch (const std::bad_alloc&) {
    emptyAside(staged);
    failForMemory();
  }
  return staged;
}

bool ZipOperator::importUnguarded(const std::string& name, const fs::path& folder, bool isUpgrade,
                                  std::optional<staging::Folder>& staged) {
  std::error_code ec;
  if (fs::exists(fs::symlink_status(folder, ec))) return fail(PackageFailure::TargetExists);
  if (!isPlainPathComponent(name) || folder.filename().empty()) return fail(PackageFailure::BadName);
  const fs::path package =
      fd::paths::documents() / (name + "." + (isUpgrade ? kCurrentExtension : kOlderExtension));
  if (!isRealFile(package)) return fail(PackageFailure::PackageMissing);

  // Unpacked beside the target under a hidden name, so that a failure at any
  // entry leaves the projects folder as it was.
  staging::Folder& stage =
      staged.emplace(folder.parent_path(), staging::hiddenPrefix(folder.filename().string(), kImportStagingMark));
  if (!stage.valid()) return failWriting(errno);  // the folder's making left why
  ZipWrapper zip;
  // A package whose directory lists no project list is no project: told
  // before a file of it is unpacked.
  const bool unpacked = zip.UnzipOpenFile(package, kPackagePassword) &&
                        zip.UnzipFileTo(stage.path(), false, projectplist::kFileName);
  const ZipFailure why = zip.lastFailure();
  const std::string error = zip.lastError();
  const ZipConcern concern = zip.lastConcern();
  zip.UnzipCloseFile();
  if (why == ZipFailure::MissingEntry) return fail(PackageFailure::NotAProject);
  if (!unpacked) return fail(PackageFailure::Archive, why, error, concern);

  const fs::path plist = stage.path() / projectplist::kFileName;
  if (!isRealFile(plist)) return fail(PackageFailure::NotAProject);
  // Read as a project's list is shown, so that the reason can be told: a
  // list that is garbled, or that would take more memory than any list may,
  // is no project.
  const auto contents = fd::peekStoredDictionary(plist);
  if (!contents) {
    if (const std::optional<ListSize> large = oversizedList(plist)) {
      listSize_ = large->size;
      listBound_ = large->bound;
      const std::string bound = fd::files::describeSize(large->bound);
      return fail(PackageFailure::ListTooLarge, ZipFailure::None,
                  large->size > 0 ? fd::files::describeSizePast(large->size, large->bound) + ", more than the " + bound + " a list may be"
                                  : "it would take more than the " + bound + " a list may take once read");
    }
    return fail(PackageFailure::ListDamaged, ZipFailure::None,
                std::string(projectplist::kFileName) + " cannot be read (" + contents.error() + ")");
  }
  fd::crashPoint("package.import.unpacked");
  // Private while hidden (the start takes only private ones); a plain
  // folder once it has its name.
  return true;
}

std::string ZipOperator::rightNameWithName(const std::string& name) const { return rightNameWithName(name, false); }

std::string ZipOperator::rightNameWithName(const std::string& name, bool isUpgrade) const {
  std::vector<std::string> taken;
  for (const std::string& relative : fd::files::subpaths(fd::paths::documents())) {
    fs::path p(relative);
    const bool sameFormat =
        isUpgrade ? hasExtensionIn(p, kCurrentSpellings) : hasExtensionIn(p, kOlderSpellings);
    if (sameFormat) taken.push_back(p.replace_extension().generic_string());
  }
  return Tools::uniqueNameWithin(name, taken, kMaxProjectNameBytes);
}

bool ZipOperator::isImportStagingName(std::string_view name) { return staging::isHiddenName(name, kImportStagingMark); }

void ZipOperator::removeExportLeftovers() {
  // Emptied off the calling thread: the converted copy of a long project
  // holds hundreds of thousands of files, and the start would wait for them.
  staging::sweep(
      fd::paths::temporary(),
      [](std::string_view name) {
        return name.starts_with(kExportStagingPrefix) &&
               fd::files::isUniqueTempSuffix(name.substr(kExportStagingPrefix.size()));
      },
      [](const fs::path& folder) {
        for (const std::string& item : fd::files::contentsOfDirectory(folder)) {
          std::error_code ec;
          const fs::file_status status = fs::symlink_status(folder / item, ec);
          const bool madeByExport = item == kExportWorkFolder ? fs::is_directory(status)
                                                              : item.ends_with(".zip") && fs::is_regular_file(status);
          if (!madeByExport) return staging::leaveAsItIs(folder, "an export puts no " + item + " in its work folder");
        }
        return true;
      });
  // A package a kill left half written, hidden beside its place.
  fd::files::removeAtomicWriteLeftovers(fd::paths::documents(), [](std::string_view target) {
    const fs::path package(target);
    return hasExtensionIn(package, std::array<std::string_view, 2>{kCurrentExtension, kOlderExtension});
  });
}

std::vector<std::string> ZipOperator::packageNames(bool isUpgrade) {
  const std::string suffix = std::string(".") + (isUpgrade ? kCurrentExtension : kOlderExtension);
  std::vector<std::string> names;
  const fs::path documents = fd::paths::documents();
  for (const std::string& item : fd::files::contentsOfDirectory(documents)) {
    if (item.size() <= suffix.size() || !item.ends_with(suffix)) continue;
    // Only names import() accepts are offered ("...zt" would list as "..").
    std::string name = item.substr(0, item.size() - suffix.size());
    if (isRealFile(documents / item) && isPlainPathComponent(name)) names.push_back(std::move(name));
  }
  return names;
}
