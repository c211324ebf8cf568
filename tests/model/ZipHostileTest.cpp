// Archives built to attack the extractor: each must answer NO with a clear
// reason, write nothing outside the target, and leave no partial file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "model/zip/ZipWrapper.h"
#include "support/Sandbox.h"
#include "ZipTestSupport.h"

namespace fs = std::filesystem;
using namespace ziptest;

namespace {

class ZipHostileTest : public testing_support::SandboxTest {
 protected:
  // Extracts the archive into root()/box/target and checks that nothing at
  // all changed outside the target folder.
  ZipFailure extractExpectingRefusal(const std::vector<Entry>& entries, const std::string& password = "") {
    const fs::path zipPath = root() / "box" / "hostile.zip";
    EXPECT_TRUE(buildArchive(zipPath, entries));
    return extractFileExpectingRefusal(zipPath, password);
  }

  ZipFailure extractFileExpectingRefusal(const fs::path& zipPath, const std::string& password = "") {
    const auto outsideTarget = [](auto tree) {
      std::erase_if(tree, [](const auto& kv) { return kv.first == "box/target" || kv.first.starts_with("box/target/"); });
      return tree;
    };
    const auto before = outsideTarget(snapshotTree(root()));
    ZipWrapper zip;
    ZipFailure failure = ZipFailure::None;
    if (password.empty() ? zip.UnzipOpenFile(zipPath) : zip.UnzipOpenFile(zipPath, password)) {
      EXPECT_FALSE(zip.UnzipFileTo(target(), false));
      failure = zip.lastFailure();
      zip.UnzipCloseFile();
    } else {
      failure = zip.lastFailure();
    }
    const auto after = outsideTarget(snapshotTree(root()));
    EXPECT_EQ(before, after) << "something changed outside the target folder";
    for (const auto& [rel, bytes] : snapshotTree(target())) {
      EXPECT_EQ(rel.find(".part"), std::string::npos) << "partial file left: " << rel;
    }
    return failure;
  }

