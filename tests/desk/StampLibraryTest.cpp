// The stamp library against a dispatcher the test starts on 127.0.0.1: the
// mirror list and the pack list, falling back through the mirrors, gzip,
// redirect loops, time-outs, lists of the wrong shape or not JSON at all,
// and packs that arrive cut short, as error pages or as hostile zips.
#include <gtest/gtest.h>
#include <zip.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

#include "desk/StampArt.h"
#include "desk/StampLibrary.h"
#include "model/zip/ZipWrapper.h"
#include "net/JSON.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/graphics/Image.h"
#include "platform/ui/HeadlessHost.h"
#include "platform/ui/Standins.h"
#include "support/BinaryPlist.h"
#include "support/KeptCopies.h"
#include "support/ListBound.h"
#include "support/LocalHttpServer.h"
#include "support/Sandbox.h"

namespace fs = std::filesystem;

namespace {

using testing_support::gzip;

std::string readAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> namesIn(const fs::path& dir) {
  std::vector<std::string> out;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
    out.push_back(fs::relative(it->path(), dir).string());
  std::sort(out.begin(), out.end());
  return out;
}

// A zip whose entries are written as named, whatever they name.
std::string rawZip(const fs::path& at, const std::vector<std::pair<std::string, std::string>>& entries) {
  zipFile z = zipOpen(at.c_str(), APPEND_STATUS_CREATE);
  for (const auto& [name, bytes] : entries) {
    zip_fileinfo info{};
    zipOpenNewFileInZip(z, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION);
    zipWriteInFileInZip(z, bytes.data(), static_cast<unsigned>(bytes.size()));
    zipCloseFileInZip(z);
  }
  zipClose(z, nullptr);
  return readAll(at);
}

class StampLibraryTest : public testing_support::SandboxTest {
 protected:
  void SetUp() override {
    fd::RunLoop::resetMainForTesting(/*virtualClock=*/false);
    host = std::make_unique<ui::HeadlessHost>(false, 1.0f);
    ui::Reachability::setOverride(ui::Reachability::Flags{true, false});
    ResourceDownLoadManager::resetSharedForTesting();
    ResourceDownLoadManager::setTimeOutSeconds(10);
    png = readAll(writePng("shape_02.png"));
  }
  void TearDown() override {
    release = true;
    // The server's threads may still be answering a late request; they write
    // into this fixture's members, which go before the server would.
    http.stop();
    ResourceDownLoadManager::resetSharedForTesting();
    ui::Reachability::setOverride(std::nullopt);
    host.reset();
  }

  fs::path writePng(const std::string& shape) {
    const fs::path p = root() / "tmp" / (shape + ".src.png");
    fs::create_directories(p.parent_path());
    EXPECT_TRUE(gfx::writePNG(p, stamp_art::draw(shape, 1)).ok());
    return p;
  }

  // A pack zip as the dispatcher serves it: the pictures and their thumbnails.
  std::string packZip(const std::string& title, int pictures) {
    std::vector<std::pair<std::string, std::string>> entries;
    for (int i = 1; i <= pictures; ++i) {
      entries.push_back({title + "/p" + std::to_string(i) + ".png", png});
      entries.push_back({title + "Thumbnail/p" + std::to_string(i) + ".png", png});
    }
    entries.push_back({title + "Thumbnail/readme.txt", "not a picture"});
    entries.push_back({"__MACOSX/._junk", "x"});
    return rawZip(root() / "tmp" / (title + ".zip"), entries);
  }

  // The dispatcher: the mirror list, "/paths?key=..." for packs and
  // thumbnails, the files themselves; handlers added by each test go first.
  void serveDispatcher(std::vector<std::string> mirrors) {
    http.server().Get("/paths.json", [this, mirrors](const httplib::Request& req, httplib::Response& res) {
      seenListKey = req.get_param_value("key");
      std::string body = "[";
      for (std::size_t i = 0; i < mirrors.size(); ++i)
        body += (i ? "," : "") + std::string("{\"url\":\"") + http.url(mirrors[i]) + "\"}";
      res.set_content(body + "]", "application/json");
    });
    http.server().Get("/paths", [this](const httplib::Request& req, httplib::Response& res) {
      const std::string key = req.get_param_value("key");
      hits.count(key);
      const bool thumb = key.size() > 10 && key.ends_with("_THUMBNAIL");
      res.set_content("[{\"url\":\"" + http.url("/files/" + key + (thumb ? ".png" : ".zip")) + "\"}]",
                      "application/json");
    });
  }

  static std::string listJSON(const std::string& version, const std::string& items) {
    return "{\"VERSION\":\"" + version + "\",\"ITEMS\":[" + items + "]}";
  }
  static std::string item(const std::string& key, const std::string& title, const std::string& type = "STAMP") {
    return "{\"KEY\":\"" + key + "\",\"TITLE\":\"" + title + "\",\"QUANTITY\":3,\"PRICE\":0,\"TYPE\":\"" + type + "\"}";
  }

  bool runUntil(const std::function<bool()>& done, double seconds = 10) {
    return testing_support::runMainUntil(done, seconds);
  }
  // Lets late answers arrive: nothing is waited for but the time.
  void settle(double seconds = 0.3) { testing_support::runMainUntil([] { return false; }, seconds); }

