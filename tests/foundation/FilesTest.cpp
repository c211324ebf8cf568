#include "platform/foundation/FileUtil.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <iterator>
#include <utility>
#include <fstream>

#include "platform/foundation/CrashPoint.h"
#include "platform/foundation/Paths.h"
#include "graphics/MemoryCeiling.h"
#include "support/ChildProcess.h"
#include "support/FileSizeLimit.h"
#include "support/Sandbox.h"

namespace fs = std::filesystem;
namespace files = fd::files;

namespace {

void put(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p) << text;
}

std::string text(const fs::path& p) {
  auto d = files::readFile(p, 1 << 20);
  return d ? std::string(d->begin(), d->end()) : "<missing>";
}

}  // namespace

class FilesTest : public testing_support::SandboxTest {};

TEST_F(FilesTest, SandboxHasThePhoneLayout) {
  EXPECT_EQ(fd::paths::home(), root());
  for (const char* sub : {"Library/Projects", "Library/Background", "Library/Audio", "Library/Preferences",
                          "Library/Caches", "Documents", "tmp"})
    EXPECT_TRUE(fs::is_directory(root() / sub)) << sub;
  EXPECT_EQ(fd::paths::preferences(), root() / "Library" / "Preferences");
  EXPECT_EQ(fd::paths::caches(), root() / "Library" / "Caches");
  EXPECT_EQ(fd::paths::temporary(), root() / "tmp");
}

// A data folder that cannot be written was told as one that could not be
// made, or not at all. The folder that refuses is named, with why, and
// looking adds nothing.
TEST_F(FilesTest, ADataFolderThatCannotBeWrittenIsNamedWithWhy) {
  const auto before = std::distance(fs::recursive_directory_iterator(root()), fs::recursive_directory_iterator());
  EXPECT_TRUE(fd::paths::sandboxWritable().ok());
  EXPECT_EQ(std::distance(fs::recursive_directory_iterator(root()), fs::recursive_directory_iterator()), before);
  for (const auto& [error, told] : {std::pair{EACCES, "Documents: permission denied"},
                                    std::pair{EROFS, "Documents: read-only file system"}}) {
    files::setWriteFaultForTesting([error](const fs::path& p) { return p == fd::paths::documents() ? error : 0; });
    const fd::Status writable = fd::paths::sandboxWritable();
    files::setWriteFaultForTesting({});
    EXPECT_EQ(writable.error(), told);
    EXPECT_EQ(writable.errorNumber(), error);
  }
  fs::remove_all(root() / "Library");
  put(root() / "Library", "a file");
  EXPECT_EQ(fd::paths::makeSandbox().error(), "Library/Projects: a file stands where a folder belongs");
}

TEST(Paths, EnvironmentChoosesTheRootWithoutAnOverride) {
  fd::paths::setHomeOverride({});
  ::setenv("FLIPDESK_HOME", "/srv/fd-home", 1);
  EXPECT_EQ(fd::paths::home(), fs::path("/srv/fd-home"));
  ::unsetenv("FLIPDESK_HOME");
  ::setenv("XDG_DATA_HOME", "/srv/xdg", 1);
  EXPECT_EQ(fd::paths::home(), fs::path("/srv/xdg/flipdesk"));
  ::unsetenv("XDG_DATA_HOME");
  const char* oldHome = std::getenv("HOME");
  std::string savedHome = oldHome ? oldHome : "";
  ::setenv("HOME", "/srv/user", 1);
  EXPECT_EQ(fd::paths::home(), fs::path("/srv/user/.local/share/flipdesk"));
  if (oldHome) ::setenv("HOME", savedHome.c_str(), 1);

  ::setenv("FLIPDESK_RESOURCES", "/srv/res", 1);
  EXPECT_EQ(fd::paths::resource("strings"), fs::path("/srv/res/strings"));
  ::unsetenv("FLIPDESK_RESOURCES");
  EXPECT_EQ(fd::paths::resources(), fs::path(FLIPDESK_BUILD_RESOURCES));
}

