// Imports of bad packages: every one answers NO with its reason, and the
// projects folder, Documents and everything else stay exactly as they were.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "graphics/MemoryCeiling.h"
#include "model/PackageZipOperator.h"
#include "model/ProjectDataModel.h"
#include "model/StagingFolder.h"
#include "platform/foundation/CrashPoint.h"
#include "PackageTestSupport.h"
#include "support/BinaryPlist.h"
#include "support/Sandbox.h"

namespace fs = std::filesystem;
using namespace packagetest;
using namespace ziptest;

namespace {

constexpr const char* kPassword = ZipOperator::kPackagePassword;

class PackageImportTest : public testing_support::SandboxTest {
 protected:
  void SetUp() override { writeProject(plainProject("Existing", 2)); }

  fs::path documents() const { return fd::paths::documents(); }

  Entry plist() const {
    return Entry{.name = "Project.plist", .content = readBytes(projectFolder("Existing") / "Project.plist"),
                 .password = kPassword};
  }
  Entry png(const std::string& name, std::string bytes = "png bytes") const {
    return Entry{.name = name, .content = bytesOf(bytes), .password = kPassword};
  }

  // Imports Documents/<name>.zt2 into Projects/Target expecting NO, and checks
  // that the whole sandbox but for the package is as it was.
  PackageFailure importExpectingRefusal(const std::string& name, ZipFailure* archive = nullptr) {
    const auto before = snapshotTree(root());
    ZipOperator op;
    EXPECT_FALSE(op.import(name, projectFolder("Target"), true));
    staging::waitForEmptying();
    EXPECT_EQ(snapshotTree(root()), before) << "the import changed something";
    if (archive) *archive = op.archiveFailure();
    return op.lastFailure();
  }

  ZipFailure refusedArchive(const std::vector<Entry>& entries) {
    EXPECT_TRUE(buildArchive(documents() / "Bad.zt2", entries));
    ZipFailure archive = ZipFailure::None;
    EXPECT_EQ(importExpectingRefusal("Bad", &archive), PackageFailure::Archive);
    fs::remove(documents() / "Bad.zt2");
    return archive;
  }
};

TEST_F(PackageImportTest, ImportIntoAnExistingFolderDoesNothing) {
  ZipOperator op;
  ASSERT_TRUE(op.exportAndIsUpgradeVersion(*ProjectDataModel::initWithProjectName("Existing"), true));
  const auto before = snapshotTree(root());
  EXPECT_FALSE(op.import("Existing", projectFolder("Existing"), true));
  EXPECT_EQ(op.lastFailure(), PackageFailure::TargetExists);
  EXPECT_EQ(snapshotTree(root()), before);
}

TEST_F(PackageImportTest, MissingPackageOrBadNameAnswersNo) {
  EXPECT_EQ(importExpectingRefusal("Nothing"), PackageFailure::PackageMissing);
  writeBytes(root() / "Outside.zt2", bytesOf("x"));
  EXPECT_EQ(importExpectingRefusal("../Outside"), PackageFailure::BadName);
  // The older extension is looked for only when asked.
  ZipOperator op;
  ASSERT_TRUE(op.exportAndIsUpgradeVersion(*ProjectDataModel::initWithProjectName("Existing"), true));
  EXPECT_FALSE(op.import("Existing", projectFolder("Target"), false));
  EXPECT_EQ(op.lastFailure(), PackageFailure::PackageMissing);
}

TEST_F(PackageImportTest, HostileEntriesAreRefusedWhole) {
  EXPECT_EQ(refusedArchive({plist(), png("../../Documents/evil.png")}), ZipFailure::UnsafeName);
  EXPECT_EQ(refusedArchive({plist(), png("/tmp/evil.png")}), ZipFailure::UnsafeName);
  EXPECT_EQ(refusedArchive({plist(), png("..\\Existing\\L1a.png")}), ZipFailure::UnsafeName);
  Entry link = unixEntry("L1a.png", "../Existing/L1a.png", S_IFLNK | 0777);
  link.password = kPassword;
  EXPECT_EQ(refusedArchive({plist(), link}), ZipFailure::LinkEntry);
}

TEST_F(PackageImportTest, DamagedPackagesLeaveNoHalfProject) {
  // The first entries are fine and would be written; the bad last one must
  // take them all away again.
  std::vector<std::uint8_t> content(50000, 'p');
  Entry corrupt{.name = "L9.png", .content = content, .password = kPassword};
  corrupt.crc = crcOf(content) ^ 0x0000FFFFu;
  EXPECT_EQ(refusedArchive({plist(), png("L1.png"), corrupt}), ZipFailure::WrongPassword);

  Entry plainCorrupt{.name = "L9.png", .content = content, .crc = crcOf(content) ^ 1u};
  EXPECT_EQ(refusedArchive({plist(), png("L1.png"), plainCorrupt}), ZipFailure::CorruptEntry);
  // The readable message names the entry that failed.
  ASSERT_TRUE(buildArchive(documents() / "Named.zt2", {plist(), png("L1.png"), plainCorrupt}));
  ZipOperator named;
  EXPECT_FALSE(named.import("Named", projectFolder("Named"), true));
  EXPECT_NE(named.lastError().find("L9.png"), std::string::npos) << named.lastError();

  ZipOperator op;
  ASSERT_TRUE(op.exportAndIsUpgradeVersion(*ProjectDataModel::initWithProjectName("Existing"), true));
  const auto bytes = readBytes(documents() / "Existing.zt2");
  writeBytes(documents() / "Cut.zt2", std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + bytes.size() / 2));
  ZipFailure archive = ZipFailure::None;
  EXPECT_EQ(importExpectingRefusal("Cut", &archive), PackageFailure::Archive);
  EXPECT_EQ(archive, ZipFailure::CannotOpen);
}