  ResourceDownLoadManager& start() {
    http.start();
    fd::UserDefaults::standard().setObject(ResourceDownLoadManager::kServerDefaultsKey, http.url(""));
    ResourceDownLoadManager& m = ResourceDownLoadManager::shared();
    m.fetchDownLoadListFromFile();
    m.fetchDownLoadList(ResourceDownLoadManager::mirrorListURL());
    return m;
  }
  std::string storedVersion() { return fd::UserDefaults::standard().stringForKey("downloadsourceversion"); }
  fs::path downloads() { return root() / "Library" / "downloadFolder"; }

  void stallUntilReleased() {
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }

  // Serves a list of one stamp pack, key K1, with its zip and thumbnail, and
  // starts the library; the pack is listed when this returns.
  ResourceDownLoadManager& startWithOnePack(const std::string& title, int pictures) {
    serveDispatcher({"/m/list"});
    http.server().Get("/m/list", [title](const httplib::Request&, httplib::Response& res) {
      res.set_content(listJSON("1", item("K1", title)), "application/json");
    });
    onePackZip = packZip(title, pictures);
    http.server().Get("/files/K1.zip", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content(onePackZip, "application/zip");
    });
    http.server().Get("/files/K1_THUMBNAIL.png", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content(png, "image/png");
    });
    ResourceDownLoadManager& m = start();
    EXPECT_TRUE(runUntil([&] { return m.stampDownLoadItems().size() == 1; }));
    return m;
  }

  // Downloads the first stamp pack through a cell, as the user's button does.
  std::shared_ptr<DownLoadCell> download(ResourceDownLoadManager& m) {
    auto cell = std::make_shared<DownLoadCell>(ui::Rect{0, 0, 136, 37});
    cell->setDownLoadItem(m.stampDownLoadItems().at(0));
    cell->downLoadCategray();
    return cell;
  }
  bool settled(const DownLoadItem& item) { return item.downLoadState() != DownLoadItem::kLoading; }

  std::unique_ptr<ui::HeadlessHost> host;
  testing_support::LocalHttpServer http;
  std::atomic<bool> release{false};
  std::string png;
  std::string onePackZip;
  std::string seenListKey;
  // Requests for each pack or thumbnail, counted by the server's threads
  // (one per connection) while the test reads them.
  class Hits {
   public:
    void count(const std::string& key) {
      std::lock_guard lock(mutex_);
      ++counts_[key];
    }
    int operator[](const std::string& key) const {
      std::lock_guard lock(mutex_);
      const auto it = counts_.find(key);
      return it == counts_.end() ? 0 : it->second;
    }

   private:
    mutable std::mutex mutex_;
    std::map<std::string, int> counts_;
  } hits;
};

TEST_F(StampLibraryTest, TheListComesFromTheSecondMirrorAndIsKeptOnDisk) {
  serveDispatcher({"/m0/list", "/m1/list"});
  std::atomic<int> m0{0};
  http.server().Get("/m0/list", [&](const httplib::Request&, httplib::Response& res) {
    ++m0;
    res.set_content("{}", "application/json");
  });
  http.server().Get("/m1/list", [&](const httplib::Request& req, httplib::Response& res) {
    EXPECT_EQ(req.get_header_value("Accept"), "application/json");
    res.set_content(listJSON("7", item("K1", "Animals") + "," + item("K2", "Cards", "TEMPLATE") + "," +
                                      item("K3", "Mail", "ECARD") + "," + item("K4", "Odd", "SOUND") + "," +
                                      item("K5", "Plants")),
                    "application/json");
  });
  ResourceDownLoadManager& m = start();
  ASSERT_TRUE(runUntil([&] { return m.stampDownLoadItems().size() == 2; }));
  EXPECT_EQ(seenListKey, "APP.IPAD.VELMORA.PACKAGE.LIST.ALL");
  EXPECT_EQ(m0, 0);
  EXPECT_EQ(m.stampDownLoadItems()[0]->title(), "Animals");
  EXPECT_EQ(m.stampDownLoadItems()[1]->title(), "Plants");
  EXPECT_EQ(m.stampDownLoadItems()[0]->quantity(), 3);
  EXPECT_EQ(m.stampDownLoadItems()[0]->downLoadURL(), http.url("/paths?key=K1"));
  EXPECT_EQ(m.stampDownLoadItems()[0]->thumbnailURL(), http.url("/paths?key=K1_THUMBNAIL"));
  EXPECT_EQ(m.templateDownLoadItems().size(), 1u);
  EXPECT_EQ(m.templateDownLoadEcardItems().size(), 1u) << "the SOUND item is skipped";
  EXPECT_EQ(storedVersion(), "7");

  // A new run reads the lists back from their archives.
  ResourceDownLoadManager::resetSharedForTesting();
  ResourceDownLoadManager& again = ResourceDownLoadManager::shared();
  again.fetchDownLoadListFromFile();
  ASSERT_EQ(again.stampDownLoadItems().size(), 2u);
  EXPECT_EQ(again.stampDownLoadItems()[1]->key(), "K5");
  EXPECT_EQ(again.templateDownLoadItems().size(), 1u);
}

