// A state file that cannot be read is kept, whatever its folder holds: when
// its time-stamped name for a kept copy is taken, a numbered one after the
// time stamp is; when the folder refuses the move, the file stays where it is
// and no write replaces it until a later write finds it can be moved, or gone.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/foundation/DamagedFile.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/TimestampId.h"
#include "support/KeptCopies.h"
#include "support/Sandbox.h"

namespace fs = std::filesystem;
using namespace std::chrono;

namespace {

using Kind = fd::DamagedFileReport::Kind;
using testing_support::fileText;
using testing_support::keptCopies;
using testing_support::refuseKeptCopies;
using testing_support::writeBytes;

class KeptAsideTest : public testing_support::SandboxTest {
 protected:
  void SetUp() override { fd::takeDamagedFileReports(); }
  void TearDown() override {
    fd::files::setWriteFaultForTesting({});
    fd::setTimestampClockForTesting({});
    fd::takeDamagedFileReports();
  }
  // Ids read a clock that stands still unless an id waits for it.
  void standTheClockAt(system_clock::time_point t) {
    now_ = t;
    fd::setTimestampClockForTesting([this] { return now_; }, [this](milliseconds d) { now_ += d; });
  }
  // The name a copy kept at the clock's time, plus `later` ms, would take.
  fs::path keptName(const fs::path& file, int later, int number = 1) {
    fs::path aside = file;
    aside += fd::kDamagedSuffix + fd::formatTimestampId(now_ + milliseconds{later});
    if (number > 1) aside += "-" + std::to_string(number);
    return aside;
  }
  system_clock::time_point now_ = system_clock::now();
};

TEST_F(KeptAsideTest, TakenNamesGiveWayToTheNextNumberAfterTheTimeStamp) {
  standTheClockAt(system_clock::now());
  const fs::path file = root() / "settings.plist";
  writeBytes(file, "garbled");
  // The names of the next few milliseconds, and the first numbered ones, hold
  // other files already.
  std::vector<fs::path> taken, takenLater;
  for (int later = 1; later < 5; ++later) takenLater.push_back(keptName(file, later));
  for (int number = 1; number <= 10; ++number) taken.push_back(keptName(file, 0, number));
  for (const fs::path& other : taken) writeBytes(other, "other " + other.filename().string());
  for (const fs::path& other : takenLater) writeBytes(other, "other " + other.filename().string());

  fd::Expected<fd::Value> read = fd::readStoredDictionary(file, Kind::Settings, "settings.plist");
  EXPECT_FALSE(read.ok());
  const std::vector<fd::DamagedFileReport> reports = fd::takeDamagedFileReports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].keptAs, keptName(file, 0, 11));
  EXPECT_TRUE(reports[0].notMoved.empty());
  EXPECT_EQ(fileText(reports[0].keptAs), "garbled");
  EXPECT_FALSE(fs::exists(file));
  for (const fs::path& other : taken) EXPECT_EQ(fileText(other), "other " + other.filename().string());
  // Of one millisecond's copies the newest is the one just kept, though "-9"
  // sorts after "-11".
  for (const fs::path& other : takenLater) fs::remove(other);
  EXPECT_EQ(fd::newestDamagedCopy(file), reports[0].keptAs);
  // The name is free for the program's own file again.
  EXPECT_TRUE(fd::writePropertyList(file, fd::Value(fd::Dictionary{})).ok());
}

TEST_F(KeptAsideTest, AFileThatCannotBeMovedAsideIsNeverWrittenOver) {
  const fs::path file = root() / "settings.plist";
  writeBytes(file, "garbled");
  refuseKeptCopies();
  EXPECT_FALSE(fd::readStoredDictionary(file, Kind::Settings, "settings.plist").ok());
  const std::vector<fd::DamagedFileReport> reports = fd::takeDamagedFileReports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_TRUE(reports[0].keptAs.empty());
  EXPECT_NE(reports[0].notMoved.find(std::strerror(EACCES)), std::string::npos) << reports[0].notMoved;

  // Every way the program writes its files is refused, with the reason.
  const fd::Status plist = fd::writePropertyList(file, fd::Value(fd::Dictionary{}));
  ASSERT_FALSE(plist.ok());
  EXPECT_NE(plist.error().find("could not be moved aside"), std::string::npos) << plist.error();
  EXPECT_FALSE(fd::files::writeFileAtomically(file, std::string("new")));
  const std::string bytes = "new";
  EXPECT_FALSE(fd::files::stageFile(file, bytes.data(), bytes.size()).ok());
  EXPECT_EQ(fileText(file), "garbled");
  EXPECT_TRUE(keptCopies(file).empty());

  // Once the folder lets it go, the next write keeps it first, and says where.
  fd::files::setWriteFaultForTesting({});
  EXPECT_TRUE(fd::files::writeFileAtomically(file, std::string("new")));
  EXPECT_EQ(fileText(file), "new");
  testing_support::expectKeptOnceAndTold(file, "garbled");
  // Later writes go as any other.
  EXPECT_TRUE(fd::files::writeFileAtomically(file, std::string("newer")));
  EXPECT_EQ(keptCopies(file).size(), 1u);
}

TEST_F(KeptAsideTest, AHeldFileThatWasTakenAwayNoLongerHoldsItsName) {
  const fs::path file = root() / "limits.plist";
  writeBytes(file, "garbled");
  refuseKeptCopies();
  EXPECT_FALSE(fd::readStoredDictionary(file, Kind::Settings, "limits.plist").ok());
  EXPECT_FALSE(fd::files::writeFileAtomically(file, std::string("new")));
  // The user moves it away by hand: nothing is left there to destroy.
  fs::rename(file, root() / "mine.plist");
  EXPECT_TRUE(fd::files::writeFileAtomically(file, std::string("new")));
  EXPECT_EQ(fileText(root() / "mine.plist"), "garbled");
}

}  // namespace
