// A record-protocol listener for the servers that answer one request with one reply on a
// connection the client opens per request (the club list server, the portal and the log
// server). Several services may share one listener; each request goes to the first that
// serves its command.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "devserver/listener.h"
#include "protocol/param_record.h"

namespace zavel::devserver {

class RecordService {
 public:
  virtual ~RecordService() = default;
  virtual bool serves(const std::string& command) const = 0;
  // Runs one request; false when the command sends no reply.
  virtual bool handle(const ParamRecord& request, ParamRecord& reply, const std::string& peer) = 0;
  enum class Refusal { kMalformed, kUnknownCommand, kBusy };
  // The reply to a request that is not served.
  virtual void reject(ParamRecord& reply, Refusal why) const = 0;
};

class RecordServer {
 public:
  // Time a request's header and body may take once their first byte arrived.
  static constexpr int kRequestTimeoutMs = 30000;
  // A connection with no request for this long is closed.
  static constexpr int kIdleTimeoutMs = 120000;

  // The first service answers what no service serves.
  RecordServer(std::vector<RecordService*> services, size_t max_connections);
  ~RecordServer();
  RecordServer(const RecordServer&) = delete;
  RecordServer& operator=(const RecordServer&) = delete;

  bool listen(const std::string& host, uint16_t port, std::string* error);
  const std::string& host() const { return listener_.host(); }
  uint16_t port() const { return listener_.port(); }
  void start() { listener_.start(); }
  void stop() { listener_.stop(); }

 private:
  void serve(ACE_HANDLE handle, bool over_limit);

  std::vector<RecordService*> services_;
  Listener listener_;
};

// The dotted address of a connection's peer, empty when unknown.
std::string peerAddress(ACE_HANDLE handle);

}  // namespace zavel::devserver
