#pragma once
// Project packages: one password-protected zip in Documents per exported
// project, "zt2" holding the project folder as it is, "zt" the older layout.
// Exports are written aside and moved into place whole; imports unpack beside
// the target folder and move it in only once every entry checked out.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/StagingFolder.h"
#include "model/zip/ZipWrapper.h"

class ProjectDataModel;

enum class PackageFailure {
  None,
  TargetExists,     // import: something already stands at the target path
  PackageMissing,   // import: no such package in Documents
  BadName,          // a package name that is not one plain file name
  NotAProject,      // import: the archive holds no Project.plist
  ListDamaged,      // import: its Project.plist cannot be read
  ListTooLarge,     // import: its Project.plist is larger than a list may be; see listSize()
  Archive,          // the zip layer failed; see archiveFailure()
  ProjectMissing,   // export: the project folder is not there
  Conversion,       // export: the older layout could not be made
  WouldNotImport,   // export: import would refuse the package written; see archiveFailure()
  FileSystem,       // a copy, move or folder creation failed
  OutOfMemory,      // an allocation failed on the way; nothing was kept
  Ended,            // the program was asked to end on the way; nothing was kept
};
const char* describe(PackageFailure failure);

class ZipOperator {
 public:
  static constexpr const char* kPackagePassword = "Quillmarkpond_Haverstock_QWM";
  static constexpr const char* kCurrentExtension = "zt2";
  static constexpr const char* kOlderExtension = "zt";
  // Marks an import's staging folder: "." + target + kImportStagingMark + six
  // letters or digits.
  static constexpr std::string_view kImportStagingMark = ".import-";

  // export:andIsUpgradeVersion: (the first keyword alone is reserved in C++).
  // YES only when the package now stands in Documents.
  bool exportAndIsUpgradeVersion(const ProjectDataModel& project, bool isUpgradeVersion);
  bool exports(const std::vector<std::shared_ptr<ProjectDataModel>>& projects, bool isUpgradeVersion);
  // Unpacks <Documents>/<name>.zt2 (or .zt) into folder, which must not exist.
  // Export and import answer NO, never throw, when memory runs out: what
  // they made on the way goes, and lastFailure() says OutOfMemory. Both give
  // up between two files once the program is asked to end (fd::endAsked),
  // and lastFailure() says Ended.
  bool import(const std::string& name, const std::filesystem::path& folder, bool isUpgrade);
  // The same up to the last step: the project, whole and accepted, is in its
  // hidden staging folder beside `folder`, held, for the caller to give it
  // its name (it goes with the folder object unless handed over); nullopt,
  // with lastFailure() saying why, when refused.
  std::optional<staging::Folder> unpack(const std::string& name, const std::filesystem::path& folder, bool isUpgrade);
  // A name no older-format package in Documents uses.
  std::string rightNameWithName(const std::string& name) const;
  // A name no package of the given format in Documents uses, within a
  // project name's bytes.
  std::string rightNameWithName(const std::string& name, bool isUpgrade) const;

  // Names (without extension) of the packages of one format in Documents.
  static std::vector<std::string> packageNames(bool isUpgrade);
  // The hidden folder an import unpacks into beside its target:
  // "." + target name + ".import-" + six letters or digits. One that is still
  // there when the projects folder opens was left by a killed import.
  static bool isImportStagingName(std::string_view name);
  // Removes what killed exports left: their work folders in tmp (only the
  // program's own, and none an export in flight holds), emptied off the
  // calling thread, and the packages they left half written in Documents.
  static void removeExportLeftovers();

  // Why the last export or import answered NO, and where the last export went.
  PackageFailure lastFailure() const { return lastFailure_; }
  ZipFailure archiveFailure() const { return archiveFailure_; }
  // The same as a readable message, naming the file or entry concerned.
  const std::string& lastError() const { return lastError_; }
  // What the failure concerned, for the words a user is told: the entry and
  // bound of an archive's failure, and the error number of a write the file
  // system refused (of the zip layer, or of a copy, move or new folder).
  const ZipConcern& concern() const { return concern_; }
  const std::filesystem::path& lastPackagePath() const { return lastPackagePath_; }
  // For ListTooLarge: the size of the list, or of the form the program would
  // write it in, and the most a list may be; or, for a list that would take
  // more memory once read than a list may, 0 and that bound.
  std::uint64_t listSize() const { return listSize_; }
  std::uint64_t listBound() const { return listBound_; }

 private:
  bool fail(PackageFailure failure, ZipFailure archive = ZipFailure::None, const std::string& detail = {},
            ZipConcern concern = {});
  // fail(FileSystem) for a write refused with the error number given.
  bool failWriting(int error);
  // After a failure: fail(Ended) when the program was asked to end, which
  // is then why; false either way.
  bool failIfEnding();
  // fail(OutOfMemory), which must not throw even when memory is still short.
  bool failForMemory() noexcept;
  // `stage` holds the older layout's work copy, for the caller to empty.
  bool exportUnguarded(const ProjectDataModel& project, bool isUpgradeVersion, std::optional<staging::Folder>& stage);
  // Hands a work folder to staging::emptyInBackground.
  static void emptyAside(std::optional<staging::Folder>& folder) noexcept;
  // `staged` holds the staging folder from its making on, whole and
  // accepted when true.
  bool importUnguarded(const std::string& name, const std::filesystem::path& folder, bool isUpgrade,
                       std::optional<staging::Folder>& staged);
  bool packFolder(const std::filesystem::path& folder,
                  const std::vector<std::pair<std::filesystem::path, std::string>>& extra,
                  const std::filesystem::path& zipPath);

  PackageFailure lastFailure_ = PackageFailure::None;
  ZipFailure archiveFailure_ = ZipFailure::None;
  std::string lastError_;
  ZipConcern concern_;
  std::filesystem::path lastPackagePath_;
  std::uint64_t listSize_ = 0, listBound_ = 0;
};
