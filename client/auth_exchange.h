// The authentication exchange with the service's message router, without sockets: ask for
// this connection's node, send the credentials (a password or a session key) to the
// authentication service through the root, and read the answer addressed back to the node.
// A transport feeds it what arrives and sends what it hands back; the program drives it on
// Qt's event loop, command-line programs on a blocking socket.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "client/frame_reader.h"
#include "protocol/portal/portal_message.h"

namespace zavel::client {

inline constexpr uint16_t kAuthServerPort = 10020;

class AuthExchange {
 public:
  enum class Outcome {
    kPending,     // no answer yet
    kAccepted,    // the service knows the user
    kRefused,     // the service said no; refusal() holds its own text
    kIncomplete,  // a "yes" without the user's details
    kBroken,      // the stream cannot be read (wrong magic, a part over the limit)
  };

  // userId is the full id ("id@domain") and the texts are as they go on the wire. A
  // non-empty sessionKey is sent instead of the password. progress hears 30, 35, 45, 60,
  // 70, 80, 90 and 100 as the exchange reaches each point.
  AuthExchange(std::string userId, std::string password, std::string sessionKey,
               std::function<void(int)> progress = {});

  // The connection is up: the node question to send.
  portal::PortalMessage connected();
  // One whole message from the server. The message to send in answer, when there is one;
  // messages that do not fit the exchange are ignored.
  bool handle(const portal::PortalMessage& message, portal::PortalMessage* reply);
  // Bytes as they arrive, cut into messages and handled; what to send in answer, in order.
  std::vector<portal::PortalMessage> received(const uint8_t* data, size_t size);

  Outcome outcome() const { return outcome_; }
  bool finished() const { return outcome_ != Outcome::kPending; }
  const std::string& refusal() const { return refusal_; }
  const std::string& nodeAddress() const { return node_; }

 private:
  bool routed(const portal::FormMap& header, portal::PortalMessage* reply);
  void answered(const portal::FormMap& header, const portal::PortalMessage& message);
  void step(int value) {
    if (progress_) progress_(value);
  }

  std::string user_id_;
  std::string password_;
  std::string session_key_;
  std::function<void(int)> progress_;
  std::string node_;
  std::string refusal_;
  Outcome outcome_ = Outcome::kPending;
  FrameReader reader_;
};

}  // namespace zavel::client