TEST_F(StampLibraryTest, TheSameVersionChangesNothingEvenWithOtherItems) {
  serveDispatcher({"/m0/list", "/m1/list"});
  std::atomic<int> served{0};
  http.server().Get("/m1/list", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(served++ == 0 ? listJSON("3", item("K1", "Animals")) : listJSON("3", item("K9", "Other")),
                    "application/json");
  });
  ResourceDownLoadManager& m = start();
  ASSERT_TRUE(runUntil([&] { return m.stampDownLoadItems().size() == 1; }));
  m.fetchDownLoadList(ResourceDownLoadManager::mirrorListURL());
  ASSERT_TRUE(runUntil([&] { return served == 2; }));
  settle();
  ASSERT_EQ(m.stampDownLoadItems().size(), 1u);
  EXPECT_EQ(m.stampDownLoadItems()[0]->title(), "Animals");
}

TEST_F(StampLibraryTest, AFailingMirrorFallsBackToTheFirstAndALoopingOneToo) {
  serveDispatcher({"/m0/list", "/m1/list"});
  http.server().Get("/m0/list", [&](const httplib::Request&, httplib::Response& res) {
    // The first mirror sends its list packed.
    res.set_content(gzip(listJSON("5", item("K1", "Zipped"))), "application/json");
    res.set_header("Content-Encoding", "gzip");
  });
  std::atomic<int> loops{0};
  http.server().Get("/m1/list", [&](const httplib::Request&, httplib::Response& res) {
    ++loops;
    res.set_redirect("/m1/list", 302);
  });
  ResourceDownLoadManager& m = start();
  ASSERT_TRUE(runUntil([&] { return m.stampDownLoadItems().size() == 1; }));
  EXPECT_EQ(m.stampDownLoadItems()[0]->title(), "Zipped");
  EXPECT_GT(loops, 1) << "the redirect loop was followed and given up";
  EXPECT_EQ(m.index(), 0);
}

TEST_F(StampLibraryTest, AnErrorStatusCountsAsAFailedMirror) {
  serveDispatcher({"/m0/list", "/m1/list"});
  http.server().Get("/m0/list", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(listJSON("2", item("K1", "FromZero")), "application/json");
  });
  http.server().Get("/m1/list", [&](const httplib::Request&, httplib::Response& res) {
    res.status = 503;
    res.set_content(listJSON("9", item("K1", "ErrorPage")), "application/json");
  });
  ResourceDownLoadManager& m = start();
  ASSERT_TRUE(runUntil([&] { return m.stampDownLoadItems().size() == 1; }));
  EXPECT_EQ(m.stampDownLoadItems()[0]->title(), "FromZero");
  EXPECT_EQ(storedVersion(), "2");
}

TEST_F(StampLibraryTest, AMirrorListOfOneUsesThatMirror) {
  serveDispatcher({"/only/list"});
  http.server().Get("/only/list", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(listJSON("4", item("K1", "Single")), "application/json");
  });
  ResourceDownLoadManager& m = start();
  ASSERT_TRUE(runUntil([&] { return m.stampDownLoadItems().size() == 1; }));
  EXPECT_EQ(m.index(), 0);
}

TEST_F(StampLibraryTest, ListsOfTheWrongShapeOrNotJsonChangeNothing) {
  // What is on disk from an earlier run.
  ResourceDownLoadManager::shared();
  fd::UserDefaults::standard().setObject("downloadsourceversion", "1");
  {
    auto old = ResourceDownLoadManager::shared().addItem(
        *mutableObjectFromJSONString(item("OLD", "Kept")));
    ASSERT_TRUE(old);
    ResourceDownLoadManager::shared().stampDownLoadItems().push_back(old);
    ResourceDownLoadManager::shared().saveDownLoadListToFile();
  }
  std::atomic<int> mirrorHits{0};
  int answer = 0;
  const std::vector<std::string> mirrorLists = {
      "{\"url\":\"x\"}", "[\"" + std::string("http://127.0.0.1:1/") + "\"]", "[{\"url\":5}]", "[]", "[{\"url\":\"a\"}, 3]",
      "not json"};
  http.server().Get("/paths.json", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(mirrorLists[static_cast<std::size_t>(answer)], "application/json");
  });
  http.server().Get("/m/list", [&](const httplib::Request&, httplib::Response& res) {
    ++mirrorHits;
    res.set_content("{}", "application/json");
  });
  ResourceDownLoadManager& m = start();
  ASSERT_EQ(m.stampDownLoadItems().size(), 1u);
  for (answer = 0; answer < static_cast<int>(mirrorLists.size()); ++answer) {
    m.fetchDownLoadList(ResourceDownLoadManager::mirrorListURL());
    settle(0.25);
    EXPECT_EQ(mirrorHits, 0) << mirrorLists[static_cast<std::size_t>(answer)];
    ASSERT_EQ(m.stampDownLoadItems().size(), 1u) << mirrorLists[static_cast<std::size_t>(answer)];
  }

  // Pack lists of the wrong shape, straight from a mirror.
  const std::vector<std::string> packLists = {
      "[1,2]", "{\"VERSION\":\"8\"}", "{\"VERSION\":\"8\",\"ITEMS\":{}}", "{\"VERSION\":[],\"ITEMS\":[]}",
      "{\"VERSION\":\"8\",\"ITEMS\":[1, \"x\"", "<html>busy</html>"};
  int pack = 0;
  http.server().Get("/m2/list", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(packLists[static_cast<std::size_t>(pack)], "application/json");
  });
  for (pack = 0; pack < static_cast<int>(packLists.size()); ++pack) {
    m.getList(*mutableObjectFromJSONString("[{\"url\":\"" + http.url("/m2/list") + "\"}]"));
    settle(0.25);
    ASSERT_EQ(m.stampDownLoadItems().size(), 1u) << packLists[static_cast<std::size_t>(pack)];
    EXPECT_EQ(m.stampDownLoadItems()[0]->title(), "Kept");
    EXPECT_EQ(storedVersion(), "1") << packLists[static_cast<std::size_t>(pack)];
  }
  ResourceDownLoadManager::resetSharedForTesting();
  ResourceDownLoadManager::shared().fetchDownLoadListFromFile();
  EXPECT_EQ(ResourceDownLoadManager::shared().stampDownLoadItems().size(), 1u) << "the archive was not rewritten";
}

