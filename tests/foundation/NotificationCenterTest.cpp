#include "platform/foundation/NotificationCenter.h"

#include <gtest/gtest.h>

#include <thread>

using fd::Notification;
using fd::NotificationCenter;

TEST(NotificationCenter, DeliversByNameAndSender) {
  NotificationCenter c;
  int sender = 0, other = 0;
  std::vector<std::string> got;
  c.addObserver("A", [&](const Notification& n) { got.push_back("any:" + n.userInfo["k"].stringValue()); });
  c.addObserver("A", [&](const Notification&) { got.push_back("fromSender"); }, nullptr, &sender);
  c.addObserver("B", [&](const Notification&) { got.push_back("B"); });
  c.post("A", &other, fd::Dictionary{{"k", 1}});
  c.post("A", &sender);
  EXPECT_EQ(got, (std::vector<std::string>{"any:1", "any:", "fromSender"}));
}

TEST(NotificationCenter, RemoveByIdAndByOwner) {
  NotificationCenter c;
  int owner = 0, count = 0;
  c.addObserver("N", [&](const Notification&) { ++count; }, &owner);
  c.addObserver("M", [&](const Notification&) { ++count; }, &owner);
  auto id = c.addObserver("N", [&](const Notification&) { count += 100; });
  c.removeObserver(&owner);
  c.post("N");
  c.post("M");
  EXPECT_EQ(count, 100);
  c.removeObserver(id);
  c.post("N");
  EXPECT_EQ(count, 100);
}

TEST(NotificationCenter, ObserversMayRemoveThemselvesAndOthersDuringAPost) {
  NotificationCenter c;
  std::vector<std::string> got;
  NotificationCenter::ObserverId first = 0, second = 0;
  first = c.addObserver("N", [&](const Notification&) {
    got.push_back("first");
    c.removeObserver(first);
    c.removeObserver(second);
    c.addObserver("N", [&](const Notification&) { got.push_back("late"); });
  });
  second = c.addObserver("N", [&](const Notification&) { got.push_back("second"); });
  c.post("N");
  EXPECT_EQ(got, std::vector<std::string>{"first"}) << "a removed observer is not called";
  c.post("N");
  EXPECT_EQ(got, (std::vector<std::string>{"first", "late"}));
}

TEST(NotificationCenter, DeliversOnThePostersThread) {
  NotificationCenter c;
  std::thread::id seen;
  c.addObserver("T", [&](const Notification&) { seen = std::this_thread::get_id(); });
  std::thread::id poster;
  std::thread t([&] {
    poster = std::this_thread::get_id();
    c.post("T");
  });
  t.join();
  EXPECT_EQ(seen, poster);
}