// Names that come from data resolve inside the resource folder only.
TEST_F(FilesTest, ResourceNamesFromDataStayInsideTheResources) {
  const fs::path folder = root() / "res";
  fs::create_directories(folder / "sub");
  fs::create_directories(root() / "secret");
  put(folder / "a.png", "A");
  put(folder / "sub" / "b.acv", "B");
  put(root() / "secret" / "c.acv", "C");
  fs::create_directory_symlink(root() / "secret", folder / "link");
  ::setenv("FLIPDESK_RESOURCES", folder.c_str(), 1);
  EXPECT_EQ(fd::paths::resourceNamed("a.png").value(), folder / "a.png");
  EXPECT_EQ(fd::paths::resourceNamed("sub/b.acv").value(), folder / "sub" / "b.acv");
  EXPECT_EQ(fd::paths::resourceNamed("./sub/b.acv").value(), folder / "./sub/b.acv");
  EXPECT_TRUE(fd::paths::resourceNamed("not-yet.png")) << "a missing file is the reader's failure to tell";
  for (const std::string& name : {(root() / "secret" / "c.acv").string(), std::string("../secret/c.acv"),
                                 std::string("sub/../../secret/c.acv"), std::string("link/c.acv"), std::string(""),
                                 std::string("a.png\0x", 7)}) {
    auto refused = fd::paths::resourceNamed(name);
    EXPECT_FALSE(refused) << name;
    EXPECT_FALSE(refused.error().empty());
  }
  EXPECT_NE(fd::paths::resourceNamed("/etc/passwd").error().find("\"/etc/passwd\" is a path"), std::string::npos);
  EXPECT_NE(fd::paths::resourceNamed("../x").error().find("leads out of the program's resources"), std::string::npos);
  ::unsetenv("FLIPDESK_RESOURCES");
}

TEST_F(FilesTest, CopyAndMoveRefuseAnExistingDestination) {
  fs::path a = root() / "a.txt", b = root() / "b.txt";
  put(a, "A");
  put(b, "B");
  EXPECT_FALSE(files::copyItem(a, b));
  EXPECT_FALSE(files::moveItem(a, b));
  EXPECT_EQ(text(b), "B");
  EXPECT_EQ(text(a), "A");
  EXPECT_FALSE(files::copyItem(root() / "none", root() / "c"));
  EXPECT_FALSE(files::moveItem(root() / "none", root() / "c"));
  EXPECT_FALSE(files::exists(root() / "c"));
}

// A copy answers with what the file system refused, never with a copy of
// something that is no file.
TEST_F(FilesTest, CopyFileKeepsWhatItWasRefused) {
  // A pipe (no writer: it reads as empty) or a device where a file was
  // expected is refused, not copied.
  const fs::path pipe = root() / "pipe", copy = root() / "copy";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  for (const fs::path& from : {pipe, fs::path("/dev/null")}) {
    EXPECT_EQ(files::copyFile(from, copy), std::errc::invalid_argument) << from;
    EXPECT_FALSE(files::exists(copy)) << from;
  }
  const fs::path source = root() / "source.png";
  put(source, std::string(256 * 1024, 'x'));
  // A full disk refuses the bytes, or is told only at the close once they
  // went out, as a file system that writes behind tells it.
  for (const files::FaultAt at : {files::FaultAt::Bytes, files::FaultAt::Close}) {
    files::setWriteFaultForTesting([&](const fs::path& file) { return file == copy ? ENOSPC : 0; }, at);
    EXPECT_EQ(files::copyFile(source, copy).value(), ENOSPC) << static_cast<int>(at);
    files::setWriteFaultForTesting({});
    fs::remove(copy);
  }
  // Onto another file system the bytes pass through the program; a write
  // refused there (past a file-size limit) is the copy's answer, as it is
  // where the kernel copies.
  const char* shm = "/dev/shm";
  struct stat here {}, there {};
  ASSERT_EQ(::stat(root().c_str(), &here), 0);
  const bool otherSystem = ::stat(shm, &there) == 0 && here.st_dev != there.st_dev && ::access(shm, W_OK) == 0;
  const fs::path away = otherSystem ? fs::path(shm) / ("copy-" + std::to_string(::getpid())) : root() / "away";
  for (const fs::path& to : {copy, away}) {
    std::error_code why;
    {
      testing_support::FileSizeLimit limit(64 * 1024);
      why = files::copyFile(source, to);
    }
    EXPECT_EQ(why.value(), EFBIG) << to;
    fs::remove(to);
  }
}