TEST_F(StampLibraryTest, TitlesThatWouldBePathsOutsideTheFolderAreSkipped) {
  ResourceDownLoadManager& m = ResourceDownLoadManager::shared();
  for (const char* title : {"../up", "a/b", "..", ".", "", "/abs", ".hidden"})
    EXPECT_FALSE(m.addItem(*mutableObjectFromJSONString(item("K", title)))) << title;
  EXPECT_FALSE(m.addItem(*mutableObjectFromJSONString("{\"KEY\":1,\"TITLE\":\"x\"}")));
  EXPECT_FALSE(m.addItem(*mutableObjectFromJSONString("[]")));
  auto ok = m.addItem(*mutableObjectFromJSONString(
      "{\"KEY\":\"a b&c\",\"TITLE\":\"Fine\",\"QUANTITY\":\"12\",\"PRICE\":0.99}"));
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->quantity(), 12);
  EXPECT_FLOAT_EQ(ok->price(), 0.99f);
  EXPECT_NE(ok->downLoadURL().find("key=a%20b%26c"), std::string::npos) << ok->downLoadURL();

  // An archive edited by hand is checked the same way.
  fd::Array a{fd::Value(fd::Dictionary{{"key", "k"}, {"title", "../../evil"}, {"thumbnailURL", "u"}, {"downLoadURL", "u"}})};
  ASSERT_TRUE(fd::writePropertyList(root() / "Library" / "stampDownloadlist", fd::Value(a)));
  m.fetchDownLoadListFromFile();
  EXPECT_TRUE(m.stampDownLoadItems().empty());
}

// A pack list that cannot be read (garbled, of another kind, or standing for
// far more than a list may build once its shared objects are copied out) is
// set aside and told when the lists are read, and the next save of the lists
// writes beside it; one its folder will not let be moved stays as it was,
// and no save replaces it.
TEST_F(StampLibraryTest, AnUnreadablePackListIsKeptAndToldNeverWrittenOver) {
  const fs::path list = root() / "Library" / "stampDownloadlist";
  const fd::Data shared = testing_support::sharedDataList(false);
  const std::string garbled = "\x01garbled\x02";
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"garbled", garbled},
      {"a dictionary", fd::serializePropertyListXML(fd::Value(fd::Dictionary{{"ITEMS", fd::Value(1)}}))},
      {"shared objects", std::string(shared.begin(), shared.end())}};
  for (const auto& [what, bytes] : cases) {
    SCOPED_TRACE(what);
    testing_support::writeBytes(list, bytes);
    fd::takeDamagedFileReports();
    ResourceDownLoadManager::resetSharedForTesting();
    ResourceDownLoadManager& m = ResourceDownLoadManager::shared();
    m.fetchDownLoadListFromFile();
    EXPECT_TRUE(m.stampDownLoadItems().empty());
    m.saveDownLoadListToFile();
    testing_support::expectKeptOnceAndTold(list, bytes);
    EXPECT_TRUE(fd::readPropertyList(list)) << "the lists are saved beside it";
    for (const fs::path& kept : testing_support::keptCopies(list)) fs::remove(kept);
  }

  testing_support::writeBytes(list, garbled);
  testing_support::refuseKeptCopies(EROFS);
  ResourceDownLoadManager::resetSharedForTesting();
  ResourceDownLoadManager::shared().fetchDownLoadListFromFile();
  ResourceDownLoadManager::shared().saveDownLoadListToFile();
  fd::files::setWriteFaultForTesting({});
  EXPECT_EQ(testing_support::fileText(list), garbled);
  const std::vector<fd::DamagedFileReport> reports = fd::takeDamagedFileReports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].name, "stampDownloadlist");
  EXPECT_FALSE(reports[0].notMoved.empty());
}