// A file that is no zip at all, or one cut short, is said to be so once,
// with its name.
TEST_F(PackageImportTest, ANonZipPackageIsNamedOnceInTheMessage) {
  const auto count = [](const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
    return n;
  };
  writeBytes(documents() / "Junk.zt2", bytesOf("this is no zip file at all"));
  writeBytes(documents() / "Cut.zt2", bytesOf("PK\x03\x04 and then nothing"));
  for (const char* name : {"Junk", "Cut"}) {
    ZipOperator op;
    EXPECT_FALSE(op.import(name, projectFolder("Target"), true));
    EXPECT_EQ(op.archiveFailure(), ZipFailure::CannotOpen);
    const std::string message = op.lastError();
    EXPECT_EQ(count(message, "not a readable zip file"), 1) << message;
    EXPECT_EQ(count(message, std::string(name) + ".zt2"), 1) << message;
  }
}

TEST_F(PackageImportTest, WrongOrMissingPasswordIsReportedAsSuch) {
  Entry other{.name = "Project.plist", .content = bytesOf(std::string(2000, 'k')), .password = "another password"};
  EXPECT_EQ(refusedArchive({other}), ZipFailure::WrongPassword);
  // An unencrypted package extracts, but it must still hold a project.
  ASSERT_TRUE(buildArchive(documents() / "Open.zt2", {Entry{.name = "L1.png", .content = bytesOf("x")}}));
  EXPECT_EQ(importExpectingRefusal("Open"), PackageFailure::NotAProject);
}

TEST_F(PackageImportTest, ZipBombIsStopped) {
  const std::vector<std::uint8_t> zeros(8u << 20, 0);
  std::vector<std::uint8_t> block = rawDeflate(zeros);
  std::vector<Entry> bomb{plist()};
  for (int i = 0; i < 40; ++i) {
    bomb.push_back(Entry{.name = "z" + std::to_string(i) + ".png", .content = {}, .crc = crcOf(zeros),
                         .declaredSize = zeros.size(), .payload = block});
  }
  ASSERT_TRUE(buildArchive(documents() / "Bad.zt2", bomb));
  pointRecordsAtOneStream(documents() / "Bad.zt2", 1);
  ZipFailure archive = ZipFailure::None;
  EXPECT_EQ(importExpectingRefusal("Bad", &archive), PackageFailure::Archive);
  EXPECT_EQ(archive, ZipFailure::Overlap);
}

