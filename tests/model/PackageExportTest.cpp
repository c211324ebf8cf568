#include <gtest/gtest.h>

#include <algorithm>

#include "model/PackageZipOperator.h"
#include "model/ProjectDataModel.h"
#include "model/SafeName.h"
#include "model/StagingFolder.h"
#include "model/zip/ZipWrapper.h"
#include "platform/foundation/CrashPoint.h"
#include "PackageTestSupport.h"
#include "support/Sandbox.h"

namespace fs = std::filesystem;
using namespace packagetest;
using namespace ziptest;

namespace {

class PackageExportTest : public testing_support::SandboxTest {
 protected:
  fs::path documents() const { return fd::paths::documents(); }
  void touch(const std::string& name) { writeBytes(documents() / name, bytesOf("x")); }

  std::shared_ptr<ProjectDataModel> project(const std::string& name, int frames = 2) {
    writeProject(plainProject(name, frames));
    return ProjectDataModel::initWithProjectName(name);
  }

  std::vector<std::string> entriesOf(const fs::path& package) {
    ZipWrapper zip;
    EXPECT_TRUE(zip.UnzipOpenFile(package, ZipOperator::kPackagePassword));
    auto names = zip.getZipFileContents();
    std::sort(names.begin(), names.end());
    return names;
  }

