// The owning wrappers under the zip code: what they hold is closed or removed
// on every way out, and only a completed move keeps a temporary file.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include "model/zip/ZipHandles.h"
#include "support/Sandbox.h"
#include "ZipTestSupport.h"

namespace fs = std::filesystem;
using namespace ziptest;

namespace {

class ZipHandlesTest : public testing_support::SandboxTest {};

bool descriptorOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

TEST_F(ZipHandlesTest, TemporaryFileIsRemovedUnlessMovedIntoPlace) {
  int fd = -1;
  fs::path path;
  {
    auto file = zipio::TemporaryFile::createIn(root());
    ASSERT_TRUE(file) << file.error();
    fd = file->fd();
    path = file->path();
    EXPECT_TRUE(fs::exists(path));
    EXPECT_NE(path.filename().string().find(".part"), std::string::npos);
  }
  EXPECT_FALSE(fs::exists(path));
  EXPECT_FALSE(descriptorOpen(fd));

  auto kept = zipio::TemporaryFile::createIn(root());
  ASSERT_TRUE(kept);
  ASSERT_EQ(::write(kept->fd(), "data", 4), 4);
  const fs::path from = kept->path();
  ASSERT_TRUE(kept->moveTo(root() / "final.png"));
  EXPECT_FALSE(fs::exists(from));
  { zipio::TemporaryFile gone = std::move(*kept); }
  EXPECT_EQ(readBytes(root() / "final.png"), bytesOf("data"));

  // A move onto a folder fails, and the temporary file still goes away.
  fs::create_directories(root() / "folder" / "inside");
  fs::path left;
  {
    auto blocked = zipio::TemporaryFile::createIn(root());
    ASSERT_TRUE(blocked);
    left = blocked->path();
    const auto moved = blocked->moveTo(root() / "folder");
    EXPECT_FALSE(moved);
    EXPECT_NE(moved.error().find("folder"), std::string::npos) << moved.error();
  }
  EXPECT_FALSE(fs::exists(left));
  EXPECT_FALSE(zipio::TemporaryFile::createIn(root() / "missing"));
}

TEST_F(ZipHandlesTest, DescriptorClosesOnceAndMovesOwnership) {
  const int raw = ::open(root().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(raw, 0);
  zipio::FileDescriptor a(raw);
  zipio::FileDescriptor b(std::move(a));
  EXPECT_FALSE(a);
  EXPECT_TRUE(b);
  EXPECT_TRUE(b.close());
  EXPECT_FALSE(descriptorOpen(raw));
  EXPECT_TRUE(b.close());  // nothing left to close
}

TEST_F(ZipHandlesTest, MinizipHandlesCloseWhatTheyHold) {
  EXPECT_FALSE(zipio::openZip(root() / "missing.zip"));
  writeBytes(root() / "junk.zip", bytesOf("not a zip at all"));
  const auto junk = zipio::openZip(root() / "junk.zip");
  ASSERT_FALSE(junk);
  EXPECT_NE(junk.error().find("junk.zip"), std::string::npos) << junk.error();

  {
    auto made = zipio::createZip(root() / "empty.zip");
    ASSERT_TRUE(made) << made.error();
    zipio::ZipWriteHandle moved = std::move(*made);
    EXPECT_FALSE(*made);
    EXPECT_TRUE(moved);
  }  // closing on destruction writes the end record of an empty zip
  EXPECT_EQ(readBytes(root() / "empty.zip"),
            (std::vector<std::uint8_t>{'P', 'K', 5, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

  ASSERT_TRUE(buildArchive(root() / "one.zip", {Entry{.name = "a.png", .content = bytesOf("a")}}));
  auto opened = zipio::openZip(root() / "one.zip");
  ASSERT_TRUE(opened) << opened.error();
  EXPECT_TRUE(opened->close());
  EXPECT_FALSE(*opened);
  EXPECT_TRUE(opened->close());
  EXPECT_FALSE(zipio::createZip(root() / "no" / "such" / "folder.zip"));
}

}  // namespace