// The version the server's list was last taken at only says the lists on
// disk are that list's while they are there whole: a list that could not be
// read (held from every save while its folder refused to let it be moved
// aside) or that has gone is built again from the server at the next start,
// not left empty because the version is the same.
TEST_F(StampLibraryTest, AListThatWasHeldOrSetAsideOrIsGoneIsBuiltAgainFromTheServer) {
  const fs::path list = root() / "Library" / "stampDownloadlist";
  const std::string garbled = "\x01garbled\x02";
  serveDispatcher({"/m/list"});
  std::atomic<int> served{0};
  http.server().Get("/m/list", [&](const httplib::Request&, httplib::Response& res) {
    ++served;
    res.set_content(listJSON("4", item("K1", "Animals") + "," + item("K2", "Cards", "TEMPLATE")), "application/json");
  });
  // A run whose folder will not let the damaged list be moved: the server's
  // list shows, its version is noted, and nothing is written over the list.
  testing_support::writeBytes(list, garbled);
  testing_support::refuseKeptCopies(EROFS);
  ResourceDownLoadManager& first = start();
  ASSERT_TRUE(runUntil([&] { return first.stampDownLoadItems().size() == 1; }));
  fd::files::setWriteFaultForTesting({});
  EXPECT_EQ(testing_support::fileText(list), garbled);
  EXPECT_EQ(storedVersion(), "4");
  fd::takeDamagedFileReports();

  // The next starts: the list can be moved aside now; then it is there whole
  // (nothing to build), its pack downloaded; then only another list has gone
  // (the pack stays downloaded); then it has gone itself.
  enum Start { Movable, Whole, OtherGone, Gone };
  for (const Start next : {Movable, Whole, OtherGone, Gone}) {
    SCOPED_TRACE(next);
    if (next == OtherGone) fs::remove(root() / "Library" / "templateDownloadlist");
    if (next == Gone) fs::remove(list);
    const int before = served;
    ResourceDownLoadManager::resetSharedForTesting();
    ResourceDownLoadManager& m = ResourceDownLoadManager::shared();
    m.fetchDownLoadListFromFile();
    if (next == Whole) {
      // Marked so that a rebuild would show.
      ASSERT_EQ(m.stampDownLoadItems().size(), 1u);
      m.stampDownLoadItems()[0]->setDownLoadState(DownLoadItem::kLoaded);
      m.saveDownLoadListToFile();
    }
    m.fetchDownLoadList(ResourceDownLoadManager::mirrorListURL());
    ASSERT_TRUE(runUntil([&] { return served > before; }));
    ASSERT_TRUE(runUntil([&] { return m.stampDownLoadItems().size() == 1 && m.templateDownLoadItems().size() == 1; }));
    settle(0.1);
    EXPECT_EQ(m.stampDownLoadItems()[0]->title(), "Animals");
    const bool downloaded = next == Whole || next == OtherGone;
    EXPECT_EQ(m.stampDownLoadItems()[0]->downLoadState(), downloaded ? DownLoadItem::kLoaded : DownLoadItem::kNone);
    if (next == Movable) testing_support::expectKeptOnceAndTold(list, garbled);
    // What was built is on disk for the start after.
    ResourceDownLoadManager::resetSharedForTesting();
    ResourceDownLoadManager::shared().fetchDownLoadListFromFile();
    EXPECT_EQ(ResourceDownLoadManager::shared().stampDownLoadItems().size(), 1u);
    EXPECT_EQ(ResourceDownLoadManager::shared().templateDownLoadItems().size(), 1u);
    EXPECT_TRUE(fd::takeDamagedFileReports().empty());
  }
}

// A pack list the program takes is one it takes again once it has written it
// back. Packs listed with only their names and addresses are written with
// their count, price and states beside them: a list that would grow past the
// bound so is not written and stays as it was. One whose written form would
// pass the bound, its addresses' markup written as entities, is refused at
// its first read, set aside and told.
TEST_F(StampLibraryTest, APackListTakenIsTakenAgainOnceWritten) {
  testing_support::ScopedListFileBound bound(64 << 10);
  const fs::path list = root() / "Library" / "stampDownloadlist";
  const auto packs = [](int count, const std::string& thumbnail) {
    std::string xml = "<plist version=\"1.0\"><array>";
    for (int i = 0; i < count; ++i) {
      const std::string n = std::to_string(10000 + i);
      xml += "<dict><key>key</key><string>k" + n + "</string><key>title</key><string>t" + n +
             "</string><key>thumbnailURL</key><string>" + thumbnail +
             "</string><key>downLoadURL</key><string>u</string></dict>";
    }
    xml += "</array></plist>";
    return xml;
  };
  const auto reread = [&] {
    ResourceDownLoadManager::resetSharedForTesting();
    ResourceDownLoadManager::shared().fetchDownLoadListFromFile();
    return ResourceDownLoadManager::shared().stampDownLoadItems().size();
  };
  fd::takeDamagedFileReports();

  testing_support::writeBytes(list, packs(150, "u"));
  ASSERT_EQ(reread(), 150u);
  ResourceDownLoadManager::shared().saveDownLoadListToFile();
  EXPECT_NE(testing_support::fileText(list), packs(150, "u")) << "written with the count, price and states";
  EXPECT_EQ(reread(), 150u);

  const std::string grown = packs(250, "u");
  testing_support::writeBytes(list, grown);
  ASSERT_EQ(reread(), 250u);
  ResourceDownLoadManager::shared().saveDownLoadListToFile();
  EXPECT_EQ(testing_support::fileText(list), grown);
  EXPECT_EQ(reread(), 250u);
  EXPECT_TRUE(fd::takeDamagedFileReports().empty());

  const std::string marked = packs(40, "<![CDATA[" + std::string(400, '&') + "]]>");
  ASSERT_LE(marked.size(), std::size_t{64} << 10);
  testing_support::writeBytes(list, marked);
  EXPECT_EQ(reread(), 0u);
  const std::vector<fd::DamagedFileReport> reports = fd::takeDamagedFileReports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_TRUE(reports[0].reason.starts_with("it is too large to open: its file of ")) << reports[0].reason;
  EXPECT_EQ(testing_support::fileText(reports[0].keptAs), marked);
  ResourceDownLoadManager::shared().saveDownLoadListToFile();
  EXPECT_EQ(reread(), 0u) << "the lists are saved beside it";
  EXPECT_TRUE(fd::takeDamagedFileReports().empty());
}