TEST_F(PackageImportTest, ProjectPlistMustBeReadable) {
  // Told from the directory before anything is unpacked: a damaged entry
  // is never reached.
  std::vector<std::uint8_t> content(5000, 'p');
  Entry corrupt{.name = "L9.png", .content = content, .crc = crcOf(content) ^ 1u};
  ASSERT_TRUE(buildArchive(documents() / "NoPlist.zt2", {png("L1.png"), corrupt}));
  EXPECT_EQ(importExpectingRefusal("NoPlist"), PackageFailure::NotAProject);
  ASSERT_TRUE(buildArchive(documents() / "BadPlist.zt2",
                           {Entry{.name = "Project.plist", .content = bytesOf("garbage"), .password = kPassword}}));
  EXPECT_EQ(importExpectingRefusal("BadPlist"), PackageFailure::ListDamaged);
}

// A package of a few kilobytes whose list would build gigabytes once its
// shared objects were copied out ended the program at its import, and left
// the hidden staging folder behind. Within a memory ceiling it is refused in
// words, and nothing of it is left.
TEST_F(PackageImportTest, APackageWhoseListWouldBuildTooMuchIsRefusedInWords) {
  const fd::Data shared = testing_support::sharedDataList();
  ASSERT_TRUE(buildArchive(documents() / "Shared.zt2",
                           {Entry{.name = "Project.plist", .content = shared, .password = kPassword}, png("L1.png")}));
  EXPECT_LT(fs::file_size(documents() / "Shared.zt2"), std::uintmax_t{32} << 10);
  const auto child = testing_support::runUnderMemoryCeiling(std::size_t{512} << 20, [&] {
    const auto before = snapshotTree(root());
    ZipOperator op;
    EXPECT_FALSE(op.import("Shared", projectFolder("Target"), true));
    EXPECT_EQ(op.lastFailure(), PackageFailure::ListTooLarge);
    EXPECT_EQ(op.listSize(), 0u) << "only what it would build is known";
    EXPECT_EQ(op.listBound(), std::uint64_t{256} << 20);
    staging::waitForEmptying();
    EXPECT_EQ(snapshotTree(root()), before) << "the import left something behind";
    for (const std::string& said : {std::string("its project list is too large to open"), std::string("256 MiB")})
      EXPECT_NE(op.lastError().find(said), std::string::npos) << said << " in: " << op.lastError();
  });
  EXPECT_TRUE(child.exited && child.exitCode == 0) << "signal " << child.signal;
}

// Memory running out in the middle of unpacking, or once the whole package
// is unpacked and its list read, ended the program with the hidden staging
// folder left behind. The import is refused saying so, throws nothing and
// leaves everything as it was; with the memory back it goes through.
TEST_F(PackageImportTest, AnImportThatRunsOutOfMemoryIsRefusedInWordsAndLeavesNothing) {
  ZipOperator op;
  ASSERT_TRUE(op.exportAndIsUpgradeVersion(*ProjectDataModel::initWithProjectName("Existing"), true));
  const std::vector<std::pair<std::string, int>> failures = {
      {"zip.entry-extracted", 1}, {"zip.entry-extracted", 4}, {"package.import.unpacked", 1}};
  for (const auto& [step, hit] : failures) {
    SCOPED_TRACE(step + " #" + std::to_string(hit));
    const auto before = snapshotTree(root());
    fd::armAllocationFailure(step, hit);
    bool imported = true;
    EXPECT_NO_THROW(imported = op.import("Existing", projectFolder("Target"), true));
    fd::disarmCrashPoint();
    EXPECT_FALSE(imported);
    EXPECT_EQ(op.lastFailure(), PackageFailure::OutOfMemory);
    EXPECT_EQ(op.lastError(), "there was not enough memory for it");
    staging::waitForEmptying();
    EXPECT_EQ(snapshotTree(root()), before) << "the import left something behind";
  }
  EXPECT_TRUE(op.import("Existing", projectFolder("Target"), true)) << op.lastError();
  EXPECT_EQ(folderContents(projectFolder("Target")), folderContents(projectFolder("Existing")));
}

}  // namespace
