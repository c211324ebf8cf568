// The archives this program writes must read in Debian's unzip, and archives
// made by Debian's zip must read here, password and all.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "model/zip/ZipWrapper.h"
#include "support/Sandbox.h"
#include "ZipTestSupport.h"

namespace fs = std::filesystem;
using namespace ziptest;

namespace {

constexpr const char* kPassword = "Quillmarkpond_Haverstock_QWM";

class ZipInteropTest : public testing_support::SandboxTest {
 protected:
  void SetUp() override {
    if (!toolAvailable("/usr/bin/zip") || !toolAvailable("/usr/bin/unzip")) GTEST_SKIP() << "zip or unzip is missing: nothing here can be cross-checked";
    std::vector<std::uint8_t> big(200000);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>((i * i) >> 5);
    writeBytes(source() / "layer.png", big);
    writeBytes(source() / "Project.plist", bytesOf("<plist>\n</plist>\n"));
    writeBytes(source() / "sub" / "empty.caf", {});
    writeBytes(source() / "sub" / "deeper" / "x.png", bytesOf(std::string(1000, 'x')));
  }

  fs::path source() const { return root() / "source"; }

  static int run(const std::string& command) {
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  void writeWithWrapper(const fs::path& zipPath, const std::string& password) {
    ZipWrapper zip;
    ASSERT_TRUE(password.empty() ? zip.CreateZipFile2(zipPath) : zip.CreateZipFile2(zipPath, password));
    for (const char* name : {"layer.png", "Project.plist", "sub/empty.caf", "sub/deeper/x.png"}) {
      ASSERT_TRUE(zip.addFileToZip(source() / name, name)) << name;
    }
    ASSERT_TRUE(zip.CloseZipFile2());
  }
};

TEST_F(ZipInteropTest, UnzipReadsWhatTheWrapperWrites) {
  for (const std::string& password : {std::string(kPassword), std::string()}) {
    SCOPED_TRACE(password);
    const fs::path zipPath = root() / (password.empty() ? "plain.zip" : "locked.zip");
    writeWithWrapper(zipPath, password);
    const std::string pw = password.empty() ? "" : " -P " + password;
    EXPECT_EQ(run("/usr/bin/unzip -l " + quoted(zipPath)), 0);
    EXPECT_EQ(run("/usr/bin/unzip -t" + pw + " " + quoted(zipPath)), 0);
    const fs::path out = root() / ("out" + std::to_string(password.size()));
    ASSERT_EQ(run("/usr/bin/unzip -o" + pw + " " + quoted(zipPath) + " -d " + quoted(out)), 0);
    auto extracted = snapshotTree(out);
    auto original = snapshotTree(source());
    EXPECT_EQ(extracted, original);
  }
}

// Many entries compressed on several threads, one of them large enough to be
// streamed by the writing thread: unzip tests and extracts them all.
TEST_F(ZipInteropTest, UnzipReadsManyEntriesWrittenTogether) {
  std::vector<std::pair<fs::path, std::string>> files;
  for (int i = 0; i < 60; ++i) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(i * 997));
    for (std::size_t k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<std::uint8_t>((k * k + i) >> 3);
    const std::string name = "many/" + std::to_string(i) + ".png";
    writeBytes(root() / "tree" / name, bytes);
    files.emplace_back(root() / "tree" / name, name);
  }
  std::vector<std::uint8_t> large((9u << 20) + 3);
  for (std::size_t k = 0; k < large.size(); ++k) large[k] = static_cast<std::uint8_t>(k ^ (k >> 9));
  writeBytes(root() / "tree" / "large.caf", large);
  files.insert(files.begin() + 30, {root() / "tree" / "large.caf", "large.caf"});