  fs::path target() const { return root() / "box" / "target"; }
};

TEST_F(ZipHostileTest, TraversalAndAbsoluteNamesAreRefusedBeforeAnythingIsWritten) {
  const std::vector<std::string> names = {"../escape.png",   "a/../../escape.png", "/tmp/abs.png",
                                          "\\abs.png",       "C:\\evil.png",       "c:evil.png",
                                          "..\\escape.png",  "a\\..\\..\\e.png"};
  for (const std::string& bad : names) {
    SCOPED_TRACE(bad);
    // A harmless first entry shows that the judgement comes before any write.
    const ZipFailure why = extractExpectingRefusal({Entry{.name = "fine.png", .content = bytesOf("ok")},
                                                    Entry{.name = bad, .content = bytesOf("evil")}});
    EXPECT_EQ(why, ZipFailure::UnsafeName);
    EXPECT_FALSE(fs::exists(target() / "fine.png"));
  }
}

TEST_F(ZipHostileTest, NameWithANulByteIsRefused) {
  // minizip cuts names at a NUL, so the byte is put in afterwards.
  const fs::path zipPath = root() / "box" / "nul.zip";
  ASSERT_TRUE(buildArchive(zipPath, {Entry{.name = "a\x01b.png", .content = bytesOf("x")}}));
  ASSERT_EQ(patchHeaders(zipPath, "a\x01b.png", [](std::uint8_t* header, bool local) {
              header[(local ? 30 : 46) + 1] = 0;
            }),
            2);
  EXPECT_EQ(extractFileExpectingRefusal(zipPath), ZipFailure::UnsafeName);
}

TEST_F(ZipHostileTest, DotComponentsAndDoubleSlashesStayInside) {
  ASSERT_TRUE(buildArchive(root() / "ok.zip", {Entry{.name = "./a//b.png", .content = bytesOf("b")}}));
  ZipWrapper zip;
  ASSERT_TRUE(zip.UnzipOpenFile(root() / "ok.zip"));
  ASSERT_TRUE(zip.UnzipFileTo(target(), false));
  EXPECT_EQ(readBytes(target() / "a/b.png"), bytesOf("b"));
}

TEST_F(ZipHostileTest, SymlinkAndSpecialEntriesAreRefused) {
  EXPECT_EQ(extractExpectingRefusal({unixEntry("link.png", "/etc/passwd", S_IFLNK | 0777)}), ZipFailure::LinkEntry);
  EXPECT_EQ(extractExpectingRefusal({unixEntry("fifo.png", "", S_IFIFO | 0644)}), ZipFailure::LinkEntry);
  // Ordinary Unix files and folders pass.
  ASSERT_TRUE(buildArchive(root() / "unix.zip", {unixEntry("d/", "", S_IFDIR | 0755),
                                                 unixEntry("d/f.png", "data", S_IFREG | 0644)}));
  ZipWrapper zip;
  ASSERT_TRUE(zip.UnzipOpenFile(root() / "unix.zip"));
  EXPECT_TRUE(zip.UnzipFileTo(root() / "unix", false));
  EXPECT_EQ(readBytes(root() / "unix/d/f.png"), bytesOf("data"));
}

TEST_F(ZipHostileTest, PlantedLinkInsideTheTargetIsNotFollowed) {
  fs::create_directories(target());
  fs::create_directories(root() / "outside");
  fs::create_directory_symlink(root() / "outside", target() / "sub");
  ASSERT_TRUE(buildArchive(root() / "box" / "p.zip", {Entry{.name = "sub/x.png", .content = bytesOf("x")}}));
  ZipWrapper zip;
  ASSERT_TRUE(zip.UnzipOpenFile(root() / "box" / "p.zip"));
  EXPECT_FALSE(zip.UnzipFileTo(target(), false));
  EXPECT_EQ(zip.lastFailure(), ZipFailure::LinkEntry);
  EXPECT_FALSE(fs::exists(root() / "outside" / "x.png"));
}

TEST_F(ZipHostileTest, TruncatedArchiveDoesNotOpen) {
  const fs::path good = root() / "good.zip";
  std::vector<std::uint8_t> content(20000);
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<std::uint8_t>(i * 31 + i / 7);
  ASSERT_TRUE(buildArchive(good, {Entry{.name = "a.png", .content = content},
                                  Entry{.name = "b.png", .content = content}}));
  auto bytes = readBytes(good);
  for (std::size_t keep : {bytes.size() / 2, bytes.size() - 10, std::size_t{0}, std::size_t{30}}) {
    SCOPED_TRACE(keep);
    const fs::path cut = root() / "box" / "cut.zip";
    writeBytes(cut, std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(keep)));
    EXPECT_EQ(extractFileExpectingRefusal(cut), ZipFailure::CannotOpen);
  }
}

