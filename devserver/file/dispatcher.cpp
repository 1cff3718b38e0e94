#include "devserver/file/dispatcher.h"

#include <cstring>

#include "devserver/server_errors.h"

namespace zavel::devserver {

bool Request::text(const char* name, std::string* value) const {
  const void* data = nullptr;
  uint32_t length = 0, type = 0;
  if (!in.find(name, &data, &length, &type)) return false;
  if (type != kTypeString && in.bodyFormat() != kBodyUntyped) return false;
  if (length > kMaxTextParam) return false;
  const char* bytes = static_cast<const char*>(data);
  // A received string carries its NUL; anything before it, NULs included, is the text.
  if (length > 0 && bytes[length - 1] == '\0') --length;
  value->assign(bytes, length);
  return true;
}

bool Request::int32(const char* name, int32_t* value) const {
  return in.getInt32(name, value);
}

bool Request::uint32(const char* name, uint32_t* value) const {
  return in.getUInt32(name, value);
}

bool Request::int64(const char* name, int64_t* value) const {
  return in.getInt64(name, value);
}

bool Request::uint64(const char* name, uint64_t* value) const {
  return in.getUInt64(name, value);
}

int32_t Request::path(const char* name, bool follow_last, Resolved* out) const {
  std::string value;
  if (!text(name, &value)) return kErrWrongParameter;
  return disk().resolve(value, follow_last, out);
}

int32_t Request::holdWriters(std::initializer_list<const Resolved*> paths, WriterHold* hold,
                             int socket) const {
  std::vector<std::string> keys;
  for (const Resolved* p : paths) keys.push_back(writerKey(disk().folder(), p->parts));
  return server.writers.acquire(std::move(keys), socket, hold) ? kErrNone : kErrRemoteFile;
}

Outcome Request::fail(int32_t error) {
  setReplyError(out, error);
  return Outcome::kReply;
}

Outcome Request::failErrno(int err) {
  return fail(errorFromErrno(err));
}

Dispatcher::Dispatcher(ServerContext& server) : server_(server) {
  addFileCommands(table_);
  addTransferCommands(table_);
  addLlfCommands(table_);
}

bool Dispatcher::handle(ConnectionState& conn, const ParamRecord& request, Peer& peer) {
  ParamRecord reply(kFlagScramble);
  Request r{server_, conn, request, reply, peer};
  std::string command;
  Outcome outcome = Outcome::kReply;
  if (!r.text("_cmd", &command)) {
    r.fail(kErrWrongPacket);
  } else if (auto it = table_.find(command); it == table_.end()) {
    r.fail(kErrNotAllowed);
  } else if (conn.disk == nullptr && command != "setuser") {
    r.fail(kErrNotAllowed);  // nothing but sign-on before sign-on
  } else {
    outcome = it->second(r);
  }
  switch (outcome) {
    case Outcome::kReply:
      if (!reply.has("error")) setReplyError(reply, kErrNone);
      return peer.sendReply(reply);
    case Outcome::kDone:
      return true;
    case Outcome::kClose:
      return false;
  }
  return false;
}

bool Dispatcher::rejectMalformed(Peer& peer) {
  ParamRecord reply(kFlagScramble);
  setReplyError(reply, kErrWrongPacket);
  return peer.sendReply(reply);
}

}  // namespace zavel::devserver
