// Turns one request record into the work of its command and the reply.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <unordered_map>

#include "devserver/file/disk_path.h"
#include "devserver/file/server_context.h"
#include "devserver/peer.h"
#include "protocol/param_record.h"

namespace zavel::devserver {

// What a handler left to do.
enum class Outcome {
  kReply,  // send the reply record it filled
  kDone,   // it answered on its own (transfers)
  kClose,  // the stream is out of step: close the connection
};

// Longest text parameter accepted (paths are held to kMaxPathBytes on top of this).
inline constexpr uint32_t kMaxTextParam = 65536;

// One request on its way through a handler.
struct Request {
  ServerContext& server;
  ConnectionState& conn;
  const ParamRecord& in;
  ParamRecord& out;
  Peer& peer;

  Disk& disk() const { return *conn.disk; }

  // Parameter readers: false when the parameter is missing or of an unusable type.
  bool text(const char* name, std::string* value) const;
  bool int32(const char* name, int32_t* value) const;
  bool uint32(const char* name, uint32_t* value) const;
  bool int64(const char* name, int64_t* value) const;
  bool uint64(const char* name, uint64_t* value) const;
  // Reads and resolves a path parameter on the signed-on disk: 0 or an error number
  // (24001 when it is missing).
  int32_t path(const char* name, bool follow_last, Resolved* out) const;

  // Makes this request the one writer of the resolved paths while *hold lives; an earlier
  // writer of any of them is stopped first. socket: see WriterTable::acquire. 0, or 23001
  // when a writer does not let go in time.
  int32_t holdWriters(std::initializer_list<const Resolved*> paths, WriterHold* hold,
                      int socket = -1) const;

  // Marks the reply failed; returns kReply so handlers can end with it.
  Outcome fail(int32_t error);
  Outcome failErrno(int err);
};

using Handler = Outcome (*)(Request&);
using CommandTable = std::unordered_map<std::string, Handler>;

void addFileCommands(CommandTable& table);
void addTransferCommands(CommandTable& table);
void addLlfCommands(CommandTable& table);

class Dispatcher {
 public:
  explicit Dispatcher(ServerContext& server);

  // Runs one request and answers it. False when the connection must be closed.
  bool handle(ConnectionState& conn, const ParamRecord& request, Peer& peer);
  // Answers a request whose body could not be read. False when the peer is gone.
  bool rejectMalformed(Peer& peer);

 private:
  ServerContext& server_;
  CommandTable table_;
};

}  // namespace zavel::devserver
