// Many threads creating, duplicating, using and destroying sessions, listings and command
// results at once, against the devserver. Run under the tsan preset as well.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "api/enumerations.h"
#include "api/session_registry.h"
#include "tests/support/devserver_fixture.h"
#include "zavelsdk.h"

namespace zavel {
namespace {

using testing::DevServerFixture;
constexpr int64_t kBigSize = 3000000000LL;

TEST(Concurrency, SessionsListingsAndResultsFromManyThreads) {
  DevServerFixture server;
  const std::pair<const char*, const char*> users[] = {
      {DevServerFixture::kUser, DevServerFixture::kPassword},
      {DevServerFixture::kPeerUser, DevServerFixture::kPeerPassword}};
  for (const auto& user : users) {
    const auto folder = server.diskPath(user.first) / "l";
    std::filesystem::create_directories(folder);
    for (int i = 1; i <= 3; ++i)  // sparse: no real space used
      std::ofstream(folder / ("file" + std::to_string(i))).seekp(kBigSize + i - 1).put(0);
  }
  // Sessions, listings and command results alive: all gone again at the end.
  const auto alive = [] {
    return std::tuple(sessionRegistry().size(), enumerationTable().size(),
                      commandResultTable().size());
  };
  const auto alive_before = alive();
  const auto open = [&](const char* user, const char* password) {
    return zavel_CreateSession(server.host().c_str(), server.port(), user, password, 10000);
  };
  ZavelSession* shared = open(users[0].first, users[0].second);
  ASSERT_NE(shared, nullptr);

  std::mutex mutex;
  std::vector<ZavelFileInfoList*> mailbox;  // listings closed by another thread
  std::atomic<int> failures{0};
  const auto check = [&](bool ok) { failures += ok ? 0 : 1; };

  auto worker = [&](int t) {
    const auto [user, password] = users[t % 2];
    const std::string base = server.basePath(user);
    for (int round = 0; round < 15; ++round) {
      std::vector<ZavelFileInfoList*> others;
      {
        std::lock_guard guard(mutex);
        others.swap(mailbox);
      }
      for (ZavelFileInfoList* other : others) check(zavel_CloseFileInfo(other) == 1);

      ZavelSession* own = open(user, password);
      ZavelSession* copy = zavel_DuplicateSession(shared);
      check(own != nullptr && copy != nullptr);
      if (own == nullptr || copy == nullptr) continue;
      check(zavel_GetSessionPath(own) == base);
      zavel_SetSessionTimeout(shared, 10000 + t);  // changed while others duplicate it

      int32_t count = 0;
      ZavelFileInfoList* list =
          zavel_OpenFileInfo((base + "/l").c_str(), ZAVEL_INFO_ALL, 1, &count, own);
      check(list != nullptr && count == 4);  // the folder itself, then its files
      std::set<std::string> seen;
      for (int32_t i = 0; list != nullptr && i < count; ++i) {
        const ZavelFileInfo* e = zavel_ReadFileInfo(list, i);
        if (e != nullptr) seen.insert(e->name + (i > 0 ? " " + std::to_string(e->size) : ""));
      }
      const std::string l = base + "/l", at = std::to_string(kBigSize).substr(0, 9);
      check(seen == std::set<std::string>{l, l + "/file1 " + at + "1", l + "/file2 " + at + "2",
                                          l + "/file3 " + at + "3"});
      if (list != nullptr) {
        std::lock_guard guard(mutex);
        mailbox.push_back(list);
      }

      const char* result = zavel_OpenCmd("whoami", own);
      check(result != nullptr && std::string(result) == std::string(user) + "\n");
      check(zavel_GetCmd(result) == result);
      check(zavel_CloseCmd(result) == 1);
      const std::string big = server.basePath() + "/l/file1";
      check(zavel_GetFileSize(big.c_str(), copy) == kBigSize + 1 && zavel_GetLastError() == 0);

      // Destroyed from another thread while this one may be calling it: the call either
      // ran on a live session or found the handle gone.
      std::thread destroyer([copy] { zavel_DestroySession(copy); });
      const int64_t size = zavel_GetFileSize(big.c_str(), copy);
      check(size == kBigSize + 1 || (size == -1 && zavel_GetLastError() == 24002));
      destroyer.join();
      zavel_DestroySession(own);
      check(zavel_GetSessionPath(own) == nullptr && zavel_GetLastError() == 24002);
    }
  };

  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) threads.emplace_back(worker, t);
  for (auto& t : threads) t.join();
  for (ZavelFileInfoList* left : mailbox) EXPECT_EQ(zavel_CloseFileInfo(left), 1);
  zavel_DestroySession(shared);

  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(alive(), alive_before);
}

}  // namespace
}  // namespace zavel
