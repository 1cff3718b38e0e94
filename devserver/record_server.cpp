#include "devserver/record_server.h"

#include <ace/ACE.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "devserver/file/file_server.h"
#include "devserver/peer.h"
#include "protocol/connection.h"

namespace zavel::devserver {

RecordServer::RecordServer(std::vector<RecordService*> services, size_t max_connections)
    : services_(std::move(services)),
      listener_(max_connections,
                [this](ACE_HANDLE handle, bool over_limit) { serve(handle, over_limit); }) {}

RecordServer::~RecordServer() {
  stop();
}

bool RecordServer::listen(const std::string& host, uint16_t port, std::string* error) {
  return listener_.listen(host, port, error);
}

void RecordServer::serve(ACE_HANDLE handle, bool over_limit) {
  SocketPeer peer(handle);
  const std::string address = peerAddress(handle);
  while (!listener_.stopping()) {
    ACE_Time_Value idle = timeoutValue(kIdleTimeoutMs);
    if (ACE::handle_read_ready(handle, &idle) <= 0) return;
    ParamRecord request;
    const ReceiveResult got = receiveRequest(handle, request, kRequestTimeoutMs);
    if (got == ReceiveResult::kClosed) return;
    ParamRecord reply(kFlagScramble);
    RecordService* service = nullptr;
    const char* command = nullptr;
    const bool named = got == ReceiveResult::kRequest && request.getString("_cmd", &command);
    if (named) {
      for (RecordService* s : services_)
        if (s->serves(command)) {
          service = s;
          break;
        }
    }
    using Refusal = RecordService::Refusal;
    bool answer = true;
    if (!named) {
      services_.front()->reject(reply, Refusal::kMalformed);
    } else if (service == nullptr) {
      services_.front()->reject(reply, Refusal::kUnknownCommand);
    } else if (over_limit) {
      // Too many connections: refused, and the line is dropped after the answer.
      service->reject(reply, Refusal::kBusy);
    } else {
      answer = service->handle(request, reply, address);
    }
    if (answer && !peer.sendReply(reply)) return;
    if (over_limit) return;
  }
}

std::string peerAddress(ACE_HANDLE handle) {
  sockaddr_storage address{};
  socklen_t size = sizeof address;
  if (::getpeername(handle, reinterpret_cast<sockaddr*>(&address), &size) != 0) return {};
  char text[INET6_ADDRSTRLEN] = {};
  const void* where =
      address.ss_family == AF_INET6
          ? static_cast<const void*>(&reinterpret_cast<sockaddr_in6*>(&address)->sin6_addr)
          : static_cast<const void*>(&reinterpret_cast<sockaddr_in*>(&address)->sin_addr);
  return ::inet_ntop(address.ss_family, where, text, sizeof text) ? text : "";
}

}  // namespace zavel::devserver