  const fs::path zipPath = root() / "many.zip";
  ZipWrapper zip;
  ASSERT_TRUE(zip.CreateZipFile2(zipPath, kPassword));
  ASSERT_TRUE(zip.addFilesToZip(files)) << zip.lastError();
  ASSERT_TRUE(zip.CloseZipFile2());
  EXPECT_EQ(run("/usr/bin/unzip -t -P " + std::string(kPassword) + " " + quoted(zipPath)), 0);
  ASSERT_EQ(run("/usr/bin/unzip -o -P " + std::string(kPassword) + " " + quoted(zipPath) + " -d " +
                quoted(root() / "out")),
            0);
  EXPECT_EQ(snapshotTree(root() / "out"), snapshotTree(root() / "tree"));
}

// More entries than the end record's 16-bit count holds: unzip lists and
// tests them all, Python's zipfile reads them, and so does the wrapper.
TEST_F(ZipInteropTest, ArchivesOfMoreEntriesThanA16BitCountReadEverywhere) {
  constexpr std::size_t kEntries = 65537;
  std::vector<std::pair<fs::path, std::string>> files;
  for (std::size_t i = 0; i < kEntries; ++i) files.emplace_back(source() / "Project.plist", std::to_string(i));
  const fs::path zipPath = root() / "many.zip";
  ZipWrapper zip;
  ASSERT_TRUE(zip.CreateZipFile2(zipPath, kPassword));
  ASSERT_TRUE(zip.addFilesToZip(files)) << zip.lastError();
  ASSERT_TRUE(zip.CloseZipFile2());
  EXPECT_EQ(run("/usr/bin/unzip -l " + quoted(zipPath)), 0);
  EXPECT_EQ(run("/usr/bin/unzip -tq -P " + std::string(kPassword) + " " + quoted(zipPath)), 0);
  ASSERT_TRUE(zip.UnzipOpenFile(zipPath, kPassword));
  EXPECT_EQ(zip.getZipFileContents().size(), kEntries);
  if (!toolAvailable("/usr/bin/python3")) GTEST_SKIP() << "python3 is missing: its zipfile was not asked to read it";
  EXPECT_EQ(run(pythonReads(quoted(zipPath), kPassword, kEntries)), 0);
}

TEST_F(ZipInteropTest, UnzipRejectsAWrongPassword) {
  const fs::path zipPath = root() / "locked.zip";
  writeWithWrapper(zipPath, kPassword);
  EXPECT_NE(run("/usr/bin/unzip -o -P not_the_password " + quoted(zipPath) + " -d " + quoted(root() / "bad")), 0);
  for (const auto& [rel, bytes] : snapshotTree(root() / "bad")) {
    EXPECT_TRUE(bytes.empty()) << rel << " came out with a wrong password";
  }
}

TEST_F(ZipInteropTest, WrapperReadsWhatZipWrites) {
  for (const std::string& password : {std::string(kPassword), std::string()}) {
    SCOPED_TRACE(password);
    const fs::path zipPath = root() / (password.empty() ? "byzip-plain.zip" : "byzip-locked.zip");
    const std::string pw = password.empty() ? "" : " -P " + password;
    ASSERT_EQ(run("cd " + quoted(source()) + " && /usr/bin/zip -q -r" + pw + " " + quoted(zipPath) + " ."), 0);
    ZipWrapper zip;
    ASSERT_TRUE(password.empty() ? zip.UnzipOpenFile(zipPath) : zip.UnzipOpenFile(zipPath, password));
    const fs::path out = root() / ("in" + std::to_string(password.size()));
    ASSERT_TRUE(zip.UnzipFileTo(out, false)) << describe(zip.lastFailure());
    EXPECT_EQ(snapshotTree(out), snapshotTree(source()));
    // The extended timestamp zip adds keeps the true modification time.
    const auto seconds = [](const fs::path& p) {
      return std::chrono::floor<std::chrono::seconds>(fs::last_write_time(p).time_since_epoch()).count();
    };
    EXPECT_EQ(seconds(out / "layer.png"), seconds(source() / "layer.png"));
  }
}

TEST_F(ZipInteropTest, WrapperReadsZip64ArchivesFromZip) {
  for (const std::string& password : {std::string(kPassword), std::string()}) {
    SCOPED_TRACE(password);
    const fs::path zipPath = root() / (password.empty() ? "wide-plain.zip" : "wide-locked.zip");
    const std::string pw = password.empty() ? "" : " -P " + password;
    ASSERT_EQ(run("cd " + quoted(source()) + " && /usr/bin/zip -q -fz -r" + pw + " " + quoted(zipPath) + " ."), 0);
    ZipWrapper zip;
    ASSERT_TRUE(password.empty() ? zip.UnzipOpenFile(zipPath) : zip.UnzipOpenFile(zipPath, password));
    const fs::path out = root() / ("wide" + std::to_string(password.size()));
    ASSERT_TRUE(zip.UnzipFileTo(out, false)) << describe(zip.lastFailure());
    EXPECT_EQ(snapshotTree(out), snapshotTree(source()));
  }
}

TEST_F(ZipInteropTest, ZipMadePackageRefusesWrongOrMissingPassword) {
  const fs::path zipPath = root() / "byzip.zip";
  ASSERT_EQ(run("cd " + quoted(source()) + " && /usr/bin/zip -q -r -P " + kPassword + " " + quoted(zipPath) + " ."),
            0);
  ZipWrapper wrong;
  ASSERT_TRUE(wrong.UnzipOpenFile(zipPath, "nope"));
  EXPECT_FALSE(wrong.UnzipFileTo(root() / "w", false));
  EXPECT_EQ(wrong.lastFailure(), ZipFailure::WrongPassword);
  ZipWrapper none;
  ASSERT_TRUE(none.UnzipOpenFile(zipPath));
  EXPECT_FALSE(none.UnzipFileTo(root() / "n", false));
  EXPECT_EQ(none.lastFailure(), ZipFailure::PasswordRequired);
  for (const auto& [rel, bytes] : snapshotTree(root() / "w")) EXPECT_TRUE(bytes.empty()) << rel;
  for (const auto& [rel, bytes] : snapshotTree(root() / "n")) EXPECT_TRUE(bytes.empty()) << rel;
}

}  // namespace