// Writes cut short, as by a signal, are carried on to the last byte: an
// atomic write's, a copy's (by the kernel, and through the program onto
// another file system where there is one) and writeAll's. An atomic write
// fails with the full disk its flush tells (of a write of nothing) or its
// close tells.
TEST_F(FilesTest, WritesCutShortGoOnToTheLastByteAndAFailedCloseIsTold) {
  std::string bytes(100000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 31 % 251);
  const fs::path written = root() / "written.bin", copied = root() / "copied.bin", direct = root() / "direct.bin";
  const char* shm = "/dev/shm";
  struct stat here {}, there {};
  ASSERT_EQ(::stat(root().c_str(), &here), 0);
  const bool otherSystem = ::stat(shm, &there) == 0 && here.st_dev != there.st_dev && ::access(shm, W_OK) == 0;
  const fs::path away = otherSystem ? fs::path(shm) / ("short-" + std::to_string(::getpid())) : root() / "away.bin";
  files::setShortWritesForTesting(4093);
  const bool wrote = files::writeFileAtomically(written, bytes);
  const std::error_code copiedWhy = files::copyFile(written, copied), awayWhy = files::copyFile(written, away);
  bool whole = false;
  {
    const files::UniqueFd out(::open(direct.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    whole = out.get() >= 0 && files::writeAll(out.get(), bytes.data(), bytes.size());
  }
  files::setShortWritesForTesting(0);
  ASSERT_TRUE(wrote);
  EXPECT_FALSE(copiedWhy) << copiedWhy.message();
  EXPECT_FALSE(awayWhy) << awayWhy.message();
  EXPECT_TRUE(whole);
  for (const fs::path& file : {written, copied, away, direct}) EXPECT_TRUE(text(file) == bytes) << file;
  fs::remove(away);

  for (const auto& [at, size] : {std::pair{files::FaultAt::Bytes, 0}, std::pair{files::FaultAt::Close, 10}}) {
    files::setWriteFaultForTesting([&](const fs::path& file) { return file == written ? EIO : 0; }, at);
    const fd::Status refused = files::writeFileAtomicallyReporting(written, bytes.data(), size);
    files::setWriteFaultForTesting({});
    EXPECT_EQ(refused.errorNumber(), EIO) << (refused ? "written" : refused.error());
  }
}

TEST_F(FilesTest, FoldersCopyMoveAndRemoveRecursively) {
  fs::path src = root() / "Library" / "Projects" / "p1";
  put(src / "Project.plist", "plist");
  put(src / "pages" / "1.png", "png");
  fs::create_directories(src / "empty");

  fs::path copy = root() / "Documents" / "p1copy";
  ASSERT_TRUE(files::copyItem(src, copy));
  EXPECT_EQ(files::subpaths(copy),
            (std::vector<std::string>{"Project.plist", "empty", "pages", "pages/1.png"}));
  EXPECT_EQ(text(copy / "pages" / "1.png"), "png");
  EXPECT_TRUE(files::exists(src / "pages" / "1.png"));

  fs::path moved = root() / "tmp" / "p1moved";
  ASSERT_TRUE(files::moveItem(src, moved));
  EXPECT_FALSE(files::exists(src));
  EXPECT_EQ(files::contentsOfDirectory(moved), (std::vector<std::string>{"Project.plist", "empty", "pages"}));

  EXPECT_TRUE(files::removeItem(moved));
  EXPECT_FALSE(files::exists(moved));
  EXPECT_FALSE(files::removeItem(moved)) << "nothing was there";
  EXPECT_TRUE(files::contentsOfDirectory(moved).empty());
  EXPECT_TRUE(files::subpaths(moved).empty());
}

TEST_F(FilesTest, CreateDirectoryMakesParentsAndAcceptsExisting) {
  fs::path deep = root() / "x" / "y" / "z";
  EXPECT_TRUE(files::createDirectory(deep));
  EXPECT_TRUE(files::isDirectory(deep));
  EXPECT_TRUE(files::createDirectory(deep));
  put(root() / "file", "f");
  EXPECT_FALSE(files::createDirectory(root() / "file"));
  EXPECT_FALSE(files::createDirectory(root() / "file" / "sub"));
}

TEST_F(FilesTest, AtomicWriteReplacesWholeFiles) {
  fs::path p = root() / "w.bin";
  ASSERT_TRUE(files::writeFileAtomically(p, std::string("first version, longer")));
  ASSERT_TRUE(files::writeFileAtomically(p, std::string("second")));
  EXPECT_EQ(text(p), "second");
  EXPECT_EQ(files::fileSize(p), 6u);
  ASSERT_TRUE(files::writeFileAtomically(p, fd::Data{}));
  EXPECT_EQ(files::fileSize(p), 0u);
  // A write kept when the file holds its very bytes leaves the file as it
  // is; other bytes of that size, fewer or more replace it.
  std::string last;
  for (const std::string bytes : {"same", "same", "sane", "sam", "same!"}) {
    const std::optional<files::FileStamp> before = files::fileStamp(p);
    ASSERT_TRUE(files::writeFileAtomicallyReporting(p, bytes.data(), bytes.size(), files::IfSame::Keep));
    EXPECT_EQ(text(p), bytes);
    EXPECT_EQ(files::fileStamp(p) == before, bytes == last) << bytes;
    last = bytes;
  }
  EXPECT_FALSE(files::fileSize(root() / "missing"));
  EXPECT_FALSE(files::readFile(root() / "Library", 1 << 20)) << "a folder is not a readable file";
}

// A whole-file read takes at most its bound in memory, whatever the file:
// a larger one is refused by its size before a byte is read, one that says
// it is small and then holds more is cut off once past the bound, and
// neither a pipe nor a device makes it wait or read for ever.
TEST_F(FilesTest, AWholeFileReadIsHeldToItsBound) {
  const fs::path exact = root() / "exact.bin";
  put(exact, std::string(100, 'a'));
  const auto read = files::readFile(exact, 100);
  ASSERT_TRUE(read) << read.error();
  EXPECT_EQ(read->size(), 100u);
  const auto over = files::readFile(exact, 99);
  ASSERT_FALSE(over);
  EXPECT_EQ(over.error(), "the file is 100 bytes, larger than the 99 bytes it may be");

  // Sparse: no disk is taken, and the read takes no memory either.
  const fs::path huge = root() / "huge.plist";
  put(huge, "");
  fs::resize_file(huge, std::uintmax_t{3} << 30);
  const auto child = testing_support::runUnderMemoryCeiling(std::size_t{256} << 20, [&] {
    const auto refused = files::readFile(huge, std::uintmax_t{64} << 20);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error(), "the file is 3.0 GiB, larger than the 64 MiB it may be");
  });
  EXPECT_TRUE(child.exited && child.exitCode == 0) << "signal " << child.signal;

  // Files of /proc say they hold nothing and then give their text, as a file
  // that grows between its size and its read does.
  const auto grown = files::readFile("/proc/self/maps", 16);
  ASSERT_FALSE(grown);
  EXPECT_EQ(grown.error(), "the file grew past the 16 bytes it may be while it was read");
  const auto whole = files::readFile("/proc/self/maps", 64 << 20);
  ASSERT_TRUE(whole) << whole.error();
  EXPECT_GT(whole->size(), 16u);

  const fs::path pipe = root() / "pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(files::readFile(pipe, 1 << 20).error(), "it is not a file that can be read");
  EXPECT_EQ(files::readFile("/dev/zero", 1 << 20).error(), "it is not a file that can be read");
  EXPECT_EQ(files::readFile(root() / "missing", 1 << 20).error(),
            "the file cannot be opened (No such file or directory)");
}

TEST(FileSizes, AreSaidAsAPersonReadsThem) {
  EXPECT_EQ(files::describeSize(0), "0 bytes");
  EXPECT_EQ(files::describeSize(1000), "1000 bytes");
  EXPECT_EQ(files::describeSize(1536), "2 KiB");
  EXPECT_EQ(files::describeSize(std::uintmax_t{64} << 20), "64 MiB");
  EXPECT_EQ(files::describeSize((std::uintmax_t{129} << 20) / 2), "64.5 MiB");
  EXPECT_EQ(files::describeSize(std::uintmax_t{3} << 30), "3.0 GiB");
}

TEST_F(FilesTest, FailedAtomicWriteLeavesNoTrace) {
  fs::path target = root() / "Documents" / "busy";
  put(target / "keep.txt", "keep");
  EXPECT_FALSE(files::writeFileAtomically(target, std::string("new")));
  EXPECT_EQ(files::contentsOfDirectory(root() / "Documents"), std::vector<std::string>{"busy"});
  EXPECT_EQ(text(target / "keep.txt"), "keep");
  EXPECT_FALSE(files::writeFileAtomically(root() / "no" / "such" / "dir.txt", std::string("x")));
}

// Files staged together land together: none shows before the commit, one
// dropped uncommitted leaves nothing behind, one that cannot take its name
// is reported without keeping the others from theirs, and a stamp tells each
// version of a file from the one before.
TEST_F(FilesTest, StagedFilesLandTogetherWhenCommitted) {
  const fs::path dir = root() / "Documents";
  ASSERT_TRUE(files::writeFileAtomically(dir / "a.png", std::string("old a")));
  const auto stampBefore = files::fileStamp(dir / "a.png");
  ASSERT_TRUE(stampBefore);
  const std::string a = "new a", b = "new b";
  auto stagedA = files::stageFile(dir / "a.png", a.data(), a.size());
  auto stagedB = files::stageFile(dir / "b.png", b.data(), b.size());
  ASSERT_TRUE(stagedA && stagedB) << stagedA.error() << stagedB.error();
  EXPECT_EQ(text(dir / "a.png"), "old a");
  EXPECT_FALSE(fs::exists(dir / "b.png"));
  {
    auto dropped = files::stageFile(dir / "c.png", a.data(), a.size());
    ASSERT_TRUE(dropped);
  }
  std::vector<files::StagedFile> both;
  both.push_back(std::move(*stagedA));
  both.push_back(std::move(*stagedB));
  ASSERT_TRUE(files::commitFiles(std::move(both)).ok());
  EXPECT_EQ(text(dir / "a.png"), "new a");
  EXPECT_EQ(text(dir / "b.png"), "new b");
  EXPECT_EQ(files::contentsOfDirectory(dir), (std::vector<std::string>{"a.png", "b.png"}));
  const auto stampAfter = files::fileStamp(dir / "a.png");
  ASSERT_TRUE(stampAfter);
  EXPECT_FALSE(*stampAfter == *stampBefore) << "a replaced file has another stamp";
  EXPECT_TRUE(*stampAfter == *files::fileStamp(dir / "a.png"));
  EXPECT_FALSE(files::fileStamp(dir / "c.png"));

  // The first target is taken by a folder: the second still lands.
  fs::create_directories(dir / "busy.png" / "inside");
  auto busy = files::stageFile(dir / "busy.png", a.data(), a.size());
  auto fine = files::stageFile(dir / "b.png", a.data(), a.size());
  ASSERT_TRUE(busy && fine);
  std::vector<files::StagedFile> mixed;
  mixed.push_back(std::move(*busy));
  mixed.push_back(std::move(*fine));
  const fd::Status committed = files::commitFiles(std::move(mixed));
  ASSERT_FALSE(committed.ok());
  EXPECT_NE(committed.error().find("busy.png"), std::string::npos) << committed.error();
  EXPECT_EQ(text(dir / "b.png"), "new a");
  EXPECT_EQ(files::contentsOfDirectory(dir), (std::vector<std::string>{"a.png", "b.png", "busy.png"}));
  EXPECT_FALSE(files::stageFile(root() / "no" / "such" / "dir.txt", a.data(), a.size()));
}

// A write killed before its rename leaves its temp file and the old file;
// the sweep takes the temp files of writes whose writer is gone, only for the
// targets the caller owns, and never one of a write in flight.
TEST_F(FilesTest, KilledAtomicWritesLeaveTempFilesTheSweepRemoves) {
  const fs::path dir = root() / "Documents";
  ASSERT_TRUE(files::writeFileAtomically(dir / "a.png", std::string("old")));
  for (int kill = 0; kill < 3; ++kill) {
    auto child = testing_support::runInChild([&] {
      fd::armCrashPoint("file.atomic-write.renaming");
      files::writeFileAtomically(dir / "a.png", std::string("new"));
    });
    ASSERT_TRUE(child.crashedAtPoint());
  }
  EXPECT_EQ(text(dir / "a.png"), "old");
  std::vector<std::string> names = files::contentsOfDirectory(dir);
  ASSERT_EQ(names.size(), 4u);
  for (const std::string& n : names) {
    if (n != "a.png") {
      EXPECT_EQ(files::atomicWriteTarget(n), "a.png") << n;
    }
  }
  put(dir / ".b.txt.Qq12Ww", "someone else's target");
  auto ownsPng = [](std::string_view target) { return target.ends_with(".png"); };
  EXPECT_EQ(files::removeAtomicWriteLeftovers(dir, ownsPng), 3);
  EXPECT_EQ(files::contentsOfDirectory(dir), (std::vector<std::string>{".b.txt.Qq12Ww", "a.png"}));
  EXPECT_EQ(files::removeAtomicWriteLeftovers(root() / "missing", ownsPng), 0);
}

TEST_F(FilesTest, TempNamesOfAtomicWrites) {
  EXPECT_EQ(files::atomicWriteTarget(".Project.plist.Ab12Z9"), "Project.plist");
  EXPECT_EQ(files::atomicWriteTarget(".x.Ab12Z9"), "x");
  for (const char* notOne : {"Project.plist.Ab12Z9", ".Project.plist.Ab12Z", ".Project.plist.Ab-2Z9",
                             ".Project.plist.Ab12Z99", "..Ab12Z9", ".Ab12Z9", ".Project.plist_Ab12Z9", ""}) {
    EXPECT_EQ(files::atomicWriteTarget(notOne), "") << notOne;
  }
  EXPECT_TRUE(files::isUniqueTempSuffix("a0Z9bY"));
  EXPECT_FALSE(files::isUniqueTempSuffix("a0Z9b"));
  EXPECT_FALSE(files::isUniqueTempSuffix("a0Z9b."));
}