TEST_F(StampLibraryTest, APackIsDownloadedUnpackedAndListedByItsThumbnails) {
  ResourceDownLoadManager& m = startWithOnePack("Animals", 3);
  ASSERT_EQ(m.stampDownLoadItems().size(), 1u);
  auto cell = download(m);
  DownLoadItem& it = *m.stampDownLoadItems()[0];
  EXPECT_FALSE(cell->downLoadBtn()->isEnabled());
  ASSERT_TRUE(runUntil([&] { return settled(it) && it.thumbnailDownLoadState() == DownLoadItem::kLoaded; }));
  m.drainUnzip();
  ASSERT_TRUE(runUntil([&] { return it.downLoadState() == DownLoadItem::kLoaded; }));
  EXPECT_FALSE(cell->downLoadBtn()->isEnabled());
  EXPECT_FALSE(cell->categrayImage()->image().empty()) << "the thumbnail shows";
  EXPECT_EQ(namesIn(downloads()),
            (std::vector<std::string>{"Animals", "Animals.png", "Animals/p1.png", "Animals/p2.png", "Animals/p3.png",
                                      "AnimalsThumbnail", "AnimalsThumbnail/p1.png", "AnimalsThumbnail/p2.png",
                                      "AnimalsThumbnail/p3.png", "AnimalsThumbnail/readme.txt"}))
      << "the zip and __MACOSX are gone";
  m.setStampStyle(0);
  EXPECT_EQ(m.stampDownArray(), (std::vector<std::string>{"p1.png", "p2.png", "p3.png"}));
  EXPECT_EQ(hits["K1_THUMBNAIL"], 1);
}

TEST_F(StampLibraryTest, AStalledDownloadResumesAfterTheTimeOut) {
  ResourceDownLoadManager::setTimeOutSeconds(0.5);
  serveDispatcher({"/m/list"});
  http.server().Get("/m/list", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(listJSON("1", item("K1", "Slow")), "application/json");
  });
  const std::string zip = packZip("Slow", 40);
  const std::size_t half = zip.size() / 2;
  std::mutex mu;
  std::vector<std::string> ranges;
  http.server().Get("/files/K1.zip", [&](const httplib::Request& req, httplib::Response& res) {
    const std::string range = req.get_header_value("Range");
    {
      std::lock_guard lock(mu);
      ranges.push_back(range);
    }
    if (range.empty()) {
      res.set_content_provider(zip.size(), "application/zip", [&, half](std::size_t offset, std::size_t, httplib::DataSink& sink) {
        if (offset < half) return sink.write(zip.data() + offset, half - offset);
        stallUntilReleased();
        return false;
      });
      return;
    }
    res.set_content(zip, "application/zip");
  });
  http.server().Get("/files/K1_THUMBNAIL.png", [&](const httplib::Request&, httplib::Response& res) { res.status = 404; });
  ResourceDownLoadManager& m = start();
  ASSERT_TRUE(runUntil([&] { return m.stampDownLoadItems().size() == 1; }));
  auto cell = download(m);
  DownLoadItem& it = *m.stampDownLoadItems()[0];
  ASSERT_TRUE(runUntil([&] { return it.downLoadState() == DownLoadItem::kLoaded; }, 15));
  std::lock_guard lock(mu);
  ASSERT_GE(ranges.size(), 2u);
  EXPECT_EQ(ranges[1], "bytes=" + std::to_string(half) + "-");
  EXPECT_TRUE(fs::exists(downloads() / "Slow" / "p40.png"));
}

TEST_F(StampLibraryTest, AnErrorPageOrACutDownloadInstallsNothing) {
  serveDispatcher({"/m/list"});
  http.server().Get("/m/list", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(listJSON("1", item("K1", "Missing") + "," + item("K2", "Cut")), "application/json");
  });
  const std::string zip = packZip("Missing", 2);
  http.server().Get("/files/K1.zip", [&](const httplib::Request&, httplib::Response& res) {
    // The error page is a whole pack, but the status says it is not the answer.
    res.status = 404;
    res.set_content(zip, "application/zip");
  });
  const std::string cut = packZip("Cut", 20);
  http.server().Get("/files/K2.zip", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(cut.size(), "application/zip", [&](std::size_t offset, std::size_t, httplib::DataSink& sink) {
      if (offset == 0) return sink.write(cut.data(), cut.size() / 2);
      return false;  // the connection drops half-way
    });
  });
  http.server().Get(R"(/files/.*_THUMBNAIL\.png)", [&](const httplib::Request&, httplib::Response& res) { res.status = 404; });
  ResourceDownLoadManager& m = start();
  ASSERT_TRUE(runUntil([&] { return m.stampDownLoadItems().size() == 2; }));
  for (std::size_t i = 0; i < 2; ++i) {
    auto cell = std::make_shared<DownLoadCell>(ui::Rect{0, 0, 136, 37});
    cell->setDownLoadItem(m.stampDownLoadItems()[i]);
    cell->downLoadCategray();
    DownLoadItem& it = *m.stampDownLoadItems()[i];
    ASSERT_TRUE(runUntil([&] { return hits[it.key()] == 1 && settled(it); }));
    m.drainUnzip();
    settle(0.2);
    EXPECT_EQ(it.downLoadState(), DownLoadItem::kNone) << it.title();
    EXPECT_TRUE(cell->downLoadBtn()->isEnabled()) << "the pack can be asked for again";
  }
  EXPECT_EQ(namesIn(downloads()), std::vector<std::string>{}) << "no zip, no half pack, no error page";
}

