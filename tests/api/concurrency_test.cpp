// Many threads creating, duplicating, using and destroying sessions, listings and command
// results at once. Run under the tsan preset as well.
#include <ace/ACE.h>
#include <ace/INET_Addr.h>
#include <ace/SOCK_Acceptor.h>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "api/enumerations.h"
#include "api/session_registry.h"
#include "protocol/connection.h"
#include "tests/support/fake_server.h"
#include "zavelsdk.h"

namespace zavel {
namespace {

constexpr int64_t kBigSize = 3000000000LL;

// A file server that answers every connection at once, each on its own thread.
class AnsweringServer {
 public:
  AnsweringServer() {
    ACE_INET_Addr any(static_cast<u_short>(0), "127.0.0.1");
    if (acceptor_.open(any, 1, PF_INET, 64) != 0) throw std::runtime_error("cannot listen");
    ACE_INET_Addr bound;
    acceptor_.get_local_addr(bound);
    port_ = bound.get_port_number();
    accepting_ = std::thread([this] { acceptLoop(); });
  }
  ~AnsweringServer() {
    stop_ = true;
    accepting_.join();
    std::lock_guard guard(mutex_);
    for (auto& w : workers_) w->thread.join();
    acceptor_.close();
  }
  uint16_t port() const { return port_; }

 private:
  struct Worker {
    Connection connection;
    std::thread thread;
  };

  void acceptLoop() {
    while (!stop_) {
      ACE_SOCK_Stream stream;
      ACE_Time_Value wait(0, 50000);
      if (acceptor_.accept(stream, nullptr, &wait) != 0) continue;
      auto worker = std::make_unique<Worker>();
      worker->connection.stream().set_handle(stream.get_handle());
      Worker* w = worker.get();
      std::lock_guard guard(mutex_);
      worker->thread = std::thread([this, w] { serve(w->connection); });
      workers_.push_back(std::move(worker));
    }
  }

  void serve(Connection& connection) {
    while (!stop_ && connection.connected()) {
      ACE_Time_Value wait(0, 50000);
      const int ready = ACE::handle_read_ready(connection.stream().get_handle(), &wait);
      if (ready == 0 || (ready < 0 && errno == ETIME)) continue;
      ParamRecord request;
      if (connection.receiveRecord(request, 10000) <= 0) break;
      if (connection.sendRecord(answer(request), 10000) <= 0) break;
    }
    connection.close();
  }

  static ParamRecord answer(const ParamRecord& request) {
    const char* command = "";
    request.getString("_cmd", &command);
    ParamRecord r = testing::okReply();
    const std::string cmd = command;
    if (cmd == "setuser") {
      const char* id = "";
      request.getString("id", &id);
      r.setString("path", (std::string("/home/") + id).c_str());
    } else if (cmd == "getfileinfo") {
      r.setInt32("num", 3);
      for (int i = 1; i <= 3; ++i) {
        const std::string n = std::to_string(i);
        r.setString(("p" + n).c_str(), ("file" + n).c_str());
        r.setInt64(("s" + n).c_str(), kBigSize + i);
        r.setInt32(("t" + n).c_str(), 0);
        r.setString(("d" + n).c_str(), "2004-05-06");
      }
    } else if (cmd == "remotecmd") {
      const char* text = "";
      request.getString("command", &text);
      const std::string result = std::string("echo:") + text;
      r.setInt32("retlen", static_cast<int32_t>(result.size()));
      r.setString("result", result.c_str());
    } else if (cmd == "getlength") {
      r.setInt64("size", kBigSize);
    }
    return r;
  }

  ACE_SOCK_Acceptor acceptor_;
  uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread accepting_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<Worker>> workers_;
};

// Listings handed from one thread to another to be closed there.
class Mailbox {
 public:
  void put(ZavelFileInfoList* list) {
    std::lock_guard guard(mutex_);
    lists_.push_back(list);
  }
  std::vector<ZavelFileInfoList*> takeAll() {
    std::lock_guard guard(mutex_);
    return std::exchange(lists_, {});
  }

 private:
  std::mutex mutex_;
  std::vector<ZavelFileInfoList*> lists_;
};

TEST(Concurrency, SessionsListingsAndResultsFromManyThreads) {
  AnsweringServer server;
  const size_t sessions_before = sessionRegistry().size();
  const size_t listings_before = enumerationTable().size();
  const size_t results_before = commandResultTable().size();

  ZavelSession* shared = zavel_CreateSession("127.0.0.1", server.port(), "shared", "", 10000);
  ASSERT_NE(shared, nullptr);

  constexpr int kThreads = 6;
  constexpr int kRounds = 15;
  Mailbox mailbox;
  std::atomic<int> failures{0};
  auto check = [&](bool ok) {
    if (!ok) ++failures;
  };

  auto worker = [&](int t) {
    const std::string user = "user" + std::to_string(t);
    for (int round = 0; round < kRounds; ++round) {
      for (ZavelFileInfoList* other : mailbox.takeAll()) check(zavel_CloseFileInfo(other) == 1);

      ZavelSession* own = zavel_CreateSession("127.0.0.1", server.port(), user.c_str(), "", 10000);
      ZavelSession* copy = zavel_DuplicateSession(shared);
      check(own != nullptr && copy != nullptr);
      if (own == nullptr || copy == nullptr) continue;
      check(std::string(zavel_GetSessionPath(own)) == "/home/" + user);
      zavel_SetSessionTimeout(shared, 10000 + t);  // changed while others duplicate it

      int32_t count = 0;
      ZavelFileInfoList* list = zavel_OpenFileInfo("/", ZAVEL_INFO_ALL, 1, &count, own);
      check(list != nullptr && count == 3);
      for (int32_t i = 0; list != nullptr && i < count; ++i) {
        const ZavelFileInfo* e = zavel_ReadFileInfo(list, i);
        check(e != nullptr && e->size == kBigSize + i + 1 &&
              std::string(e->name) == "file" + std::to_string(i + 1));
      }
      if (list != nullptr) mailbox.put(list);

      const char* result = zavel_OpenCmd(user.c_str(), copy);
      check(result != nullptr && std::string(result) == "echo:" + user);
      check(zavel_GetCmd(result) == result);
      check(zavel_CloseCmd(result) == 1);
      check(zavel_GetFileSize("/f", copy) == kBigSize && zavel_GetLastError() == 0);

      // Destroyed from another thread while this one may be calling it: the call either
      // ran on a live session or found the handle gone.
      std::thread destroyer([copy] { zavel_DestroySession(copy); });
      const int64_t size = zavel_GetFileSize("/f", copy);
      check(size == kBigSize || (size == -1 && zavel_GetLastError() == 24002));
      destroyer.join();
      zavel_DestroySession(own);
      check(zavel_GetSessionPath(own) == nullptr && zavel_GetLastError() == 24002);
    }
  };

  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back(worker, t);
  for (auto& t : threads) t.join();
  for (ZavelFileInfoList* left : mailbox.takeAll()) EXPECT_EQ(zavel_CloseFileInfo(left), 1);
  zavel_DestroySession(shared);

  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(sessionRegistry().size(), sessions_before);
  EXPECT_EQ(enumerationTable().size(), listings_before);
  EXPECT_EQ(commandResultTable().size(), results_before);
}

}  // namespace
}  // namespace zavel
