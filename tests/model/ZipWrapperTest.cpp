#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <optional>
#include <random>

#include "model/zip/TraditionalCipher.h"
#include "model/zip/ZipWrapper.h"
#include "platform/foundation/FileUtil.h"
#include "support/FileSizeLimit.h"
#include "support/Sandbox.h"
#include "ZipTestSupport.h"

namespace fs = std::filesystem;
using namespace ziptest;

namespace {

class ZipWrapperTest : public testing_support::SandboxTest {
 protected:
  fs::path dir(const char* name) { return root() / name; }

  void makeFile(const fs::path& p, const std::string& text) { writeBytes(p, bytesOf(text)); }

  bool writeZip(const fs::path& zipPath, const std::vector<std::pair<fs::path, std::string>>& files,
                const std::string& password = "") {
    ZipWrapper zip;
    if (!(password.empty() ? zip.CreateZipFile2(zipPath) : zip.CreateZipFile2(zipPath, password))) return false;
    for (const auto& [file, name] : files) {
      if (!zip.addFileToZip(file, name)) return false;
    }
    return zip.CloseZipFile2();
  }
};

class RecordingDelegate : public ZipWrapperDelegate {
 public:
  bool answersErrorMessage() const override { return true; }
  void ErrorMessage(const std::string& message) override { messages.push_back(message); }
  bool answersOverWriteOperation() const override { return true; }
  bool OverWriteOperation(const fs::path& path) override {
    asked.push_back(path);
    return allowOverwrite;
  }
  std::vector<std::string> messages;
  std::vector<fs::path> asked;
  bool allowOverwrite = false;
};

TEST_F(ZipWrapperTest, RoundTripWithAndWithoutPassword) {
  std::vector<std::uint8_t> big(300 * 1024);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>((i * 7919) >> 3);
  writeBytes(dir("src/big.png"), big);
  makeFile(dir("src/empty.plist"), "");
  for (const std::string& password : {std::string(), std::string("Secret_pass_XYZ")}) {
    SCOPED_TRACE(password);
    const fs::path zipPath = dir("out.zip");
    ASSERT_TRUE(writeZip(zipPath, {{dir("src/big.png"), "big.png"}, {dir("src/empty.plist"), "sub/empty.plist"}},
                         password));
    ZipWrapper reader;
    ASSERT_TRUE(password.empty() ? reader.UnzipOpenFile(zipPath) : reader.UnzipOpenFile(zipPath, password));
    EXPECT_EQ(reader.getZipFileContents(), (std::vector<std::string>{"big.png", "sub/empty.plist"}));
    const fs::path out = dir(password.empty() ? "plain" : "secret");
    ASSERT_TRUE(reader.UnzipFileTo(out, false)) << describe(reader.lastFailure());
    EXPECT_TRUE(reader.UnzipCloseFile());
    EXPECT_EQ(readBytes(out / "big.png"), big);
    EXPECT_TRUE(fs::is_regular_file(out / "sub/empty.plist"));
    EXPECT_EQ(fs::file_size(out / "sub/empty.plist"), 0u);
  }
}

TEST_F(ZipWrapperTest, PasswordIsRequiredAndChecked) {
  makeFile(dir("a.png"), std::string(5000, 'a'));
  makeFile(dir("b.png"), "bbbbbbbbbbbbbbbbbbbbbbbbbbb");
  const fs::path zipPath = dir("locked.zip");
  ASSERT_TRUE(writeZip(zipPath, {{dir("a.png"), "a.png"}, {dir("b.png"), "b.png"}}, "right"));

  auto delegate = std::make_shared<RecordingDelegate>();
  ZipWrapper noPassword;
  noPassword.setDelegate(delegate);
  ASSERT_TRUE(noPassword.UnzipOpenFile(zipPath));
  EXPECT_FALSE(noPassword.UnzipFileTo(dir("none"), false));
  EXPECT_EQ(noPassword.lastFailure(), ZipFailure::PasswordRequired);
  ASSERT_FALSE(delegate->messages.empty());
  EXPECT_EQ(delegate->messages.front(), "Error occurs");
  EXPECT_FALSE(fs::exists(dir("none/a.png")));

  // A wrong password passes the one-byte header check now and then; with
  // many tries some must pass it and then fail on CRC or inflate instead.
  for (int i = 0; i < 40; ++i) {
    ZipWrapper wrong;
    ASSERT_TRUE(wrong.UnzipOpenFile(zipPath, "wrong" + std::to_string(i)));
    EXPECT_FALSE(wrong.UnzipFileTo(dir("wrong"), false));
    EXPECT_EQ(wrong.lastFailure(), ZipFailure::WrongPassword);
  }
  EXPECT_TRUE(snapshotTree(dir("wrong")).empty());
}

TEST_F(ZipWrapperTest, CloseAnswersFollowWhatIsOpen) {
  ZipWrapper zip;
  EXPECT_FALSE(zip.CloseZipFile2());
  EXPECT_TRUE(zip.UnzipCloseFile());
  EXPECT_FALSE(zip.addFileToZip(dir("x"), "x"));
  EXPECT_EQ(zip.lastFailure(), ZipFailure::NotOpen);
  EXPECT_FALSE(zip.UnzipFileTo(dir("x"), true));
  EXPECT_FALSE(zip.UnzipOpenFile(dir("missing.zip")));
}

TEST_F(ZipWrapperTest, AddingAMissingFileFails) {
  ZipWrapper zip;
  ASSERT_TRUE(zip.CreateZipFile2(dir("z.zip"), "pw"));
  EXPECT_FALSE(zip.addFileToZip(dir("nothing.png"), "nothing.png"));
  EXPECT_EQ(zip.lastFailure(), ZipFailure::CannotRead);
  // The message says what could not be read, and why.
  EXPECT_NE(zip.lastError().find("nothing.png"), std::string::npos) << zip.lastError();
  EXPECT_NE(zip.lastError().find("No such file"), std::string::npos) << zip.lastError();
  EXPECT_TRUE(zip.CloseZipFile2());
}

TEST_F(ZipWrapperTest, DestructionFinishesAZipStillBeingWritten) {
  makeFile(dir("a.png"), "alpha");
  {
    ZipWrapper zip;
    ASSERT_TRUE(zip.CreateZipFile2(dir("open.zip"), "pw"));
    ASSERT_TRUE(zip.addFileToZip(dir("a.png"), "a.png"));
  }
  ZipWrapper reader;
  ASSERT_TRUE(reader.UnzipOpenFile(dir("open.zip"), "pw"));
  ASSERT_TRUE(reader.UnzipFileTo(dir("out"), false)) << reader.lastError();
  EXPECT_EQ(readBytes(dir("out/a.png")), bytesOf("alpha"));
}

// A write the file system refuses (past a file-size limit, as on a full
// disk) fails the entry it cut short and the close after it; one refused
// only once the directory goes out fails the close.
TEST_F(ZipWrapperTest, RefusedWritesFailTheEntryOrTheClose) {
  std::mt19937 random(7);
  std::vector<std::uint8_t> noise(246000);
  for (auto& byte : noise) byte = static_cast<std::uint8_t>(random());
  writeBytes(dir("src/noise.png"), noise);
  struct Outcome {
    bool added = false, closed = false;
    int error = 0;
  };
  const auto write = [&](const fs::path& zipPath, std::optional<rlim_t> bytes) {
    ZipWrapper zip;
    zip.seedHeaderSource(3);
    EXPECT_TRUE(zip.CreateZipFile2(zipPath, "Secret_pass_XYZ"));
    std::optional<testing_support::FileSizeLimit> limit;
    if (bytes) limit.emplace(*bytes);
    Outcome outcome;
    outcome.added = zip.addFilesToZip({{dir("src/noise.png"), "noise.png"}});
    outcome.closed = zip.CloseZipFile2();
    outcome.error = zip.lastConcern().error;
    return outcome;
  };
  ASSERT_TRUE(write(dir("whole.zip"), std::nullopt).closed);
  // The entry ends where the directory begins.
  const auto whole = readBytes(dir("whole.zip"));
  const std::size_t end = whole.size() - 22;
  const rlim_t directory = whole[end + 16] | (whole[end + 17] << 8) | (whole[end + 18] << 16) |
                           (static_cast<rlim_t>(whole[end + 19]) << 24);
  // Cut inside the entry's last piece: the write is short, not refused whole.
  Outcome cut = write(dir("cut.zip"), directory - 20000);
  EXPECT_FALSE(cut.added);
  EXPECT_FALSE(cut.closed);
  EXPECT_EQ(cut.error, EFBIG);
  Outcome noDirectory = write(dir("nodir.zip"), directory + 10);
  EXPECT_TRUE(noDirectory.added);
  EXPECT_FALSE(noDirectory.closed);
  EXPECT_EQ(noDirectory.error, EFBIG);

  // More entries than a 16-bit count holds: the 64-bit end record and its
  // locator go in once minizip's own records are down. The disk filling just
  // then (once the file on disk ends in an end record) fails the close.
  writeBytes(dir("src/e.png"), bytesOf("e"));
  std::vector<std::pair<fs::path, std::string>> many;
  for (int i = 0; i < 65536; ++i) many.emplace_back(dir("src/e.png"), std::to_string(i));
  const fs::path zipPath = dir("full.zip");
  fd::files::setWriteFaultForTesting([&](const fs::path& p) {
    std::error_code ec;
    const std::uintmax_t size = p == zipPath ? fs::file_size(p, ec) : 0;
    if (ec || size < 22) return 0;
    std::ifstream in(p, std::ios::binary);
    char signature[4] = {};
    in.seekg(static_cast<std::streamoff>(size - 22));
    return in.read(signature, 4) && std::string(signature, 4) == "PK\x05\x06" ? ENOSPC : 0;
  });
  ZipWrapper zip;
  EXPECT_TRUE(zip.CreateZipFile2(zipPath, "pw"));
  EXPECT_TRUE(zip.addFilesToZip(many));
  EXPECT_FALSE(zip.CloseZipFile2());
  fd::files::setWriteFaultForTesting({});
  EXPECT_EQ(zip.lastConcern().error, ENOSPC);
}

// Earlier versions wrote archives of 65,535 entries and more with the end
// record's count cut to 0xFFFF and no 64-bit count: they extract whole.
TEST_F(ZipWrapperTest, ArchivesOfMoreEntriesThanA16BitCountExtractWhole) {
  std::vector<Entry> entries;
  for (int i = 0; i < 65537; ++i) entries.push_back(Entry{.name = std::to_string(i), .content = {}, .method = 0});
  ASSERT_TRUE(buildArchive(dir("many.zip"), entries));
  ZipWrapper zip;
  ASSERT_TRUE(zip.UnzipOpenFile(dir("many.zip")));
  ASSERT_TRUE(zip.UnzipFileTo(dir("many"), false)) << zip.lastError();
  EXPECT_EQ(std::distance(fs::directory_iterator(dir("many")), fs::directory_iterator()), 65537);
  // A count cut to its low 16 bits, 1, where the zip layer stops after one
  // record: refused, not taken as the whole.
  auto bytes = readBytes(dir("many.zip"));
  for (const std::size_t field : {8u, 10u}) {
    bytes[bytes.size() - 22 + field] = 1;
    bytes[bytes.size() - 22 + field + 1] = 0;
  }
  writeBytes(dir("cut.zip"), bytes);
  ASSERT_TRUE(zip.UnzipOpenFile(dir("cut.zip")));
  EXPECT_FALSE(zip.UnzipFileTo(dir("cut"), false));
  EXPECT_EQ(zip.lastFailure(), ZipFailure::CorruptEntry);
  EXPECT_FALSE(fs::exists(dir("cut") / "0"));
}

// An entry whose local header lies past 4 GiB (after a hole that takes no
// disk), found through the 64-bit offset of its directory record and the
// 64-bit end record, as in a package of a project that large.
TEST_F(ZipWrapperTest, AnEntryPast4GiBExtracts) {
  const std::string name = "far.png";
  const std::vector<std::uint8_t> content = bytesOf("far away");
  std::vector<std::uint8_t> bytes;
  const auto put = [&](std::uint64_t value, int count) {
    for (int i = 0; i < count; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  };
  const auto putName = [&] { bytes.insert(bytes.end(), name.begin(), name.end()); };
  const std::uint64_t local = (4ull << 30) + 4096, crc = crcOf(content);
  put(0x04034b50, 4), put(20, 2), put(0, 2), put(0, 2), put(0, 4), put(crc, 4);
  put(content.size(), 4), put(content.size(), 4), put(name.size(), 2), put(0, 2), putName();
  bytes.insert(bytes.end(), content.begin(), content.end());
  const std::uint64_t directory = local + bytes.size();
  put(0x02014b50, 4), put(45, 2), put(45, 2), put(0, 2), put(0, 2), put(0, 4), put(crc, 4);
  put(content.size(), 4), put(content.size(), 4), put(name.size(), 2), put(12, 2), put(0, 2), put(0, 2), put(0, 2);
  put(0, 4), put(0xFFFFFFFF, 4), putName(), put(1, 2), put(8, 2), put(local, 8);
  const std::uint64_t directorySize = local + bytes.size() - directory, wideEnd = local + bytes.size();
  put(0x06064b50, 4), put(44, 8), put(45, 2), put(45, 2), put(0, 4), put(0, 4), put(1, 8), put(1, 8);
  put(directorySize, 8), put(directory, 8);
  put(0x07064b50, 4), put(0, 4), put(wideEnd, 8), put(1, 4);
  put(0x06054b50, 4), put(0, 2), put(0, 2), put(1, 2), put(1, 2), put(directorySize, 4), put(0xFFFFFFFF, 4), put(0, 2);
  {
    std::ofstream out(dir("far.zip"), std::ios::binary);
    out.seekp(static_cast<std::streamoff>(local));
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out);
  }
  ZipWrapper zip;
  ASSERT_TRUE(zip.UnzipOpenFile(dir("far.zip")));
  ASSERT_TRUE(zip.UnzipFileTo(dir("far"), false)) << zip.lastError();
  EXPECT_EQ(readBytes(dir("far") / name), content);
}

TEST_F(ZipWrapperTest, BackslashNamesBecomeFoldersAndFolderEntriesMakeFolders) {
  const fs::path zipPath = dir("names.zip");
  ASSERT_TRUE(buildArchive(zipPath, {Entry{.name = "a\\b.png", .content = bytesOf("B")},
                                     Entry{.name = "empty\\", .content = {}},
                                     Entry{.name = "x/y/", .content = {}}}));
  ZipWrapper zip;
  ASSERT_TRUE(zip.UnzipOpenFile(zipPath));
  EXPECT_EQ(zip.getZipFileContents(), (std::vector<std::string>{"a/b.png", "empty/", "x/y/"}));
  ASSERT_TRUE(zip.UnzipFileTo(dir("out"), false));
  EXPECT_EQ(readBytes(dir("out/a/b.png")), bytesOf("B"));
  EXPECT_TRUE(fs::is_directory(dir("out/empty")));
  EXPECT_TRUE(fs::is_directory(dir("out/x/y")));
}

TEST_F(ZipWrapperTest, DateFieldHoldsSecondsSince1980LocalTime) {
  std::tm tm{};
  tm.tm_year = 80;
  tm.tm_mon = 0;
  tm.tm_mday = 2;
  tm.tm_isdst = -1;
  const std::time_t jan2 = std::mktime(&tm);
  makeFile(dir("old.png"), "old");
  struct timespec times[2] = {{0, UTIME_OMIT}, {jan2, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, dir("old.png").c_str(), times, 0), 0);
  ASSERT_TRUE(writeZip(dir("d.zip"), {{dir("old.png"), "old.png"}}, "pw"));

  unzFile unz = unzOpen64(dir("d.zip").c_str());
  ASSERT_NE(unz, nullptr);
  ASSERT_EQ(unzGoToFirstFile(unz), UNZ_OK);
  unz_file_info64 info{};
  ASSERT_EQ(unzGetCurrentFileInfo64(unz, &info, nullptr, 0, nullptr, 0, nullptr, 0), UNZ_OK);
  unzClose(unz);
  EXPECT_EQ(info.dosDate, 86400u);

  ZipWrapper reader;
  ASSERT_TRUE(reader.UnzipOpenFile(dir("d.zip"), "pw"));
  ASSERT_TRUE(reader.UnzipFileTo(dir("out"), false));
  struct stat st {};
  ASSERT_EQ(::stat(dir("out/old.png").c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, jan2);
}

TEST_F(ZipWrapperTest, OverwriteFollowsFlagAndDelegate) {
  makeFile(dir("new.png"), "new");
  ASSERT_TRUE(writeZip(dir("o.zip"), {{dir("new.png"), "f.png"}}));
  const auto extractInto = [&](const fs::path& out, bool overWrite, std::shared_ptr<ZipWrapperDelegate> delegate) {
    makeFile(out / "f.png", "old");
    ZipWrapper zip;
    zip.setDelegate(std::move(delegate));
    EXPECT_TRUE(zip.UnzipOpenFile(dir("o.zip")));
    EXPECT_TRUE(zip.UnzipFileTo(out, overWrite));
    return readBytes(out / "f.png");
  };
  // Without a delegate "may I overwrite?" answers YES.
  EXPECT_EQ(extractInto(dir("a"), false, nullptr), bytesOf("new"));
  auto refusing = std::make_shared<RecordingDelegate>();
  EXPECT_EQ(extractInto(dir("b"), false, refusing), bytesOf("old"));
  ASSERT_EQ(refusing->asked.size(), 1u);
  EXPECT_EQ(refusing->asked[0], dir("b") / "f.png");
  auto allowing = std::make_shared<RecordingDelegate>();
  allowing->allowOverwrite = true;
  EXPECT_EQ(extractInto(dir("c"), false, allowing), bytesOf("new"));
  auto unasked = std::make_shared<RecordingDelegate>();
  EXPECT_EQ(extractInto(dir("d"), true, unasked), bytesOf("new"));
  EXPECT_TRUE(unasked->asked.empty());
}

// Entries are extracted side by side but moved into place in archive order:
// a name that comes twice ends as one-by-one extraction leaves it.
TEST_F(ZipWrapperTest, RepeatedNamesEndAsInArchiveOrder) {
  std::vector<Entry> entries;
  for (int i = 0; i < 30; ++i) entries.push_back(Entry{.name = "f" + std::to_string(i) + ".png", .content = bytesOf("x")});
  entries.insert(entries.begin() + 3, Entry{.name = "dup.png", .content = bytesOf(std::string(40000, '1'))});
  entries.push_back(Entry{.name = "dup.png", .content = bytesOf("two")});
  ASSERT_TRUE(buildArchive(dir("dup.zip"), entries));

  ZipWrapper plain;
  ASSERT_TRUE(plain.UnzipOpenFile(dir("dup.zip")));
  ASSERT_TRUE(plain.UnzipFileTo(dir("a"), false));
  EXPECT_EQ(readBytes(dir("a/dup.png")), bytesOf("two"));

  // The delegate is asked about the second copy only, on this thread, once.
  auto refusing = std::make_shared<RecordingDelegate>();
  ZipWrapper asking;
  asking.setDelegate(refusing);
  ASSERT_TRUE(asking.UnzipOpenFile(dir("dup.zip")));
  ASSERT_TRUE(asking.UnzipFileTo(dir("b"), false));
  EXPECT_EQ(readBytes(dir("b/dup.png")), bytesOf(std::string(40000, '1')));
  EXPECT_EQ(refusing->asked, (std::vector<fs::path>{dir("b") / "dup.png"}));
  for (const auto& [rel, bytes] : snapshotTree(dir("b"))) EXPECT_EQ(rel.find(".part"), std::string::npos) << rel;
}

TEST_F(ZipWrapperTest, AddFolderWalksTheTree) {
  makeFile(dir("tree/one.png"), "1");
  makeFile(dir("tree/deep/two.png"), "2");
  ZipWrapper zip;
  ASSERT_TRUE(zip.CreateZipFile2(dir("t.zip")));
  ASSERT_TRUE(zip.addFolderToZip(dir("tree"), "tree"));
  ASSERT_TRUE(zip.CloseZipFile2());
  ZipWrapper reader;
  ASSERT_TRUE(reader.UnzipOpenFile(dir("t.zip")));
  EXPECT_EQ(reader.getZipFileContents(),
            (std::vector<std::string>{"tree/", "tree/deep/", "tree/deep/two.png", "tree/one.png"}));
}

// Entries are compressed on several threads, yet the archive must be byte
// for byte the one written entry after entry: one deflate stream per file at
// the default level, the header salts drawn in entry order, and for plain
// entries exactly what minizip's own deflate makes.
TEST_F(ZipWrapperTest, WritingOnSeveralThreadsGivesTheSequentialBytes) {
  std::vector<std::pair<fs::path, std::string>> files;
  std::vector<std::vector<std::uint8_t>> contents;
  for (int i = 0; i < 40; ++i) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>((i * 7919) % 70000));
    for (std::size_t k = 0; k < bytes.size(); ++k) bytes[k] = static_cast<std::uint8_t>((k * (i + 3)) >> (i % 5));
    contents.push_back(std::move(bytes));
  }
  // Larger than what a worker holds whole (2 MiB): streamed by the writing thread.
  std::vector<std::uint8_t> large((9u << 20) + 17);
  for (std::size_t k = 0; k < large.size(); ++k) large[k] = static_cast<std::uint8_t>((k >> 7) ^ (k * 13));
  contents.insert(contents.begin() + 20, std::move(large));
  const std::time_t when = std::chrono::system_clock::to_time_t(ZipWrapper::Date1980()) + 1234567;
  for (std::size_t i = 0; i < contents.size(); ++i) {
    const fs::path file = dir("src") / ("f" + std::to_string(i) + ".png");
    writeBytes(file, contents[i]);
    struct timespec times[2] = {{0, UTIME_OMIT}, {when, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    files.emplace_back(file, "sub/f" + std::to_string(i) + ".png");
  }

  for (const std::string& password : {std::string("Quillmarkpond_Haverstock_QWM"), std::string()}) {
    SCOPED_TRACE(password);
    const fs::path written = dir("written.zip"), reference = dir("reference.zip");
    ZipWrapper zip;
    ASSERT_TRUE(password.empty() ? zip.CreateZipFile2(written) : zip.CreateZipFile2(written, password));
    zip.seedHeaderSource(20261207);
    ASSERT_TRUE(zip.addFilesToZip(files)) << zip.lastError();
    ASSERT_TRUE(zip.CloseZipFile2());

    zipFile ref = zipOpen64(reference.c_str(), APPEND_STATUS_CREATE);
    ASSERT_NE(ref, nullptr);
    zipcrypto::HeaderSource salts(20261207);
    for (std::size_t i = 0; i < files.size(); ++i) {
      Entry e{.name = files[i].second, .content = contents[i]};
      e.dateField = static_cast<std::uint32_t>(1234567);
      if (!password.empty()) {
        e.password = password;
        ASSERT_TRUE(addEntry(ref, e, salts));
        continue;
      }
      zip_fileinfo info{};
      info.dosDate = e.dateField;
      ASSERT_EQ(zipOpenNewFileInZip(ref, e.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                    Z_DEFAULT_COMPRESSION),
                ZIP_OK);
      if (!e.content.empty()) {
        ASSERT_EQ(zipWriteInFileInZip(ref, e.content.data(), static_cast<unsigned>(e.content.size())), ZIP_OK);
      }
      ASSERT_EQ(zipCloseFileInZip(ref), ZIP_OK);
    }
    ASSERT_EQ(zipClose(ref, nullptr), ZIP_OK);
    const auto a = readBytes(written), b = readBytes(reference);
    EXPECT_EQ(a.size(), b.size());
    EXPECT_TRUE(a == b) << "the archive differs from the one written entry by entry";
  }
}

TEST(TraditionalCipher, DecryptsWhatItEncryptsAndChecksTheHeader) {
  std::vector<std::uint8_t> data = bytesOf("the quick brown fox jumps over the lazy dog");
  const auto original = data;
  zipcrypto::TraditionalCipher writer("pw");
  const auto header = zipcrypto::makeHeader(writer, zipcrypto::HeaderSource(7).next(), 0xAB000000u);
  writer.encrypt(data.data(), data.size());
  EXPECT_NE(data, original);
  zipcrypto::TraditionalCipher reader("pw");
  EXPECT_TRUE(zipcrypto::acceptHeader(reader, header, 0xABCDEF01u));
  reader.decrypt(data.data(), data.size());
  EXPECT_EQ(data, original);
}

// The key schedule worked through by hand for the package password: any slip
// in the per-buffer loop changes these bytes, and unzip could no longer read
// the packages.
TEST(TraditionalCipher, EncryptsToTheKnownKeystream) {
  std::vector<std::uint8_t> data = bytesOf("the quick brown fox jumps over the lazy dog");
  const std::vector<std::uint8_t> expected = {
      0xb8, 0x69, 0xb0, 0x79, 0xbd, 0xa8, 0x0a, 0x60, 0x25, 0xa1, 0x20, 0x61, 0x3c, 0xd9, 0x46,
      0x73, 0xa3, 0x81, 0xba, 0x0d, 0xc8, 0xda, 0x36, 0x71, 0x7a, 0xb2, 0xd4, 0x55, 0xe3, 0x38,
      0x95, 0x04, 0xd5, 0xef, 0xff, 0x24, 0x74, 0x03, 0x03, 0x03, 0xcc, 0x9d, 0x9f};
  zipcrypto::TraditionalCipher whole("Quillmarkpond_Haverstock_QWM");
  std::vector<std::uint8_t> once = data;
  whole.encrypt(once.data(), once.size());
  EXPECT_EQ(once, expected);
  // Buffer boundaries do not matter: the keys carry on from one call to the next.
  zipcrypto::TraditionalCipher pieces("Quillmarkpond_Haverstock_QWM");
  pieces.encrypt(data.data(), 5);
  pieces.encrypt(data.data() + 5, 0);
  pieces.encrypt(data.data() + 5, data.size() - 5);
  EXPECT_EQ(data, expected);
}

}  // namespace
