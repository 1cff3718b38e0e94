// A scripted stand-in for a server: accepts connections on an ephemeral loopback port,
// records every request record it receives and answers from a script.
#pragma once

#include <ace/SOCK_Acceptor.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "protocol/connection.h"
#include "protocol/param_record.h"

namespace zavel::testing {

// A request as the fake server saw it.
struct ReceivedRequest {
  int connection;  // 0 for the first accepted connection, 1 for the next, ...
  ParamRecord record;
  int64_t result;  // what receiveRecord returned
};

class FakeServer {
 public:
  FakeServer();
  ~FakeServer();
  FakeServer(const FakeServer&) = delete;
  FakeServer& operator=(const FakeServer&) = delete;

  uint16_t port() const { return port_; }

  // Script steps, run in order once start() is called. Steps that need a connection
  // accept one when none is open.
  FakeServer& receive();                         // read and record one request
  FakeServer& reply(const ParamRecord& record);  // send one framed record
  FakeServer& answer(const ParamRecord& record) { return receive().reply(record); }
  FakeServer& raw(std::vector<uint8_t> bytes);                  // send bytes as they are
  FakeServer& receiveRaw(size_t count);                         // read and keep raw bytes
  FakeServer& stall(int milliseconds);                          // do nothing for a while
  FakeServer& close();                                          // close the open connection
  FakeServer& accept();                                         // wait for the next connection
  FakeServer& run(std::function<void(ACE_SOCK_Stream&)> step);  // anything else

  void start();
  // Waits until the script has run to its end; false when it did not within the time.
  bool waitDone(int milliseconds = 10000);

  std::vector<ReceivedRequest> requests() const;
  std::vector<uint8_t> rawReceived() const;
  int connectionsAccepted() const { return accepted_.load(); }

 private:
  using Step = std::function<bool()>;
  bool ensureConnection();
  bool sleepFor(int milliseconds);
  void loop();

  ACE_SOCK_Acceptor acceptor_;
  uint16_t port_ = 0;
  Connection conn_;
  std::vector<Step> steps_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<int> accepted_{0};
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  bool done_ = false;
  std::vector<ReceivedRequest> requests_;
  std::vector<uint8_t> raw_;
};

// A reply record as a file server sends it: error number and text set.
ParamRecord okReply(int32_t error = 0, const char* text = "");

// A record framed as it travels, for scripts that send it among other bytes (raw()).
std::vector<uint8_t> framedBytes(const ParamRecord& record);
// Every entry of a record as "name=text" (empty for values that are not text), space-separated.
std::string entryTexts(const ParamRecord& record);
// A message header written by hand in either byte order, with a correct checksum.
std::vector<uint8_t> headerBytes(uint16_t format, uint32_t flags, uint32_t body_length, bool big);

}  // namespace zavel::testing