  std::vector<std::string> documentsListing() { return fd::files::contentsOfDirectory(documents()); }
};

TEST_F(PackageExportTest, NamesFollowTheProjectAndAvoidPackagesOfTheSameFormat) {
  auto walk = project("Walk");
  ZipOperator op;
  ASSERT_TRUE(op.exportAndIsUpgradeVersion(*walk, true));
  EXPECT_EQ(op.lastPackagePath(), documents() / "Walk.zt2");
  // Readable by others as the program's files are, not private as in flight.
  EXPECT_EQ(fs::status(op.lastPackagePath()).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);

  // Walk.zt2 alone already blocks the name: the package becomes Walkcopy1,
  // and no stray Walk.zip is left behind.
  ASSERT_TRUE(op.exportAndIsUpgradeVersion(*walk, true));
  EXPECT_EQ(op.lastPackagePath(), documents() / "Walkcopy1.zt2");
  EXPECT_EQ(documentsListing(), (std::vector<std::string>{"Walk.zt2", "Walkcopy1.zt2"}));

  // With only current packages named Walk, the older format still gets the
  // name: a package of the other format does not take it.
  ASSERT_TRUE(op.exportAndIsUpgradeVersion(*walk, false));
  EXPECT_EQ(op.lastPackagePath(), documents() / "Walk.zt");
  ASSERT_TRUE(op.exportAndIsUpgradeVersion(*walk, false));
  EXPECT_EQ(op.lastPackagePath(), documents() / "Walkcopy1.zt");
  ASSERT_TRUE(op.exportAndIsUpgradeVersion(*walk, true));
  EXPECT_EQ(op.lastPackagePath(), documents() / "Walkcopy2.zt2");
  // Run.ZT2 is another file: Run.zt2 can stand beside it.
  touch("Run.ZT2");
  auto run = project("Run");
  ASSERT_TRUE(op.exportAndIsUpgradeVersion(*run, true));
  EXPECT_EQ(op.lastPackagePath(), documents() / "Run.zt2");
  // A zip left in Documents by an interrupted export is neither a package
  // nor overwritten.
  touch("Run.zip");
  ASSERT_TRUE(op.exportAndIsUpgradeVersion(*run, false));
  EXPECT_EQ(op.lastPackagePath(), documents() / "Run.zt");
  EXPECT_EQ(readBytes(documents() / "Run.zip"), bytesOf("x"));
  EXPECT_EQ(documentsListing(), (std::vector<std::string>{"Run.ZT2", "Run.zip", "Run.zt", "Run.zt2", "Walk.zt",
                                                          "Walk.zt2", "Walkcopy1.zt", "Walkcopy1.zt2",
                                                          "Walkcopy2.zt2"}));
}

// A project named near the file system's limit (listed by an older
// version) exported again: "<name>copy1.zt2" could be no file, and the
// export failed. The new package's name stays within a project name's bytes.
TEST_F(PackageExportTest, ASecondPackageOfANameNearTheLimitFitsAFileName) {
  const std::string name(250, 'w');
  auto walk = project(name);
  ZipOperator op;
  ASSERT_TRUE(op.exportAndIsUpgradeVersion(*walk, true));
  ASSERT_TRUE(op.exportAndIsUpgradeVersion(*walk, true)) << op.lastError();
  const std::string second = op.lastPackagePath().filename().string();
  EXPECT_EQ(second, std::string(kMaxProjectNameBytes, 'w') + ".zt2");
  EXPECT_EQ(documentsListing().size(), 2u);
}

TEST_F(PackageExportTest, RightNameCountsUpFromTheHighestCopy) {
  touch("Walk.zt");
  touch("Walkcopy3.zt");
  ZipOperator op;
  EXPECT_EQ(op.rightNameWithName("Walk"), "Walkcopy1");
  EXPECT_EQ(op.rightNameWithName("Walkcopy3"), "Walkcopy4");
  EXPECT_EQ(op.rightNameWithName("Run"), "Run");
  // Current-format packages never take an older-format name.
  touch("Walkcopy1.ZT2");
  touch("Run.zt2");
  EXPECT_EQ(op.rightNameWithName("Walk"), "Walkcopy1");
  EXPECT_EQ(op.rightNameWithName("Run"), "Run");
  EXPECT_EQ(op.rightNameWithName("Walk", true), "Walk");
  EXPECT_EQ(op.rightNameWithName("Walkcopy1", true), "Walkcopy2");
  touch("Walkcopy1.zt");
  EXPECT_EQ(op.rightNameWithName("Walk"), "Walkcopy2");

  auto walk = project("Walk");
  ASSERT_TRUE(op.exportAndIsUpgradeVersion(*walk, false));
  EXPECT_EQ(op.lastPackagePath(), documents() / "Walkcopy2.zt");
  auto copy3 = project("Walkcopy3");
  ASSERT_TRUE(op.exportAndIsUpgradeVersion(*copy3, false));
  EXPECT_EQ(op.lastPackagePath(), documents() / "Walkcopy4.zt");
}

TEST_F(PackageExportTest, OnlyPackedExtensionsAndTaggedSoundsGoIn) {
  ProjectLayout layout = plainProject("Song", 1);
  // Tagged sounds pass the same extension filter as the folder's files.
  layout.soundNames = {"Rec1.caf", "Missing.caf", "../escape.caf", "Song.mp3", "Loud.CAF", "Bare"};
  layout.tagFrames = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  writeProject(layout);
  const fs::path folder = projectFolder("Song");
  for (const char* extra : {"notes.txt", "a.JPG", "b.jpg", "c.m4r", "d.wav", "e.aif", "f.Png", "g.jpeg", "noext"}) {
    writeBytes(folder / extra, bytesOf(extra));
  }
  for (const char* sound : {"Rec1.caf", "Song.mp3", "Loud.CAF", "Bare"}) writeBytes(documents() / sound, bytesOf("sound"));
  writeBytes(fd::paths::library() / "escape.caf", bytesOf("outside"));
  const auto before = folderContents(folder);

  ZipOperator op;
  ASSERT_TRUE(op.exportAndIsUpgradeVersion(*ProjectDataModel::initWithProjectName("Song"), true));
  EXPECT_EQ(entriesOf(documents() / "Song.zt2"),
            (std::vector<std::string>{"I1Icon.png", "I1Snapshot.png", "L1a.png", "L1b.png", "Project.plist",
                                      "Rec1.caf", "a.JPG", "b.jpg", "c.m4r", "d.wav", "e.aif"}));
  // The project folder itself is not touched by an export.
  EXPECT_EQ(folderContents(folder), before);
}

TEST_F(PackageExportTest, EveryEntryIsEncryptedWithThePackagePassword) {
  auto walk = project("Walk");
  ZipOperator op;
  ASSERT_TRUE(op.exportAndIsUpgradeVersion(*walk, true));
  ZipWrapper none;
  ASSERT_TRUE(none.UnzipOpenFile(documents() / "Walk.zt2"));
  EXPECT_FALSE(none.UnzipFileTo(root() / "none", false));
  EXPECT_EQ(none.lastFailure(), ZipFailure::PasswordRequired);
}

TEST_F(PackageExportTest, FailureAnswersNoAndLeavesNothing) {
  auto ghost = ProjectDataModel::initWithProjectName("Ghost");
  fs::remove_all(projectFolder("Ghost"));
  ZipOperator op;
  EXPECT_FALSE(op.exportAndIsUpgradeVersion(*ghost, true));
  EXPECT_EQ(op.lastFailure(), PackageFailure::ProjectMissing);

  // A project whose plist cannot be read cannot be converted to the older
  // layout; nothing may claim success.
  auto broken = project("Broken");
  writeBytes(projectFolder("Broken") / "Project.plist", bytesOf("not a plist"));
  EXPECT_FALSE(op.exportAndIsUpgradeVersion(*broken, false));
  EXPECT_EQ(op.lastFailure(), PackageFailure::Conversion);

  // An unreadable layer file makes the archive fail.
  auto locked = project("Locked");
  fs::permissions(projectFolder("Locked") / "L1a.png", fs::perms::none);
  if (::access((projectFolder("Locked") / "L1a.png").c_str(), R_OK) != 0) {
    EXPECT_FALSE(op.exportAndIsUpgradeVersion(*locked, true));
    EXPECT_EQ(op.lastFailure(), PackageFailure::Archive);
  }
  // A file whose name unpacks outside the folder makes a package no import
  // takes; it is refused, in either format, as such.
  auto odd = project("Odd");
  writeBytes(projectFolder("Odd") / "..\\up.png", bytesOf("x"));
  for (const bool isUpgrade : {true, false}) {
    EXPECT_FALSE(op.exportAndIsUpgradeVersion(*odd, isUpgrade));
    EXPECT_EQ(op.lastFailure(), PackageFailure::WouldNotImport);
    EXPECT_EQ(op.archiveFailure(), ZipFailure::UnsafeName);
    EXPECT_EQ(op.concern().entry, "..\\up.png");
  }
  EXPECT_TRUE(documentsListing().empty());
  staging::waitForEmptying();
  EXPECT_TRUE(fd::files::contentsOfDirectory(fd::paths::temporary()).empty());
}

// Memory running out while the zip is written, in either format, threw out
// of the export. It is refused saying so, and neither a package nor the
// staging folder with the half-written zip or the converted copy is left.
TEST_F(PackageExportTest, AnExportThatRunsOutOfMemoryIsRefusedInWordsAndLeavesNothing) {
  auto walk = project("Walk", 3);
  const auto before = snapshotTree(root());
  for (const bool isUpgrade : {true, false}) {
    for (const int hit : {1, 5}) {
      SCOPED_TRACE(std::string(isUpgrade ? "zt2" : "zt") + " entry " + std::to_string(hit));
      ZipOperator op;
      fd::armAllocationFailure("zip.entry-written", hit);
      bool exported = true;
      EXPECT_NO_THROW(exported = op.exportAndIsUpgradeVersion(*walk, isUpgrade));
      fd::disarmCrashPoint();
      EXPECT_FALSE(exported);
      EXPECT_EQ(op.lastFailure(), PackageFailure::OutOfMemory);
      EXPECT_EQ(op.lastError(), "there was not enough memory for it");
      EXPECT_TRUE(op.lastPackagePath().empty());
      staging::waitForEmptying();
      EXPECT_EQ(snapshotTree(root()), before) << "the export left something behind";
    }
  }
  ZipOperator op;
  EXPECT_TRUE(op.exportAndIsUpgradeVersion(*walk, false)) << op.lastError();
  EXPECT_EQ(documentsListing(), (std::vector<std::string>{"Walk.zt"}));
}

TEST_F(PackageExportTest, ExportsAnswersForAll) {
  ZipOperator op;
  EXPECT_TRUE(op.exports({}, true));
  auto a = project("A");
  auto b = project("B");
  EXPECT_TRUE(op.exports({a, b}, true));
  EXPECT_EQ(ZipOperator::packageNames(true), (std::vector<std::string>{"A", "B"}));
  EXPECT_TRUE(ZipOperator::packageNames(false).empty());
  fs::remove_all(projectFolder("B"));
  EXPECT_FALSE(op.exports({a, b}, false));
  // A.zt2 holds the name A only among current packages.
  EXPECT_EQ(ZipOperator::packageNames(false), (std::vector<std::string>{"A"}));

  // The listing offers only what import() can open: plain files whose name
  // is one path component, with the exact extension.
  touch("...zt");
  touch("..zt2");
  touch("Upper.ZT2");
  fs::create_directories(documents() / "Folder.zt2");
  EXPECT_EQ(ZipOperator::packageNames(true), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(ZipOperator::packageNames(false), (std::vector<std::string>{"A"}));
}

// The older layout's work copy of a long project (68,001 files for 17,000
// frames), and what a refused package left unpacked, were removed on the
// calling thread before the answer: the alert waited minutes for them. They
// go off it, as the start's sweep empties what kills left.
TEST_F(PackageExportTest, WorkCopiesAndRefusedUnpackingsGoOffTheCallingThread) {
  auto walk = project("Walk", 3);
  ASSERT_TRUE(buildArchive(fd::paths::documents() / "Damaged.zt2",
                           {Entry{.name = "Project.plist", .content = bytesOf("garbage")}}));
  staging::holdEmptyingForTesting(true);
  ZipOperator op;
  EXPECT_TRUE(op.exportAndIsUpgradeVersion(*walk, false)) << op.lastError();
  EXPECT_FALSE(op.import("Damaged", projectFolder("Back"), true));
  EXPECT_EQ(op.lastFailure(), PackageFailure::ListDamaged);
  EXPECT_EQ(fd::files::contentsOfDirectory(fd::paths::temporary()).size(), 1u);
  EXPECT_EQ(fd::files::contentsOfDirectory(projectFolder("Back").parent_path()).size(), 2u);
  staging::holdEmptyingForTesting(false);
  staging::waitForEmptying();
  EXPECT_TRUE(fd::files::contentsOfDirectory(fd::paths::temporary()).empty());
  EXPECT_EQ(fd::files::contentsOfDirectory(projectFolder("Back").parent_path()),
            std::vector<std::string>{"Walk"});
}

}  // namespace