TEST_F(StampLibraryTest, AHostileZipWritesNothingOutsideItsOwnFolders) {
  serveDispatcher({"/m/list"});
  http.server().Get("/m/list", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(listJSON("1", item("K1", "Evil") + "," + item("K2", "Greedy")), "application/json");
  });
  const std::string evil = rawZip(root() / "tmp" / "evil.zip",
                                  {{"Evil/a.png", png}, {"../../escape.png", png}, {"EvilThumbnail/a.png", png}});
  // Well-formed, but it reaches for another pack's folder and the list files.
  const std::string greedy = rawZip(root() / "tmp" / "greedy.zip",
                                    {{"Greedy/a.png", png}, {"GreedyThumbnail/a.png", png}, {"Other/a.png", "overwritten"},
                                     {"stampDownloadlist", "junk"}});
  http.server().Get("/files/K1.zip", [&](const httplib::Request&, httplib::Response& res) { res.set_content(evil, "application/zip"); });
  http.server().Get("/files/K2.zip", [&](const httplib::Request&, httplib::Response& res) { res.set_content(greedy, "application/zip"); });
  http.server().Get(R"(/files/.*_THUMBNAIL\.png)", [&](const httplib::Request&, httplib::Response& res) { res.status = 404; });
  ResourceDownLoadManager& m = start();
  ASSERT_TRUE(runUntil([&] { return m.stampDownLoadItems().size() == 2; }));
  fs::create_directories(downloads() / "Other");
  { std::ofstream(downloads() / "Other" / "a.png") << "mine"; }
  const auto before = namesIn(root());

  std::vector<std::shared_ptr<DownLoadCell>> cells;
  for (std::size_t i = 0; i < 2; ++i) {
    cells.push_back(std::make_shared<DownLoadCell>(ui::Rect{0, 0, 136, 37}));
    cells.back()->setDownLoadItem(m.stampDownLoadItems()[i]);
    cells.back()->downLoadCategray();
  }
  DownLoadItem& evilItem = *m.stampDownLoadItems()[0];
  DownLoadItem& greedyItem = *m.stampDownLoadItems()[1];
  ASSERT_TRUE(runUntil([&] { return settled(evilItem) && settled(greedyItem); }));
  m.drainUnzip();
  settle(0.2);
  EXPECT_EQ(evilItem.downLoadState(), DownLoadItem::kNone) << "refused whole";
  EXPECT_FALSE(fs::exists(downloads() / "Evil"));
  EXPECT_FALSE(fs::exists(root() / "Library" / "escape.png"));
  EXPECT_FALSE(fs::exists(root() / "escape.png"));
  EXPECT_EQ(greedyItem.downLoadState(), DownLoadItem::kLoaded);
  EXPECT_EQ(readAll(downloads() / "Other" / "a.png"), "mine");
  EXPECT_FALSE(fs::exists(downloads() / "stampDownloadlist"));
  auto after = namesIn(root());
  std::vector<std::string> added;
  std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(added));
  for (const std::string& p : added)
    EXPECT_TRUE(p.starts_with("Library/downloadFolder/Greedy") || p.starts_with("Library/Preferences")) << p;
}

TEST_F(StampLibraryTest, AFailedThumbnailLeavesADownloadedPackAndIsAskedForOnce) {
  serveDispatcher({"/m/list"});
  http.server().Get("/m/list", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(listJSON("1", item("K1", "Done")), "application/json");
  });
  http.server().Get("/files/K1_THUMBNAIL.png", [&](const httplib::Request&, httplib::Response& res) { res.status = 500; });
  ResourceDownLoadManager& m = start();
  ASSERT_TRUE(runUntil([&] { return m.stampDownLoadItems().size() == 1; }));
  DownLoadItem& it = *m.stampDownLoadItems()[0];
  it.setDownLoadState(DownLoadItem::kLoaded);
  auto cell = std::make_shared<DownLoadCell>(ui::Rect{0, 0, 136, 37});
  cell->setDownLoadItem(m.stampDownLoadItems()[0]);
  ASSERT_TRUE(runUntil([&] { return hits["K1_THUMBNAIL"] == 1 && it.thumbnailDownLoadState() == DownLoadItem::kNone; }));
  for (int i = 0; i < 5; ++i) cell->reloadTheCell();
  settle(0.4);
  EXPECT_EQ(hits["K1_THUMBNAIL"], 1) << "asked for once";
  EXPECT_EQ(it.thumbnailRequests(), 1);
  EXPECT_EQ(it.downLoadState(), DownLoadItem::kLoaded) << "the pack is still downloaded";
  EXPECT_FALSE(cell->downLoadBtn()->isEnabled());
  EXPECT_FALSE(fs::exists(downloads() / "Done.png")) << "the error page is no thumbnail";
}

