// Messages of the sign-in transport as the authentication router sends them, for tests of
// either side of the exchange.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "protocol/portal/portal_message.h"

namespace zavel::testing {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// A message with a form header and a form body.
portal::PortalMessage textMessage(const Pairs& header, const Pairs& body = {});
// The router's answer to queryNode for the node address.
portal::PortalMessage queryNodeAns(const std::string& node);
// An authentication answer to node; result "0" with every field unless changed, or dropped
// by the value "<drop>".
portal::PortalMessage authAnswer(const std::string& to, Pairs body = {});

}  // namespace zavel::testing
