#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "platform/queued_window.h"

namespace zavel::platform {
namespace {

using std::chrono::milliseconds;

// What the handler saw: the message number and the thread it ran on.
struct Seen {
  uint32_t message;
  std::thread::id thread;
};

TEST(QueuedWindow, MessageSentOnTheWindowsThreadIsHandledInsideTheSend) {
  std::vector<Seen> seen;
  QueuedWindow window([&](uint32_t m, uintptr_t w, intptr_t l) {
    seen.push_back({m, std::this_thread::get_id()});
    return static_cast<intptr_t>(w) + l;
  });
  EXPECT_EQ(window.send(7, 40, 2), 42);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].thread, std::this_thread::get_id());
  EXPECT_EQ(window.dispatch(), 0u);  // nothing was queued
}

TEST(QueuedWindow, MessagesFromOtherThreadsRunOnTheWindowsThreadInTheirOrder) {
  std::vector<Seen> seen;
  QueuedWindow window([&](uint32_t m, uintptr_t, intptr_t l) {
    seen.push_back({m, std::this_thread::get_id()});
    return l * 2;
  });
  std::atomic<bool> posted{false};
  std::promise<intptr_t> answer;
  std::thread other([&] {
    window.post(1, 0, 0);
    window.post(2, 0, 0);
    posted = true;
    answer.set_value(window.send(3, 0, 21));  // waits for the window's thread
  });
  std::future<intptr_t> result = answer.get_future();
  size_t handled = 0;
  for (int i = 0; i < 1000 && handled < 3; ++i) handled += window.dispatch(milliseconds(10));
  other.join();
  EXPECT_EQ(handled, 3u);
  EXPECT_EQ(result.get(), 42);
  ASSERT_EQ(seen.size(), 3u);
  for (uint32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(seen[i].message, i + 1);
    EXPECT_EQ(seen[i].thread, std::this_thread::get_id());
  }
}

TEST(QueuedWindow, ClosingReleasesAWaitingSenderAndRefusesMore) {
  int handled = 0;
  QueuedWindow window([&](uint32_t, uintptr_t, intptr_t) {
    ++handled;
    return intptr_t{5};
  });
  std::promise<intptr_t> answer;
  std::future<intptr_t> result = answer.get_future();
  std::thread other([&] { answer.set_value(window.send(1, 0, 0)); });
  for (int i = 0; i < 3000 && window.queued() == 0; ++i)
    std::this_thread::sleep_for(milliseconds(10));
  ASSERT_EQ(window.queued(), 1u);
  window.close();  // the sender waits for a dispatch that will never come
  EXPECT_EQ(result.wait_for(std::chrono::seconds(30)), std::future_status::ready);
  other.join();
  EXPECT_EQ(result.get(), 0);
  EXPECT_EQ(handled, 0);
  EXPECT_FALSE(window.post(2, 0, 0));
  EXPECT_EQ(window.send(3, 0, 0), 0);
  EXPECT_EQ(window.dispatch(), 0u);
}

}  // namespace
}  // namespace zavel::platform