TEST_F(StampLibraryTest, AnInterruptedDownloadStartsAgainAfterTheNextStart) {
  ResourceDownLoadManager& m = ResourceDownLoadManager::shared();
  auto a = m.addItem(*mutableObjectFromJSONString(item("K1", "Half")));
  a->setDownLoadState(DownLoadItem::kLoading);
  a->setThumbnailDownLoadState(DownLoadItem::kLoaded);
  m.stampDownLoadItems().push_back(a);
  m.saveDownLoadListToFile();
  ResourceDownLoadManager::resetSharedForTesting();
  ResourceDownLoadManager& again = ResourceDownLoadManager::shared();
  again.fetchDownLoadListFromFile();
  ASSERT_EQ(again.stampDownLoadItems().size(), 1u);
  EXPECT_EQ(again.stampDownLoadItems()[0]->downLoadState(), DownLoadItem::kNone);
  auto cell = std::make_shared<DownLoadCell>(ui::Rect{0, 0, 136, 37});
  cell->setDownLoadItem(again.stampDownLoadItems()[0]);
  EXPECT_TRUE(cell->downLoadBtn()->isEnabled());
  EXPECT_EQ(cell->quantity()->text(), "3");
  EXPECT_EQ(cell->fee()->text(), "Free");
}

TEST_F(StampLibraryTest, WithoutNetworkThePackIsNotAskedFor) {
  ui::Reachability::setOverride(ui::Reachability::Flags{false, false});
  ResourceDownLoadManager& m = ResourceDownLoadManager::shared();
  auto a = m.addItem(*mutableObjectFromJSONString(item("K1", "Offline")));
  a->setThumbnailDownLoadState(DownLoadItem::kLoaded);
  m.stampDownLoadItems().push_back(a);
  auto cell = std::make_shared<DownLoadCell>(ui::Rect{0, 0, 136, 37});
  cell->setDownLoadItem(a);
  cell->downLoadCategray();
  EXPECT_EQ(a->downLoadState(), DownLoadItem::kNone);
  EXPECT_TRUE(cell->downLoadBtn()->isEnabled());
}

}  // namespace

// A pack may bear the name archives give their metadata folder: it installs
// and keeps its pictures (the clean-up after unpacking once deleted them, the
// pack still showing as downloaded).
TEST_F(StampLibraryTest, APackTitledLikeTheArchivesMetadataFolderKeepsItsPictures) {
  ResourceDownLoadManager& m = startWithOnePack("__MACOSX", 2);
  ASSERT_EQ(m.stampDownLoadItems().size(), 1u);
  auto cell = download(m);
  DownLoadItem& it = *m.stampDownLoadItems()[0];
  ASSERT_TRUE(runUntil([&] { return settled(it); }));
  m.drainUnzip();
  ASSERT_TRUE(runUntil([&] { return it.downLoadState() == DownLoadItem::kLoaded; }));
  EXPECT_TRUE(fs::exists(downloads() / "__MACOSX" / "p1.png"));
  EXPECT_TRUE(fs::exists(downloads() / "__MACOSX" / "p2.png"));
  m.setStampStyle(0);
  EXPECT_EQ(m.stampDownArray(), (std::vector<std::string>{"p1.png", "p2.png"}));
}

// Counts and prices come from the network as any number: one that is no
// count of pictures or no price shows as the list's fallback (0, "Free"),
// never as a wrapped integer or "nan"; so does one edited into the archive.
TEST_F(StampLibraryTest, CountsAndPricesThatAreNoNumbersShowTheFallback) {
  struct Case {
    const char* quantity;
    const char* price;
    std::string shownQuantity;
    std::string shownPrice;
  };
  const std::vector<Case> cases = {{"1e20", "0.5", "0", "0.50"},         {"-1e300", "\"nan\"", "0", "Free"},
                                   {"\"12\"", "\"inf\"", "12", "Free"},  {"7.9", "-2", "7", "Free"},
                                   {"\"nan\"", "1e300", "0", "Free"},    {"2147483648", "\"-0\"", "0", "Free"},
                                   {"2147483647", "1.25", "2147483647", "1.25"}};
  ResourceDownLoadManager& m = ResourceDownLoadManager::shared();
  for (const Case& c : cases) {
    const std::string json = std::string("{\"KEY\":\"K\",\"TITLE\":\"T\",\"QUANTITY\":") + c.quantity + ",\"PRICE\":" + c.price + "}";
    auto added = m.addItem(*mutableObjectFromJSONString(json));
    ASSERT_TRUE(added) << json;
    added->setThumbnailDownLoadState(DownLoadItem::kLoaded);
    auto cell = std::make_shared<DownLoadCell>(ui::Rect{0, 0, 136, 37});
    cell->setDownLoadItem(added);
    EXPECT_EQ(cell->quantity()->text(), c.shownQuantity) << json;
    EXPECT_EQ(cell->fee()->text(), c.shownPrice) << json;
  }

  fd::Array a{fd::Value(fd::Dictionary{{"key", "k"}, {"title", "Stored"}, {"thumbnailURL", "u"}, {"downLoadURL", "u"},
                                       {"quantity", fd::Value(1e20)}, {"price", fd::Value(std::nan(""))}})};
  ASSERT_TRUE(fd::writePropertyList(root() / "Library" / "stampDownloadlist", fd::Value(a)));
  m.fetchDownLoadListFromFile();
  ASSERT_EQ(m.stampDownLoadItems().size(), 1u);
  EXPECT_EQ(m.stampDownLoadItems()[0]->quantity(), 0);
  EXPECT_EQ(m.stampDownLoadItems()[0]->price(), 0.0f);
}