TEST_F(ZipHostileTest, CorruptEntriesLeaveNoPartialFile) {
  std::vector<std::uint8_t> content(100000, 'q');
  for (std::size_t i = 0; i < content.size(); i += 97) content[i] = static_cast<std::uint8_t>(i);
  struct Case {
    const char* what;
    Entry entry;
  };
  std::vector<Case> cases = {
      {"wrong CRC, deflated", Entry{.name = "c.png", .content = content, .crc = crcOf(content) ^ 1u}},
      {"wrong CRC, stored", Entry{.name = "c.png", .content = content, .method = 0, .crc = crcOf(content) + 5}},
      {"stream shorter than declared", Entry{.name = "c.png", .content = content, .declaredSize = content.size() + 10}},
      {"stream longer than declared", Entry{.name = "c.png", .content = content, .declaredSize = content.size() - 1}},
      {"garbage deflate stream", Entry{.name = "c.png", .content = content, .payload = std::vector<std::uint8_t>(500, 0xFF)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // Entries are inflated side by side, but nothing after the bad one may
    // take its place.
    const ZipFailure why = extractExpectingRefusal({Entry{.name = "first.png", .content = bytesOf("fine")}, c.entry,
                                                    Entry{.name = "after.png", .content = bytesOf("later")}});
    EXPECT_TRUE(why == ZipFailure::CorruptEntry || why == ZipFailure::UnsupportedEntry) << describe(why);
    EXPECT_FALSE(fs::exists(target() / "c.png"));
    EXPECT_FALSE(fs::exists(target() / "after.png"));
    EXPECT_EQ(readBytes(target() / "first.png"), bytesOf("fine"));
    fs::remove_all(target());
  }
}

TEST_F(ZipHostileTest, UnknownCompressionMethodIsRefused) {
  const fs::path zipPath = root() / "box" / "method.zip";
  ASSERT_TRUE(buildArchive(zipPath, {Entry{.name = "m.png", .content = bytesOf("data"), .method = 0}}));
  ASSERT_EQ(patchHeaders(zipPath, "m.png", [](std::uint8_t* header, bool local) { header[local ? 8 : 10] = 12; }), 2);
  EXPECT_EQ(extractFileExpectingRefusal(zipPath), ZipFailure::UnsupportedEntry);
}

TEST_F(ZipHostileTest, WrongPasswordOnHandMadeEncryptedEntries) {
  const std::vector<std::uint8_t> content = bytesOf(std::string(3000, 'z') + "end");
  EXPECT_EQ(extractExpectingRefusal({Entry{.name = "s.png", .content = content, .password = "right"}}, "wrong"),
            ZipFailure::WrongPassword);
  EXPECT_EQ(extractExpectingRefusal({Entry{.name = "s.png", .content = content, .password = "right"}}),
            ZipFailure::PasswordRequired);
  // An encrypted entry with a bad CRC is reported as the password, not as
  // success: after decryption the two cannot be told apart.
  Entry badCrc{.name = "s.png", .content = content, .password = "right"};
  badCrc.crc = crcOf(content) ^ 0x00FF00FFu;  // keeps the high byte the header checks
  EXPECT_EQ(extractExpectingRefusal({badCrc}, "right"), ZipFailure::WrongPassword);
  // And the right password does open it.
  ASSERT_TRUE(buildArchive(root() / "box" / "ok.zip", {Entry{.name = "s.png", .content = content, .password = "right"}}));
  ZipWrapper zip;
  ASSERT_TRUE(zip.UnzipOpenFile(root() / "box" / "ok.zip", "right"));
  ASSERT_TRUE(zip.UnzipFileTo(target(), false));
  EXPECT_EQ(readBytes(target() / "s.png"), content);
}

TEST_F(ZipHostileTest, ZipBombsAreStoppedByTheDirectory) {
  // Thirty records point at one compressed block of 10 MiB of zeros, each
  // inflating it in full; two are enough to overlap.
  const std::vector<std::uint8_t> zeros(10u << 20, 0);
  const auto block = rawDeflate(zeros);
  std::vector<Entry> bomb;
  for (int i = 0; i < 30; ++i) {
    bomb.push_back(Entry{.name = "zero" + std::to_string(i) + ".png", .content = {}, .crc = crcOf(zeros),
                         .declaredSize = zeros.size(), .payload = block});
  }
  const fs::path shared = root() / "box" / "shared.zip";
  ASSERT_TRUE(buildArchive(shared, bomb));
  pointRecordsAtOneStream(shared, 0);
  EXPECT_EQ(extractFileExpectingRefusal(shared), ZipFailure::Overlap);
  // One entry claiming more than any file a package holds, 1 GiB, and one
  // claiming that much, which is only refused once its bytes fall short.
  EXPECT_EQ(extractExpectingRefusal({Entry{.name = "huge.png", .content = {}, .crc = 0,
                                           .declaredSize = 1073741825, .payload = block}}),
            ZipFailure::TooLarge);
  EXPECT_EQ(extractExpectingRefusal({Entry{.name = "huge.png", .content = {}, .crc = 0,
                                           .declaredSize = 1073741824, .payload = block}}),
            ZipFailure::CorruptEntry);
  // A directory that lies low is held to its word while streaming.
  EXPECT_EQ(extractExpectingRefusal({Entry{.name = "liar.png", .content = {}, .crc = crcOf(zeros),
                                           .declaredSize = 1000, .payload = block}}),
            ZipFailure::CorruptEntry);
  // Entries of a few bytes each claiming 1 GiB, together more than the disk
  // has free.
  fs::create_directories(target());
  const std::uint64_t free = fs::space(target()).available;
  std::vector<Entry> filling;
  for (std::uint64_t claimed = 0; claimed <= free; claimed += 1073741824) {
    filling.push_back(Entry{.name = "f" + std::to_string(filling.size()) + ".png", .content = {}, .crc = 0,
                            .declaredSize = 1073741824, .payload = rawDeflate({0})});
  }
  EXPECT_EQ(extractExpectingRefusal(filling), ZipFailure::NoRoom);
}

TEST_F(ZipHostileTest, SizeMarkedAs64BitWithoutItsExtraFieldIsRefused) {
  const fs::path zipPath = root() / "box" / "wide.zip";
  ASSERT_TRUE(buildArchive(zipPath, {Entry{.name = "w.png", .content = bytesOf("wide")}}));
  ASSERT_EQ(patchHeaders(zipPath, "w.png", [](std::uint8_t* header, bool local) {
              std::fill_n(header + (local ? 22 : 24), 4, 0xFF);
            }),
            2);
  EXPECT_EQ(extractFileExpectingRefusal(zipPath), ZipFailure::CorruptEntry);
}

// A count of entries the directory has no room for (both 16-bit counts of
// the end record raised to 60,000 over two records) is refused as a lie.
TEST_F(ZipHostileTest, TooManyEntriesAreRefused) {
  const fs::path zipPath = root() / "box" / "many.zip";
  ASSERT_TRUE(buildArchive(zipPath, {Entry{.name = "a.png", .content = bytesOf("a")},
                                     Entry{.name = "b.png", .content = bytesOf("b")}}));
  auto bytes = readBytes(zipPath);
  for (const std::size_t field : {8u, 10u}) {
    bytes[bytes.size() - 22 + field] = 60000 & 0xFF;
    bytes[bytes.size() - 22 + field + 1] = 60000 >> 8;
  }
  writeBytes(zipPath, bytes);
  EXPECT_EQ(extractFileExpectingRefusal(zipPath), ZipFailure::TooManyEntries);
}

// Names a folder cannot hold, whole or in a part, and a file and a folder
// of one name, are the archive's own faults, told before anything is
// written rather than as a folder refusing a file.
TEST_F(ZipHostileTest, NamesNoFolderCanHoldAreRefusedBeforeAnythingIsWritten) {
  // A name of 4,096 bytes in parts of 200, which no path below a folder holds.
  std::string deep;
  while (deep.size() < 3900) deep += std::string(200, 'd') + "/";
  deep += std::string(4096 - deep.size(), 'x');
  const Entry fine{.name = "fine.png", .content = bytesOf("ok")};
  const auto file = [](std::string name) { return Entry{.name = std::move(name), .content = bytesOf("x")}; };
  const std::vector<std::pair<std::vector<Entry>, ZipFailure>> cases = {
      {{fine, file("a/" + std::string(300, 'x') + ".png")}, ZipFailure::LongName},
      {{fine, file(deep)}, ZipFailure::LongName},
      {{fine, file("d"), file("d/x.png")}, ZipFailure::NameClash},
      {{fine, file("d/x.png"), file("d")}, ZipFailure::NameClash},
      {{fine, Entry{.name = "d/", .content = {}}, file("d")}, ZipFailure::NameClash},
  };
  for (const auto& [entries, why] : cases) {
    SCOPED_TRACE(entries.back().name.substr(0, 40));
    EXPECT_EQ(extractExpectingRefusal(entries), why);
    EXPECT_FALSE(fs::exists(target() / "fine.png"));
  }
}

}  // namespace
